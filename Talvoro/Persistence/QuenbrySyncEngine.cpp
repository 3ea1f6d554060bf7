#include "Persistence/QuenbrySyncEngine.h"

#include "Models/MobileAPIError.h"
#include "Platform/Logging.h"
#include "Platform/Text.h"

namespace talvoro {

bool PlaylistAutomaticRefreshPolicy::shouldAttemptRefresh(const QString &ownerKey, const QDateTime &now, bool force)
{
    if (!force) {
        if (const auto last = lastAttemptAtByOwner.constFind(ownerKey); last != lastAttemptAtByOwner.cend()) {
            const double elapsed = double(last->msecsTo(now)) / 1000.0;
            if (elapsed >= 0 && elapsed < cooldown)
                return false;
        }
    }
    if (!lastAttemptAtByOwner.contains(ownerKey) && lastAttemptAtByOwner.size() >= maximumOwners) {
        auto oldest = lastAttemptAtByOwner.begin();
        for (auto it = lastAttemptAtByOwner.begin(); it != lastAttemptAtByOwner.end(); ++it) {
            if (*it < *oldest)
                oldest = it;
        }
        lastAttemptAtByOwner.erase(oldest);
    }
    lastAttemptAtByOwner.insert(ownerKey, now);
    return true;
}

QuenbrySyncEngine::QuenbrySyncEngine(ORVMobileAPIClient &apiClient, LocalWordStore &localStore, const Clock &clock)
    : m_apiClient(apiClient)
    , m_localStore(localStore)
    , m_clock(clock)
{ }

Task<> QuenbrySyncEngine::synchronizePrivateLexicons(QString accessToken, QString ownerKey)
{
    std::exception_ptr error;
    try {
        const QList<UserLexicon> lexicons = co_await m_apiClient.fetchUserLexicons(accessToken);
        m_localStore.savePrivateLexicons(lexicons, ownerKey);
        qCInfo(log::syncEngine).noquote() << QStringLiteral("私人词库已成功同步至 Core Data");
    } catch (...) {
        error = std::current_exception();
    }
    if (error && !isCancellation(error))
        qCCritical(log::syncEngine).noquote() << QStringLiteral("私人词库同步暂缓：%1").arg(describe(error));
}

Task<PlaylistSyncReport> QuenbrySyncEngine::synchronizePlaylists(QString accessToken, QString ownerKey, bool force)
{
    if (const auto running = m_activePlaylistSyncs.constFind(ownerKey); running != m_activePlaylistSyncs.cend()) {
        const SharedTask<PlaylistSyncReport> task = running->task;
        co_return co_await task;
    }
    if (!m_playlistRefreshPolicy.shouldAttemptRefresh(ownerKey, m_clock.now(), force)) {
        // Refused callers do not join one another: each sends what is due.
        PlaylistSyncReport report;
        report.deletionRetry = co_await retryPendingPlaylistDeletions(accessToken, ownerKey, false);
        co_return report;
    }

    const QString identifier = text::newUuidText();
    auto body = [this, accessToken, ownerKey](CancellationToken) { return refreshPlaylists(accessToken, ownerKey); };
    const SharedTask<PlaylistSyncReport> task = SharedTask<PlaylistSyncReport>::start(body);
    m_activePlaylistSyncs.insert(ownerKey, ActivePlaylistSync {identifier, task});
    // The body never fails, and nothing cancels a refresh.
    const PlaylistSyncReport report = co_await task;
    if (const auto entry = m_activePlaylistSyncs.constFind(ownerKey);
        entry != m_activePlaylistSyncs.cend() && entry->identifier == identifier)
        m_activePlaylistSyncs.erase(entry);
    co_return report;
}

Task<PlaylistSyncReport> QuenbrySyncEngine::refreshPlaylists(QString accessToken, QString ownerKey)
{
    PlaylistSyncReport report;
    report.deletionRetry = co_await retryPendingPlaylistDeletions(accessToken, ownerKey, false);
    std::exception_ptr error;
    try {
        const QList<ORVPlaylist> playlists = co_await m_apiClient.fetchUserPlaylists(accessToken);
        // All or nothing: on failure the local playlists stay as they were.
        m_localStore.replaceAllPlaylists(playlists, ownerKey, m_clock.now());
        qCInfo(log::syncEngine).noquote() << QStringLiteral("播放列表已使用 network-only 真实网络快照同步至 Core Data");
    } catch (...) {
        error = std::current_exception();
    }
    if (error && !isCancellation(error)) {
        const QString description = describe(error);
        qCCritical(log::syncEngine).noquote()
            << QStringLiteral("播放列表同步暂缓，本地快照继续可用：%1").arg(description);
        report.synchronizationErrorDescription = description;
    }
    co_return report;
}

} // namespace talvoro
