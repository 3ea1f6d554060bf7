#include "Playback/SpeechCacheKey.h"

#include "Platform/Text.h"

namespace talvoro::SpeechCacheKey {

QString sha256Key(const QString &text, const QString &voice)
{
    const QByteArray textBytes = text::trimmed(text).toUtf8();
    const QByteArray voiceBytes = voice.toUtf8();
    return text::sha256Hex(QByteArray::number(textBytes.size()) + ':' + textBytes
        + QByteArray::number(voiceBytes.size()) + ':' + voiceBytes);
}

QString legacyMD5Key(const QString &text, const QString &voice)
{
    return text::md5Hex(text::trimmed(text).toUtf8() + voice.toUtf8());
}

bool isCached(const QString &text, const QString &voice, const AudioCacheProtocol &cache)
{
    if (text::isBlank(text))
        return false;
    return cache.hasCachedFile(sha256Key(text, voice)) || cache.hasCachedFile(legacyMD5Key(text, voice));
}

} // namespace talvoro::SpeechCacheKey
