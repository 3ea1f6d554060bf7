#pragma once

#include "Networking/ORVMobileAPIClient.h"
#include "Persistence/LocalWordStore.h"
#include "Platform/Async.h"
#include "Platform/Clock.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <optional>

namespace talvoro {

// A queued playlist deletion the server has not confirmed yet, with the text a
// screen shows for it.
struct PlaylistDeletionRetryFailure {
    qint64 id = 0;
    QString message;

    bool operator==(const PlaylistDeletionRetryFailure &) const = default;
};

// What one drain of the deletion queue did, in the order of its attempts.
struct PlaylistDeletionRetryReport {
    int attemptedCount = 0; // a DELETE was started for each
    QList<qint64> acknowledgedIDs;
    QList<PlaylistDeletionRetryFailure> failures;

    bool operator==(const PlaylistDeletionRetryReport &) const = default;
};

struct PlaylistSyncReport {
    PlaylistDeletionRetryReport deletionRetry;
    // Why the server's list could not be fetched or stored; absent when it was, when
    // no refresh was attempted, and when the refresh was cancelled.
    std::optional<QString> synchronizationErrorDescription;

    bool operator==(const PlaylistSyncReport &) const = default;
};

// Throttles automatic playlist refreshes: at most one per owner per cooldown,
// remembered for the most recent 64 owners.
struct PlaylistAutomaticRefreshPolicy {
    static constexpr qsizetype maximumOwners = 64;

    double cooldown = 30.0; // seconds
    QHash<QString, QDateTime> lastAttemptAtByOwner;

    // Whether a refresh may start now; when it may, `now` becomes the owner's last
    // attempt (a forced refresh too). A clock that went back does not refuse.
    bool shouldAttemptRefresh(const QString &ownerKey, const QDateTime &now, bool force);
};

// Brings an owner's private lexicons and playlists on the device in step with the
// backend, and sends the playlist deletions queued on the device. Nothing here
// throws: the lexicon refresh only logs, the playlist refresh and the drain report.
// Everything runs on the main thread; the engine, its client and its store must
// outlive the calls.
class QuenbrySyncEngine {
public:
    QuenbrySyncEngine(ORVMobileAPIClient &apiClient, LocalWordStore &localStore, const Clock &clock);
    QuenbrySyncEngine(const QuenbrySyncEngine &) = delete;
    QuenbrySyncEngine &operator=(const QuenbrySyncEngine &) = delete;

    // Fetches the owner's lexicon headers and stores them; neither joined nor throttled.
    Task<> synchronizePrivateLexicons(QString accessToken, QString ownerKey);

    // Sends the due deletions, then replaces the owner's playlists with the server's
    // list, unless a refresh of the owner ran less than the cooldown ago and `force`
    // is false: then only the due deletions are sent. A caller that finds a refresh
    // of the owner running gets that refresh's report, whatever its `force`.
    Task<PlaylistSyncReport> synchronizePlaylists(QString accessToken, QString ownerKey, bool force);

    // Sends the owner's queued deletions one after another: those due now, or every
    // one when `force`. A deletion another drain is sending is skipped.
    Task<PlaylistDeletionRetryReport> retryPendingPlaylistDeletions(QString accessToken, QString ownerKey, bool force);

private:
    struct ActivePlaylistSync {
        QString identifier;
        SharedTask<PlaylistSyncReport> task;
    };
    struct DeletionOutcome {
        enum class Kind { acknowledged, failed, cancelled };
        Kind kind = Kind::cancelled;
        QString message; // for `failed`
    };

    Task<PlaylistSyncReport> refreshPlaylists(QString accessToken, QString ownerKey);
    Task<DeletionOutcome> attemptDeletion(PendingPlaylistDeletion deletion, QString accessToken);
    void recordDeletionFailure(const PendingPlaylistDeletion &deletion, const std::exception_ptr &error);

    ORVMobileAPIClient &m_apiClient;
    LocalWordStore &m_localStore;
    const Clock &m_clock;
    QSet<QString> m_activeDeletionKeys;
    QHash<QString, ActivePlaylistSync> m_activePlaylistSyncs;
    PlaylistAutomaticRefreshPolicy m_playlistRefreshPolicy;
};

} // namespace talvoro
