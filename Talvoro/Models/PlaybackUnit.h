#pragma once

#include "Models/Voice.h"

#include <QString>

#include <array>
#include <optional>

namespace talvoro {

// The parts a word is spoken in; the raw value is the wire value.
enum class ORVPlaybackUnit { word, spelling, translation, explanation };
inline constexpr std::array allPlaybackUnits {
    ORVPlaybackUnit::word, ORVPlaybackUnit::spelling, ORVPlaybackUnit::translation, ORVPlaybackUnit::explanation};

QString rawValue(ORVPlaybackUnit unit);
// Exact, case-sensitive match of a wire value.
std::optional<ORVPlaybackUnit> playbackUnitFromRawValue(const QString &rawValue);
QString title(ORVPlaybackUnit unit);
QString symbolName(ORVPlaybackUnit unit);
// Only the word itself is spoken by an English voice; the spelling is read out by
// the Chinese voice, like the translation and the explanation.
TTSVoiceLanguage voiceLanguage(ORVPlaybackUnit unit);

// The letters of `text`, upper-cased, joined with single spaces: "Don't-Stop 2"
// is spoken as "D O N T S T O P". Empty when there are no letters.
QString spokenSpelling(const QString &text);
// The letters of `text` as they are written, joined with " - ": "D - o - n - t".
QString spellingDisplay(const QString &text);

inline size_t qHash(ORVPlaybackUnit unit, size_t seed = 0)
{
    return ::qHash(int(unit), seed);
}

} // namespace talvoro
