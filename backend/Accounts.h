#pragma once

#include "Database.h"
#include "Wire.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
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

// What a login checks a password against. An unknown name gets a record no
// password matches, so that its answer takes as long as a known name's.
struct LoginRecord {
    qint64 userId = 0; // 0: no such user
    QString username;
    QByteArray salt;
    QByteArray digest;
    int iterations = 0;
    bool disabled = false;
};

// Password digests take tens of milliseconds by design: these are safe on any
// thread, so that the thread serving requests never makes one.
namespace passwords {
QByteArray newSalt();
QByteArray digest(const QString &password, const QByteArray &salt, int iterations);
bool matches(const LoginRecord &record, const QByteArray &digest);
} // namespace passwords

class Accounts {
public:
    static constexpr int passwordIterations = 60000;

    Accounts(Database &database, TokenLifetimes lifetimes);

    // Registration and login in two steps each, around the password digest. The
    // completing steps answer the token payload: accessToken, expiresIn,
    // refreshToken, refreshExpiresIn, user {id, username}. Failures are thrown as
    // ApiError.
    void checkNewAccount(const QString &username, const QString &password);
    QJsonObject registerUser(const QString &username, const QByteArray &salt, const QByteArray &digest);
    LoginRecord loginRecord(const QString &username);
    QJsonObject login(const LoginRecord &record, bool passwordMatches);
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
    qint64 insertUser(const QString &username, const QByteArray &salt, const QByteArray &digest);
    void requireFreeName(const QString &username);
    QJsonObject issueTokens(qint64 userId, const QString &username, const QString &family);
    QByteArray sign(const QByteArray &data);

    Database &m_database;
    TokenLifetimes m_lifetimes;
    QByteArray m_secret;
};

// Slows down password guessing: after 5 failed logins for one user name, or 20
// from one address, further attempts are refused with 429 for 30 seconds, twice
// as long after each further failure, up to 15 minutes. A correct password clears
// its name's count; 15 quiet minutes clear any. Attempts still being checked
// count against the allowance, so a burst cannot slip past it.
class LoginThrottle {
public:
    // Throws 429 when the name or the address is held back; otherwise the attempt
    // is under way until finish().
    void admit(const QString &username, const QHostAddress &peer);
    void finish(const QString &username, const QHostAddress &peer, bool succeeded);

private:
    struct Record {
        int failures = 0;
        int underWay = 0;
        qint64 lastFailure = 0; // ms since the epoch
        qint64 heldUntil = 0;
    };
    struct Key {
        QString text;
        int limit;
    };
    QList<Key> keys(const QString &username, const QHostAddress &peer) const;
    void forgetQuietRecords(qint64 now);

    QHash<QString, Record> m_records;
};

// The rules a new account's name and password must satisfy; the message to show
// when they do not, empty when they do.
QString usernameProblem(const QString &username);
QString passwordProblem(const QString &password);

} // namespace standin
