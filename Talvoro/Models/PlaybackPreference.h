#pragma once

#include "Models/Coding.h"

namespace talvoro {

// The user's global playback preference. Every member may be missing on input and
// is filled in while decoding, so a decoded value is always complete and its
// encoding carries the filled-in values. Voices and rates are not checked here.
// A default-constructed value is the preference used before any is loaded.
struct PlaybackPreference {
    QList<QString> playbackItems {QStringLiteral("WORD"), QStringLiteral("SPELLING"), QStringLiteral("TRANSLATION_ZH"),
        QStringLiteral("EXPLANATION")}; // unit wire values, in playing order
    QString voiceEn = QStringLiteral("en-US-JennyNeural");
    QString voiceZh = QStringLiteral("zh-CN-XiaoxiaoNeural");
    double speechRate = 1.0;
    qint64 version = 1;
    std::optional<QString> globalVoiceEnUs = voiceEn;
    std::optional<QString> globalVoiceEnGb = QStringLiteral("en-GB-SoniaNeural");
    std::optional<QString> globalVoiceZhCn = voiceZh;
    double speechRateEnUs = 1.0;
    double speechRateEnGb = 1.0;
    double speechRateZhCn = 1.0;
    double speechRateEn = 1.0;
    double speechRateZh = 1.0;
    double spellingRate = 1.25;

    static PlaybackPreference fromJson(const QJsonValue &value, const QString &path = QStringLiteral("$"));
    QJsonObject toJson() const;

    // This preference with the older per-locale mirrors derived from the main
    // voices and rates, as it is shown and stored after an edit.
    PlaybackPreference withDerivedMirrorFields() const;
};

} // namespace talvoro
