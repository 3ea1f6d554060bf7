#include "Models/Account.h"

namespace talvoro {

UserSummary UserSummary::fromJson(const QJsonValue &value, const QString &path)
{
    const json::ObjectReader r(value, path);
    return {r.integer(QStringLiteral("id")), r.string(QStringLiteral("username"))};
}

QJsonObject UserSummary::toJson() const
{
    return json::ObjectWriter().set(QStringLiteral("id"), id).set(QStringLiteral("username"), username).object();
}

AuthTokenResponse AuthTokenResponse::fromJson(const QJsonValue &value, const QString &path)
{
    const json::ObjectReader r(value, path);
    return {r.string(QStringLiteral("accessToken")), r.integer(QStringLiteral("expiresIn")),
        r.string(QStringLiteral("refreshToken")), r.integer(QStringLiteral("refreshExpiresIn")),
        UserSummary::fromJson(r.object(QStringLiteral("user")), r.pathOf(QStringLiteral("user")))};
}

QJsonObject AuthTokenResponse::toJson() const
{
    return json::ObjectWriter()
        .set(QStringLiteral("accessToken"), accessToken)
        .set(QStringLiteral("expiresIn"), expiresIn)
        .set(QStringLiteral("refreshToken"), refreshToken)
        .set(QStringLiteral("refreshExpiresIn"), refreshExpiresIn)
        .set(QStringLiteral("user"), user.toJson())
        .object();
}

} // namespace talvoro
