#include "PlaylistListModel.h"

#include "Platform/Text.h"

#include <QSet>

namespace talvoro {

namespace {

const QString failureTitle = QStringLiteral("操作失败");

} // namespace

PlaylistListModel::PlaylistListModel(PlaylistServices services, DetailFactory makeDetail, QObject *parent)
    : QObject(parent)
    , m_services(std::move(services))
    , m_makeDetail(std::move(makeDetail))
{
    connect(&m_rows, &PlaylistRowsModel::showsProgressChanged, this, &PlaylistListModel::isLoadingChanged);
}

void PlaylistListModel::setShowCreateSheet(bool shown)
{
    if (m_showCreateSheet == shown)
        return;
    m_showCreateSheet = shown;
    Q_EMIT showCreateSheetChanged();
}

void PlaylistListModel::setNewPlaylistName(const QString &name)
{
    if (m_newPlaylistName == name)
        return;
    m_newPlaylistName = name;
    Q_EMIT createStateChanged();
}

bool PlaylistListModel::canCreate() const
{
    return !m_isCreating && !trimmedSpacesAndTabs(m_newPlaylistName).isEmpty();
}

void PlaylistListModel::setCreating(bool creating)
{
    if (m_isCreating == creating)
        return;
    m_isCreating = creating;
    Q_EMIT createStateChanged();
}

void PlaylistListModel::setOperationMessage(const QString &title, const QString &message)
{
    m_operationMessage = PlaylistOperationMessage {text::newUuidText(), title, message};
    Q_EMIT operationMessageChanged();
}

void PlaylistListModel::dismissOperationMessage()
{
    if (!m_operationMessage)
        return;
    m_operationMessage.reset();
    Q_EMIT operationMessageChanged();
}

Task<> PlaylistListModel::loadPlaylists(bool showsOfflineNotice, bool forceSynchronization)
{
    return runLoad(this, showsOfflineNotice, forceSynchronization);
}

PendingOperation *PlaylistListModel::refresh()
{
    auto *pending = new PendingOperation(this);
    runRefresh(this, pending);
    return pending;
}

Task<> PlaylistListModel::runRefresh(QPointer<PlaylistListModel> self, QPointer<PendingOperation> pending)
{
    co_await runLoad(self, true, true);
    if (pending)
        pending->finish();
}

Task<> PlaylistListModel::runLoad(QPointer<PlaylistListModel> self, bool showsOfflineNotice, bool forceSynchronization)
{
    if (!self)
        co_return;
    const PlaylistServices services = self->m_services;
    QString ownerKey;
    try {
        ownerKey = services.preparePlaylistPartition();
    } catch (...) {
        self->setOperationMessage(failureTitle, QStringLiteral("当前登录账号无效，请重新登录后重试"));
        co_return;
    }
    PlaylistRowsModel &rows = self->m_rows;
    const quint64 generation = rows.beginLoad();
    try {
        rows.setRows(services.store->fetchPlaylists(ownerKey));
    } catch (...) {
        self->setOperationMessage(failureTitle, describe(std::current_exception()));
        rows.finishLoad(generation);
        co_return;
    }

    const QString accessToken = services.accessToken();
    const PlaylistSyncReport report
        = co_await services.synchronizePlaylists(accessToken, ownerKey, forceSynchronization);
    if (!self)
        co_return;
    // An overtaken load leaves the rows and the deletions' report to the newer one,
    // but a pull still says why it brought nothing, which a load that is no pull
    // (the app coming back to the foreground) would not.
    const bool current = self->m_rows.isCurrentLoad(generation);
    if (current) {
        try {
            self->m_rows.setRows(services.store->fetchPlaylists(ownerKey));
        } catch (...) {
            self->setOperationMessage(failureTitle, describe(std::current_exception()));
            self->m_rows.finishLoad(generation);
            co_return;
        }
    }
    if (!report.deletionRetry.failures.isEmpty()) {
        if (current)
            self->setOperationMessage(QStringLiteral("已从本机删除"), pendingCloudDeletionText);
    } else if (showsOfflineNotice && report.synchronizationErrorDescription) {
        self->setOperationMessage(QStringLiteral("当前处于离线状态"),
            QStringLiteral("已显示本地数据。请在网络恢复后下拉刷新；原因：") + *report.synchronizationErrorDescription);
    }
    self->m_rows.finishLoad(generation);
}

Task<> PlaylistListModel::createPlaylist()
{
    return runCreate(this);
}

Task<> PlaylistListModel::runCreate(QPointer<PlaylistListModel> self)
{
    // A second tap while the server is asked would create a second playlist.
    if (!self || self->m_isCreating)
        co_return;
    const PlaylistServices services = self->m_services;
    const QString signedOutText = QStringLiteral("当前登录状态无效，请重新登录后重试");
    const std::optional<SessionCredentials> credentials = services.credentials();
    if (!credentials) {
        self->setOperationMessage(failureTitle, signedOutText);
        co_return;
    }
    QString ownerKey;
    try {
        ownerKey = services.preparePlaylistPartition();
    } catch (...) {
        self->setOperationMessage(failureTitle, signedOutText);
        co_return;
    }
    const QString name = text::trimmed(self->m_newPlaylistName);
    if (name.isEmpty())
        co_return;

    self->setCreating(true);
    std::optional<ORVPlaylist> created;
    std::exception_ptr failure;
    try {
        created = co_await services.apiClient->createPlaylist(
            name, QStringLiteral("ONCE"), std::nullopt, {}, credentials->accessToken);
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure) {
        if (self) {
            self->setCreating(false);
            self->setOperationMessage(failureTitle, QStringLiteral("创建播放列表失败：") + describe(failure));
        }
        co_return;
    }

    // The server holds the playlist from here on: the device keeps it even when the
    // screen is gone, and a failure here must not invite a second creation.
    QList<ORVPlaylist> stored;
    try {
        services.store->upsertPlaylist(*created, ownerKey);
        stored = services.store->fetchPlaylists(ownerKey);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self)
        co_return;
    self->setCreating(false);
    self->setShowCreateSheet(false);
    self->setNewPlaylistName(QString());
    if (failure) {
        self->setOperationMessage(
            failureTitle, QStringLiteral("播放列表已在云端创建，但本机保存失败：") + describe(failure));
        self->loadPlaylists(false, true);
        co_return;
    }
    self->m_rows.setRows(stored);
}

void PlaylistListModel::deletePlaylist(qint64 playlistId)
{
    const QList<ORVPlaylist> &rows = m_rows.rows();
    for (int i = 0; i < rows.size(); ++i) {
        if (rows[i].id == playlistId) {
            deletePlaylists({i});
            return;
        }
    }
}

void PlaylistListModel::deletePlaylists(const QList<int> &offsets)
{
    QString ownerKey;
    try {
        ownerKey = m_services.preparePlaylistPartition();
    } catch (...) {
        setOperationMessage(failureTitle, QStringLiteral("当前登录账号无效，请重新登录后重试"));
        return;
    }
    QList<int> ordered = offsets;
    std::sort(ordered.begin(), ordered.end());
    QSet<qint64> deleted;
    QStringList failedNames;
    const QList<ORVPlaylist> rows = m_rows.rows();
    for (int offset : ordered) {
        if (offset < 0 || offset >= rows.size())
            continue;
        try {
            m_services.store->tombstonePlaylist(ownerKey, rows[offset].id);
            deleted.insert(rows[offset].id);
        } catch (...) {
            failedNames.append(rows[offset].name);
        }
    }
    QList<ORVPlaylist> remaining;
    for (const ORVPlaylist &playlist : rows) {
        if (!deleted.contains(playlist.id))
            remaining.append(playlist);
    }
    m_rows.setRows(remaining);
    if (!failedNames.isEmpty()) {
        setOperationMessage(QStringLiteral("部分播放列表删除失败"),
            QStringLiteral("以下项目未从本机移除：") + failedNames.join(QStringLiteral("、"))
                + QStringLiteral("。请稍后重试。"));
    }
    if (deleted.isEmpty())
        return;
    drainDeletions(this, m_services, m_services.accessToken(), ownerKey);
}

Task<> PlaylistListModel::drainDeletions(
    QPointer<PlaylistListModel> self, PlaylistServices services, QString accessToken, QString ownerKey)
{
    const PlaylistDeletionRetryReport report
        = co_await services.retryPendingPlaylistDeletions(accessToken, ownerKey, true);
    if (self && !report.failures.isEmpty())
        self->setOperationMessage(QStringLiteral("已从本机删除"), pendingCloudDeletionText);
}

void PlaylistListModel::handleDetailDeletion(std::optional<QString> message)
{
    try {
        const QString ownerKey = m_services.preparePlaylistPartition();
        m_rows.setRows(m_services.store->fetchPlaylists(ownerKey));
    } catch (...) {
        setOperationMessage(failureTitle, describe(std::current_exception()));
    }
    if (message)
        setOperationMessage(QStringLiteral("云端删除待同步"), *message);
}

PlaylistListModel::DeletionCallback PlaylistListModel::detailDeletionCallback()
{
    QPointer<PlaylistListModel> self(this);
    return [self](std::optional<QString> message) {
        if (self)
            self->handleDetailDeletion(std::move(message));
    };
}

PlaylistDetailModel *PlaylistListModel::makePlaylistDetailModel(qint64 playlistId, QObject *owner)
{
    if (!m_makeDetail)
        return nullptr;
    const ORVPlaylist *row = m_rows.find(playlistId);
    return m_makeDetail(row ? *row : ORVPlaylist(), detailDeletionCallback(), owner);
}

} // namespace talvoro
