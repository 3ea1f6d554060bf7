#include "Platform/SecureItemStore.h"

#include <qt6keychain/keychain.h>

#include <QCoroSignal>

#include <memory>

namespace talvoro {

SecureItemError::SecureItemError(int status, QString detail)
    : m_status(status)
    , m_detail(std::move(detail))
{ }

QString SecureItemError::description() const
{
    return QStringLiteral("系统密钥环操作失败（%1）").arg(m_status);
}

namespace {

struct JobDeleter {
    void operator()(QKeychain::Job *job) const { job->deleteLater(); }
};

// Runs a job to its end on the calling (main) thread. QtKeychain queues its jobs in
// one process-wide executor that is not thread-safe, so jobs never go to a worker.
Task<> finish(QKeychain::Job *job)
{
    job->setAutoDelete(false);
    job->setInsecureFallback(false);
    job->start();
    co_await qCoro(job, &QKeychain::Job::finished);
}

} // namespace

Task<std::optional<QByteArray>> QtKeychainSecureItemStore::read(QString service, QString account)
{
    std::unique_ptr<QKeychain::ReadPasswordJob, JobDeleter> job(new QKeychain::ReadPasswordJob(service));
    job->setKey(account);
    co_await finish(job.get());
    if (job->error() == QKeychain::EntryNotFound)
        co_return std::nullopt;
    if (job->error() != QKeychain::NoError)
        throw SecureItemError(job->error(), job->errorString());
    co_return job->binaryData();
}

Task<> QtKeychainSecureItemStore::write(QString service, QString account, QByteArray secret)
{
    std::unique_ptr<QKeychain::WritePasswordJob, JobDeleter> job(new QKeychain::WritePasswordJob(service));
    job->setKey(account);
    job->setBinaryData(secret);
    co_await finish(job.get());
    if (job->error() != QKeychain::NoError)
        throw SecureItemError(job->error(), job->errorString());
}

namespace {

// One attempt at removing the item; a missing item is no failure.
Task<std::optional<SecureItemError>> tryRemove(QString service, QString account)
{
    std::unique_ptr<QKeychain::DeletePasswordJob, JobDeleter> job(new QKeychain::DeletePasswordJob(service));
    job->setKey(account);
    co_await finish(job.get());
    if (job->error() != QKeychain::NoError && job->error() != QKeychain::EntryNotFound)
        co_return SecureItemError(job->error(), job->errorString());
    co_return std::nullopt;
}

} // namespace

Task<> QtKeychainSecureItemStore::remove(QString service, QString account)
{
    // The Secret Service removes an item by a search and then a delete. When another
    // client (a second copy of the app, say) removes the same item between the two,
    // the delete answers "Object does not exist" and QtKeychain reports that as an
    // ordinary failure, not as a missing entry. Removing is safe to repeat: a second
    // attempt finds nothing and succeeds, and only a failure that repeats is one.
    if (!co_await tryRemove(service, account))
        co_return;
    if (auto again = co_await tryRemove(service, account))
        throw *again;
}

Task<std::optional<QByteArray>> MemorySecureItemStore::read(QString service, QString account)
{
    co_await HoldAwaiter {this};
    throwIfFailing(Operation::read);
    co_return item(service, account);
}

Task<> MemorySecureItemStore::write(QString service, QString account, QByteArray secret)
{
    co_await HoldAwaiter {this};
    throwIfFailing(Operation::write);
    ++m_writeCount;
    setItem(service, account, secret);
}

Task<> MemorySecureItemStore::remove(QString service, QString account)
{
    co_await HoldAwaiter {this};
    throwIfFailing(Operation::remove);
    m_items.erase({service, account});
}

std::optional<QByteArray> MemorySecureItemStore::item(const QString &service, const QString &account) const
{
    const auto it = m_items.find({service, account});
    if (it == m_items.end())
        return std::nullopt;
    return it->second;
}

void MemorySecureItemStore::setItem(const QString &service, const QString &account, const QByteArray &secret)
{
    m_items[{service, account}] = secret;
}

void MemorySecureItemStore::setFailure(Operation operation, std::optional<int> status)
{
    if (status)
        m_failures[operation] = *status;
    else
        m_failures.erase(operation);
}

void MemorySecureItemStore::release()
{
    m_holding = false;
    for (const std::coroutine_handle<> handle : std::exchange(m_held, {}))
        postToMainThread([handle] { handle.resume(); });
}

void MemorySecureItemStore::throwIfFailing(Operation operation) const
{
    const auto it = m_failures.find(operation);
    if (it != m_failures.end())
        throw SecureItemError(it->second, QStringLiteral("injected failure"));
}

} // namespace talvoro
