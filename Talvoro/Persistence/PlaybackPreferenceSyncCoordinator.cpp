#include "Persistence/PlaybackPreferenceSyncCoordinator.h"

#include "Models/MobileAPIError.h"
#include "Platform/Logging.h"
#include "Platform/Text.h"

#include <cmath>

namespace talvoro {

using Result = PlaybackPreferenceSyncResult;

PlaybackPreferenceSyncCoordinator::PlaybackPreferenceSyncCoordinator(
    KeyValueStore &defaults, const Clock &clock, RandomSource &random)
    : m_defaults(defaults)
    , m_clock(clock)
    , m_random(random)
{ }

Task<Result> PlaybackPreferenceSyncCoordinator::synchronize(
    QString ownerKey, QString accessToken, bool force, PlaybackPreferenceAPIClientProtocol &apiClient)
{
    if (const auto running = m_activeSyncs.constFind(ownerKey); running != m_activeSyncs.cend()) {
        const SharedTask<Result> task = running->task;
        co_return co_await task;
    }
    const QString identifier = text::newUuidText();
    PlaybackPreferenceAPIClientProtocol *client = &apiClient;
    auto body = [this, ownerKey, accessToken, force, client](
                    CancellationToken) { return synchronizePendingPreference(ownerKey, accessToken, force, client); };
    const SharedTask<Result> task = SharedTask<Result>::start(body);
    m_activeSyncs.insert(ownerKey, ActiveSync {identifier, task});
    // The body never fails, and nothing cancels a sync.
    const Result result = co_await task;
    if (const auto entry = m_activeSyncs.constFind(ownerKey);
        entry != m_activeSyncs.cend() && entry->identifier == identifier)
        m_activeSyncs.erase(entry);
    co_return result;
}

Task<PlaybackPreference> PlaybackPreferenceSyncCoordinator::fetchRemotePreference(
    QString ownerKey, QString accessToken, PlaybackPreferenceAPIClientProtocol &apiClient)
{
    if (const auto running = m_activePreferenceFetches.constFind(ownerKey);
        running != m_activePreferenceFetches.cend()) {
        if (running->token == accessToken) {
            const SharedTask<PlaybackPreference> task = running->task;
            co_return co_await task;
        }
        // A read for another token (a refreshed or another session) must not answer
        // this one: its starter gets the cancellation.
        SharedTask<PlaybackPreference> replaced = running->task;
        m_activePreferenceFetches.erase(running);
        replaced.cancel();
    }
    const QString identifier = text::newUuidText();
    PlaybackPreferenceAPIClientProtocol *client = &apiClient;
    auto read = [client, accessToken](CancellationToken) { return client->fetchPlaybackPreferences(accessToken); };
    const SharedTask<PlaybackPreference> task = SharedTask<PlaybackPreference>::start(read);
    m_activePreferenceFetches.insert(ownerKey, ActivePreferenceFetch {identifier, accessToken, task});

    std::optional<PlaybackPreference> preference;
    std::exception_ptr error;
    try {
        preference = co_await task;
    } catch (...) {
        error = std::current_exception();
    }
    if (const auto entry = m_activePreferenceFetches.constFind(ownerKey);
        entry != m_activePreferenceFetches.cend() && entry->identifier == identifier)
        m_activePreferenceFetches.erase(entry);
    if (error)
        std::rethrow_exception(error);
    co_return *preference;
}

Task<Result> PlaybackPreferenceSyncCoordinator::synchronizePendingPreference(
    QString ownerKey, QString accessToken, bool force, PlaybackPreferenceAPIClientProtocol *apiClient)
{
    const QDateTime now = m_clock.now();
    PlaybackPreferenceLocalRecord record;
    try {
        record = PlaybackPreferenceOfflineStore::loadRecord(ownerKey, m_defaults);
    } catch (...) {
        qCCritical(log::preferenceSync).noquote() << QStringLiteral("本地播放偏好记录不可用");
        co_return Result {Result::State::failed, std::nullopt};
    }
    if (!record.pending)
        co_return Result {Result::State::noPending, record.confirmed};
    if (!force && now < record.pending->nextAttemptAt)
        co_return Result {Result::State::deferred, record.pending->preference};

    const PendingPlaybackPreferenceWrite sent = *record.pending;
    std::exception_ptr error;
    try {
        co_return co_await pushPendingPreference(sent, ownerKey, accessToken, apiClient);
    } catch (...) {
        error = std::current_exception();
    }
    co_return recordPushFailure(error, sent, ownerKey);
}

Task<Result> PlaybackPreferenceSyncCoordinator::pushPendingPreference(PendingPlaybackPreferenceWrite pending,
    QString ownerKey, QString accessToken, PlaybackPreferenceAPIClientProtocol *apiClient)
{
    const PlaybackPreference accepted = co_await sendPendingWrite(pending, ownerKey, accessToken, apiClient);
    co_return applyPushSuccess(accepted, pending.operationID, ownerKey);
}

Task<PlaybackPreference> PlaybackPreferenceSyncCoordinator::sendPendingWrite(PendingPlaybackPreferenceWrite pending,
    QString ownerKey, QString accessToken, PlaybackPreferenceAPIClientProtocol *apiClient)
{
    // The preference's version is the one the change was based on; the server must
    // answer with a newer one.
    std::optional<PlaybackPreference> answer;
    try {
        answer = co_await apiClient->updatePlaybackPreferences(pending.preference, accessToken);
    } catch (const MobileAPIError &error) {
        if (error.kind() != MobileAPIError::Kind::server || error.statusCode() != 409)
            throw;
    }
    if (answer) {
        if (pending.preference.version >= answer->version || !isValid(*answer))
            throw MobileAPIError::invalidResponse();
        co_return *answer;
    }

    // Someone else changed the preference first: keep their changes, lay ours over
    // them, and try once more against their version.
    const PlaybackPreference server = co_await fetchRemotePreference(ownerKey, accessToken, *apiClient);
    if (!isValid(server))
        throw MobileAPIError::invalidResponse();
    const PlaybackPreference merged = rebased(server, pending.preference, pending.changedFields);
    const PlaybackPreference retried = co_await apiClient->updatePlaybackPreferences(merged, accessToken);
    if (server.version >= retried.version || !isValid(retried))
        throw MobileAPIError::invalidResponse();
    co_return retried;
}

Result PlaybackPreferenceSyncCoordinator::applyPushSuccess(
    const PlaybackPreference &accepted, const QString &sentOperationID, const QString &ownerKey)
{
    PlaybackPreferenceLocalRecord record = PlaybackPreferenceOfflineStore::loadRecord(ownerKey, m_defaults);
    record.confirmed = accepted;
    // A change made while this one was on its way has its own identifier and stays.
    if (record.pending && record.pending->operationID == sentOperationID)
        record.pending.reset();
    PlaybackPreferenceOfflineStore::saveRecord(record, ownerKey, m_defaults);
    if (record.pending)
        return {Result::State::synchronized, record.pending->preference};
    return {Result::State::synchronized, record.confirmed};
}

Result PlaybackPreferenceSyncCoordinator::recordPushFailure(
    const std::exception_ptr &error, const PendingPlaybackPreferenceWrite &pending, const QString &ownerKey)
{
    if (isCancellation(error))
        return {Result::State::deferred, pending.preference};

    const QDateTime now = m_clock.now();
    // Uniform over [0, 1], both ends included.
    constexpr quint64 steps = quint64(1) << 53;
    const double jitter = double(m_random.bounded(steps + 1)) / double(steps);
    try {
        PlaybackPreferenceLocalRecord record = PlaybackPreferenceOfflineStore::loadRecord(ownerKey, m_defaults);
        if (record.pending && record.pending->operationID == pending.operationID) {
            PendingPlaybackPreferenceWrite &write = *record.pending;
            write.attemptCount = std::min<qint64>(write.attemptCount + 1, 16);
            const double delay = PlaybackPreferenceOfflineStore::retryDelay(write.attemptCount, jitter);
            write.nextAttemptAt = now.addMSecs(std::llround(delay * 1000));
            PlaybackPreferenceOfflineStore::saveRecord(record, ownerKey, m_defaults);
        }
    } catch (...) {
        qCCritical(log::preferenceSync).noquote() << QStringLiteral("播放偏好同步失败后无法更新退避记录");
    }

    if (isConnectivityFailure(error))
        return {Result::State::connectivityUnavailable, pending.preference};
    try {
        std::rethrow_exception(error);
    } catch (const MobileAPIError &apiError) {
        if (apiError.kind() == MobileAPIError::Kind::unauthorized)
            return {Result::State::authenticationRequired, pending.preference};
    } catch (...) { }
    qCCritical(log::preferenceSync).noquote() << QStringLiteral("播放偏好远端同步失败，已保留待同步记录");
    return {Result::State::failed, pending.preference};
}

} // namespace talvoro
