#include "Models/WordPlaybackProfile.h"

#include <QSet>

#include <algorithm>

namespace talvoro {

WordPlaybackUnit WordPlaybackUnit::fromJson(const QJsonValue &value, const QString &path)
{
    const json::ObjectReader reader(value, path);
    const QString wire = reader.string(QStringLiteral("unit"));
    const auto unit = playbackUnitFromRawValue(wire);
    if (!unit)
        throw json::DecodingError(reader.pathOf(QStringLiteral("unit")), QStringLiteral("未知的播放单元 %1").arg(wire));
    return {*unit, reader.boolean(QStringLiteral("enabled")), reader.integer(QStringLiteral("position")),
        reader.optionalString(QStringLiteral("voiceId")), reader.optionalNumber(QStringLiteral("speechRate")),
        reader.integer(QStringLiteral("version"))};
}

QJsonObject WordPlaybackUnit::toJson() const
{
    return json::ObjectWriter()
        .set(QStringLiteral("unit"), rawValue(unit))
        .set(QStringLiteral("enabled"), enabled)
        .set(QStringLiteral("position"), position)
        .set(QStringLiteral("voiceId"), voiceId)
        .set(QStringLiteral("speechRate"), speechRate)
        .set(QStringLiteral("version"), version)
        .object();
}

QString WordPlaybackProfileValidationError::description() const
{
    switch (m_kind) {
    case Kind::invalidVersion:
        return QStringLiteral("播放设置版本无效，请刷新后重试");
    case Kind::invalidRepeatCount:
        return QStringLiteral("单词播放次数必须在 1 到 20 次之间");
    case Kind::invalidUnitSet:
        return QStringLiteral("播放设置必须完整包含四个播放单元");
    case Kind::invalidPositions:
        return QStringLiteral("播放顺序必须连续且不能重复");
    case Kind::allUnitsDisabled:
        return QStringLiteral("至少需要开启一个播放单元");
    case Kind::invalidSpeechRate:
        return QStringLiteral("语速必须在 0.5 到 2.0 倍之间");
    case Kind::invalidVoice:
        break;
    }
    return QStringLiteral("所选音色与播放单元语言不匹配");
}

WordPlaybackProfile WordPlaybackProfile::fromJson(const QJsonValue &value, const QString &path)
{
    const json::ObjectReader reader(value, path);
    return {reader.integer(QStringLiteral("wordId")), reader.integer(QStringLiteral("version")),
        reader.optionalInteger(QStringLiteral("repeatCount")),
        reader.list(QStringLiteral("units"), &WordPlaybackUnit::fromJson), reader.string(QStringLiteral("updatedAt"))};
}

QJsonObject WordPlaybackProfile::toJson() const
{
    return json::ObjectWriter()
        .set(QStringLiteral("wordId"), wordId)
        .set(QStringLiteral("version"), version)
        .set(QStringLiteral("repeatCount"), repeatCount)
        .set(QStringLiteral("units"), coding::encodeList(units))
        .set(QStringLiteral("updatedAt"), updatedAt)
        .object();
}

WordPlaybackProfile WordPlaybackProfile::validated() const
{
    using Error = WordPlaybackProfileValidationError;
    if (wordId < 1 || version < 1)
        throw Error(Error::Kind::invalidVersion);
    if (repeatCount && (*repeatCount < 1 || *repeatCount > 20))
        throw Error(Error::Kind::invalidRepeatCount);
    if (units.size() != qsizetype(allPlaybackUnits.size()))
        throw Error(Error::Kind::invalidUnitSet);
    QSet<ORVPlaybackUnit> present;
    QList<qint64> positions;
    for (const WordPlaybackUnit &entry : units) {
        present.insert(entry.unit);
        positions.append(entry.position);
    }
    if (present.size() != qsizetype(allPlaybackUnits.size()))
        throw Error(Error::Kind::invalidUnitSet);
    std::sort(positions.begin(), positions.end());
    if (positions != QList<qint64> {1, 2, 3, 4})
        throw Error(Error::Kind::invalidPositions);
    if (std::none_of(units.begin(), units.end(), [](const WordPlaybackUnit &entry) { return entry.enabled; }))
        throw Error(Error::Kind::allUnitsDisabled);
    // Disabled units are checked too: they may be switched on later without another check.
    for (const WordPlaybackUnit &entry : units) {
        // Written so that NaN fails as well.
        if (entry.speechRate && !(*entry.speechRate >= 0.5 && *entry.speechRate <= 2.0))
            throw Error(Error::Kind::invalidSpeechRate);
        if (entry.voiceId) {
            const auto voice = TTSVoice::catalogVoice(entry.voiceId);
            const auto category = voice ? voice->category() : std::nullopt;
            if (!category || language(*category) != voiceLanguage(entry.unit))
                throw Error(Error::Kind::invalidVoice);
        }
    }
    WordPlaybackProfile result = *this;
    std::stable_sort(result.units.begin(), result.units.end(),
        [](const WordPlaybackUnit &a, const WordPlaybackUnit &b) { return a.position < b.position; });
    return result;
}

WordPlaybackProfile WordPlaybackProfile::makeDefault(qint64 wordId)
{
    WordPlaybackProfile profile {wordId, 1, 1, {}, QString()};
    qint64 position = 1;
    for (const ORVPlaybackUnit unit : allPlaybackUnits)
        profile.units.append({unit, true, position++, std::nullopt, std::nullopt, 1});
    return profile;
}

size_t qHash(const WordPlaybackUnit &unit, size_t seed)
{
    seed = qHashMulti(seed, rawValue(unit.unit), unit.enabled, unit.position);
    seed = coding::hashOptional(unit.voiceId, seed);
    seed = coding::hashOptional(unit.speechRate, seed);
    return qHashMulti(seed, unit.version);
}

size_t qHash(const WordPlaybackProfile &profile, size_t seed)
{
    seed = qHashMulti(seed, profile.wordId, profile.version);
    seed = coding::hashOptional(profile.repeatCount, seed);
    return qHashMulti(seed, profile.units, profile.updatedAt);
}

} // namespace talvoro
