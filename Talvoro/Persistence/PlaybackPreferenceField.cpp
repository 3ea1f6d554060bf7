#include "Persistence/PlaybackPreferenceField.h"

#include "Models/PlaybackUnit.h"
#include "Models/Voice.h"

namespace talvoro {

namespace {

bool isVoiceOf(const QString &id, TTSVoiceLanguage expected)
{
    const std::optional<TTSVoice> voice = TTSVoice::catalogVoice(id);
    if (!voice)
        return false;
    const std::optional<TTSVoiceCategory> category = voice->category();
    return category && language(*category) == expected;
}

bool isRate(double rate)
{
    // Written so that NaN fails both comparisons.
    return rate >= 0.5 && rate <= 2.0;
}

} // namespace

bool isValid(const PlaybackPreference &preference)
{
    if (preference.version < 1)
        return false;
    if (preference.playbackItems.isEmpty())
        return false;
    for (const QString &item : preference.playbackItems) {
        if (!playbackUnitFromRawValue(item))
            return false;
    }
    return isVoiceOf(preference.voiceEn, TTSVoiceLanguage::english)
        && isVoiceOf(preference.voiceZh, TTSVoiceLanguage::chinese) && isRate(preference.speechRateEn)
        && isRate(preference.speechRateZh) && isRate(preference.spellingRate);
}

QString rawValue(PlaybackPreferenceField field)
{
    switch (field) {
    case PlaybackPreferenceField::playbackItems:
        return QStringLiteral("playbackItems");
    case PlaybackPreferenceField::englishVoice:
        return QStringLiteral("englishVoice");
    case PlaybackPreferenceField::chineseVoice:
        return QStringLiteral("chineseVoice");
    case PlaybackPreferenceField::englishRate:
        return QStringLiteral("englishRate");
    case PlaybackPreferenceField::chineseRate:
        return QStringLiteral("chineseRate");
    case PlaybackPreferenceField::spellingRate:
        return QStringLiteral("spellingRate");
    }
    Q_UNREACHABLE();
}

std::optional<PlaybackPreferenceField> playbackPreferenceFieldFromRawValue(const QString &value)
{
    for (PlaybackPreferenceField field : allPlaybackPreferenceFields) {
        if (rawValue(field) == value)
            return field;
    }
    return std::nullopt;
}

const QSet<PlaybackPreferenceField> &everyPlaybackPreferenceField()
{
    static const QSet<PlaybackPreferenceField> fields(
        allPlaybackPreferenceFields.begin(), allPlaybackPreferenceFields.end());
    return fields;
}

QJsonArray encodeFields(const QSet<PlaybackPreferenceField> &fields)
{
    QJsonArray array;
    for (PlaybackPreferenceField field : allPlaybackPreferenceFields) {
        if (fields.contains(field))
            array.append(rawValue(field));
    }
    return array;
}

QSet<PlaybackPreferenceField> decodeFields(const QJsonValue &value, const QString &path)
{
    const QJsonArray array = json::toArray(value, path);
    QSet<PlaybackPreferenceField> fields;
    for (qsizetype i = 0; i < array.size(); ++i) {
        const QString elementPath = json::elementPath(path, i);
        const std::optional<PlaybackPreferenceField> field
            = playbackPreferenceFieldFromRawValue(json::toString(array.at(i), elementPath));
        if (!field)
            throw json::DecodingError(elementPath, QStringLiteral("不是已知的播放设置项"));
        fields.insert(*field);
    }
    return fields;
}

PlaybackPreference rebased(
    const PlaybackPreference &base, const PlaybackPreference &local, const QSet<PlaybackPreferenceField> &fields)
{
    PlaybackPreference result = base;
    for (PlaybackPreferenceField field : fields) {
        switch (field) {
        case PlaybackPreferenceField::playbackItems:
            result.playbackItems = local.playbackItems;
            break;
        case PlaybackPreferenceField::englishVoice:
            result.voiceEn = local.voiceEn;
            break;
        case PlaybackPreferenceField::chineseVoice:
            result.voiceZh = local.voiceZh;
            break;
        case PlaybackPreferenceField::englishRate:
            result.speechRateEn = local.speechRateEn;
            break;
        case PlaybackPreferenceField::chineseRate:
            result.speechRateZh = local.speechRateZh;
            break;
        case PlaybackPreferenceField::spellingRate:
            result.spellingRate = local.spellingRate;
            break;
        }
    }
    return result;
}

} // namespace talvoro
