#include "App/AppController.h"

#include "Networking/BackendConfiguration.h"
#include "Platform/Logging.h"

#include <QElapsedTimer>

namespace talvoro {

namespace {

std::optional<QString> ownerKeyOf(const std::function<std::optional<QUrl>()> &baseURL, qint64 userID)
{
    return BackendConfiguration::ownerKey(userID, BackendConfiguration::environmentPartitionKey(baseURL()));
}

} // namespace

AppController::AppController(Services services, Sleep sleep, QObject *parent)
    : QObject(parent)
    , m_services(std::move(services))
    , m_sleep(std::move(sleep))
{
    connect(&m_services.session, &AppSession::stateChanged, this, &AppController::sessionStateChanged);
    connect(&m_services.connectivity, &ORVNetworkConnectivityMonitor::availabilityChanged, this,
        [this] { handleConnectivityChange(m_services.connectivity.availability()); });
    sessionStateChanged();
}

AppController::~AppController()
{
    if (m_refreshLoop)
        m_refreshLoop->cancel();
}

void AppController::start()
{
    restoreInBackground(this);
}

void AppController::sessionStateChanged()
{
    const std::optional<AuthenticatedSessionSnapshot> &snapshot = m_services.session.state().snapshot();
    const std::optional<qint64> userID = snapshot ? std::optional(snapshot->user.id) : std::nullopt;
    const std::optional<QString> accessToken = snapshot ? std::optional(snapshot->accessToken) : std::nullopt;
    if (userID != m_observedUserID) {
        m_observedUserID = userID;
        handleAuthenticatedUserChange(userID);
    }
    if (accessToken != m_observedAccessToken) {
        m_observedAccessToken = accessToken;
        handleSessionStateChange(accessToken);
    }
    updateRootContent();
}

void AppController::updateRootContent()
{
    RootContent content = RootContent::Nothing;
    switch (m_services.session.state().kind()) {
    case AppSessionState::Kind::authenticated:
        content = RootContent::Home;
        break;
    case AppSessionState::Kind::loggedOut:
        content = RootContent::Login;
        break;
    case AppSessionState::Kind::restoring:
        break;
    }
    if (content == m_rootContent)
        return;
    m_rootContent = content;
    Q_EMIT rootContentChanged();
}

void AppController::handleAuthenticatedUserChange(std::optional<qint64> userID)
{
    GlobalPlaybackSession &playback = m_services.playbackSession;
    const std::optional<qint64> active = playback.activeUserID();
    if (userID == active)
        return;
    // The first user after none keeps what was prepared; any other change ends the
    // previous user's playback.
    if (active)
        playback.reset();
    playback.setActiveUserID(userID);
}

void AppController::handleSessionStateChange(std::optional<QString> accessToken)
{
    GlobalPlaybackSession &playback = m_services.playbackSession;
    if (const auto &snapshot = m_services.session.state().snapshot()) {
        if (const std::optional<qint64> active = playback.activeUserID(); active && *active != snapshot->user.id)
            playback.reset();
        playback.setActiveUserID(snapshot->user.id);
        if (PlaybackViewModel *viewModel = playback.playbackViewModel())
            viewModel->updateSession(accessToken, snapshot->user);
    } else {
        playback.reset();
    }
    if (accessToken)
        synchronizeInBackground(this, false);
}

void AppController::handleConnectivityChange(ORVNetworkAvailability availability)
{
    if (availability == ORVNetworkAvailability::available)
        synchronizeInBackground(this, true);
}

Task<> AppController::synchronizePlaybackPreference(bool force)
{
    if (m_services.connectivity.availability() == ORVNetworkAvailability::unavailable)
        co_return;
    const std::optional<AuthenticatedSessionSnapshot> snapshot = m_services.session.state().snapshot();
    if (!snapshot)
        co_return;
    const qint64 userID = snapshot->user.id;
    const std::optional<QString> ownerKey = ownerKeyOf(m_services.backendBaseURL, userID);
    if (!ownerKey)
        co_return;

    QPointer<AppController> self(this);
    const PlaybackPreferenceSyncResult result = co_await m_services.preferenceSync.synchronize(
        *ownerKey, snapshot->accessToken, force, m_services.apiClient);
    if (!self)
        co_return;
    // The preference belongs to the owner the sync ran for: after a sign-out or a
    // change of user (or of backend) it must not reach the player of whoever is
    // signed in now.
    const std::optional<AuthenticatedSessionSnapshot> &current = m_services.session.state().snapshot();
    if (!current || current->user.id != userID || ownerKeyOf(m_services.backendBaseURL, userID) != ownerKey)
        co_return;
    if (result.state != PlaybackPreferenceSyncResult::State::synchronized || !result.preference)
        co_return;
    if (PlaybackViewModel *viewModel = m_services.playbackSession.playbackViewModel())
        viewModel->applyServerPreference(*result.preference);
}

Task<> AppController::restoreOnLaunch()
{
    QElapsedTimer elapsed;
    elapsed.start();
    QPointer<AppController> self(this);
    AppSession *session = &m_services.session;
    // A named local: g++ 12 destroys a lambda built inside a co_await expression twice.
    auto restore = [session] { return session->restoreSession(); };
    co_await m_services.launchCoordinator.run(restore);
    if (!self)
        co_return;
    qCInfo(log::startup).noquote() << QStringLiteral("会话恢复完成，耗时 %1 毫秒").arg(elapsed.elapsed());
    co_await m_services.session.refreshIfNeeded(minimumTokenValidity);
    if (!self)
        co_return;
    co_await synchronizePlaybackPreference(false);
}

void AppController::setActive(bool active)
{
    if (m_refreshLoop) {
        m_refreshLoop->cancel();
        m_refreshLoop.reset();
    }
    if (!active)
        return;
    m_refreshLoop.emplace();
    runRefreshLoop(this, m_refreshLoop->token());
}

Task<> AppController::runRefreshLoop(QPointer<AppController> self, CancellationToken token)
{
    while (self && !token.isCancelled()) {
        co_await self->m_services.session.refreshIfNeeded(minimumTokenValidity);
        if (!self || token.isCancelled())
            co_return;
        co_await self->synchronizePlaybackPreference(false);
        if (!self || token.isCancelled())
            co_return;
        try {
            co_await self->m_sleep(refreshInterval, token);
        } catch (const CancellationError &) {
            co_return;
        }
    }
}

Task<> AppController::synchronizeInBackground(QPointer<AppController> self, bool force)
{
    if (self)
        co_await self->synchronizePlaybackPreference(force);
}

Task<> AppController::restoreInBackground(QPointer<AppController> self)
{
    if (self)
        co_await self->restoreOnLaunch();
}

} // namespace talvoro
