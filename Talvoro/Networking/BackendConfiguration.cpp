#include "Networking/BackendConfiguration.h"

#include "Platform/Text.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace talvoro::BackendConfiguration {

namespace {
constexpr auto environmentPrefix = QLatin1String("env-sha256:");

bool isLowerHex(QStringView text)
{
    for (const QChar c : text) {
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f')))
            return false;
    }
    return true;
}
} // namespace

std::optional<QUrl> loadFromConfiguration(const QByteArray &configurationJson)
{
    const QJsonValue value
        = QJsonDocument::fromJson(configurationJson).object().value(QStringLiteral("BackendBaseURL"));
    if (!value.isString())
        return std::nullopt;
    return validatedBaseURL(value.toString());
}

std::optional<QUrl> loadFromMainBundle()
{
    // Written at build time from the TALVORO_BACKEND_BASE_URL setting.
    QFile file(QStringLiteral(":/talvoro/configuration.json"));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return loadFromConfiguration(file.readAll());
}

std::optional<QUrl> validatedBaseURL(const std::optional<QString> &raw)
{
    if (!raw)
        return std::nullopt;
    const QString trimmed = text::trimmed(*raw);
    if (trimmed.isEmpty() || trimmed.contains(QLatin1String("$(")))
        return std::nullopt;
    // Strict parsing: a tolerant parser would accept blanks and other junk in the path.
    const QUrl url(trimmed, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty())
        return std::nullopt;
    if (!url.userName().isEmpty() || !url.password().isEmpty() || url.hasQuery() || url.hasFragment())
        return std::nullopt;
    if (url.scheme().toLower() != QLatin1String("https"))
        return std::nullopt;
    return url;
}

std::optional<QString> environmentPartitionKey(const std::optional<QUrl> &baseURL)
{
    if (!baseURL || !baseURL->isValid())
        return std::nullopt;
    const QUrl &url = *baseURL;
    if (url.scheme().isEmpty() || url.host().isEmpty() || !url.userName().isEmpty() || !url.password().isEmpty())
        return std::nullopt;
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("https") && scheme != QLatin1String("http"))
        return std::nullopt;
    QString host = url.host().toLower();
    if (host.contains(u':'))
        host = u'[' + host + u']';
    QString canonical = scheme + QLatin1String("://") + host;
    const int port = url.port();
    const bool defaultPort
        = (scheme == QLatin1String("https") && port == 443) || (scheme == QLatin1String("http") && port == 80);
    if (port >= 0 && !defaultPort)
        canonical += u':' + QString::number(port);
    return environmentPrefix + hexDigest(QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha256));
}

std::optional<QString> ownerKey(qint64 userId, const std::optional<QString> &environmentKey)
{
    if (userId < 1 || !environmentKey)
        return std::nullopt;
    const QString &key = *environmentKey;
    if (!key.startsWith(environmentPrefix))
        return std::nullopt;
    const QStringView digits = QStringView(key).mid(environmentPrefix.size());
    if (digits.size() != 64 || !isLowerHex(digits))
        return std::nullopt;
    return key + QLatin1String("|user:") + QString::number(userId);
}

QString hexDigest(const QByteArray &digest)
{
    return QString::fromLatin1(digest.toHex());
}

} // namespace talvoro::BackendConfiguration
