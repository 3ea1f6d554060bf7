#pragma once

#include "Platform/AppError.h"
#include "Platform/Async.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <coroutine>
#include <map>
#include <optional>
#include <vector>

namespace talvoro {

// The secret store refused or failed an operation. `status` is the store's own
// error number (QtKeychain's: 4 access denied, e.g. a locked keyring; 5 no backend;
// 7 other, e.g. no session bus).
class SecureItemError final : public AppError {
public:
    SecureItemError(int status, QString detail);
    int status() const { return m_status; }
    // What the store said, for logs only.
    QString detail() const { return m_detail; }
    QString description() const override;

private:
    int m_status;
    QString m_detail;
};

// Secrets kept by the system, one item per service and account. An empty service
// names the account's item written without a service. Every operation may throw
// SecureItemError; callers on the main thread resume there.
class SecureItemStore {
public:
    virtual ~SecureItemStore() = default;

    // The item's secret, or none when there is no such item.
    virtual Task<std::optional<QByteArray>> read(QString service, QString account) = 0;
    // Creates the item or replaces its secret.
    virtual Task<> write(QString service, QString account, QByteArray secret) = 0;
    // Removes the item; a missing item is no failure.
    virtual Task<> remove(QString service, QString account) = 0;
};

// The Secret Service (libsecret) through QtKeychain, or the system keychain where
// QtKeychain has one. Never QtKeychain's plaintext fallback: without a working secret
// store every operation fails and nothing is written anywhere else.
class QtKeychainSecureItemStore final : public SecureItemStore {
public:
    Task<std::optional<QByteArray>> read(QString service, QString account) override;
    Task<> write(QString service, QString account, QByteArray secret) override;
    Task<> remove(QString service, QString account) override;
};

// Items in memory, for tests: failures can be injected per operation, and
// operations can be held back to be in flight while something else happens.
class MemorySecureItemStore final : public SecureItemStore {
public:
    enum class Operation { read, write, remove };

    Task<std::optional<QByteArray>> read(QString service, QString account) override;
    Task<> write(QString service, QString account, QByteArray secret) override;
    Task<> remove(QString service, QString account) override;

    std::optional<QByteArray> item(const QString &service, const QString &account) const;
    void setItem(const QString &service, const QString &account, const QByteArray &secret);
    qsizetype itemCount() const { return qsizetype(m_items.size()); }
    int writeCount() const { return m_writeCount; }

    // Every later operation of that kind fails with `status`, until cleared with none.
    void setFailure(Operation operation, std::optional<int> status);
    // Operations that start while held wait until release().
    void hold() { m_holding = true; }
    void release();
    qsizetype heldCount() const { return qsizetype(m_held.size()); }

private:
    struct HoldAwaiter {
        MemorySecureItemStore *store;
        bool await_ready() const { return !store->m_holding; }
        void await_suspend(std::coroutine_handle<> handle) { store->m_held.push_back(handle); }
        void await_resume() const { }
    };
    void throwIfFailing(Operation operation) const;

    std::map<QPair<QString, QString>, QByteArray> m_items;
    std::map<Operation, int> m_failures;
    bool m_holding = false;
    std::vector<std::coroutine_handle<>> m_held;
    int m_writeCount = 0;
};

} // namespace talvoro
