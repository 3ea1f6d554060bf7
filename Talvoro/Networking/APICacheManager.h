#pragma once

#include "Platform/Async.h"
#include "Platform/Clock.h"
#include "Platform/Files.h"
#include "Platform/SerialExecutor.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>

#include <memory>
#include <optional>

namespace talvoro {

struct CacheIdentity {
    QString key;
    QString scope;
    friend bool operator==(const CacheIdentity &, const CacheIdentity &) = default;
};
size_t qHash(const CacheIdentity &identity, size_t seed = 0);

struct APICacheLimits {
    qint64 maximumEntryCount = 128;
    qint64 maximumTotalBytes = 26'214'400;
    friend bool operator==(const APICacheLimits &, const APICacheLimits &) = default;
};

struct APICacheEntry {
    enum class Freshness { fresh, stale };
    QByteArray payload;
    Freshness freshness = Freshness::fresh;
    QDateTime createdAt;
    friend bool operator==(const APICacheEntry &, const APICacheEntry &) = default;
};

struct APICacheWriteToken {
    CacheIdentity identity;
    quint64 generation = 0;
    quint64 requestSequence = 0;
};

enum class APICacheStoreOutcome { stored, superseded, notStored };

// GET answers kept on disk, one JSON file per identity (key and scope), bounded by
// entry count and total size with oldest-first eviction. Every write is guarded by
// the identity's generation and the sequence of its newest request, so an answer
// that a newer request or an invalidation overtook is never written. Each operation
// runs whole on the store's own worker thread; callers resume on the main thread.
// Nothing throws: failures are logged and absorbed.
class APICacheManager {
public:
    APICacheManager(const QString &directory, APICacheLimits limits = {},
        std::shared_ptr<const Clock> clock = std::make_shared<SystemClock>());
    ~APICacheManager();

    // The app's store: the caches folder's "APICacheV2".
    static QString defaultDirectory(const AppDirectories &directories);

    QString directory() const;

    Task<APICacheWriteToken> beginRequest(QString key, QString scope);
    Task<std::optional<APICacheEntry>> entry(QString key, QString scope);
    Task<APICacheStoreOutcome> store(
        QByteArray payload, APICacheWriteToken token, double freshFor, double staleIfErrorFor);
    Task<bool> isCurrent(APICacheWriteToken token);
    Task<> invalidateEntry(QString key, QString scope);
    Task<> invalidate(QString keyPrefix, QString scope);

    // The file an identity is kept in: hex SHA-256 of scope, U+001F, key; ".json".
    static QString fileName(const CacheIdentity &identity);

    // The worker thread this object's operations run on; whoever owns the object
    // stops it (SerialExecutor::cancelPending) and lets its callers resume before
    // the services they resume into go away.
    SerialExecutor &executor() { return m_executor; }

    class Core;

private:
    QString m_directory;
    std::unique_ptr<Core> m_core; // touched only on m_executor's thread
    SerialExecutor m_executor;
};

} // namespace talvoro
