#include "Session/SessionCredentialStore.h"

#include "Platform/Logging.h"
#include "Platform/Text.h"

namespace talvoro {

namespace {

// The earlier release's item had no service; the secret store names it so.
const QString legacyService;

std::optional<QDateTime> expiryAfter(const QDateTime &now, qint64 seconds)
{
    if (seconds < 1)
        return std::nullopt;
    // An expiry the stored session could not be read back with is no expiry either.
    const QDateTime expiry = now.addSecs(seconds);
    if (!expiry.isValid() || !text::fromReferenceSeconds(text::referenceSeconds(expiry)))
        return std::nullopt;
    return expiry;
}

std::optional<double> encodeDate(const std::optional<QDateTime> &date)
{
    if (!date)
        return std::nullopt;
    return text::referenceSeconds(*date);
}

// Runs a secret-store operation, reporting its failure in the store's own terms.
template<typename T>
Task<T> translated(Task<T> operation)
{
    try {
        if constexpr (std::is_void_v<T>)
            co_await std::move(operation);
        else
            co_return co_await std::move(operation);
    } catch (const SecureItemError &error) {
        // Users see only the number; the store's own words are what tells why.
        qCWarning(log::appSession, "系统密钥环操作失败（%d）：%s", error.status(), qUtf8Printable(error.detail()));
        throw SessionCredentialStoreError::keychain(error.status());
    }
}

} // namespace

QString SessionResponseValidationError::description() const
{
    return QStringLiteral("服务端返回的登录有效期无效");
}

StoredSession StoredSession::fromTokenResponse(const AuthTokenResponse &response, const QDateTime &now)
{
    const auto accessExpiry = expiryAfter(now, response.expiresIn);
    const auto refreshExpiry = expiryAfter(now, response.refreshExpiresIn);
    if (!accessExpiry || !refreshExpiry)
        throw SessionResponseValidationError();
    return {response.accessToken, response.refreshToken, response.user, accessExpiry, refreshExpiry};
}

StoredSession StoredSession::fromJson(const QJsonValue &value, const QString &path)
{
    const json::ObjectReader r(value, path);
    return {r.string(QStringLiteral("accessToken")), r.string(QStringLiteral("refreshToken")),
        UserSummary::fromJson(r.object(QStringLiteral("user")), r.pathOf(QStringLiteral("user"))),
        r.optionalReferenceDate(QStringLiteral("accessTokenExpiresAt")),
        r.optionalReferenceDate(QStringLiteral("refreshTokenExpiresAt"))};
}

QJsonObject StoredSession::toJson() const
{
    return json::ObjectWriter()
        .set(QStringLiteral("accessToken"), accessToken)
        .set(QStringLiteral("refreshToken"), refreshToken)
        .set(QStringLiteral("user"), user.toJson())
        .set(QStringLiteral("accessTokenExpiresAt"), encodeDate(accessTokenExpiresAt))
        .set(QStringLiteral("refreshTokenExpiresAt"), encodeDate(refreshTokenExpiresAt))
        .object();
}

SessionCredentialStoreError::SessionCredentialStoreError(Kind kind, int status)
    : m_kind(kind)
    , m_status(status)
{ }

SessionCredentialStoreError SessionCredentialStoreError::keychain(int status)
{
    return {Kind::keychain, status};
}

SessionCredentialStoreError SessionCredentialStoreError::corrupted()
{
    return {Kind::corrupted, 0};
}

QString SessionCredentialStoreError::description() const
{
    if (m_kind == Kind::corrupted)
        return QStringLiteral("本地登录状态已损坏，请重新登录");
    return QStringLiteral("无法安全保存登录状态，请重试");
}

KeychainSessionCredentialStore::KeychainSessionCredentialStore(
    std::shared_ptr<SecureItemStore> items, QString account, QString service)
    : m_items(std::move(items))
    , m_account(std::move(account))
    , m_service(std::move(service))
{ }

Task<std::optional<StoredSession>> KeychainSessionCredentialStore::load()
{
    const auto pass = co_await m_gate.enter();
    if (auto session = co_await readItem(m_service))
        co_return session;
    std::optional<StoredSession> legacy = co_await readItem(legacyService);
    if (legacy)
        co_await saveItem(*legacy); // removes the legacy item first
    co_return legacy;
}

Task<> KeychainSessionCredentialStore::save(StoredSession session)
{
    const auto pass = co_await m_gate.enter();
    co_await saveItem(std::move(session));
}

Task<> KeychainSessionCredentialStore::remove()
{
    const auto pass = co_await m_gate.enter();
    co_await removeItem(m_service);
    co_await removeItem(legacyService);
}

Task<std::optional<StoredSession>> KeychainSessionCredentialStore::readItem(QString service)
{
    const std::optional<QByteArray> data = co_await translated(m_items->read(service, m_account));
    if (!data)
        co_return std::nullopt;
    try {
        co_return StoredSession::fromJson(json::parse(*data));
    } catch (const json::DecodingError &) {
        throw SessionCredentialStoreError::corrupted();
    }
}

Task<> KeychainSessionCredentialStore::saveItem(StoredSession session)
{
    const QByteArray data = json::serialize(session.toJson());
    co_await removeItem(legacyService);
    co_await translated(m_items->write(m_service, m_account, data));
}

Task<> KeychainSessionCredentialStore::removeItem(QString service)
{
    co_await translated(m_items->remove(service, m_account));
}

} // namespace talvoro
