#pragma once

#include "Playlists/PlaylistDetailModel.h"
#include "Playlists/PlaylistSupport.h"
#include "Screens/PendingOperation.h"

#include <QObject>
#include <QPointer>
#include <QtQmlIntegration>

#include <functional>
#include <optional>

namespace talvoro {

// A message the list shows in its one alert; a new one replaces the one before.
struct PlaylistOperationMessage {
    QString id;
    QString title;
    QString message;
};

// The signed-in user's playlists: the device's rows at once, then the rows again
// after the sync engine reconciled them with the backend. Creating a playlist goes
// to the backend first; deleting one is local at once, with the cloud deletion
// queued and tried right away.
class PlaylistListModel final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Built by the app container")
    Q_PROPERTY(talvoro::PlaylistRowsModel *playlists READ playlistRows CONSTANT)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(bool showCreateSheet READ showCreateSheet WRITE setShowCreateSheet NOTIFY showCreateSheetChanged)
    Q_PROPERTY(QString newPlaylistName READ newPlaylistName WRITE setNewPlaylistName NOTIFY createStateChanged)
    Q_PROPERTY(bool canCreate READ canCreate NOTIFY createStateChanged)
    Q_PROPERTY(bool isCreating READ isCreating NOTIFY createStateChanged)
    Q_PROPERTY(QString operationMessageId READ operationMessageId NOTIFY operationMessageChanged)
    Q_PROPERTY(QString operationTitle READ operationTitle NOTIFY operationMessageChanged)
    Q_PROPERTY(QString operationMessage READ operationMessageText NOTIFY operationMessageChanged)
    Q_PROPERTY(bool opensDetail READ opensDetail CONSTANT)

public:
    using DeletionCallback = std::function<void(std::optional<QString> message)>;
    // Builds the detail screen of one of the list's playlists; it reports a deletion
    // through `onDelete`.
    using DetailFactory
        = std::function<PlaylistDetailModel *(ORVPlaylist playlist, DeletionCallback onDelete, QObject *owner)>;

    explicit PlaylistListModel(PlaylistServices services, DetailFactory makeDetail = {}, QObject *parent = nullptr);

    PlaylistRowsModel *playlistRows() { return &m_rows; }
    const QList<ORVPlaylist> &playlists() const { return m_rows.rows(); }
    bool isLoading() const { return m_rows.showsProgress(); }
    bool showCreateSheet() const { return m_showCreateSheet; }
    void setShowCreateSheet(bool shown);
    QString newPlaylistName() const { return m_newPlaylistName; }
    void setNewPlaylistName(const QString &name);
    // "创建" needs a name that is not empty once spaces and tabs are trimmed, and
    // no creation running.
    bool canCreate() const;
    bool isCreating() const { return m_isCreating; }
    const std::optional<PlaylistOperationMessage> &operationMessage() const { return m_operationMessage; }
    QString operationMessageId() const { return m_operationMessage ? m_operationMessage->id : QString(); }
    QString operationTitle() const { return m_operationMessage ? m_operationMessage->title : QString(); }
    QString operationMessageText() const { return m_operationMessage ? m_operationMessage->message : QString(); }
    Q_INVOKABLE void dismissOperationMessage();

    // A load that overtakes every earlier one; their later results are dropped.
    Task<> loadPlaylists(bool showsOfflineNotice, bool forceSynchronization);
    // When the page shows and when the app becomes active.
    Q_INVOKABLE void reload() { loadPlaylists(false, false); }
    // Pull to refresh; the operation ends with the load.
    Q_INVOKABLE talvoro::PendingOperation *refresh();

    // Creates a playlist named by `newPlaylistName`; does nothing while one is created.
    Task<> createPlaylist();
    Q_INVOKABLE void create() { createPlaylist(); }
    // Deletes the playlists at these rows here at once and tries their cloud deletion.
    void deletePlaylists(const QList<int> &offsets);
    // The swipe action: the first row with this id.
    Q_INVOKABLE void deletePlaylist(qint64 playlistId);
    // What the detail screen reports after it deleted its playlist.
    void handleDetailDeletion(std::optional<QString> message);
    // handleDetailDeletion for as long as this model lives.
    DeletionCallback detailDeletionCallback();

    // Without a detail factory (a list over fakes) rows open nothing.
    bool opensDetail() const { return bool(m_makeDetail); }
    // The detail of the playlist with this id as the list shows it, owned by `owner`;
    // null without a factory.
    Q_INVOKABLE talvoro::PlaylistDetailModel *makePlaylistDetailModel(qint64 playlistId, QObject *owner);

Q_SIGNALS:
    void isLoadingChanged();
    void showCreateSheetChanged();
    void createStateChanged();
    void operationMessageChanged();

private:
    static Task<> runLoad(QPointer<PlaylistListModel> self, bool showsOfflineNotice, bool forceSynchronization);
    static Task<> runCreate(QPointer<PlaylistListModel> self);
    static Task<> drainDeletions(
        QPointer<PlaylistListModel> self, PlaylistServices services, QString accessToken, QString ownerKey);
    static Task<> runRefresh(QPointer<PlaylistListModel> self, QPointer<PendingOperation> pending);

    void setOperationMessage(const QString &title, const QString &message);
    void setCreating(bool creating);

    PlaylistServices m_services;
    DetailFactory m_makeDetail;
    PlaylistRowsModel m_rows;
    bool m_showCreateSheet = false;
    QString m_newPlaylistName;
    bool m_isCreating = false;
    std::optional<PlaylistOperationMessage> m_operationMessage;
};

// The text shown when queued cloud deletions failed again.
inline const QString pendingCloudDeletionText
    = QStringLiteral("云端删除暂未完成。删除记录已安全保存；重新进入页面、应用回到前台或手动刷新时会重试。");

} // namespace talvoro
