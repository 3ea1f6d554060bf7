#include "Models/Word.h"

namespace talvoro {

ORVWord ORVWord::fromJson(const QJsonValue &value, const QString &path)
{
    const json::ObjectReader r(value, path);
    ORVWord word;
    word.id = r.integer(QStringLiteral("id"));
    word.wordDisplay = r.string(QStringLiteral("wordDisplay"));
    word.wordNormalized = r.string(QStringLiteral("wordNormalized"));
    word.ipa = r.optionalString(QStringLiteral("ipa"));
    word.syllables = r.optionalString(QStringLiteral("syllables"));
    word.translationsZh = r.stringList(QStringLiteral("translationsZh"));
    word.explanation = r.optionalString(QStringLiteral("explanation"));
    word.usageScenario = r.optionalString(QStringLiteral("usageScenario"));
    word.playbackProfile = coding::decodeOptional<WordPlaybackProfile>(r, QStringLiteral("playbackProfile"));
    word.version = r.optionalInteger(QStringLiteral("version")).value_or(1);
    word.repeatCount = r.optionalInteger(QStringLiteral("repeatCount")).value_or(1);
    word.voiceEn = r.optionalString(QStringLiteral("voiceEn"));
    word.voiceZh = r.optionalString(QStringLiteral("voiceZh"));
    word.playbackItems = r.optionalStringList(QStringLiteral("playbackItems"));
    word.speechRate = r.optionalNumber(QStringLiteral("speechRate"));
    word.accent = r.optionalString(QStringLiteral("accent"));
    return word;
}

QJsonObject ORVWord::toJson() const
{
    return json::ObjectWriter()
        .set(QStringLiteral("id"), id)
        .set(QStringLiteral("wordDisplay"), wordDisplay)
        .set(QStringLiteral("wordNormalized"), wordNormalized)
        .set(QStringLiteral("ipa"), ipa)
        .set(QStringLiteral("syllables"), syllables)
        .set(QStringLiteral("translationsZh"), translationsZh)
        .set(QStringLiteral("explanation"), explanation)
        .set(QStringLiteral("usageScenario"), usageScenario)
        .set(QStringLiteral("playbackProfile"), coding::encodeOptional(playbackProfile))
        .set(QStringLiteral("version"), version)
        .set(QStringLiteral("repeatCount"), repeatCount)
        .set(QStringLiteral("voiceEn"), voiceEn)
        .set(QStringLiteral("voiceZh"), voiceZh)
        .set(QStringLiteral("playbackItems"), playbackItems)
        .set(QStringLiteral("speechRate"), speechRate)
        .set(QStringLiteral("accent"), accent)
        .object();
}

size_t qHash(const ORVWord &word, size_t seed)
{
    using coding::hashOptional;
    seed = qHashMulti(seed, word.id, word.wordDisplay, word.wordNormalized);
    seed = hashOptional(word.ipa, seed);
    seed = hashOptional(word.syllables, seed);
    seed = qHashMulti(seed, word.translationsZh);
    seed = hashOptional(word.explanation, seed);
    seed = hashOptional(word.usageScenario, seed);
    seed = hashOptional(word.playbackProfile, seed);
    seed = qHashMulti(seed, word.version, word.repeatCount);
    seed = hashOptional(word.voiceEn, seed);
    seed = hashOptional(word.voiceZh, seed);
    seed = hashOptional(word.playbackItems, seed);
    seed = hashOptional(word.speechRate, seed);
    return hashOptional(word.accent, seed);
}

QString rawValue(ORVWordOptionalField field)
{
    switch (field) {
    case ORVWordOptionalField::ipa:
        return QStringLiteral("IPA");
    case ORVWordOptionalField::syllables:
        return QStringLiteral("SYLLABLES");
    case ORVWordOptionalField::explanation:
        return QStringLiteral("EXPLANATION");
    case ORVWordOptionalField::usageScenario:
        break;
    }
    return QStringLiteral("USAGE_SCENARIO");
}

std::optional<ORVWordOptionalField> wordOptionalFieldFromRawValue(const QString &value)
{
    for (const ORVWordOptionalField field : allWordOptionalFields) {
        if (rawValue(field) == value)
            return field;
    }
    return std::nullopt;
}

QString UserWordUpdateValidationError::description() const
{
    switch (m_kind) {
    case Kind::invalidVersion:
        return QStringLiteral("单词版本无效，请刷新后重试");
    case Kind::emptyUpdate:
        return QStringLiteral("没有需要保存的单词内容");
    case Kind::ambiguousClear:
        break;
    }
    return QStringLiteral("同一字段不能同时更新和清空");
}

UserWordUpdateRequest UserWordUpdateRequest::validated() const
{
    using Error = UserWordUpdateValidationError;
    if (baseVersion < 1)
        throw Error(Error::Kind::invalidVersion);
    if (!wordDisplay && !ipa && !syllables && !translationsZh && !explanation && !usageScenario
        && clearFields.isEmpty())
        throw Error(Error::Kind::emptyUpdate);
    const std::pair<ORVWordOptionalField, bool> clearable[] = {
        {ORVWordOptionalField::ipa, ipa.has_value()},
        {ORVWordOptionalField::syllables, syllables.has_value()},
        {ORVWordOptionalField::explanation, explanation.has_value()},
        {ORVWordOptionalField::usageScenario, usageScenario.has_value()},
    };
    for (const auto &[field, isSet] : clearable) {
        if (isSet && clearFields.contains(field))
            throw Error(Error::Kind::ambiguousClear);
    }
    return *this;
}

} // namespace talvoro
