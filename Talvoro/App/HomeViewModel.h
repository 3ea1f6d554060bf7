#pragma once

#include "Lexicons/PublicLexiconDetailModel.h"
#include "Lexicons/UserLexiconListModel.h"
#include "Models/Lexicon.h"
#include "Models/Playlist.h"
#include "Networking/APIClientProtocol.h"
#include "Persistence/LocalWordStoreProtocol.h"
#include "Persistence/QuenbrySyncEngine.h"
#include "Platform/Async.h"
#include "Playlists/PlaylistListModel.h"
#include "Screens/PendingOperation.h"
#include "Screens/ScreenListModel.h"
#include "Screens/TokenRefreshRetry.h"
#include "Session/AppSession.h"
#include "Settings/AccountSettingsModel.h"

#include <QObject>
#include <QPointer>
#include <QUuid>
#include <QtQmlIntegration>

#include <functional>
#include <optional>

namespace talvoro {

// The public lexicons of the home screen, in the backend's order.
class PublicLexiconListModel : public talvoro::ScreenListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Part of HomeViewModel")

public:
    enum Role { LexiconIdRole = Qt::UserRole + 1, NameRole, DescriptionRole, WordCountRole };
    Q_ENUM(Role)

    using ScreenListModel::ScreenListModel;
    const QList<PublicLexiconSummary> &rows() const { return m_rows; }
    void setRows(QList<PublicLexiconSummary> rows) { replaceRows(m_rows, std::move(rows)); }

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_rows.size()); }
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    QList<PublicLexiconSummary> m_rows;
};

// The screens home opens, each built over the app's services and owned by the
// page that shows it.
struct HomeScreens {
    std::function<PublicLexiconDetailModel *(qint64 lexiconId, QObject *owner)> publicLexiconDetail;
    std::function<PlaylistListModel *(QObject *owner)> playlistList;
    std::function<UserLexiconListModel *(QObject *owner)> userLexiconList;
    std::function<AccountSettingsModel *(QObject *owner)> accountSettings;
};

// What the home screen shows: public lexicons, and the signed-in user's private
// lexicons and playlists, local data first, then refreshed from the backend. Loads
// for the same account share the load in flight; a forced load asked for during an
// unforced one runs right after it; a load for another account replaces the running
// one, whose later results are dropped. When the backend cannot be reached, the
// local data and the public lexicons the response cache still had stay on screen
// under the offline note.
class HomeViewModel final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Built by the app container")
    Q_PROPERTY(talvoro::PublicLexiconListModel *publicLexicons READ publicLexiconModel CONSTANT)
    Q_PROPERTY(int userLexiconCount READ userLexiconCount NOTIFY userLexiconsChanged)
    Q_PROPERTY(int playlistCount READ playlistCount NOTIFY playlistsChanged)
    Q_PROPERTY(talvoro::HomeViewModel::HomeLoadPhase loadPhase READ loadPhase NOTIFY loadPhaseChanged)
    Q_PROPERTY(bool isInitialLoading READ isInitialLoading NOTIFY loadPhaseChanged)
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY errorMessageChanged)
    Q_PROPERTY(QString playlistSynchronizationMessage READ playlistSynchronizationMessage NOTIFY
            playlistSynchronizationMessageChanged)
    Q_PROPERTY(QString statusBannerMessage READ statusBannerMessage NOTIFY statusBannerChanged)
    Q_PROPERTY(bool statusBannerIsError READ statusBannerIsError NOTIFY statusBannerChanged)
    Q_PROPERTY(QString greeting READ greeting NOTIFY greetingChanged)
    Q_PROPERTY(bool opensScreens READ opensScreens CONSTANT)

public:
    enum class HomeLoadPhase { idle, initialLoading, refreshing };
    Q_ENUM(HomeLoadPhase)

    using LocalStoreProvider = std::function<LocalWordStoreProtocol &()>;
    using PlaylistSynchronizer
        = std::function<Task<PlaylistSyncReport>(QString accessToken, QString ownerKey, bool force)>;

    struct HomeLoadContext {
        std::optional<qint64> userID;
        bool isAuthenticated = false;
        bool operator==(const HomeLoadContext &) const = default;
    };
    struct HomeLoadRequest {
        std::optional<QString> token;
        std::optional<UserSummary> user;
        QPointer<AppSession> session;
        bool forcePlaylistRefresh = false;
        HomeLoadContext context() const;
    };

    // `environmentKey` is the backend environment's partition key, from which
    // owner keys are built; without one no local data is read.
    HomeViewModel(APIClientProtocol &apiClient, LocalStoreProvider localStoreProvider,
        PlaylistSynchronizer playlistSynchronizer, AppSession &session, std::optional<QString> environmentKey,
        HomeScreens screens = {}, QObject *parent = nullptr);
    ~HomeViewModel() override;

    // Returns when the load that serves the request has finished; a forced call also
    // waits for the forced load parked behind an unforced one. Never throws.
    Task<> load(std::optional<QString> token, std::optional<UserSummary> user, QPointer<AppSession> session,
        bool forcePlaylistRefresh);
    // A load for the session's current user; the operation ends with it.
    Q_INVOKABLE talvoro::PendingOperation *reload(bool force);

    const QList<PublicLexiconSummary> &publicLexicons() const { return m_publicLexicons.rows(); }
    const QList<UserLexicon> &userLexicons() const { return m_userLexicons; }
    const QList<ORVPlaylist> &playlists() const { return m_playlists; }
    PublicLexiconListModel *publicLexiconModel() { return &m_publicLexicons; }
    int userLexiconCount() const { return int(m_userLexicons.size()); }
    int playlistCount() const { return int(m_playlists.size()); }
    HomeLoadPhase loadPhase() const { return m_loadPhase; }
    bool isInitialLoading() const { return m_loadPhase == HomeLoadPhase::initialLoading; }
    QString errorMessage() const { return m_errorMessage; }
    QString playlistSynchronizationMessage() const { return m_playlistSynchronizationMessage; }
    // The error wins over the playlist note; empty: no banner.
    QString statusBannerMessage() const;
    bool statusBannerIsError() const { return !m_errorMessage.isEmpty(); }
    QString greeting() const;

    static std::optional<QString> playlistSynchronizationText(const PlaylistSyncReport &report);

    // Without its screens (a home over fakes) home opens nothing.
    bool opensScreens() const;
    // The screens home opens, owned by `owner`; null without a factory.
    Q_INVOKABLE talvoro::PublicLexiconDetailModel *makePublicLexiconDetailModel(qint64 lexiconId, QObject *owner);
    Q_INVOKABLE talvoro::PlaylistListModel *makePlaylistListModel(QObject *owner);
    Q_INVOKABLE talvoro::UserLexiconListModel *makeUserLexiconListModel(QObject *owner);
    Q_INVOKABLE talvoro::AccountSettingsModel *makeAccountSettingsModel(QObject *owner);

Q_SIGNALS:
    void userLexiconsChanged();
    void playlistsChanged();
    void loadPhaseChanged();
    void errorMessageChanged();
    void playlistSynchronizationMessageChanged();
    void statusBannerChanged();
    void greetingChanged();

private:
    struct ActiveHomeLoad {
        QUuid identifier;
        HomeLoadContext context;
        bool forcePlaylistRefresh = false;
        SharedTask<void> task;
    };

    static Task<> loadFor(QPointer<HomeViewModel> self, HomeLoadRequest request);
    static Task<> runLoad(QPointer<HomeViewModel> self, QUuid identifier, HomeLoadRequest request);
    static Task<> performLoad(QPointer<HomeViewModel> self, QUuid identifier, HomeLoadRequest request);
    static Task<> loadAuthenticatedContent(
        QPointer<HomeViewModel> self, QUuid identifier, SessionCredentials credentials, bool forcePlaylistRefresh);
    static Task<> runReload(QPointer<HomeViewModel> self, HomeLoadRequest request, QPointer<PendingOperation> pending);

    SharedTask<void> startLoad(const HomeLoadRequest &request);
    SharedTask<void> beginLoad(const HomeLoadRequest &request);
    void finishLoad(const QUuid &identifier);
    bool isActiveLoad(const QUuid &identifier) const;
    QString resolveOwnerKey(const std::optional<UserSummary> &user);
    LocalWordStoreProtocol &localStore();
    // Writes the failure text of a load that is still the active one.
    void failLoad(const QUuid &identifier, const QString &prefix, const std::exception_ptr &error);

    void setUserLexicons(QList<UserLexicon> lexicons);
    void setPlaylists(QList<ORVPlaylist> playlists);
    void setLoadPhase(HomeLoadPhase phase);
    void setErrorMessage(const QString &message);
    void setPlaylistSynchronizationMessage(const QString &message);

    APIClientProtocol &m_apiClient;
    LocalStoreProvider m_localStoreProvider;
    PlaylistSynchronizer m_playlistSynchronizer;
    AppSession &m_session;
    std::optional<QString> m_environmentKey;
    HomeScreens m_screens;
    LocalWordStoreProtocol *m_localStore = nullptr;

    PublicLexiconListModel m_publicLexicons;
    QList<UserLexicon> m_userLexicons;
    QList<ORVPlaylist> m_playlists;
    HomeLoadPhase m_loadPhase = HomeLoadPhase::idle;
    QString m_errorMessage;
    QString m_playlistSynchronizationMessage;
    bool m_hasCompletedInitialLoad = false;
    std::optional<ActiveHomeLoad> m_activeLoad;
    std::optional<HomeLoadRequest> m_pendingForcedRequest;
};

} // namespace talvoro
