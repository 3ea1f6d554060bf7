#include "Settings/PlaybackPreferenceEditor.h"

#include "Models/MobileAPIError.h"
#include "Networking/BackendConfiguration.h"
#include "Platform/Text.h"

namespace talvoro {

namespace {

using StoreError = PlaybackPreferenceOfflineStoreError;
using SyncState = PlaybackPreferenceSyncResult::State;

void checkStorable(const PlaybackPreference &preference, const QSet<PlaybackPreferenceField> &changedFields)
{
    if (!isValid(preference) || changedFields.isEmpty())
        throw StoreError(StoreError::Kind::invalidPreference);
}

PreferenceLoadOutcome loaded(
    PreferenceLoadOutcome::Kind kind, std::optional<SyncState> syncState = std::nullopt)
{
    PreferenceLoadOutcome outcome;
    outcome.kind = kind;
    outcome.syncState = syncState;
    return outcome;
}

PreferenceSaveOutcome saved(PreferenceSaveOutcome::Kind kind, std::optional<SyncState> syncState = std::nullopt)
{
    PreferenceSaveOutcome outcome;
    outcome.kind = kind;
    outcome.syncState = syncState;
    return outcome;
}

} // namespace

PlaybackPreferenceEditor::PlaybackPreferenceEditor(PlaybackPreferenceEditorServices services, QObject *parent)
    : QObject(parent)
    , m_services(std::move(services))
{
    if (m_services.connectivity) {
        connect(m_services.connectivity, &ORVNetworkConnectivityMonitor::availabilityChanged, this,
            &PlaybackPreferenceEditor::availabilityChanged);
    }
}

ORVNetworkAvailability PlaybackPreferenceEditor::availability() const
{
    return m_services.connectivity ? m_services.connectivity->availability() : ORVNetworkAvailability::unknown;
}

std::optional<AuthenticatedSessionSnapshot> PlaybackPreferenceEditor::authenticatedSnapshot() const
{
    if (!m_services.session || m_services.session->state().kind() != AppSessionState::Kind::authenticated)
        return std::nullopt;
    return m_services.session->state().snapshot();
}

std::optional<QString> PlaybackPreferenceEditor::accountOwnerKey() const
{
    const std::optional<AuthenticatedSessionSnapshot> snapshot = authenticatedSnapshot();
    if (!snapshot)
        return std::nullopt;
    return BackendConfiguration::ownerKey(snapshot->user.id, m_services.environmentKey);
}

void PlaybackPreferenceEditor::setPreference(const PlaybackPreference &preference)
{
    m_preference = preference;
    Q_EMIT preferenceChanged();
}

void PlaybackPreferenceEditor::applyPreference(const PlaybackPreference &preference)
{
    m_preference = preference.withDerivedMirrorFields();
    Q_EMIT preferenceChanged();
    Q_EMIT preferenceApplied();
    if (m_services.playbackSession) {
        if (PlaybackViewModel *viewModel = m_services.playbackSession->playbackViewModel())
            viewModel->applyServerPreference(m_preference);
    }
}

bool PlaybackPreferenceEditor::readLocalRecord(const QString &ownerKey)
{
    PlaybackPreferenceLocalRecord record;
    try {
        record = PlaybackPreferenceOfflineStore::loadRecord(ownerKey, *m_services.defaults);
    } catch (const AppError &) {
        setHasConfirmedBaseline(false);
        setHasPendingSynchronization(false);
        return false;
    }
    setHasConfirmedBaseline(record.confirmed.has_value());
    setHasPendingSynchronization(record.pending.has_value());
    if (const std::optional<PlaybackPreference> effective = record.effectivePreference())
        applyPreference(*effective);
    return true;
}

Task<PreferenceLoadOutcome> PlaybackPreferenceEditor::load()
{
    using Kind = PreferenceLoadOutcome::Kind;
    const std::optional<QString> ownerKey = accountOwnerKey();
    if (!ownerKey)
        co_return loaded(Kind::noOwnerKey);
    readLocalRecord(*ownerKey);
    const std::optional<AuthenticatedSessionSnapshot> snapshot = authenticatedSnapshot();
    if (!snapshot)
        co_return loaded(Kind::notSignedIn);
    if (isOffline())
        co_return loaded(Kind::offline);
    // While a write waits, the server's copy is older than what the device shows.
    if (m_hasPendingSynchronization) {
        QPointer<PlaybackPreferenceEditor> self(this);
        const std::optional<PlaybackPreferenceSyncResult> result = co_await synchronizePending(false);
        if (!self || !result)
            co_return loaded(Kind::dropped);
        co_return loaded(Kind::pushed, result->state);
    }
    const PreferenceLoadOutcome outcome = co_await confirmRemotePreference(this, *ownerKey, snapshot->accessToken);
    co_return outcome;
}

Task<PreferenceLoadOutcome> PlaybackPreferenceEditor::confirmRemotePreference(
    QPointer<PlaybackPreferenceEditor> self, QString ownerKey, QString accessToken)
{
    using Kind = PreferenceLoadOutcome::Kind;
    // The services outlive the editor; the record is written even when the screen
    // closed meanwhile, since the answer belongs to the owner it was asked for.
    const PlaybackPreferenceEditorServices services = self->m_services;
    std::exception_ptr failure;
    try {
        const PlaybackPreference remote
            = co_await services.preferenceSync->fetchRemotePreference(ownerKey, accessToken, *services.apiClient);
        if (!isValid(remote))
            throw StoreError(StoreError::Kind::invalidPreference);
        // Read again: a save may have stored a pending write during the fetch.
        PlaybackPreferenceLocalRecord record
            = PlaybackPreferenceOfflineStore::loadRecord(ownerKey, *services.defaults);
        record.confirmed = remote;
        PlaybackPreferenceOfflineStore::saveRecord(record, ownerKey, *services.defaults);
        if (!self || self->accountOwnerKey() != ownerKey)
            co_return loaded(Kind::dropped);
        self->setHasConfirmedBaseline(true);
        self->setHasPendingSynchronization(record.pending.has_value());
        // A write saved during the fetch is newer than the server's answer: showing
        // the answer would let the next save of all fields revert it.
        self->applyPreference(record.pending ? record.pending->preference : remote);
        co_return loaded(Kind::confirmed);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self || self->accountOwnerKey() != ownerKey || isCancellation(failure))
        co_return loaded(Kind::dropped);
    PreferenceLoadOutcome outcome = loaded(Kind::fetchFailed);
    outcome.connectivityFailure = isConnectivityFailure(failure);
    outcome.errorDescription = describe(failure);
    co_return outcome;
}

Task<std::optional<PlaybackPreferenceSyncResult>> PlaybackPreferenceEditor::synchronizePending(bool force)
{
    const std::optional<AuthenticatedSessionSnapshot> snapshot = authenticatedSnapshot();
    const std::optional<QString> ownerKey = accountOwnerKey();
    if (!snapshot || !ownerKey)
        co_return std::nullopt;
    QPointer<PlaybackPreferenceEditor> self(this);
    const PlaybackPreferenceSyncResult result = co_await m_services.preferenceSync->synchronize(
        *ownerKey, snapshot->accessToken, force, *m_services.apiClient);
    if (!self || self->accountOwnerKey() != ownerKey)
        co_return std::nullopt;
    self->absorbSyncResult(result, *ownerKey);
    const std::optional<PlaybackPreferenceSyncResult> answer = result;
    co_return answer;
}

void PlaybackPreferenceEditor::absorbSyncResult(const PlaybackPreferenceSyncResult &result, const QString &ownerKey)
{
    if (result.preference)
        applyPreference(*result.preference);
    // The coordinator may have folded a newer write in while it pushed, so the
    // record, not the state, says whether anything still waits.
    bool pending = result.state != SyncState::noPending && result.state != SyncState::synchronized;
    bool confirmedInRecord = false;
    try {
        const PlaybackPreferenceLocalRecord record
            = PlaybackPreferenceOfflineStore::loadRecord(ownerKey, *m_services.defaults);
        pending = record.pending.has_value();
        confirmedInRecord = record.confirmed.has_value();
    } catch (const AppError &) {
    }
    if (result.state == SyncState::synchronized || confirmedInRecord)
        setHasConfirmedBaseline(true);
    setHasPendingSynchronization(pending);
}

PlaybackPreferenceLocalRecord PlaybackPreferenceEditor::withPendingWrite(PlaybackPreferenceLocalRecord record,
    const PlaybackPreference &preference, const QSet<PlaybackPreferenceField> &changedFields, const QDateTime &now,
    const QString &operationID)
{
    const PlaybackPreference derived = preference.withDerivedMirrorFields();
    checkStorable(derived, changedFields);
    if (!record.confirmed)
        throw StoreError(StoreError::Kind::missingConfirmedBaseline);
    PendingPlaybackPreferenceWrite pending;
    pending.operationID = operationID;
    pending.preference = derived;
    pending.changedFields = changedFields;
    pending.enqueuedAt = now;
    if (record.pending) {
        pending.changedFields.unite(record.pending->changedFields);
        pending.enqueuedAt = record.pending->enqueuedAt;
    }
    pending.attemptCount = 0;
    pending.nextAttemptAt = now;
    record.pending = pending;
    return record;
}

Task<PreferenceSaveOutcome> PlaybackPreferenceEditor::save(
    PlaybackPreference preference, QSet<PlaybackPreferenceField> changedFields)
{
    using Kind = PreferenceSaveOutcome::Kind;
    const std::optional<QString> ownerKey = accountOwnerKey();
    if (!authenticatedSnapshot() || !ownerKey)
        co_return saved(Kind::notSignedIn);
    // Without the server's copy on the device, whatever is shown may be a default.
    if (!m_hasConfirmedBaseline)
        co_return saved(Kind::missingBaseline);

    const QDateTime now = m_services.clock->now();
    PlaybackPreference stored;
    try {
        checkStorable(preference.withDerivedMirrorFields(), changedFields);
        const PlaybackPreferenceLocalRecord record = withPendingWrite(
            PlaybackPreferenceOfflineStore::loadRecord(*ownerKey, *m_services.defaults), preference, changedFields,
            now, text::newUuidText());
        PlaybackPreferenceOfflineStore::saveRecord(record, *ownerKey, *m_services.defaults);
        stored = record.pending->preference;
    } catch (const AppError &error) {
        PreferenceSaveOutcome outcome = saved(Kind::storeFailed);
        outcome.errorDescription = error.description();
        co_return outcome;
    }

    setHasPendingSynchronization(true);
    Q_EMIT pendingWriteStored();
    applyPreference(stored);
    if (isOffline())
        co_return saved(Kind::storedOffline);
    QPointer<PlaybackPreferenceEditor> self(this);
    const std::optional<PlaybackPreferenceSyncResult> result = co_await synchronizePending(true);
    if (!self || !result)
        co_return saved(Kind::dropped);
    co_return saved(Kind::pushed, result->state);
}

void PlaybackPreferenceEditor::setHasConfirmedBaseline(bool value)
{
    if (m_hasConfirmedBaseline == value)
        return;
    m_hasConfirmedBaseline = value;
    Q_EMIT hasConfirmedBaselineChanged();
}

void PlaybackPreferenceEditor::setHasPendingSynchronization(bool value)
{
    if (m_hasPendingSynchronization == value)
        return;
    m_hasPendingSynchronization = value;
    Q_EMIT hasPendingSynchronizationChanged();
}

} // namespace talvoro
