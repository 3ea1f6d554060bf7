#include "HomeViewModel.h"

#include "Networking/BackendConfiguration.h"
#include "Persistence/LocalWordStoreError.h"
#include "Platform/Text.h"
#include "Screens/PendingOperation.h"

#include <coroutine>

namespace talvoro {

namespace {

// Resumes the caller on a later turn of the main event loop, so a load starts
// only after the one who asked for it has recorded it.
struct NextTurn {
    bool await_ready() const { return false; }
    void await_suspend(std::coroutine_handle<> handle) const
    {
        postToMainThread([handle] { handle.resume(); });
    }
    void await_resume() const { }
};

const QString offlineMessage = QStringLiteral("当前网络不可用，已保留本地首页数据");

} // namespace

QVariant PublicLexiconListModel::data(const QModelIndex &index, int role) const
{
    const PublicLexiconSummary *lexicon = rowAt(m_rows, index);
    if (!lexicon)
        return {};
    switch (role) {
    case LexiconIdRole:
        return lexicon->id;
    case NameRole:
    case Qt::DisplayRole:
        return lexicon->name;
    case DescriptionRole:
        return lexicon->description.value_or(QString());
    case WordCountRole:
        return lexicon->wordCount;
    default:
        return {};
    }
}

QHash<int, QByteArray> PublicLexiconListModel::roleNames() const
{
    return {{LexiconIdRole, "lexiconId"}, {NameRole, "name"}, {DescriptionRole, "lexiconDescription"},
        {WordCountRole, "wordCount"}};
}

HomeViewModel::HomeLoadContext HomeViewModel::HomeLoadRequest::context() const
{
    HomeLoadContext context;
    context.isAuthenticated = token && !token->isEmpty();
    if (context.isAuthenticated && user)
        context.userID = user->id;
    return context;
}

HomeViewModel::HomeViewModel(APIClientProtocol &apiClient, LocalStoreProvider localStoreProvider,
    PlaylistSynchronizer playlistSynchronizer, AppSession &session, std::optional<QString> environmentKey,
    HomeScreens screens, QObject *parent)
    : QObject(parent)
    , m_apiClient(apiClient)
    , m_localStoreProvider(std::move(localStoreProvider))
    , m_playlistSynchronizer(std::move(playlistSynchronizer))
    , m_session(session)
    , m_environmentKey(std::move(environmentKey))
    , m_screens(std::move(screens))
{
    connect(&m_session, &AppSession::stateChanged, this, &HomeViewModel::greetingChanged);
}

bool HomeViewModel::opensScreens() const
{
    return m_screens.publicLexiconDetail && m_screens.playlistList && m_screens.userLexiconList
        && m_screens.accountSettings;
}

PublicLexiconDetailModel *HomeViewModel::makePublicLexiconDetailModel(qint64 lexiconId, QObject *owner)
{
    return m_screens.publicLexiconDetail ? m_screens.publicLexiconDetail(lexiconId, owner) : nullptr;
}

PlaylistListModel *HomeViewModel::makePlaylistListModel(QObject *owner)
{
    return m_screens.playlistList ? m_screens.playlistList(owner) : nullptr;
}

UserLexiconListModel *HomeViewModel::makeUserLexiconListModel(QObject *owner)
{
    return m_screens.userLexiconList ? m_screens.userLexiconList(owner) : nullptr;
}

AccountSettingsModel *HomeViewModel::makeAccountSettingsModel(QObject *owner)
{
    return m_screens.accountSettings ? m_screens.accountSettings(owner) : nullptr;
}

HomeViewModel::~HomeViewModel()
{
    // Awaiters of the running load stop waiting; the load itself stops at its next
    // check, finding the view model gone.
    if (m_activeLoad)
        m_activeLoad->task.cancel();
}

QString HomeViewModel::greeting() const
{
    const auto &snapshot = m_session.state().snapshot();
    return QStringLiteral("欢迎回来, ") + (snapshot ? snapshot->user.username : QStringLiteral("学习者"));
}

QString HomeViewModel::statusBannerMessage() const
{
    return m_errorMessage.isEmpty() ? m_playlistSynchronizationMessage : m_errorMessage;
}

Task<> HomeViewModel::load(std::optional<QString> token, std::optional<UserSummary> user, QPointer<AppSession> session,
    bool forcePlaylistRefresh)
{
    return loadFor(this, HomeLoadRequest {std::move(token), std::move(user), session, forcePlaylistRefresh});
}

PendingOperation *HomeViewModel::reload(bool force)
{
    HomeLoadRequest request;
    if (const auto &snapshot = m_session.state().snapshot()) {
        request.token = snapshot->accessToken;
        request.user = snapshot->user;
    }
    request.session = &m_session;
    request.forcePlaylistRefresh = force;
    auto *pending = new PendingOperation(this);
    runReload(this, std::move(request), pending);
    return pending;
}

Task<> HomeViewModel::runReload(
    QPointer<HomeViewModel> self, HomeLoadRequest request, QPointer<PendingOperation> pending)
{
    co_await loadFor(self, std::move(request));
    if (pending)
        pending->finish();
}

Task<> HomeViewModel::loadFor(QPointer<HomeViewModel> self, HomeLoadRequest request)
{
    if (!self)
        co_return;
    const HomeLoadContext context = request.context();
    SharedTask<void> task = self->startLoad(request);
    try {
        co_await task;
    } catch (...) {
        // Replaced by a load for another account, or the view model went away.
    }
    if (!request.forcePlaylistRefresh)
        co_return;
    // A forced caller returns only once the forced load parked behind an unforced
    // one has run too.
    while (self && self->m_activeLoad && self->m_activeLoad->context == context) {
        SharedTask<void> running = self->m_activeLoad->task;
        try {
            co_await running;
        } catch (...) { }
    }
}

SharedTask<void> HomeViewModel::startLoad(const HomeLoadRequest &request)
{
    if (m_activeLoad) {
        if (m_activeLoad->context == request.context()) {
            if (request.forcePlaylistRefresh && !m_activeLoad->forcePlaylistRefresh)
                m_pendingForcedRequest = request;
            return m_activeLoad->task;
        }
        SharedTask<void> replaced = m_activeLoad->task;
        m_activeLoad.reset();
        m_pendingForcedRequest.reset();
        replaced.cancel();
    }
    return beginLoad(request);
}

SharedTask<void> HomeViewModel::beginLoad(const HomeLoadRequest &request)
{
    const QUuid identifier = QUuid::createUuid();
    setErrorMessage({});
    setPlaylistSynchronizationMessage({});
    setLoadPhase(m_hasCompletedInitialLoad ? HomeLoadPhase::refreshing : HomeLoadPhase::initialLoading);
    QPointer<HomeViewModel> self(this);
    auto run = [self, identifier, request](CancellationToken) { return runLoad(self, identifier, request); };
    SharedTask<void> task = SharedTask<void>::start(run);
    m_activeLoad = ActiveHomeLoad {identifier, request.context(), request.forcePlaylistRefresh, task};
    return task;
}

Task<> HomeViewModel::runLoad(QPointer<HomeViewModel> self, QUuid identifier, HomeLoadRequest request)
{
    co_await NextTurn();
    if (!self)
        co_return;
    co_await performLoad(self, identifier, std::move(request));
    if (self)
        self->finishLoad(identifier);
}

bool HomeViewModel::isActiveLoad(const QUuid &identifier) const
{
    return m_activeLoad && m_activeLoad->identifier == identifier;
}

void HomeViewModel::finishLoad(const QUuid &identifier)
{
    if (!isActiveLoad(identifier))
        return;
    m_hasCompletedInitialLoad = true;
    if (m_pendingForcedRequest) {
        const HomeLoadRequest parked = *std::exchange(m_pendingForcedRequest, std::nullopt);
        m_activeLoad.reset();
        beginLoad(parked);
        return;
    }
    m_activeLoad.reset();
    setLoadPhase(HomeLoadPhase::idle);
}

Task<> HomeViewModel::performLoad(QPointer<HomeViewModel> self, QUuid identifier, HomeLoadRequest request)
{
    if (!self || !self->isActiveLoad(identifier))
        co_return;

    if (request.token && !request.token->isEmpty()) {
        const SessionCredentials credentials {*request.token, request.user};
        const bool force = request.forcePlaylistRefresh;
        auto attempt = [self, identifier, force](SessionCredentials c) {
            return loadAuthenticatedContent(self, identifier, std::move(c), force);
        };
        std::exception_ptr failure;
        try {
            co_await callWithTokenRefresh(request.session, credentials, attempt);
        } catch (...) {
            failure = std::current_exception();
        }
        // The refresh after an unauthorized answer said the network is gone: keep
        // the local data and say so, but only for the load that is still showing.
        if (failure && self && self->isActiveLoad(identifier)) {
            try {
                std::rethrow_exception(failure);
            } catch (const TokenRefreshDeclined &declined) {
                if (declined.isTransient())
                    self->setErrorMessage(offlineMessage);
            } catch (...) {
                // A second unauthorized answer, or one without a session: silent.
            }
        }
        co_return;
    }

    // Signed out: public lexicons only.
    self->setUserLexicons({});
    self->setPlaylists({});
    APIClientProtocol &apiClient = self->m_apiClient;
    std::exception_ptr failure;
    QList<PublicLexiconSummary> lexicons;
    try {
        lexicons = co_await apiClient.fetchPublicLexicons();
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self || !self->isActiveLoad(identifier))
        co_return;
    if (failure) {
        self->failLoad(identifier, QStringLiteral("公共词库加载失败："), failure);
        co_return;
    }
    self->m_publicLexicons.setRows(lexicons);
}

// Throws only an unauthorized answer of a load that is still active, for the
// caller's one refresh and retry; every other failure ends here with its text.
Task<> HomeViewModel::loadAuthenticatedContent(
    QPointer<HomeViewModel> self, QUuid identifier, SessionCredentials credentials, bool forcePlaylistRefresh)
{
    if (!self || !self->isActiveLoad(identifier))
        co_return;

    QString ownerKey;
    try {
        ownerKey = self->resolveOwnerKey(credentials.user);
        LocalWordStoreProtocol &store = self->localStore();
        self->setPlaylists(store.fetchPlaylists(ownerKey));
        self->setUserLexicons(store.fetchPrivateLexicons(ownerKey));
    } catch (...) {
        self->failLoad(identifier, QStringLiteral("播放列表本地数据加载失败："), std::current_exception());
        co_return;
    }

    APIClientProtocol &apiClient = self->m_apiClient;
    const QString token = credentials.accessToken;
    auto fetchPublic = [&apiClient](CancellationToken) { return apiClient.fetchPublicLexicons(); };
    auto fetchPrivate = [&apiClient, token](CancellationToken) { return apiClient.fetchUserLexicons(token); };
    auto synchronize = [synchronizer = self->m_playlistSynchronizer, token, ownerKey, forcePlaylistRefresh](
                           CancellationToken) { return synchronizer(token, ownerKey, forcePlaylistRefresh); };
    SharedTask<QList<PublicLexiconSummary>> publicChild = SharedTask<QList<PublicLexiconSummary>>::start(fetchPublic);
    SharedTask<QList<UserLexicon>> privateChild = SharedTask<QList<UserLexicon>>::start(fetchPrivate);
    SharedTask<PlaylistSyncReport> syncChild = SharedTask<PlaylistSyncReport>::start(synchronize);

    PlaylistSyncReport report;
    try {
        report = co_await syncChild;
    } catch (...) {
        // The synchronizer reports its failures; nothing to add here.
    }
    if (!self || !self->isActiveLoad(identifier)) {
        publicChild.cancel();
        privateChild.cancel();
        co_return;
    }
    try {
        self->setPlaylists(self->localStore().fetchPlaylists(ownerKey));
    } catch (...) {
        self->failLoad(identifier, QStringLiteral("播放列表本地数据刷新失败："), std::current_exception());
    }
    self->setPlaylistSynchronizationMessage(playlistSynchronizationText(report).value_or(QString()));

    QList<PublicLexiconSummary> publicLexicons;
    QList<UserLexicon> userLexicons;
    std::exception_ptr failure;
    try {
        publicLexicons = co_await publicChild;
    } catch (...) {
        failure = std::current_exception();
        privateChild.cancel();
    }
    const bool publicSucceeded = !failure;
    if (!failure) {
        try {
            userLexicons = co_await privateChild;
        } catch (...) {
            failure = std::current_exception();
        }
    }
    if (!self || !self->isActiveLoad(identifier))
        co_return;
    // Offline, the public lexicons may still have come from the response cache:
    // they stay on screen with the local data, under the offline note.
    if (failure && isConnectivityFailure(failure)) {
        if (publicSucceeded)
            self->m_publicLexicons.setRows(publicLexicons);
        self->setErrorMessage(offlineMessage);
        co_return;
    }
    if (!failure) {
        self->m_publicLexicons.setRows(publicLexicons);
        self->setUserLexicons(userLexicons);
        try {
            self->localStore().savePrivateLexicons(userLexicons, ownerKey);
        } catch (...) {
            failure = std::current_exception();
        }
    }
    if (!failure)
        co_return;
    if (isUnauthorized(failure))
        std::rethrow_exception(failure);
    self->failLoad(identifier, QStringLiteral("首页数据刷新失败："), failure);
}

void HomeViewModel::failLoad(const QUuid &identifier, const QString &prefix, const std::exception_ptr &error)
{
    if (!isActiveLoad(identifier) || isCancellation(error))
        return;
    setErrorMessage(prefix + describe(error));
}

QString HomeViewModel::resolveOwnerKey(const std::optional<UserSummary> &user)
{
    if (user && user->id >= 1) {
        const QString legacyKey = text::trimmed(user->username);
        if (!legacyKey.isEmpty()) {
            if (const std::optional<QString> ownerKey = BackendConfiguration::ownerKey(user->id, m_environmentKey)) {
                localStore().migrateLegacyPlaylistPartition(legacyKey, *ownerKey);
                return *ownerKey;
            }
        }
    }
    throw LocalWordStoreError(LocalWordStoreError::Kind::invalidOwnerKey);
}

LocalWordStoreProtocol &HomeViewModel::localStore()
{
    if (!m_localStore)
        m_localStore = &m_localStoreProvider();
    return *m_localStore;
}

std::optional<QString> HomeViewModel::playlistSynchronizationText(const PlaylistSyncReport &report)
{
    QStringList parts;
    if (!report.deletionRetry.failures.isEmpty())
        parts.append(QStringLiteral("部分云端删除尚未完成；请在联网后重新进入、回到前台或手动刷新以重试"));
    if (report.synchronizationErrorDescription)
        parts.append(QStringLiteral("播放列表当前显示本地数据：") + *report.synchronizationErrorDescription);
    if (parts.isEmpty())
        return std::nullopt;
    return parts.join(QStringLiteral("；"));
}

void HomeViewModel::setUserLexicons(QList<UserLexicon> lexicons)
{
    m_userLexicons = std::move(lexicons);
    Q_EMIT userLexiconsChanged();
}

void HomeViewModel::setPlaylists(QList<ORVPlaylist> playlists)
{
    m_playlists = std::move(playlists);
    Q_EMIT playlistsChanged();
}

void HomeViewModel::setLoadPhase(HomeLoadPhase phase)
{
    if (m_loadPhase == phase)
        return;
    m_loadPhase = phase;
    Q_EMIT loadPhaseChanged();
}

void HomeViewModel::setErrorMessage(const QString &message)
{
    if (m_errorMessage == message)
        return;
    m_errorMessage = message;
    Q_EMIT errorMessageChanged();
    Q_EMIT statusBannerChanged();
}

void HomeViewModel::setPlaylistSynchronizationMessage(const QString &message)
{
    if (m_playlistSynchronizationMessage == message)
        return;
    m_playlistSynchronizationMessage = message;
    Q_EMIT playlistSynchronizationMessageChanged();
    Q_EMIT statusBannerChanged();
}

} // namespace talvoro
