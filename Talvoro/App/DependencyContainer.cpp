#include "App/DependencyContainer.h"

#include "Persistence/PlaybackPreferenceOfflineStore.h"
#include "Platform/RandomSource.h"
#include "Playback/SpeechCacheKey.h"
#include "Screens/DelayScheduler.h"

#include <QDeadlineTimer>
#include <QThread>

#include <algorithm>

namespace talvoro {

namespace {

std::unique_ptr<KeyValueStore> makeDefaults(const QString &settingsFile)
{
    if (settingsFile.isEmpty())
        return std::make_unique<SettingsKeyValueStore>();
    return std::make_unique<SettingsKeyValueStore>(settingsFile);
}

} // namespace

DependencyContainer::DependencyContainer(AppEnvironment environment, QObject *parent)
    : QObject(parent)
    , m_environment(std::move(environment))
    , m_clock(std::make_shared<SystemClock>())
    , m_defaults(makeDefaults(m_environment.settingsFile))
    , m_apiCache(APICacheManager::defaultDirectory(m_environment.directories), {}, m_clock)
    , m_olderClient(m_transfer, m_environment.backendBaseURL, *m_defaults, &m_apiClient)
    , m_apiClient(m_transfer, m_apiCache, m_environment.backendBaseURL, {}, std::chrono::seconds(8), &m_olderClient)
    , m_localWordStore({LocalWordStore::defaultStoreURL(m_environment.directories), true}, m_clock)
    , m_syncEngine(m_apiClient, m_localWordStore, *m_clock)
    , m_snapshotStore(UserLexiconWordSnapshotStore::defaultDirectory(m_environment.directories))
    , m_preferenceSync(*m_defaults, *m_clock, RandomSource::system())
    , m_audioCache(m_environment.directories)
    // Destroyed with the container, so its sound output closes before the sound
    // system's own clean-up at exit.
    , m_audioPlayer(std::make_unique<AudioPlayerManager>(m_audioSession))
    , m_ttsService(m_transfer, m_audioCache, m_environment.backendBaseURL)
{
    m_session
        = std::make_unique<AppSession>(std::make_shared<KeychainSessionCredentialStore>(m_environment.secureItems()),
            m_transfer, m_environment.backendBaseURL(), m_clock, NotificationCenter::defaultCenter());
    m_playbackSession = std::make_unique<GlobalPlaybackSession>([this] { return makePlaybackViewModel(); },
        [this](const QString &text, const TTSVoice &voice) {
            return SpeechCacheKey::isCached(text, voice.id, m_audioCache);
        });
    m_launchCoordinator = std::make_unique<AppLaunchCoordinator>();
    m_connectivity = std::make_unique<ORVNetworkConnectivityMonitor>(m_environment.networkPath());
}

DependencyContainer::~DependencyContainer()
{
    // The screens are gone, but work they started may still be queued on a store's
    // worker or waiting for an answer, and each of its steps resumes on the main
    // thread into the services below. Nothing may resume once they are destroyed,
    // so end that work while they live: transfers fail as cancelled, queued store
    // operations too, and the event loop turns until every caller has resumed.
    m_transfer.close();
    SerialExecutor *const executors[] = {&m_apiCache.executor(), &m_snapshotStore.executor(), &m_ttsService.executor()};
    for (SerialExecutor *executor : executors)
        executor->cancelPending();
    auto settled = [&] {
        return m_transfer.transfersInFlight() == 0
            && std::none_of(std::begin(executors), std::end(executors),
                [](const SerialExecutor *executor) { return executor->hasOutstandingWork(); });
    };
    // A caller that resumes may hand its result on through further posted
    // resumptions (a shared task's awaiters), so quiet must hold for a few turns.
    // Bounded, though every step left is already running or cancelled and ends soon.
    QDeadlineTimer limit(std::chrono::seconds(10));
    for (int quietTurns = 0; quietTurns < 3 && !limit.hasExpired();) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        quietTurns = settled() ? quietTurns + 1 : 0;
        if (quietTurns == 0)
            QThread::msleep(1);
    }
}

std::unique_ptr<PlaybackViewModel> DependencyContainer::makePlaybackViewModel()
{
    PlaybackEnvironment environment;
    environment.baseURL = m_environment.backendBaseURL;
    environment.defaults = m_defaults.get();
    environment.preferenceSync = &m_preferenceSync;
    environment.random = &RandomSource::system();
    environment.legacyVoice = [this](const QString &ownerKey) {
        return m_olderClient
            .legacyStoredPreferences(ownerKey, QString::fromUtf16(PlaybackViewModel::defaultEnglishVoiceID))
            .voice;
    };
    return std::make_unique<PlaybackViewModel>(
        m_ttsService, *m_audioPlayer, m_apiClient, m_audioCache, std::move(environment));
}

LoginScreenModel *DependencyContainer::makeLoginScreenModel(QObject *owner)
{
    return new LoginScreenModel(*m_session, owner);
}

HomeViewModel *DependencyContainer::makeHomeViewModel(QObject *owner)
{
    auto localStore = [this]() -> LocalWordStoreProtocol & { return m_localWordStore; };
    auto synchronizePlaylists = [this](QString accessToken, QString ownerKey, bool force) {
        return m_syncEngine.synchronizePlaylists(accessToken, ownerKey, force);
    };
    return new HomeViewModel(m_apiClient, localStore, synchronizePlaylists, *m_session,
        BackendConfiguration::environmentPartitionKey(m_environment.backendBaseURL()), homeScreens(), owner);
}

HomeScreens DependencyContainer::homeScreens()
{
    HomeScreens screens;
    screens.publicLexiconDetail
        = [this](qint64 lexiconId, QObject *owner) { return makePublicLexiconDetailModel(lexiconId, owner); };
    screens.playlistList = [this](QObject *owner) { return makePlaylistListModel(owner); };
    screens.userLexiconList = [this](QObject *owner) { return makeUserLexiconListModel(owner); };
    screens.accountSettings = [this](QObject *owner) { return makeAccountSettingsModel(owner); };
    return screens;
}

PublicLexiconDetailModel *DependencyContainer::makePublicLexiconDetailModel(qint64 lexiconId, QObject *owner)
{
    return new PublicLexiconDetailModel(m_apiClient, lexiconId, playlistSheetFactory(), owner);
}

PlaylistServices DependencyContainer::playlistServices()
{
    PlaylistServices services;
    services.apiClient = &m_apiClient;
    services.store = &m_localWordStore;
    services.session = m_session.get();
    services.environmentKey = BackendConfiguration::environmentPartitionKey(m_environment.backendBaseURL());
    services.synchronizePlaylists = [this](QString accessToken, QString ownerKey, bool force) {
        return m_syncEngine.synchronizePlaylists(accessToken, ownerKey, force);
    };
    services.retryPendingPlaylistDeletions = [this](QString accessToken, QString ownerKey, bool force) {
        return m_syncEngine.retryPendingPlaylistDeletions(accessToken, ownerKey, force);
    };
    return services;
}

PlaylistListModel *DependencyContainer::makePlaylistListModel(QObject *owner)
{
    auto makeDetail = [this](ORVPlaylist playlist, PlaylistListModel::DeletionCallback onDelete, QObject *detailOwner) {
        return makePlaylistDetailModel(std::move(playlist), std::move(onDelete), detailOwner);
    };
    auto *model = new PlaylistListModel(playlistServices(), makeDetail, owner);
    // Back in the foreground, the list loads again (and retries queued deletions).
    connect(&m_appActivity, &AppActivity::activeChanged, model, [model](bool active) {
        if (active)
            model->reload();
    });
    return model;
}

PlaylistDetailModel *DependencyContainer::makePlaylistDetailModel(
    ORVPlaylist playlist, PlaylistListModel::DeletionCallback onDelete, QObject *owner)
{
    return new PlaylistDetailModel(
        std::move(playlist), std::move(onDelete), playlistServices(), *m_playbackSession, owner);
}

SelectOrCreatePlaylistModel *DependencyContainer::makeSelectOrCreatePlaylistModel(QList<ORVWord> words, QObject *owner)
{
    return new SelectOrCreatePlaylistModel(std::move(words), {}, playlistServices(), owner);
}

PublicLexiconDetailModel::PlaylistSheetFactory DependencyContainer::playlistSheetFactory()
{
    return [this](QList<ORVWord> words, QObject *owner) { return makeSelectOrCreatePlaylistModel(std::move(words), owner); };
}

UserLexiconServices DependencyContainer::userLexiconServices()
{
    UserLexiconServices services;
    services.apiClient = &m_apiClient;
    services.store = &m_localWordStore;
    services.snapshots = &m_snapshotStore;
    services.session = m_session.get();
    services.environmentKey = BackendConfiguration::environmentPartitionKey(m_environment.backendBaseURL());
    services.synchronizePrivateLexicons = [this](QString accessToken, QString ownerKey) {
        return m_syncEngine.synchronizePrivateLexicons(accessToken, ownerKey);
    };
    services.storedPlaybackPreference = [this](const QString &ownerKey) -> std::optional<PlaybackPreference> {
        try {
            return PlaybackPreferenceOfflineStore::loadRecord(ownerKey, *m_defaults).effectivePreference();
        } catch (const std::exception &) {
            return std::nullopt; // a damaged record is reported where it is synchronised
        }
    };
    return services;
}

UserLexiconListModel *DependencyContainer::makeUserLexiconListModel(QObject *owner)
{
    auto makeDetail = [this](UserLexicon lexicon, QObject *detailOwner) {
        return makeUserLexiconDetailModel(std::move(lexicon), detailOwner);
    };
    return new UserLexiconListModel(userLexiconServices(), makeDetail, owner);
}

UserLexiconDetailModel *DependencyContainer::makeUserLexiconDetailModel(UserLexicon lexicon, QObject *owner)
{
    auto *model = new UserLexiconDetailModel(
        std::move(lexicon), userLexiconServices(), *m_playbackSession, playlistSheetFactory(), owner);
    model->setPlaybackSheetFactory([this](ORVWord word, EditWordPlaybackSheetModel::SaveCallback onSave,
                                       QObject *sheetOwner) {
        return makeEditWordPlaybackSheetModel(std::move(word), std::move(onSave), sheetOwner);
    });
    return model;
}

PlaybackSurfaceHostModel *DependencyContainer::makePlaybackSurfaceHostModel(QObject *owner)
{
    return new PlaybackSurfaceHostModel(*m_playbackSession, DelayScheduler::system(), RandomSource::system(),
        settingsScreens().playbackSettings, owner);
}

SettingsScreens DependencyContainer::settingsScreens()
{
    SettingsScreens screens;
    screens.cacheManagement = [this](QObject *owner) {
        return new CacheManagementModel(m_audioCache, DelayScheduler::system(), owner);
    };
    screens.voiceSelection = [this](QObject *owner) { return makeVoiceSelectionModel(owner); };
    screens.playbackSettings = [this](QObject *owner) {
        return new PlaybackSettingsModel(preferenceEditorServices(), settingsScreens(), owner);
    };
    return screens;
}

AccountSettingsModel *DependencyContainer::makeAccountSettingsModel(QObject *owner)
{
    return new AccountSettingsModel(*m_session, settingsScreens(), owner);
}

VoiceSelectionModel *DependencyContainer::makeVoiceSelectionModel(QObject *owner)
{
    return new VoiceSelectionModel(preferenceEditorServices(), owner);
}

PlaybackPreferenceEditorServices DependencyContainer::preferenceEditorServices()
{
    PlaybackPreferenceEditorServices services;
    services.session = m_session.get();
    services.environmentKey = BackendConfiguration::environmentPartitionKey(m_environment.backendBaseURL());
    services.defaults = m_defaults.get();
    services.clock = m_clock.get();
    services.preferenceSync = &m_preferenceSync;
    services.apiClient = &m_apiClient;
    services.connectivity = m_connectivity.get();
    services.playbackSession = m_playbackSession.get();
    services.appActivity = &m_appActivity;
    return services;
}

EditWordPlaybackSheetModel *DependencyContainer::makeEditWordPlaybackSheetModel(
    ORVWord word, EditWordPlaybackSheetModel::SaveCallback onSave, QObject *owner)
{
    return new EditWordPlaybackSheetModel(
        std::move(word), std::move(onSave), m_apiClient, m_ttsService, *m_session, *m_playbackSession, owner);
}

} // namespace talvoro
