#include "PlaylistDetailModel.h"

#include "DesignSystem/ORVListRowPosition.h"
#include "Models/MobileAPIError.h"
#include "Platform/Text.h"

namespace talvoro {

namespace {

const QString failureTitle = QStringLiteral("操作失败");

bool isConflict(const std::exception_ptr &error)
{
    try {
        std::rethrow_exception(error);
    } catch (const MobileAPIError &apiError) {
        return apiError.kind() == MobileAPIError::Kind::server && apiError.statusCode() == 409;
    } catch (...) {
        return false;
    }
}

const QString sessionChangedText = QStringLiteral("登录账号已发生变化，为避免跨账号写入，本次操作已取消");

// The session's refusal in this screen's words; every other failure as it is.
QString describeRemovalFailure(const std::exception_ptr &error)
{
    return describeSessionRefusal(error, sessionChangedText).value_or(describe(error));
}

} // namespace

QString PlaylistDetailMutationError::description() const
{
    switch (m_kind) {
    case Kind::itemNoLongerExists:
        return QStringLiteral("该词汇已不在当前播放列表中");
    case Kind::invalidAcknowledgement:
        return QStringLiteral("服务端未返回可验证的播放列表更新结果，请重新进入页面后重试");
    case Kind::locallyDeletedDuringMutation:
        return QStringLiteral("该播放列表已被删除，本次条目更新不会恢复它");
    case Kind::sessionExpired:
        return SessionRefused(SessionRefused::Reason::expired).description();
    case Kind::sessionTemporarilyUnavailable:
        return SessionRefused(SessionRefused::Reason::temporarilyUnavailable).description();
    case Kind::sessionChanged:
        break;
    }
    return sessionChangedText;
}

void PlaylistItemRowsModel::setDeletingItemId(const QString &itemId)
{
    if (m_deletingItemId == itemId)
        return;
    m_deletingItemId = itemId;
    allRowsChanged({DeletingRole});
}

QVariant PlaylistItemRowsModel::data(const QModelIndex &index, int role) const
{
    const ORVPlaylistItem *item = rowAt(m_rows, index);
    if (!item)
        return {};
    switch (role) {
    case ItemIdRole:
        return item->id();
    case WordDisplayRole:
    case Qt::DisplayRole:
        return item->wordDisplay;
    case IpaRole:
        return item->ipa.value_or(QString());
    case RowPositionRole:
        return int(ORVListRowPosition::forIndex(index.row(), rowCount()));
    case DeletingRole:
        return !m_deletingItemId.isEmpty() && m_deletingItemId == item->id();
    default:
        return {};
    }
}

QHash<int, QByteArray> PlaylistItemRowsModel::roleNames() const
{
    return {{ItemIdRole, "itemId"}, {WordDisplayRole, "wordDisplay"}, {IpaRole, "ipa"},
        {RowPositionRole, "rowPosition"}, {DeletingRole, "deleting"}};
}

PlaylistDetailModel::PlaylistDetailModel(ORVPlaylist playlist, DeletionCallback onDelete, PlaylistServices services,
    GlobalPlaybackSession &playbackSession, QObject *parent)
    : QObject(parent)
    , m_playlist(std::move(playlist))
    , m_onDelete(std::move(onDelete))
    , m_services(std::move(services))
    , m_playbackSession(playbackSession)
    , m_playlistVersion(m_playlist.version)
{
    m_items.setRows(m_playlist.items);
}

QList<ORVWord> PlaylistDetailModel::wordsForPlayback(const QList<ORVPlaylistItem> &items)
{
    QList<ORVWord> words;
    words.reserve(items.size());
    for (const ORVPlaylistItem &item : items) {
        ORVWord word;
        word.id = item.wordId;
        word.wordDisplay = item.wordDisplay;
        word.wordNormalized = item.wordDisplay.toLower();
        word.ipa = item.ipa;
        word.syllables = item.syllables;
        word.translationsZh = item.translationsZh.value_or(QList<QString>());
        word.explanation = item.explanation;
        word.usageScenario = item.usageScenario;
        word.playbackProfile = item.playbackProfile;
        word.version = 1;
        word.repeatCount = item.repeatCount;
        words.append(word);
    }
    return words;
}

void PlaylistDetailModel::playPlaylist()
{
    std::optional<QString> accessToken;
    std::optional<UserSummary> user;
    if (m_services.session) {
        if (const auto &snapshot = m_services.session->state().snapshot()) {
            accessToken = snapshot->accessToken;
            user = snapshot->user;
        }
    }
    m_playbackSession.play(m_playlist.name, wordsForPlayback(items()), accessToken, user, 0);
    if (m_playbackSession.context())
        m_playbackSession.setFullPlayerPresented(true);
}

void PlaylistDetailModel::confirmRemoveItem(const QString &itemId)
{
    if (m_deletingItemId)
        return;
    for (const ORVPlaylistItem &item : items()) {
        if (item.id() == itemId) {
            setActiveAlert(Alert {AlertKind::DeleteItem, QStringLiteral("delete-item-") + itemId,
                QStringLiteral("从播放列表移除？"),
                QStringLiteral("将“") + item.wordDisplay
                    + QStringLiteral("”从当前播放列表移除，不会删除私人词库中的单词。"),
                itemId});
            return;
        }
    }
}

void PlaylistDetailModel::confirmDeletePlaylist()
{
    if (m_deletingItemId)
        return;
    setActiveAlert(
        Alert {AlertKind::DeletePlaylist, QStringLiteral("delete-playlist"), QStringLiteral("删除播放列表？"),
            QStringLiteral("确定要删除播放列表“") + m_playlist.name + QStringLiteral("”吗？相关词汇不会从词库中删除。"),
            QString()});
}

void PlaylistDetailModel::dismissAlert()
{
    setActiveAlert(std::nullopt);
}

void PlaylistDetailModel::showMessage(const QString &title, const QString &message)
{
    setActiveAlert(Alert {AlertKind::Message, QStringLiteral("message-") + text::newUuidText(), title, message, {}});
}

void PlaylistDetailModel::setActiveAlert(std::optional<Alert> alert)
{
    if (!alert && !m_activeAlert)
        return;
    m_activeAlert = std::move(alert);
    Q_EMIT activeAlertChanged();
}

void PlaylistDetailModel::setDeletingItemId(std::optional<QString> itemId)
{
    if (m_deletingItemId == itemId)
        return;
    m_deletingItemId = std::move(itemId);
    m_items.setDeletingItemId(m_deletingItemId.value_or(QString()));
    Q_EMIT deletingItemIdChanged();
}

void PlaylistDetailModel::showRows(QList<ORVPlaylistItem> items, qint64 version)
{
    m_playlistVersion = version;
    m_items.setRows(std::move(items));
    Q_EMIT itemsChanged();
}

std::optional<QList<ORVPlaylistItem>> PlaylistDetailModel::remainingItems(const QString &itemId) const
{
    QList<ORVPlaylistItem> remaining = items();
    for (qsizetype i = 0; i < remaining.size(); ++i) {
        if (remaining[i].id() == itemId) {
            remaining.removeAt(i);
            return PlaylistEntries::renumbered(remaining);
        }
    }
    return std::nullopt;
}

Task<> PlaylistDetailModel::removeItem(QString itemId)
{
    return runRemoval(this, std::move(itemId));
}

Task<> PlaylistDetailModel::runRemoval(QPointer<PlaylistDetailModel> self, QString itemId)
{
    if (!self || self->m_deletingItemId)
        co_return;
    const std::optional<QList<ORVPlaylistItem>> remaining = self->remainingItems(itemId);
    if (!remaining) {
        self->showMessage(failureTitle,
            PlaylistDetailMutationError(PlaylistDetailMutationError::Kind::itemNoLongerExists).description());
        co_return;
    }
    const PlaylistServices services = self->m_services;
    const std::optional<SessionCredentials> credentials = services.credentials();
    if (!credentials) {
        self->showMessage(failureTitle, QStringLiteral("当前登录状态无效；未删除任何本地条目"));
        co_return;
    }
    QString ownerKey;
    try {
        ownerKey = services.preparePlaylistPartition();
    } catch (...) {
        self->showMessage(
            failureTitle, QStringLiteral("无法准备播放列表本地分区：") + describe(std::current_exception()));
        co_return;
    }
    const qint64 baseVersion = self->m_playlistVersion;
    const ORVPlaylist playlist = self->m_playlist;
    const QList<ORVPlaylistItem> expected = *remaining;
    self->setDeletingItemId(itemId);

    ORVMobileAPIClient *apiClient = services.apiClient;
    const PlaylistWrite write = [apiClient, playlist, expected, baseVersion](QString accessToken) {
        return apiClient->updatePlaylist(
            playlist.id, playlist.name, playlist.loopMode, playlist.loopCount, expected, baseVersion, accessToken);
    };
    std::exception_ptr failure;
    std::optional<ORVPlaylist> stored;
    try {
        const ORVPlaylist answer
            = co_await performPlaylistWrite(services, credentials->accessToken, ownerKey, true, write);
        // The server took the removal: the device keeps it even when the screen is gone.
        stored = storeAcknowledgedPlaylist(services, playlist.id, answer, expected, baseVersion, ownerKey);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self)
        co_return;
    if (stored) {
        self->showRows(stored->items, stored->version);
    } else if (isConflict(failure)) {
        const auto [outcome, reason] = co_await reloadAfterConflict(self, services, playlist.id, ownerKey);
        if (self && outcome == ConflictReload::refreshed) {
            self->showMessage(failureTitle, QStringLiteral("播放列表已在其他设备修改，已刷新为最新内容，请重新操作"));
        } else if (self && outcome == ConflictReload::notRefreshed) {
            self->showMessage(failureTitle,
                reason.isEmpty() ? QStringLiteral("播放列表已在其他设备修改，请返回列表刷新后重试")
                                 : QStringLiteral("播放列表已在其他设备修改，暂未能刷新：") + reason);
        }
    } else if (!isCancellation(failure)) {
        self->showMessage(failureTitle, QStringLiteral("移除失败：") + describeRemovalFailure(failure));
    }
    if (self)
        self->setDeletingItemId(std::nullopt);
}

ORVPlaylist PlaylistDetailModel::storeAcknowledgedPlaylist(const PlaylistServices &services, qint64 playlistId,
    const ORVPlaylist &answer, const QList<ORVPlaylistItem> &expectedItems, qint64 baseVersion, const QString &ownerKey)
{
    using Kind = PlaylistDetailMutationError::Kind;
    if (answer.id != playlistId || answer.version <= baseVersion
        || !PlaylistEntries::match(answer.items, expectedItems))
        throw PlaylistDetailMutationError(Kind::invalidAcknowledgement);
    services.store->upsertPlaylist(answer, ownerKey);
    for (const ORVPlaylist &stored : services.store->fetchPlaylists(ownerKey)) {
        if (stored.id != playlistId)
            continue;
        if (stored.version != answer.version || !PlaylistEntries::match(stored.items, expectedItems))
            throw PlaylistDetailMutationError(Kind::invalidAcknowledgement);
        return stored;
    }
    // A deletion made here while the write was out: the store kept it.
    throw PlaylistDetailMutationError(Kind::locallyDeletedDuringMutation);
}

Task<QPair<PlaylistDetailModel::ConflictReload, QString>> PlaylistDetailModel::reloadAfterConflict(
    QPointer<PlaylistDetailModel> self, PlaylistServices services, qint64 playlistId, QString ownerKey)
{
    using Result = QPair<ConflictReload, QString>;
    const std::optional<SessionCredentials> credentials = services.credentials();
    if (!credentials || services.currentOwnerKey() != ownerKey)
        co_return Result {ConflictReload::notRefreshed, QString()};
    const DeletionCallback onDelete = self ? self->m_onDelete : DeletionCallback();
    const PlaylistSyncReport report = co_await services.synchronizePlaylists(credentials->accessToken, ownerKey, true);
    if (report.synchronizationErrorDescription)
        co_return Result {ConflictReload::notRefreshed, *report.synchronizationErrorDescription};
    QList<ORVPlaylist> playlists;
    try {
        playlists = services.store->fetchPlaylists(ownerKey);
    } catch (...) {
        co_return Result {ConflictReload::notRefreshed, describe(std::current_exception())};
    }
    for (const ORVPlaylist &playlist : playlists) {
        if (playlist.id == playlistId) {
            if (self)
                self->showRows(playlist.items, playlist.version);
            co_return Result {ConflictReload::refreshed, QString()};
        }
    }
    if (onDelete)
        onDelete(std::nullopt);
    if (self)
        Q_EMIT self->dismissRequested();
    co_return Result {ConflictReload::gone, QString()};
}

Task<> PlaylistDetailModel::deletePlaylist()
{
    return runDeletion(this);
}

Task<> PlaylistDetailModel::runDeletion(QPointer<PlaylistDetailModel> self)
{
    if (!self || self->m_deletingItemId)
        co_return;
    const PlaylistServices services = self->m_services;
    QString ownerKey;
    try {
        ownerKey = services.preparePlaylistPartition();
        services.store->tombstonePlaylist(ownerKey, self->m_playlist.id);
    } catch (...) {
        self->showMessage(failureTitle, QStringLiteral("本地删除失败：") + describe(std::current_exception()));
        co_return;
    }
    // From here the screen leaves; what follows reports only through the callback.
    const DeletionCallback onDelete = self->m_onDelete;
    if (onDelete)
        onDelete(std::nullopt);
    Q_EMIT self->dismissRequested();

    const std::optional<SessionCredentials> credentials = services.credentials();
    if (!credentials) {
        if (onDelete)
            onDelete(QStringLiteral("当前处于离线状态；重新进入页面、应用回到前台或手动刷新时会重试云端删除。"));
        co_return;
    }
    const PlaylistDeletionRetryReport report
        = co_await services.retryPendingPlaylistDeletions(credentials->accessToken, ownerKey, true);
    if (!report.failures.isEmpty() && onDelete)
        onDelete(QStringLiteral("云端删除暂未完成；记录已保存，重新进入页面、回到前台或手动刷新时会重试。"));
}

} // namespace talvoro
