#pragma once

#include "Models/PlaybackPreference.h"
#include "Networking/APIClientProtocol.h"
#include "Persistence/PlaybackPreferenceField.h"
#include "Persistence/PlaybackPreferenceOfflineStore.h"
#include "Persistence/PlaybackPreferenceSyncCoordinator.h"
#include "Platform/Async.h"
#include "Platform/Clock.h"
#include "Platform/KeyValueStore.h"
#include "Platform/NetworkConnectivity.h"
#include "Playback/GlobalPlaybackSession.h"
#include "Screens/AppActivity.h"
#include "Session/AppSession.h"

#include <QObject>
#include <QPointer>
#include <QSet>

#include <optional>

namespace talvoro {

// What a screen that edits the account's global playback preference works with.
// The container fills it with the app's one instance of each; all must outlive
// the editor except the session, which is watched.
struct PlaybackPreferenceEditorServices {
    QPointer<AppSession> session;
    // The backend environment's partition key; without one no owner key exists.
    std::optional<QString> environmentKey;
    KeyValueStore *defaults = nullptr;
    const Clock *clock = nullptr;
    PlaybackPreferenceSyncCoordinator *preferenceSync = nullptr;
    PlaybackPreferenceAPIClientProtocol *apiClient = nullptr;
    ORVNetworkConnectivityMonitor *connectivity = nullptr;
    GlobalPlaybackSession *playbackSession = nullptr;
    // Whether the app is in the foreground; a screen over fakes may have none.
    AppActivity *appActivity = nullptr;
};

// How a load ended. The editor has already updated its own state; the screen adds
// its messages and its own flags.
struct PreferenceLoadOutcome {
    enum class Kind {
        noOwnerKey, // nothing was read
        notSignedIn, // the local record is shown; nobody is signed in
        offline, // the local record is shown; the network is down, nothing was sent
        pushed, // a pending write was pushed (unforced); `syncState` says how it went
        confirmed, // the server's preference is now the confirmed baseline
        fetchFailed, // the server's preference could not be confirmed; see below
        dropped, // cancelled, or the account changed while waiting: show nothing
    };
    Kind kind = Kind::dropped;
    std::optional<PlaybackPreferenceSyncResult::State> syncState; // pushed
    bool connectivityFailure = false; // fetchFailed: for lack of network
    QString errorDescription; // fetchFailed: the error's description
};

// How a save ended.
struct PreferenceSaveOutcome {
    enum class Kind {
        notSignedIn, // not authenticated or no owner key; nothing written
        missingBaseline, // the editor holds no confirmed baseline; nothing written
        storeFailed, // invalid preference, no fields, record without baseline, read or
                     // write error: the record is unchanged; see `errorDescription`
        storedOffline, // stored as a pending write; the network is down, not pushed
        pushed, // stored and pushed (forced); `syncState` says how it went
        dropped, // stored, but the push's answer belongs to an account no longer
                 // signed in (or the editor is gone): nothing of it was applied
    };
    Kind kind = Kind::dropped;
    std::optional<PlaybackPreferenceSyncResult::State> syncState; // pushed
    QString errorDescription; // storeFailed
};

// The one flow behind every screen that edits the global playback preference: the
// local record is shown first, then a pending write is pushed or the server's
// preference confirmed; an edit is stored on the device as a pending write
// (offline first) before it is pushed; nothing is stored before the device holds
// a confirmed copy of the server's preference, so no default value ever overwrites
// the account's settings.
//
// Each screen owns one editor (its child), with the flags below as that screen's
// state. Results are kept only while the same account is signed in as when the
// work started: a previous account's preference never reaches the screen or the
// shared player. Everything runs on the main thread.
class PlaybackPreferenceEditor final : public QObject {
    Q_OBJECT

public:
    explicit PlaybackPreferenceEditor(PlaybackPreferenceEditorServices services, QObject *parent = nullptr);

    const PlaybackPreferenceEditorServices &services() const { return m_services; }

    // The shown preference; the default until something is applied.
    const PlaybackPreference &preference() const { return m_preference; }
    // The record holds a server-confirmed copy, or the server answered on this visit.
    bool hasConfirmedBaseline() const { return m_hasConfirmedBaseline; }
    // The record holds a write the server has not confirmed.
    bool hasPendingSynchronization() const { return m_hasPendingSynchronization; }
    // Only a network known to be down counts as offline.
    ORVNetworkAvailability availability() const;
    bool isOffline() const { return availability() == ORVNetworkAvailability::unavailable; }

    // The owner key of the signed-in account's record; none unless authenticated
    // with a valid environment key.
    std::optional<QString> accountOwnerKey() const;
    // The signed-in snapshot; none unless authenticated.
    std::optional<AuthenticatedSessionSnapshot> authenticatedSnapshot() const;

    // An edit on screen (a slider moved): shown, not stored, not played.
    void setPreference(const PlaybackPreference &preference);
    // Shows the preference with its mirror fields derived and hands it to the shared
    // player when one exists, so that what plays next uses it. Stores nothing.
    // Emits preferenceApplied after preferenceChanged.
    void applyPreference(const PlaybackPreference &preference);

    // Reads the account's record: the flags mirror it, and its pending write, else
    // its confirmed copy, is applied. An unreadable record clears both flags and
    // leaves the shown values. False when it could not be read.
    bool readLocalRecord(const QString &ownerKey);

    // The whole load: the owner key, the local record, then (signed in and not
    // offline) the unforced push of a pending write, or the confirmation of the
    // server's preference. A screen that loads once per account checks
    // accountOwnerKey() itself before calling this.
    Task<PreferenceLoadOutcome> load();

    // Pushes the pending write; none when no push was attempted (not signed in, no
    // owner key) or when its answer was dropped (another account, editor gone).
    // The result's preference is applied, the baseline flag is set by a
    // `synchronized` answer (or a confirmed copy in the record), and the pending flag
    // follows a fresh read of the record (the table of states when it cannot be read).
    Task<std::optional<PlaybackPreferenceSyncResult>> synchronizePending(bool force);

    // Stores `preference` as the pending write with `changedFields` united with the
    // earlier pending write's (keeping its enqueue time), applies it, and pushes it
    // (forced) unless offline. The confirmed copy is never changed.
    Task<PreferenceSaveOutcome> save(PlaybackPreference preference, QSet<PlaybackPreferenceField> changedFields);

    // The record with `preference` (mirrors derived) as its pending write in place of
    // any earlier one: fields united, the earlier enqueue time kept, no attempts,
    // due at `now`. Throws PlaybackPreferenceOfflineStoreError.
    static PlaybackPreferenceLocalRecord withPendingWrite(PlaybackPreferenceLocalRecord record,
        const PlaybackPreference &preference, const QSet<PlaybackPreferenceField> &changedFields, const QDateTime &now,
        const QString &operationID);

Q_SIGNALS:
    void preferenceChanged();
    // A preference was applied (loaded, confirmed, saved or synchronised), not merely edited.
    void preferenceApplied();
    void hasConfirmedBaselineChanged();
    void hasPendingSynchronizationChanged();
    // A save has just stored its pending write, before any push.
    void pendingWriteStored();
    void availabilityChanged();

private:
    static Task<PreferenceLoadOutcome> confirmRemotePreference(
        QPointer<PlaybackPreferenceEditor> self, QString ownerKey, QString accessToken);
    // The preference, baseline and pending flags after a sync result for `ownerKey`.
    void absorbSyncResult(const PlaybackPreferenceSyncResult &result, const QString &ownerKey);
    void setHasConfirmedBaseline(bool value);
    void setHasPendingSynchronization(bool value);

    PlaybackPreferenceEditorServices m_services;
    PlaybackPreference m_preference;
    bool m_hasConfirmedBaseline = false;
    bool m_hasPendingSynchronization = false;
};

} // namespace talvoro
