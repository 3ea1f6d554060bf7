#pragma once

#include "Networking/APIClientProtocol.h"
#include "Persistence/PlaybackPreferenceOfflineStore.h"
#include "Platform/Async.h"
#include "Platform/Clock.h"
#include "Platform/KeyValueStore.h"
#include "Platform/RandomSource.h"

#include <QHash>
#include <QString>

#include <optional>

namespace talvoro {

struct PlaybackPreferenceSyncResult {
    enum class State { noPending, deferred, synchronized, connectivityUnavailable, authenticationRequired, failed };

    State state = State::noPending;
    // What the caller should show and apply now: the change still waiting when there
    // is one, else the confirmed preference; none when the record cannot be read.
    std::optional<PlaybackPreference> preference;
};

// Sends an owner's pending preference change when it is due (or at once when
// forced), lays the changed fields over the server's preference after a version
// conflict and tries once more, folds the accepted answer into the local record,
// and records a back-off when sending fails. A change the server has not accepted
// is never dropped. Callers for one owner share one running sync; reads of the
// server's preference are shared per owner and access token.
// Everything runs on the main thread. The coordinator, its store and the clients
// passed in must outlive the calls.
class PlaybackPreferenceSyncCoordinator {
public:
    PlaybackPreferenceSyncCoordinator(KeyValueStore &defaults, const Clock &clock, RandomSource &random);

    // Never fails: every outcome is a result state. A caller that finds a sync of
    // the same owner running joins it; its token, flag and client are not used.
    Task<PlaybackPreferenceSyncResult> synchronize(
        QString ownerKey, QString accessToken, bool force, PlaybackPreferenceAPIClientProtocol &apiClient);

    // The server's preference as it was served (the caller checks it). A read with
    // the same owner and token joins the running one; another token cancels that
    // read (its callers get CancellationError) and starts a new one.
    Task<PlaybackPreference> fetchRemotePreference(
        QString ownerKey, QString accessToken, PlaybackPreferenceAPIClientProtocol &apiClient);

private:
    struct ActiveSync {
        QString identifier;
        SharedTask<PlaybackPreferenceSyncResult> task;
    };
    struct ActivePreferenceFetch {
        QString identifier;
        QString token;
        SharedTask<PlaybackPreference> task;
    };

    Task<PlaybackPreferenceSyncResult> synchronizePendingPreference(
        QString ownerKey, QString accessToken, bool force, PlaybackPreferenceAPIClientProtocol *apiClient);
    Task<PlaybackPreferenceSyncResult> pushPendingPreference(PendingPlaybackPreferenceWrite pending, QString ownerKey,
        QString accessToken, PlaybackPreferenceAPIClientProtocol *apiClient);
    Task<PlaybackPreference> sendPendingWrite(PendingPlaybackPreferenceWrite pending, QString ownerKey,
        QString accessToken, PlaybackPreferenceAPIClientProtocol *apiClient);
    PlaybackPreferenceSyncResult applyPushSuccess(
        const PlaybackPreference &accepted, const QString &sentOperationID, const QString &ownerKey);
    PlaybackPreferenceSyncResult recordPushFailure(
        const std::exception_ptr &error, const PendingPlaybackPreferenceWrite &pending, const QString &ownerKey);

    KeyValueStore &m_defaults;
    const Clock &m_clock;
    RandomSource &m_random;
    QHash<QString, ActiveSync> m_activeSyncs;
    QHash<QString, ActivePreferenceFetch> m_activePreferenceFetches;
};

} // namespace talvoro
