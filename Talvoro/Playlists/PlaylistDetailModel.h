#pragma once

#include "Playback/GlobalPlaybackSession.h"
#include "PlaylistSupport.h"

#include <QObject>
#include <QPointer>
#include <QtQmlIntegration>

#include <functional>
#include <optional>

namespace talvoro {

// A removal's own failures; the description is the text shown.
class PlaylistDetailMutationError final : public AppError {
public:
    enum class Kind {
        itemNoLongerExists,
        invalidAcknowledgement,
        locallyDeletedDuringMutation,
        sessionExpired,
        sessionTemporarilyUnavailable,
        sessionChanged,
    };
    explicit PlaylistDetailMutationError(Kind kind)
        : m_kind(kind)
    { }
    Kind kind() const { return m_kind; }
    QString description() const override;

private:
    Kind m_kind;
};

// The rows of the detail screen: the playlist's items in order.
class PlaylistItemRowsModel : public talvoro::ScreenListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Part of PlaylistDetailModel")

public:
    enum Role { ItemIdRole = Qt::UserRole + 1, WordDisplayRole, IpaRole, RowPositionRole, DeletingRole };
    Q_ENUM(Role)

    using ScreenListModel::ScreenListModel;
    const QList<ORVPlaylistItem> &rows() const { return m_rows; }
    void setRows(QList<ORVPlaylistItem> rows) { replaceRows(m_rows, std::move(rows)); }
    void setDeletingItemId(const QString &itemId);

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_rows.size()); }
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    QList<ORVPlaylistItem> m_rows;
    QString m_deletingItemId;
};

// One playlist: its words, played through the app-wide playback session, a word
// removed with the server's version check, the whole playlist deleted. It shows
// the playlist it was given and changes only through its own mutations. The one
// alert (`activeAlert`) asks before a removal or a deletion, or reports an outcome.
class PlaylistDetailModel final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Built by the app container")
    Q_PROPERTY(QString name READ name CONSTANT)
    Q_PROPERTY(talvoro::PlaylistItemRowsModel *items READ itemRows CONSTANT)
    Q_PROPERTY(qint64 playlistVersion READ playlistVersion NOTIFY itemsChanged)
    Q_PROPERTY(QString deletingItemId READ deletingItemId NOTIFY deletingItemIdChanged)
    Q_PROPERTY(bool isMutating READ isMutating NOTIFY deletingItemIdChanged)
    Q_PROPERTY(talvoro::PlaylistDetailModel::AlertKind alertKind READ alertKind NOTIFY activeAlertChanged)
    Q_PROPERTY(QString alertId READ alertId NOTIFY activeAlertChanged)
    Q_PROPERTY(QString alertTitle READ alertTitle NOTIFY activeAlertChanged)
    Q_PROPERTY(QString alertMessage READ alertMessage NOTIFY activeAlertChanged)
    Q_PROPERTY(QString alertItemId READ alertItemId NOTIFY activeAlertChanged)

public:
    enum class AlertKind { None, DeleteItem, Message, DeletePlaylist };
    Q_ENUM(AlertKind)

    struct Alert {
        AlertKind kind = AlertKind::None;
        QString id;
        QString title;
        QString message;
        QString itemId; // DeleteItem: the row a confirmed removal acts on
    };
    using DeletionCallback = std::function<void(std::optional<QString> message)>;

    PlaylistDetailModel(ORVPlaylist playlist, DeletionCallback onDelete, PlaylistServices services,
        GlobalPlaybackSession &playbackSession, QObject *parent = nullptr);

    QString name() const { return m_playlist.name; }
    const ORVPlaylist &playlist() const { return m_playlist; }
    PlaylistItemRowsModel *itemRows() { return &m_items; }
    const QList<ORVPlaylistItem> &items() const { return m_items.rows(); }
    qint64 playlistVersion() const { return m_playlistVersion; }
    QString deletingItemId() const { return m_deletingItemId.value_or(QString()); }
    bool isMutating() const { return m_deletingItemId.has_value(); }
    const std::optional<Alert> &activeAlert() const { return m_activeAlert; }
    AlertKind alertKind() const { return m_activeAlert ? m_activeAlert->kind : AlertKind::None; }
    QString alertId() const { return m_activeAlert ? m_activeAlert->id : QString(); }
    QString alertTitle() const { return m_activeAlert ? m_activeAlert->title : QString(); }
    QString alertMessage() const { return m_activeAlert ? m_activeAlert->message : QString(); }
    QString alertItemId() const { return m_activeAlert ? m_activeAlert->itemId : QString(); }

    // The rows as words, in list order, and played from the first.
    static QList<ORVWord> wordsForPlayback(const QList<ORVPlaylistItem> &items);
    Q_INVOKABLE void playPlaylist();

    // The confirmations: ignored while a removal runs.
    Q_INVOKABLE void confirmRemoveItem(const QString &itemId);
    Q_INVOKABLE void confirmDeletePlaylist();
    Q_INVOKABLE void dismissAlert();
    // The confirmed mutations, from the alert's destructive buttons.
    Q_INVOKABLE void startRemoveItem(const QString &itemId) { removeItem(itemId); }
    Q_INVOKABLE void startDeletePlaylist() { deletePlaylist(); }

    std::optional<QList<ORVPlaylistItem>> remainingItems(const QString &itemId) const;
    Task<> removeItem(QString itemId);
    Task<> deletePlaylist();

Q_SIGNALS:
    void itemsChanged();
    void deletingItemIdChanged();
    void activeAlertChanged();
    // The screen is to leave its navigation stack.
    void dismissRequested();

private:
    enum class ConflictReload { refreshed, notRefreshed, gone };

    static Task<> runRemoval(QPointer<PlaylistDetailModel> self, QString itemId);
    static Task<> runDeletion(QPointer<PlaylistDetailModel> self);
    // What the forced sync after a conflict found, with the reason when it could not refresh.
    static Task<QPair<ConflictReload, QString>> reloadAfterConflict(
        QPointer<PlaylistDetailModel> self, PlaylistServices services, qint64 playlistId, QString ownerKey);
    // Checks that the answer acknowledges this write, stores it and returns what the
    // store then holds; throws PlaylistDetailMutationError or the store's error.
    static ORVPlaylist storeAcknowledgedPlaylist(const PlaylistServices &services, qint64 playlistId,
        const ORVPlaylist &answer, const QList<ORVPlaylistItem> &expectedItems, qint64 baseVersion,
        const QString &ownerKey);
    void showMessage(const QString &title, const QString &message);
    void setActiveAlert(std::optional<Alert> alert);
    void setDeletingItemId(std::optional<QString> itemId);
    void showRows(QList<ORVPlaylistItem> items, qint64 version);

    const ORVPlaylist m_playlist;
    DeletionCallback m_onDelete;
    PlaylistServices m_services;
    GlobalPlaybackSession &m_playbackSession;
    PlaylistItemRowsModel m_items;
    qint64 m_playlistVersion = 0;
    std::optional<Alert> m_activeAlert;
    std::optional<QString> m_deletingItemId;
};

} // namespace talvoro
