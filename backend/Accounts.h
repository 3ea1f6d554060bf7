#pragma once

#include "Database.h"
#include "Wire.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// User accounts and their tokens. Passwords are kept only as salted PBKDF2 digests.
// Access tokens are HS256 JSON Web Tokens whose "sub" is the user id. Refresh
// tokens are random, kept only as SHA-256 digests, and rotate on every refresh;
// each login starts a family, and presenting a rotated token again revokes the
// whole family, because one of its holders is not the user.
namespace standin {

struct TokenLifetimes {
    qint64 accessSeconds = 900;
    qint64 refreshSeconds = 30 * 24 * 3600;
};

class Accounts {
public:
    Accounts(Database &database, TokenLifetimes lifetimes);

    // Each answers the token payload: accessToken, expiresIn, refreshToken,
    // refreshExpiresIn, user {id, username}. Failures are thrown as ApiError.
    QJsonObject registerUser(const QString &username, const QString &password);
    QJsonObject login(const QString &username, const QString &password);
    QJsonObject refresh(const QString &refreshToken);
    // Revokes the token's family; unknown tokens are ignored.
    void logout(const QString &refreshToken);

    // The user id of the request's bearer token; 401 when it is missing, forged,
    // expired, or its account is gone or disabled.
    qint64 authenticate(const Request &request);

    // For seeding and the command line, without the registration rules.
    qint64 createUser(const QString &username, const QString &password); // the new user's id
    bool setDisabled(const QString &username, bool disabled); // false: no such user

private:
    QJsonObject issueTokens(qint64 userId, const QString &username, const QString &family);
    QByteArray sign(const QByteArray &data);

    Database &m_database;
    TokenLifetimes m_lifetimes;
    QByteArray m_secret;
};

// The rules a new account's name and password must satisfy; the message to show
// when they do not, empty when they do.
QString usernameProblem(const QString &username);
QString passwordProblem(const QString &password);

} // namespace standin
