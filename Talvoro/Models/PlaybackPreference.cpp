#include "Models/PlaybackPreference.h"

namespace talvoro {

PlaybackPreference PlaybackPreference::fromJson(const QJsonValue &value, const QString &path)
{
    // Read in this order: each fallback copies a field that is already final.
    const json::ObjectReader r(value, path);
    const PlaybackPreference defaults;
    PlaybackPreference p;
    p.playbackItems = r.optionalStringList(QStringLiteral("playbackItems")).value_or(defaults.playbackItems);
    p.voiceEn = r.optionalString(QStringLiteral("voiceEn")).value_or(defaults.voiceEn);
    p.voiceZh = r.optionalString(QStringLiteral("voiceZh")).value_or(defaults.voiceZh);
    p.speechRate = r.optionalNumber(QStringLiteral("speechRate")).value_or(defaults.speechRate);
    p.version = r.optionalInteger(QStringLiteral("version")).value_or(defaults.version);
    p.globalVoiceEnUs = r.optionalString(QStringLiteral("globalVoiceEnUs")).value_or(p.voiceEn);
    p.globalVoiceEnGb = r.optionalString(QStringLiteral("globalVoiceEnGb")).value_or(*defaults.globalVoiceEnGb);
    p.globalVoiceZhCn = r.optionalString(QStringLiteral("globalVoiceZhCn")).value_or(p.voiceZh);
    p.speechRateEn = r.optionalNumber(QStringLiteral("speechRateEn")).value_or(p.speechRate);
    p.speechRateZh = r.optionalNumber(QStringLiteral("speechRateZh")).value_or(p.speechRate);
    p.spellingRate = r.optionalNumber(QStringLiteral("spellingRate")).value_or(defaults.spellingRate);
    p.speechRateEnUs = r.optionalNumber(QStringLiteral("speechRateEnUs")).value_or(p.speechRateEn);
    p.speechRateEnGb = r.optionalNumber(QStringLiteral("speechRateEnGb")).value_or(p.speechRateEn);
    p.speechRateZhCn = r.optionalNumber(QStringLiteral("speechRateZhCn")).value_or(p.speechRateZh);
    return p;
}

QJsonObject PlaybackPreference::toJson() const
{
    return json::ObjectWriter()
        .set(QStringLiteral("playbackItems"), playbackItems)
        .set(QStringLiteral("voiceEn"), voiceEn)
        .set(QStringLiteral("voiceZh"), voiceZh)
        .set(QStringLiteral("speechRate"), speechRate)
        .set(QStringLiteral("version"), version)
        .set(QStringLiteral("globalVoiceEnUs"), globalVoiceEnUs)
        .set(QStringLiteral("globalVoiceEnGb"), globalVoiceEnGb)
        .set(QStringLiteral("globalVoiceZhCn"), globalVoiceZhCn)
        .set(QStringLiteral("speechRateEnUs"), speechRateEnUs)
        .set(QStringLiteral("speechRateEnGb"), speechRateEnGb)
        .set(QStringLiteral("speechRateZhCn"), speechRateZhCn)
        .set(QStringLiteral("speechRateEn"), speechRateEn)
        .set(QStringLiteral("speechRateZh"), speechRateZh)
        .set(QStringLiteral("spellingRate"), spellingRate)
        .object();
}

PlaybackPreference PlaybackPreference::withDerivedMirrorFields() const
{
    PlaybackPreference p = *this;
    p.speechRate = speechRateEn;
    p.globalVoiceEnUs = voiceEn;
    p.globalVoiceEnGb = voiceEn;
    p.globalVoiceZhCn = voiceZh;
    p.speechRateEnUs = speechRateEn;
    p.speechRateEnGb = speechRateEn;
    p.speechRateZhCn = speechRateZh;
    return p;
}

} // namespace talvoro
