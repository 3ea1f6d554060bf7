#include "Accounts.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonDocument>
#include <QMessageAuthenticationCode>
#include <QPasswordDigestor>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QUuid>

#include <algorithm>
#include <optional>

namespace standin {
namespace {

constexpr auto base64Url = QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals;

QByteArray randomBytes(int count)
{
    QByteArray bytes(count, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(bytes.data()), count / 4);
    return bytes;
}

// Compares without stopping at the first difference, so timing tells nothing.
bool sameBytes(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return false;
    unsigned char difference = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a.at(i) ^ b.at(i));
    return difference == 0;
}

QString tokenDigest(const QString &token)
{
    return QString::fromLatin1(QCryptographicHash::hash(token.toUtf8(), QCryptographicHash::Sha256).toHex());
}

qint64 now()
{
    return QDateTime::currentSecsSinceEpoch();
}

ApiError unauthorized(const QByteArray &code)
{
    return {401, code, QStringLiteral("登录状态已失效，请重新登录")};
}

ApiError disabledAccount()
{
    return {403, "AUTH_ACCOUNT_DISABLED", QStringLiteral("该账户已被停用")};
}

constexpr qint64 quietMs = 15 * 60 * 1000;
constexpr qint64 firstHoldMs = 30 * 1000;
constexpr int nameLimit = 5;
constexpr int addressLimit = 20;
constexpr qsizetype recordsBeforeCleanUp = 10000;

ApiError tooManyAttempts(qint64 waitMs)
{
    const qint64 seconds = std::max<qint64>(1, (waitMs + 999) / 1000);
    const QString wait
        = seconds < 60 ? QStringLiteral("%1 秒").arg(seconds) : QStringLiteral("%1 分钟").arg((seconds + 59) / 60);
    return {429, "AUTH_TOO_MANY_ATTEMPTS", QStringLiteral("登录尝试过于频繁，请 %1后再试").arg(wait)};
}

} // namespace

namespace passwords {

QByteArray newSalt()
{
    return randomBytes(16);
}

QByteArray digest(const QString &password, const QByteArray &salt, int iterations)
{
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt, iterations, 32);
}

bool matches(const LoginRecord &record, const QByteArray &digest)
{
    return record.userId != 0 && sameBytes(digest, record.digest);
}

} // namespace passwords

QList<LoginThrottle::Key> LoginThrottle::keys(const QString &username, const QHostAddress &peer) const
{
    return {{QStringLiteral("name:") + username.toLower(), nameLimit},
        {QStringLiteral("address:") + peer.toString(), addressLimit}};
}

void LoginThrottle::admit(const QString &username, const QHostAddress &peer)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    forgetQuietRecords(now);
    const QList<Key> all = keys(username, peer);
    for (const Key &key : all) {
        const Record record = m_records.value(key.text);
        // Once held back, one attempt at a time.
        const int allowance = record.failures < key.limit ? key.limit - record.failures : 1;
        if (record.heldUntil > now || record.underWay >= allowance)
            throw tooManyAttempts(std::max<qint64>(record.heldUntil - now, 0));
    }
    for (const Key &key : all)
        ++m_records[key.text].underWay;
}

void LoginThrottle::finish(const QString &username, const QHostAddress &peer, bool succeeded)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const QList<Key> all = keys(username, peer);
    for (qsizetype i = 0; i < all.size(); ++i) {
        Record &record = m_records[all[i].text];
        --record.underWay;
        if (!succeeded) {
            ++record.failures;
            record.lastFailure = now;
            if (record.failures >= all[i].limit)
                record.heldUntil = now + std::min(firstHoldMs << std::min(record.failures - all[i].limit, 5), quietMs);
        } else if (i == 0) { // a correct password clears its name, not its address
            record.failures = 0;
        }
    }
}

void LoginThrottle::forgetQuietRecords(qint64 now)
{
    if (m_records.size() < recordsBeforeCleanUp)
        return;
    m_records.removeIf([now](const auto &entry) {
        const Record &record = entry.value();
        return record.underWay == 0 && record.heldUntil <= now && now - record.lastFailure > quietMs;
    });
}

QString usernameProblem(const QString &username)
{
    static const QRegularExpression rule(QRegularExpression::anchoredPattern(QStringLiteral("[A-Za-z0-9_.-]{3,64}")));
    return rule.match(username).hasMatch() ? QString() : QStringLiteral("用户名为 3–64 位字母、数字或 . _ -");
}

QString passwordProblem(const QString &password)
{
    static const QRegularExpression rule(
        QRegularExpression::anchoredPattern(QStringLiteral("(?=.*[A-Za-z])(?=.*[0-9]).{8,128}")));
    return rule.match(password).hasMatch() ? QString() : QStringLiteral("密码至少 8 位，且必须同时包含字母和数字");
}

Accounts::Accounts(Database &database, TokenLifetimes lifetimes)
    : m_database(database)
    , m_lifetimes(lifetimes)
{
    m_secret = m_database.value(QStringLiteral("SELECT value FROM settings WHERE key = 'jwt-secret'")).toByteArray();
    if (m_secret.isEmpty()) {
        m_secret = randomBytes(32);
        m_database.run(QStringLiteral("INSERT INTO settings (key, value) VALUES ('jwt-secret', ?)"), {m_secret});
    }
}

QByteArray Accounts::sign(const QByteArray &data)
{
    return QMessageAuthenticationCode::hash(data, m_secret, QCryptographicHash::Sha256).toBase64(base64Url);
}

qint64 Accounts::createUser(const QString &username, const QString &password)
{
    const QByteArray salt = passwords::newSalt();
    return insertUser(username, salt, passwords::digest(password, salt, passwordIterations));
}

qint64 Accounts::insertUser(const QString &username, const QByteArray &salt, const QByteArray &digest)
{
    m_database.run(QStringLiteral("INSERT INTO users (username, salt, digest, iterations, created_at)"
                                  " VALUES (?, ?, ?, ?, ?)"),
        {username, salt, digest, passwordIterations, timestampNow()});
    return m_database.value(QStringLiteral("SELECT last_insert_rowid()")).toLongLong();
}

bool Accounts::setDisabled(const QString &username, bool disabled)
{
    return m_database.run(QStringLiteral("UPDATE users SET disabled = ? WHERE username = ?"), {disabled, username})
               .numRowsAffected()
        > 0;
}

void Accounts::checkNewAccount(const QString &username, const QString &password)
{
    if (const QString problem = usernameProblem(username); !problem.isEmpty())
        throw ApiError::badRequest(problem);
    if (const QString problem = passwordProblem(password); !problem.isEmpty())
        throw ApiError::badRequest(problem);
    requireFreeName(username);
}

void Accounts::requireFreeName(const QString &username)
{
    if (m_database.value(QStringLiteral("SELECT id FROM users WHERE username = ?"), {username}).isValid())
        throw ApiError {409, "USERNAME_TAKEN", QStringLiteral("该用户名已被注册")};
}

QJsonObject Accounts::registerUser(const QString &username, const QByteArray &salt, const QByteArray &digest)
{
    return m_database.transaction([&] {
        requireFreeName(username); // another registration may have taken it meanwhile
        const qint64 id = insertUser(username, salt, digest);
        return issueTokens(id, username, QUuid::createUuid().toString(QUuid::WithoutBraces));
    });
}

LoginRecord Accounts::loginRecord(const QString &username)
{
    QSqlQuery user = m_database.run(
        QStringLiteral("SELECT id, username, salt, digest, iterations, disabled FROM users WHERE username = ?"),
        {username});
    if (!user.next())
        return LoginRecord {0, username, "unknown user", {}, passwordIterations, false};
    return LoginRecord {user.value(0).toLongLong(), user.value(1).toString(), user.value(2).toByteArray(),
        user.value(3).toByteArray(), user.value(4).toInt(), user.value(5).toBool()};
}

QJsonObject Accounts::login(const LoginRecord &record, bool passwordMatches)
{
    if (!passwordMatches)
        throw ApiError {401, "AUTH_INVALID_CREDENTIALS", QStringLiteral("用户名或密码不正确")};
    if (record.disabled)
        throw disabledAccount();
    return m_database.transaction([&] {
        return issueTokens(record.userId, record.username, QUuid::createUuid().toString(QUuid::WithoutBraces));
    });
}

QJsonObject Accounts::refresh(const QString &refreshToken)
{
    // The family is revoked on reuse even though the call then fails, so the
    // outcome is decided inside the transaction and thrown after it commits.
    std::optional<ApiError> failure;
    QJsonObject tokens = m_database.transaction([&]() -> QJsonObject {
        QSqlQuery row = m_database.run(QStringLiteral("SELECT t.id, t.user_id, t.family, t.state, t.expires_at,"
                                                      " u.username, u.disabled FROM refresh_tokens t"
                                                      " JOIN users u ON u.id = t.user_id WHERE t.token_hash = ?"),
            {tokenDigest(refreshToken)});
        if (!row.next()) {
            failure = ApiError {401, "AUTH_REFRESH_INVALID", QStringLiteral("登录凭证无效，请重新登录")};
            return {};
        }
        const QString family = row.value(2).toString();
        const QString state = row.value(3).toString();
        if (row.value(6).toBool()) {
            failure = disabledAccount();
        } else if (state == QLatin1String("rotated")) {
            m_database.run(
                QStringLiteral("UPDATE refresh_tokens SET state = 'revoked' WHERE family = ? AND state = 'active'"),
                {family});
            failure = ApiError {401, "AUTH_REFRESH_REUSED", QStringLiteral("登录凭证已被使用过，为安全起见请重新登录")};
        } else if (state == QLatin1String("revoked")) {
            failure = ApiError {401, "AUTH_REFRESH_REVOKED", QStringLiteral("登录凭证已注销，请重新登录")};
        } else if (row.value(4).toLongLong() <= now()) {
            failure = ApiError {401, "AUTH_REFRESH_EXPIRED", QStringLiteral("登录已过期，请重新登录")};
        }
        if (failure)
            return {};
        m_database.run(QStringLiteral("UPDATE refresh_tokens SET state = 'rotated' WHERE id = ?"), {row.value(0)});
        return issueTokens(row.value(1).toLongLong(), row.value(5).toString(), family);
    });
    if (failure)
        throw *failure;
    return tokens;
}

void Accounts::logout(const QString &refreshToken)
{
    m_database.run(QStringLiteral("UPDATE refresh_tokens SET state = 'revoked' WHERE state = 'active' AND family ="
                                  " (SELECT family FROM refresh_tokens WHERE token_hash = ?)"),
        {tokenDigest(refreshToken)});
}

QJsonObject Accounts::issueTokens(qint64 userId, const QString &username, const QString &family)
{
    const qint64 issuedAt = now();
    const QByteArray header = QByteArray(R"({"alg":"HS256","typ":"JWT"})").toBase64(base64Url);
    const QByteArray payload = QJsonDocument(
        QJsonObject {{"sub", QString::number(userId)}, {"name", username}, {"iat", issuedAt},
            {"exp", issuedAt + m_lifetimes.accessSeconds}, {"jti", QUuid::createUuid().toString(QUuid::WithoutBraces)}})
                                   .toJson(QJsonDocument::Compact)
                                   .toBase64(base64Url);
    const QByteArray signedPart = header + '.' + payload;
    const QString accessToken = QString::fromLatin1(signedPart + '.' + sign(signedPart));

    const QString refreshToken = QString::fromLatin1(randomBytes(32).toBase64(base64Url));
    m_database.run(QStringLiteral("INSERT INTO refresh_tokens (token_hash, user_id, family, state, expires_at)"
                                  " VALUES (?, ?, ?, 'active', ?)"),
        {tokenDigest(refreshToken), userId, family, issuedAt + m_lifetimes.refreshSeconds});

    return QJsonObject {{"accessToken", accessToken}, {"expiresIn", m_lifetimes.accessSeconds},
        {"refreshToken", refreshToken}, {"refreshExpiresIn", m_lifetimes.refreshSeconds},
        {"user", QJsonObject {{"id", userId}, {"username", username}}}};
}

qint64 Accounts::authenticate(const Request &request)
{
    const QByteArray authorization = request.header("Authorization");
    if (!authorization.startsWith("Bearer ") || authorization.size() == 7)
        throw unauthorized("AUTH_TOKEN_MISSING");
    const QList<QByteArray> parts = authorization.mid(7).split('.');
    if (parts.size() != 3 || !sameBytes(sign(parts[0] + '.' + parts[1]), parts[2]))
        throw unauthorized("AUTH_TOKEN_INVALID");
    const QJsonObject claims
        = QJsonDocument::fromJson(QByteArray::fromBase64(parts[1], QByteArray::Base64UrlEncoding)).object();
    if (claims.value("exp").toInteger() <= now())
        throw unauthorized("AUTH_TOKEN_EXPIRED");
    bool numeric = false;
    const qint64 userId = claims.value("sub").toString().toLongLong(&numeric);
    const QVariant disabled = m_database.value(QStringLiteral("SELECT disabled FROM users WHERE id = ?"), {userId});
    if (!numeric || !disabled.isValid() || disabled.toBool())
        throw unauthorized("AUTH_TOKEN_INVALID");
    return userId;
}

} // namespace standin
