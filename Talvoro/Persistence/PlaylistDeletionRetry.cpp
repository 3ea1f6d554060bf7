#include "Persistence/QuenbrySyncEngine.h"

#include "Models/MobileAPIError.h"
#include "Platform/Logging.h"
#include "Platform/Text.h"

namespace talvoro {

namespace {

const QString acknowledgementNotSavedMessage
    = QStringLiteral("服务端已删除，但本地确认保存失败；下次进入页面、回到前台或刷新时会重试");
const QString pendingOnServerMessage = QStringLiteral("已从本机移除；重新进入页面、回到前台或手动刷新时会重试云端删除");

// The server's deletion time when the receipt confirms this playlist's deletion.
std::optional<QDateTime> confirmedDeletionTime(const ORVPlaylistDeletionReceipt &receipt, qint64 playlistID)
{
    if (receipt.id != playlistID || !receipt.deleted || receipt.version < 1)
        return std::nullopt;
    return text::parseIso8601(receipt.deletedAt);
}

} // namespace

Task<PlaylistDeletionRetryReport> QuenbrySyncEngine::retryPendingPlaylistDeletions(
    QString accessToken, QString ownerKey, bool force)
{
    PlaylistDeletionRetryReport report;
    QList<PendingPlaylistDeletion> deletions;
    try {
        deletions = m_localStore.fetchPendingPlaylistDeletions(
            ownerKey, force ? std::nullopt : std::optional<QDateTime>(m_clock.now()));
    } catch (...) {
        qCCritical(log::syncEngine).noquote()
            << QStringLiteral("读取播放列表删除队列失败：%1").arg(describe(std::current_exception()));
        co_return report;
    }

    for (const PendingPlaylistDeletion &deletion : std::as_const(deletions)) {
        // Another drain (a screen's and the refresh's may overlap) is sending this one.
        const QString key = deletion.ownerKey + QChar(0x1F) + QString::number(deletion.playlistID);
        if (m_activeDeletionKeys.contains(key))
            continue;
        m_activeDeletionKeys.insert(key);
        ++report.attemptedCount;
        const DeletionOutcome outcome = co_await attemptDeletion(deletion, accessToken);
        m_activeDeletionKeys.remove(key);
        switch (outcome.kind) {
        case DeletionOutcome::Kind::acknowledged:
            report.acknowledgedIDs.append(deletion.playlistID);
            break;
        case DeletionOutcome::Kind::failed:
            report.failures.append({deletion.playlistID, outcome.message});
            break;
        case DeletionOutcome::Kind::cancelled:
            break;
        }
    }
    co_return report;
}

Task<QuenbrySyncEngine::DeletionOutcome> QuenbrySyncEngine::attemptDeletion(
    PendingPlaylistDeletion deletion, QString accessToken)
{
    using Kind = DeletionOutcome::Kind;
    std::exception_ptr error;
    try {
        const ORVPlaylistDeletionReceipt receipt
            = co_await m_apiClient.deletePlaylist(deletion.playlistID, accessToken);
        const std::optional<QDateTime> deletedAt = confirmedDeletionTime(receipt, deletion.playlistID);
        if (!deletedAt)
            throw MobileAPIError::invalidResponse();
        m_localStore.acknowledgePlaylistDeletion(
            deletion.ownerKey, deletion.playlistID, deletedAt, receipt.version, m_clock.now());
    } catch (...) {
        error = std::current_exception();
    }
    if (!error)
        co_return DeletionOutcome {Kind::acknowledged, {}};

    if (isResourceNotFound(error)) {
        // The server no longer has it (deleted by an earlier attempt whose answer was
        // lost, or elsewhere): that is the state the user asked for.
        try {
            m_localStore.acknowledgePlaylistDeletion(
                deletion.ownerKey, deletion.playlistID, std::nullopt, std::nullopt, m_clock.now());
            error = nullptr;
        } catch (...) {
            recordDeletionFailure(deletion, std::current_exception());
        }
        co_return error ? DeletionOutcome {Kind::failed, acknowledgementNotSavedMessage}
                        : DeletionOutcome {Kind::acknowledged, {}};
    }
    if (isCancellation(error))
        co_return DeletionOutcome {Kind::cancelled, {}};
    recordDeletionFailure(deletion, error);
    co_return DeletionOutcome {Kind::failed, pendingOnServerMessage};
}

void QuenbrySyncEngine::recordDeletionFailure(const PendingPlaylistDeletion &deletion, const std::exception_ptr &error)
{
    try {
        m_localStore.recordPlaylistDeletionFailure(
            deletion.ownerKey, deletion.playlistID, describe(error), m_clock.now());
    } catch (...) {
        qCCritical(log::syncEngine).noquote()
            << QStringLiteral("保存播放列表删除重试状态失败：%1").arg(describe(std::current_exception()));
    }
}

} // namespace talvoro
