#include "Models/LegacyModels.h"

namespace talvoro {

PreviewWord PreviewWord::fromJson(const QJsonValue &value, const QString &path)
{
    const json::ObjectReader r(value, path);
    return {r.string(QStringLiteral("text")), r.optionalString(QStringLiteral("meaning"))};
}

QJsonObject PreviewWord::toJson() const
{
    return json::ObjectWriter().set(QStringLiteral("text"), text).set(QStringLiteral("meaning"), meaning).object();
}

QString PreviewWord::id() const
{
    return text + QChar(0x1F) + meaning.value_or(QString());
}

SystemConfiguration SystemConfiguration::fromJson(const QJsonValue &value, const QString &path)
{
    const json::ObjectReader r(value, path);
    return {r.boolean(QStringLiteral("server_cache_enabled")),
        r.list(QStringLiteral("default_preview_words"), &PreviewWord::fromJson)};
}

QJsonObject SystemConfiguration::toJson() const
{
    return json::ObjectWriter()
        .set(QStringLiteral("server_cache_enabled"), serverCacheEnabled)
        .set(QStringLiteral("default_preview_words"), coding::encodeList(defaultPreviewWords))
        .object();
}

RemoteWord RemoteWord::fromJson(const QJsonValue &value, const QString &path)
{
    const json::ObjectReader r(value, path);
    return {r.integer(QStringLiteral("id")), r.string(QStringLiteral("word_text")),
        r.optionalString(QStringLiteral("meaning")), r.optionalString(QStringLiteral("context"))};
}

QJsonObject WordWriteRequest::toJson() const
{
    return json::ObjectWriter()
        .set(QStringLiteral("wordText"), wordText)
        .set(QStringLiteral("meaning"), meaning)
        .set(QStringLiteral("context"), context)
        .set(QStringLiteral("clientId"), clientID)
        .object();
}

QJsonObject PreferenceWriteRequest::toJson() const
{
    return json::ObjectWriter()
        .set(QStringLiteral("voice_id"), voiceID)
        .set(QStringLiteral("cycle_count"), cycleCount)
        .object();
}

} // namespace talvoro
