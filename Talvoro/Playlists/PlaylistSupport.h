#pragma once

#include "Models/Playlist.h"
#include "Networking/ORVMobileAPIClient.h"
#include "Persistence/LocalWordStoreProtocol.h"
#include "Persistence/QuenbrySyncEngine.h"
#include "Platform/Async.h"
#include "Screens/ScreenListModel.h"
#include "Screens/SessionRefusal.h"
#include "Screens/TokenRefreshRetry.h"
#include "Session/AppSession.h"

#include <QPointer>
#include <QSet>
#include <QtQmlIntegration>

#include <functional>
#include <optional>

namespace talvoro {

// What every playlist screen works with. The services are app-wide and outlive
// every screen, so work that outlives its screen may keep a copy of this.
struct PlaylistServices {
    using Synchronizer = std::function<Task<PlaylistSyncReport>(QString accessToken, QString ownerKey, bool force)>;
    using DeletionDrain
        = std::function<Task<PlaylistDeletionRetryReport>(QString accessToken, QString ownerKey, bool force)>;

    ORVMobileAPIClient *apiClient = nullptr;
    LocalWordStoreProtocol *store = nullptr;
    QPointer<AppSession> session;
    // The backend environment's partition key; without one no owner key exists.
    std::optional<QString> environmentKey;
    Synchronizer synchronizePlaylists;
    DeletionDrain retryPendingPlaylistDeletions;

    // The signed-in token and user; none unless authenticated with a token.
    std::optional<SessionCredentials> credentials() const;
    // The signed-in token, empty when there is none.
    QString accessToken() const;
    // The owner key of the signed-in user's playlist partition, by the same guards
    // as preparePlaylistPartition but without moving older data; none when a guard fails.
    std::optional<QString> currentOwnerKey() const;
    // The owner key after moving playlists an earlier version kept under the user
    // name into it. Throws LocalWordStoreError::invalidOwnerKey when a guard fails,
    // or the store's error.
    QString preparePlaylistPartition() const;
};

namespace PlaylistEntries {
// Copies in the same order, the i-th (from 0) at position i + 1.
QList<ORVPlaylistItem> renumbered(QList<ORVPlaylistItem> items);
// Same length and, index by index, the same word, position and repeat count.
bool match(const QList<ORVPlaylistItem> &a, const QList<ORVPlaylistItem> &b);
} // namespace PlaylistEntries

// The text without spaces and tabs at either end (line breaks stay): what decides
// whether a create button is enabled.
QString trimmedSpacesAndTabs(const QString &text);

using PlaylistWrite = std::function<Task<ORVPlaylist>(QString accessToken)>;

// Runs a playlist write with `accessToken`. After an unauthorized answer the session
// refreshes that token once (shared with every caller of the same generation) and
// the write runs once more with the new token; when another caller had already
// replaced the token for the same owner, the write runs once more with the current
// one instead. No write is sent once the signed-in owner is no longer `ownerKey`;
// with `dropAnswerForOtherOwner` an answer that arrives after the owner changed is
// refused too. A refusal of the session throws SessionRefused; any
// other failure passes on unchanged.
Task<ORVPlaylist> performPlaylistWrite(PlaylistServices services, QString accessToken, QString ownerKey,
    bool dropAnswerForOtherOwner, PlaylistWrite write);

// Playlists as rows of a list screen: name, word count, row position and whether
// the screen marked the playlist (the pick-or-create sheet's "保存成功").
class PlaylistRowsModel : public talvoro::ScreenListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Part of a playlist screen model")

public:
    enum Role { PlaylistIdRole = Qt::UserRole + 1, NameRole, ItemCountRole, RowPositionRole, MarkedRole };
    Q_ENUM(Role)

    using ScreenListModel::ScreenListModel;
    const QList<ORVPlaylist> &rows() const { return m_rows; }
    void setRows(QList<ORVPlaylist> rows);
    const ORVPlaylist *find(qint64 playlistId) const;
    void setMarked(QSet<qint64> ids);
    const QSet<qint64> &marked() const { return m_marked; }

    // A load that overtakes every earlier one, as a screen's list runs it: its
    // progress shows only when the list had no rows as it began, so a reload over
    // rows keeps them on screen, and a read that finds them gone shows the empty
    // state at once.
    quint64 beginLoad();
    bool finishLoad(quint64 generation, const QString &errorMessage = {});
    using ScreenListModel::isCurrentLoad;
    bool showsProgress() const { return loading() && m_loadBeganEmpty; }

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_rows.size()); }
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

Q_SIGNALS:
    void showsProgressChanged();

private:
    void noteProgress();

    QList<ORVPlaylist> m_rows;
    QSet<qint64> m_marked;
    bool m_loadBeganEmpty = false;
    bool m_showedProgress = false;
};

} // namespace talvoro
