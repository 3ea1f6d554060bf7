#include "Accounts.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonDocument>
#include <QMessageAuthenticationCode>
#include <QPasswordDigestor>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QUuid>

#include <optional>

namespace standin {
namespace {

constexpr int passwordIterations = 60000;
constexpr auto base64Url = QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals;

QByteArray randomBytes(int count)
{
    QByteArray bytes(count, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(bytes.data()), count / 4);
    return bytes;
}

QByteArray derive(const QString &password, const QByteArray &salt, int iterations)
{
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt, iterations, 32);
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

} // namespace

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
    const QByteArray salt = randomBytes(16);
    m_database.run(QStringLiteral("INSERT INTO users (username, salt, digest, iterations, created_at)"
                                  " VALUES (?, ?, ?, ?, ?)"),
        {username, salt, derive(password, salt, passwordIterations), passwordIterations, timestampNow()});
    return m_database.value(QStringLiteral("SELECT last_insert_rowid()")).toLongLong();
}

bool Accounts::setDisabled(const QString &username, bool disabled)
{
    return m_database.run(QStringLiteral("UPDATE users SET disabled = ? WHERE username = ?"), {disabled, username})
               .numRowsAffected()
        > 0;
}

QJsonObject Accounts::registerUser(const QString &username, const QString &password)
{
    if (const QString problem = usernameProblem(username); !problem.isEmpty())
        throw ApiError::badRequest(problem);
    if (const QString problem = passwordProblem(password); !problem.isEmpty())
        throw ApiError::badRequest(problem);
    return m_database.transaction([&] {
        if (m_database.value(QStringLiteral("SELECT id FROM users WHERE username = ?"), {username}).isValid())
            throw ApiError {409, "USERNAME_TAKEN", QStringLiteral("该用户名已被注册")};
        const qint64 id = createUser(username, password);
        return issueTokens(id, username, QUuid::createUuid().toString(QUuid::WithoutBraces));
    });
}

QJsonObject Accounts::login(const QString &username, const QString &password)
{
    QSqlQuery user = m_database.run(
        QStringLiteral("SELECT id, username, salt, digest, iterations, disabled FROM users WHERE username = ?"),
        {username});
    if (!user.next()) {
        derive(password, "unknown user", passwordIterations); // answer as slowly as for a known name
        throw ApiError {401, "AUTH_INVALID_CREDENTIALS", QStringLiteral("用户名或密码不正确")};
    }
    if (!sameBytes(derive(password, user.value(2).toByteArray(), user.value(4).toInt()), user.value(3).toByteArray()))
        throw ApiError {401, "AUTH_INVALID_CREDENTIALS", QStringLiteral("用户名或密码不正确")};
    if (user.value(5).toBool())
        throw disabledAccount();
    const qint64 id = user.value(0).toLongLong();
    const QString storedName = user.value(1).toString();
    return m_database.transaction(
        [&] { return issueTokens(id, storedName, QUuid::createUuid().toString(QUuid::WithoutBraces)); });
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
