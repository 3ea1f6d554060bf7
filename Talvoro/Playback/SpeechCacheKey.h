#pragma once

#include "Playback/AudioCacheProtocol.h"

#include <QString>

namespace talvoro {

// The names speech clips are cached under, for a text spoken in a voice. The text
// is trimmed first (so " abc\n" and "abc" share a clip); the voice is used as given.
namespace SpeechCacheKey {

// SHA-256 over "<bytes>:<text><bytes>:<voice>" with UTF-8 byte counts, e.g.
// "3:abc17:en-US-JennyNeural"; 64 lower-case hexadecimal digits. Clips are stored
// under this key only.
QString sha256Key(const QString &text, const QString &voice);
// The older name, MD5 over the text followed by the voice; still looked up.
QString legacyMD5Key(const QString &text, const QString &voice);

// Whether a clip for the pair is cached under either key; a blank text never is.
// Records no use.
bool isCached(const QString &text, const QString &voice, const AudioCacheProtocol &cache);

} // namespace SpeechCacheKey

} // namespace talvoro
