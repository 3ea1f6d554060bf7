#pragma once

#include "Models/Account.h"
#include "Platform/AppError.h"
#include "Platform/Async.h"
#include "Platform/AsyncGate.h"
#include "Platform/SecureItemStore.h"

#include <QDateTime>

#include <memory>
#include <optional>

namespace talvoro {

// A token answer promised lifetimes below one second (or beyond any date).
class SessionResponseValidationError final : public AppError {
public:
    QString description() const override;
};

// The session as it survives restarts. In JSON the dates are seconds since
// 2001-01-01 UTC and are left out when absent.
struct StoredSession {
    QString accessToken;
    QString refreshToken;
    UserSummary user;
    std::optional<QDateTime> accessTokenExpiresAt;
    std::optional<QDateTime> refreshTokenExpiresAt;

    // Both lifetimes must be 1 s or more; the expiries count from `now`.
    static StoredSession fromTokenResponse(const AuthTokenResponse &response, const QDateTime &now);

    static StoredSession fromJson(const QJsonValue &value, const QString &path = QStringLiteral("$"));
    QJsonObject toJson() const;
    bool operator==(const StoredSession &) const = default;
};

class SessionCredentialStoreError final : public AppError {
public:
    enum class Kind { keychain, corrupted };

    static SessionCredentialStoreError keychain(int status);
    static SessionCredentialStoreError corrupted();

    Kind kind() const { return m_kind; }
    // The secret store's error number; meaningful for `keychain`.
    int status() const { return m_status; }
    QString description() const override;

private:
    SessionCredentialStoreError(Kind kind, int status);
    Kind m_kind;
    int m_status;
};

// Where the session's tokens are kept between launches.
class SessionCredentialStore {
public:
    virtual ~SessionCredentialStore() = default;
    // The stored session, or none.
    virtual Task<std::optional<StoredSession>> load() = 0;
    // Replaces what is stored.
    virtual Task<> save(StoredSession session) = 0;
    // Removes the stored session and any item an earlier release left; nothing
    // stored is no failure.
    virtual Task<> remove() = 0;
};

// One secret item per account and service, holding the session's JSON. A release
// before this one kept the item without a service: it is moved under the service
// when first read, and removed by every save and removal. Operations run one at a
// time in the order they were called, each whole, so a removal queued after a save
// always wins. Failures of the secret store surface as `keychain` with its status.
class KeychainSessionCredentialStore final : public SessionCredentialStore {
public:
    static inline const QString defaultAccount = QStringLiteral("com.brellun.quenbry.mobile-session.v3");
    static inline const QString defaultService = QStringLiteral("com.brellun.quenbry.mobile-session");

    explicit KeychainSessionCredentialStore(
        std::shared_ptr<SecureItemStore> items, QString account = defaultAccount, QString service = defaultService);

    Task<std::optional<StoredSession>> load() override;
    Task<> save(StoredSession session) override;
    Task<> remove() override;

    QString account() const { return m_account; }
    QString service() const { return m_service; }

private:
    Task<std::optional<StoredSession>> readItem(QString service);
    Task<> saveItem(StoredSession session);
    Task<> removeItem(QString service);

    std::shared_ptr<SecureItemStore> m_items;
    QString m_account;
    QString m_service;
    AsyncGate m_gate;
};

} // namespace talvoro
