#include "Models/Lexicon.h"

namespace talvoro {

PublicLexiconSummary PublicLexiconSummary::fromJson(const QJsonValue &value, const QString &path)
{
    const json::ObjectReader r(value, path);
    return {r.integer(QStringLiteral("id")), r.string(QStringLiteral("name")),
        r.optionalString(QStringLiteral("description")), r.optionalString(QStringLiteral("category")),
        r.integer(QStringLiteral("wordCount")), r.string(QStringLiteral("updatedAt"))};
}

QJsonObject PublicLexiconSummary::toJson() const
{
    return json::ObjectWriter()
        .set(QStringLiteral("id"), id)
        .set(QStringLiteral("name"), name)
        .set(QStringLiteral("description"), description)
        .set(QStringLiteral("category"), category)
        .set(QStringLiteral("wordCount"), wordCount)
        .set(QStringLiteral("updatedAt"), updatedAt)
        .object();
}

PublicLexiconDetail PublicLexiconDetail::fromJson(const QJsonValue &value, const QString &path)
{
    const json::ObjectReader r(value, path);
    return {r.integer(QStringLiteral("id")), r.string(QStringLiteral("name")),
        r.optionalString(QStringLiteral("description")), r.optionalString(QStringLiteral("category")),
        r.list(QStringLiteral("words"), &ORVWord::fromJson)};
}

QJsonObject PublicLexiconDetail::toJson() const
{
    return json::ObjectWriter()
        .set(QStringLiteral("id"), id)
        .set(QStringLiteral("name"), name)
        .set(QStringLiteral("description"), description)
        .set(QStringLiteral("category"), category)
        .set(QStringLiteral("words"), coding::encodeList(words))
        .object();
}

UserLexicon UserLexicon::fromJson(const QJsonValue &value, const QString &path)
{
    const json::ObjectReader r(value, path);
    return {r.integer(QStringLiteral("id")), r.string(QStringLiteral("name")),
        r.optionalString(QStringLiteral("description")), r.integer(QStringLiteral("version")),
        r.integer(QStringLiteral("wordCount")), r.string(QStringLiteral("updatedAt"))};
}

QJsonObject UserLexicon::toJson() const
{
    return json::ObjectWriter()
        .set(QStringLiteral("id"), id)
        .set(QStringLiteral("name"), name)
        .set(QStringLiteral("description"), description)
        .set(QStringLiteral("version"), version)
        .set(QStringLiteral("wordCount"), wordCount)
        .set(QStringLiteral("updatedAt"), updatedAt)
        .object();
}

UserLexiconReorderItem UserLexiconReorderItem::fromJson(const QJsonValue &value, const QString &path)
{
    const json::ObjectReader r(value, path);
    return {r.integer(QStringLiteral("wordId")), r.integer(QStringLiteral("position"))};
}

QJsonObject UserLexiconReorderItem::toJson() const
{
    return json::ObjectWriter()
        .set(QStringLiteral("wordId"), wordId)
        .set(QStringLiteral("position"), position)
        .object();
}

UserLexiconReorderReceipt UserLexiconReorderReceipt::fromJson(const QJsonValue &value, const QString &path)
{
    const json::ObjectReader r(value, path);
    return {r.integer(QStringLiteral("lexiconId")), r.integer(QStringLiteral("version")),
        r.list(QStringLiteral("items"), &UserLexiconReorderItem::fromJson)};
}

QJsonObject UserLexiconReorderReceipt::toJson() const
{
    return json::ObjectWriter()
        .set(QStringLiteral("lexiconId"), lexiconId)
        .set(QStringLiteral("version"), version)
        .set(QStringLiteral("items"), coding::encodeList(items))
        .object();
}

} // namespace talvoro
