#pragma once

// The composition root. The app builds one DependencyContainer at start-up; it
// builds each app-wide service once, in dependency order, and hands it to the
// services that use it through their constructors. Nothing else constructs a
// service, and no method body reaches for one through a global.
//
// Screens follow one pattern:
// - a screen is a C++ screen model (a QObject holding the screen's state and
//   operations, with its services through their interfaces) and a QML view that
//   only lays out and binds;
// - the model is made by a factory here, `make<Screen>Model(..., owner)`, which
//   constructs it over the services it needs and parents it to `owner` (the view
//   that shows it), so it lives exactly as long as that view;
// - the view receives it as `required property <ModelType> model`, so a test can
//   render the same view over a model built on fakes;
// - a view opens the next screen through its own model (`model.make<Next>Model`),
//   which holds this container's factory for that one screen; only the root view
//   holds the container.

#include "App/AppLaunchCoordinator.h"
#include "App/HomeViewModel.h"
#include "App/LoginScreenModel.h"
#include "Lexicons/PublicLexiconDetailModel.h"
#include "Lexicons/UserLexiconDetailModel.h"
#include "Lexicons/UserLexiconListModel.h"
#include "Networking/APICacheManager.h"
#include "Networking/BackendConfiguration.h"
#include "Networking/MobileAPIClient.h"
#include "Networking/ORVMobileAPIClient.h"
#include "Persistence/LocalWordStore.h"
#include "Persistence/PlaybackPreferenceSyncCoordinator.h"
#include "Persistence/QuenbrySyncEngine.h"
#include "Persistence/UserLexiconWordSnapshotStore.h"
#include "Platform/AudioSession.h"
#include "Platform/Clock.h"
#include "Platform/Files.h"
#include "Platform/KeyValueStore.h"
#include "Platform/NetworkConnectivity.h"
#include "Platform/NetworkTransfer.h"
#include "Platform/SecureItemStore.h"
#include "Playback/AudioCacheManager.h"
#include "Playback/AudioPlayerManager.h"
#include "Playback/GlobalPlaybackSession.h"
#include "Playback/TTSNetworkManager.h"
#include "Playlists/PlaylistDetailModel.h"
#include "Playlists/PlaylistListModel.h"
#include "Playlists/SelectOrCreatePlaylistModel.h"
#include "Player/PlaybackSurfaceHostModel.h"
#include "Screens/AppActivity.h"
#include "Session/AppSession.h"
#include "Settings/EditWordPlaybackSheetModel.h"
#include "Settings/AccountSettingsModel.h"
#include "Settings/CacheManagementModel.h"
#include "Settings/PlaybackPreferenceEditor.h"
#include "Settings/PlaybackSettingsModel.h"
#include "Settings/SettingsScreens.h"
#include "Settings/VoiceSelectionModel.h"

#include <QObject>
#include <QtQmlIntegration>

#include <functional>
#include <memory>
#include <optional>

namespace talvoro {

// What differs between the app and a test that runs the real app: where the
// backend is, where local data lives, where the session's secrets are kept and
// what reports the network. The defaults are the app's.
struct AppEnvironment {
    std::function<std::optional<QUrl>()> backendBaseURL = [] { return BackendConfiguration::loadFromMainBundle(); };
    AppDirectories directories = AppDirectories::standard();
    std::function<std::shared_ptr<SecureItemStore>()> secureItems
        = [] { return std::make_shared<QtKeychainSecureItemStore>(); };
    // The settings file; empty for the app's default location.
    QString settingsFile;
    std::function<std::unique_ptr<NetworkPathSource>()> networkPath
        = [] { return std::make_unique<NetworkInformationPathSource>(); };
};

class DependencyContainer : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The app builds its one container")
    Q_PROPERTY(talvoro::AppSession *session READ sessionObject CONSTANT)
    Q_PROPERTY(talvoro::GlobalPlaybackSession *playbackSession READ playbackSessionObject CONSTANT)
    Q_PROPERTY(talvoro::AppLaunchCoordinator *launchCoordinator READ launchCoordinatorObject CONSTANT)
    Q_PROPERTY(talvoro::ORVNetworkConnectivityMonitor *connectivity READ connectivityObject CONSTANT)

public:
    explicit DependencyContainer(AppEnvironment environment = {}, QObject *parent = nullptr);
    ~DependencyContainer() override;

    const AppEnvironment &environment() const { return m_environment; }
    const Clock &clock() const { return *m_clock; }
    KeyValueStore &defaults() { return *m_defaults; }
    NetworkTransfer &transfer() { return m_transfer; }

    APIClientProtocol &apiClient() { return m_apiClient; }
    ORVMobileAPIClient &mobileAPIClient() { return m_apiClient; }
    AudioPlayerProtocol &audioPlayer() { return *m_audioPlayer; }
    LocalWordStoreProtocol &localWordStore() { return m_localWordStore; }
    LocalWordStore &concreteLocalWordStore() { return m_localWordStore; }
    TTSServiceProtocol &ttsService() { return m_ttsService; }
    AudioCacheProtocol &audioCache() { return m_audioCache; }
    QuenbrySyncEngine &syncEngine() { return m_syncEngine; }
    UserLexiconWordSnapshotStore &snapshotStore() { return m_snapshotStore; }
    PlaybackPreferenceSyncCoordinator &preferenceSync() { return m_preferenceSync; }

    AppSession &session() { return *m_session; }
    GlobalPlaybackSession &playbackSession() { return *m_playbackSession; }
    AppLaunchCoordinator &launchCoordinator() { return *m_launchCoordinator; }
    ORVNetworkConnectivityMonitor &connectivity() { return *m_connectivity; }
    AppActivity &appActivity() { return m_appActivity; }

    // Screen models. The root view makes its own; every other screen is reached
    // through the model of the screen that opens it.
    Q_INVOKABLE talvoro::LoginScreenModel *makeLoginScreenModel(QObject *owner);
    Q_INVOKABLE talvoro::HomeViewModel *makeHomeViewModel(QObject *owner);
    Q_INVOKABLE talvoro::PlaybackSurfaceHostModel *makePlaybackSurfaceHostModel(QObject *owner);
    HomeScreens homeScreens();
    PublicLexiconDetailModel *makePublicLexiconDetailModel(qint64 lexiconId, QObject *owner);
    PlaylistListModel *makePlaylistListModel(QObject *owner);
    // The detail of `playlist`, reporting its deletion through `onDelete`.
    PlaylistDetailModel *makePlaylistDetailModel(
        ORVPlaylist playlist, PlaylistListModel::DeletionCallback onDelete, QObject *owner);
    // The pick-or-create sheet for these words; the lexicon screens have nothing to
    // do once words were added.
    SelectOrCreatePlaylistModel *makeSelectOrCreatePlaylistModel(QList<ORVWord> words, QObject *owner);
    // The same sheet as the lexicon screens keep it, to open for their selection.
    PublicLexiconDetailModel::PlaylistSheetFactory playlistSheetFactory();
    PlaylistServices playlistServices();
    UserLexiconListModel *makeUserLexiconListModel(QObject *owner);
    UserLexiconDetailModel *makeUserLexiconDetailModel(UserLexicon lexicon, QObject *owner);
    UserLexiconServices userLexiconServices();
    // The per-word playback sheet for `word`; `onSave` gets the saved word, also
    // when the sheet was closed before the save came back.
    EditWordPlaybackSheetModel *makeEditWordPlaybackSheetModel(
        ORVWord word, EditWordPlaybackSheetModel::SaveCallback onSave, QObject *owner);
    AccountSettingsModel *makeAccountSettingsModel(QObject *owner);
    SettingsScreens settingsScreens();
    // What every screen that edits the global playback preference shares.
    PlaybackPreferenceEditorServices preferenceEditorServices();
    // The voice sheet; a new one each time it opens.
    Q_INVOKABLE talvoro::VoiceSelectionModel *makeVoiceSelectionModel(QObject *owner);

private:
    AppSession *sessionObject() { return m_session.get(); }
    GlobalPlaybackSession *playbackSessionObject() { return m_playbackSession.get(); }
    AppLaunchCoordinator *launchCoordinatorObject() { return m_launchCoordinator.get(); }
    ORVNetworkConnectivityMonitor *connectivityObject() { return m_connectivity.get(); }

    std::unique_ptr<PlaybackViewModel> makePlaybackViewModel();

    // Declaration order is construction order: each member is built from the ones
    // above it.
    AppEnvironment m_environment;
    std::shared_ptr<const Clock> m_clock;
    std::unique_ptr<KeyValueStore> m_defaults;
    NetworkTransfer m_transfer;
    APICacheManager m_apiCache;
    // The two clients each serve the other's endpoints: the older client only
    // keeps the pointer to the REST client here, it calls it once both exist.
    MobileAPIClient m_olderClient;
    ORVMobileAPIClient m_apiClient;
    LocalWordStore m_localWordStore;
    QuenbrySyncEngine m_syncEngine;
    UserLexiconWordSnapshotStore m_snapshotStore;
    PlaybackPreferenceSyncCoordinator m_preferenceSync;
    AudioCacheManager m_audioCache;
    AudioSession m_audioSession;
    std::unique_ptr<AudioPlayerManager> m_audioPlayer;
    TTSNetworkManager m_ttsService;
    // The app-wide objects the screens observe.
    std::unique_ptr<AppSession> m_session;
    std::unique_ptr<GlobalPlaybackSession> m_playbackSession;
    std::unique_ptr<AppLaunchCoordinator> m_launchCoordinator;
    std::unique_ptr<ORVNetworkConnectivityMonitor> m_connectivity;
    AppActivity m_appActivity;
};

} // namespace talvoro
