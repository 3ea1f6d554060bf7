#pragma once

#include "Models/Coding.h"

namespace talvoro {

struct UserSummary {
    qint64 id = 0;
    QString username;

    static UserSummary fromJson(const QJsonValue &value, const QString &path = QStringLiteral("$"));
    QJsonObject toJson() const;
    bool operator==(const UserSummary &) const = default;
};

// The answer of login, registration and token refresh. Lifetimes are in seconds and
// taken as sent; the session refuses values below 1.
struct AuthTokenResponse {
    QString accessToken;
    qint64 expiresIn = 0;
    QString refreshToken;
    qint64 refreshExpiresIn = 0;
    UserSummary user;

    static AuthTokenResponse fromJson(const QJsonValue &value, const QString &path = QStringLiteral("$"));
    QJsonObject toJson() const;
};

} // namespace talvoro
