#include "Session/AppSession.h"

#include "Models/ApiResponse.h"
#include "Models/MobileAPIError.h"
#include "Platform/Logging.h"
#include "Platform/Text.h"

#include <QRegularExpression>

namespace talvoro {

namespace {

const QString refreshPath = QStringLiteral("/api/v1/auth/refresh");
const QString logoutPath = QStringLiteral("/api/v1/auth/logout");

// Codes with which the backend declares a refresh token dead for good.
bool isDefinitiveRejection(const QString &code)
{
    static const QStringList codes {QStringLiteral("AUTH_REFRESH_INVALID"), QStringLiteral("AUTH_REFRESH_EXPIRED"),
        QStringLiteral("AUTH_REFRESH_REVOKED"), QStringLiteral("AUTH_REFRESH_REUSED"),
        QStringLiteral("AUTH_ACCOUNT_DISABLED")};
    return codes.contains(code);
}

using TokenEnvelope = ORVApiResponse<AuthTokenResponse>;

TokenEnvelope decodeEnvelope(const QByteArray &body)
{
    return TokenEnvelope::fromJson(
        json::parse(body), [](const QJsonValue &v, const QString &p) { return AuthTokenResponse::fromJson(v, p); });
}

bool isSuccessStatus(int status)
{
    return status >= 200 && status <= 299;
}

template<typename E>
std::optional<E> errorAs(const std::exception_ptr &error)
{
    try {
        std::rethrow_exception(error);
    } catch (const E &e) {
        return e;
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace

AppSessionState AppSessionState::authenticated(AuthenticatedSessionSnapshot snapshot)
{
    AppSessionState state(Kind::authenticated);
    state.m_snapshot = std::move(snapshot);
    return state;
}

QDebug operator<<(QDebug debug, const SessionRefreshResult &result)
{
    static const char *const names[] = {
        "definitivelyRejected", "notNeeded", "refreshed", "transientFailure", "cancelled", "noSession", "superseded"};
    QDebugStateSaver saver(debug);
    debug.nospace() << names[int(result.kind)];
    if (!result.code.isEmpty())
        debug << "(" << result.code << ")";
    return debug;
}

AppSession::AppSession(std::shared_ptr<SessionCredentialStore> credentialStore, NetworkTransfer &transfer,
    std::optional<QUrl> backendBaseURL, std::shared_ptr<const Clock> clock, NotificationCenter &notificationCenter,
    RequestTimeouts timeouts, QObject *parent)
    : QObject(parent)
    , m_credentialStore(std::move(credentialStore))
    , m_transfer(transfer)
    , m_backendBaseURL(std::move(backendBaseURL))
    , m_clock(std::move(clock))
    , m_timeouts(timeouts)
{
    m_unauthorizedObserver = notificationCenter.addObserver(unauthorizedAccessNotification, this,
        [this](const QVariant &object) { handleUnauthorizedNotification(object); });
}

AppSession::~AppSession()
{
    NotificationCenter::removeObserver(m_unauthorizedObserver);
}

// ---- state and lifecycle

Task<> AppSession::restoreSession()
{
    if (m_state.kind() != AppSessionState::Kind::restoring)
        co_return;
    QPointer<AppSession> self(this);
    const quint64 epoch = m_sessionEpoch;
    const auto store = m_credentialStore;

    std::optional<StoredSession> stored;
    std::exception_ptr loadError;
    try {
        stored = co_await store->load();
    } catch (...) {
        loadError = std::current_exception();
    }
    if (!self)
        co_return;
    if (loadError)
        logKeychainFailure(QStringLiteral("读取"), loadError);
    if (loadError || !stored) {
        // The item stays: a corrupted one fails again until a login overwrites it.
        if (m_sessionEpoch == epoch)
            setState(AppSessionState::loggedOut());
        co_return;
    }
    if (m_sessionEpoch != epoch)
        co_return;

    const QDateTime now = m_clock->now();
    if (stored->refreshTokenExpiresAt && now >= *stored->refreshTokenExpiresAt) {
        try {
            co_await store->remove();
        } catch (...) {
            // Nothing to tell anyone: the session is over either way.
        }
        if (!self)
            co_return;
        if (m_sessionEpoch == epoch) {
            ++m_sessionEpoch;
            setState(AppSessionState::loggedOut());
        }
        co_return;
    }

    authenticateWith(*stored);
    if (stored->accessTokenExpiresAt && now >= *stored->accessTokenExpiresAt)
        refreshInBackground(self, std::nullopt);
}

Task<SessionRefreshResult> AppSession::refreshIfNeeded(double minimumValidity)
{
    using Kind = SessionRefreshResult::Kind;
    QPointer<AppSession> self(this);
    if (m_unsavedGeneration && m_state.snapshot() && m_state.snapshot()->generation == *m_unsavedGeneration) {
        co_await saveUnsavedSession();
        if (!self)
            co_return SessionRefreshResult::of(Kind::cancelled);
    }
    if (m_state.kind() != AppSessionState::Kind::authenticated)
        co_return SessionRefreshResult::of(Kind::noSession);

    const AuthenticatedSessionSnapshot snapshot = *m_state.snapshot();
    const QDateTime now = m_clock->now();
    if (snapshot.refreshTokenExpiresAt && now >= *snapshot.refreshTokenExpiresAt)
        co_return co_await invalidateSession(
            QStringLiteral("AUTH_REFRESH_EXPIRED"), snapshot.generation, m_sessionEpoch);
    if (!snapshot.accessTokenExpiresAt)
        co_return co_await performRefresh();

    const double remaining = double(now.msecsTo(*snapshot.accessTokenExpiresAt)) / 1000.0;
    const double threshold = minimumValidity >= 0 ? minimumValidity : 0; // NaN fails the test too
    if (remaining > threshold)
        co_return SessionRefreshResult::of(Kind::notNeeded);
    co_return co_await performRefresh();
}

Task<SessionRefreshResult> AppSession::refreshAfterUnauthorized(quint64 generation)
{
    if (m_state.snapshot() && m_state.snapshot()->generation == generation)
        co_return co_await performRefresh();
    co_return SessionRefreshResult::of(SessionRefreshResult::Kind::superseded);
}

std::optional<quint64> AppSession::generationIfCurrent(const QString &accessToken) const
{
    if (m_state.snapshot() && m_state.snapshot()->accessToken == accessToken)
        return m_state.snapshot()->generation;
    return std::nullopt;
}

Task<SessionRefreshResult> AppSession::invalidateSession(QString code, quint64 generation, quint64 epoch)
{
    QPointer<AppSession> self(this);
    const auto store = m_credentialStore;
    std::exception_ptr removeError;
    try {
        co_await store->remove();
    } catch (...) {
        removeError = std::current_exception();
    }
    if (removeError)
        logKeychainFailure(QStringLiteral("删除失效会话"), removeError);
    if (!self || !isCurrent(epoch, generation))
        co_return SessionRefreshResult::of(SessionRefreshResult::Kind::superseded);
    ++m_sessionEpoch;
    m_unsavedGeneration.reset();
    setState(AppSessionState::loggedOut());
    co_return SessionRefreshResult::definitivelyRejected(code);
}

void AppSession::logout()
{
    std::optional<QString> refreshToken;
    if (m_state.snapshot())
        refreshToken = m_state.snapshot()->refreshToken;
    ++m_sessionEpoch;
    cancelActiveRefresh();
    m_unsavedGeneration.reset();
    setState(AppSessionState::loggedOut());
    setErrorMessage(QString());
    cleanUpAfterLogout(this, m_credentialStore, refreshToken);
}

void AppSession::handleUnauthorizedNotification(const QVariant &object)
{
    if (object.metaType() != QMetaType::fromType<SessionUnauthorizedEvent>()) {
        qCCritical(log::appSession).noquote() << QStringLiteral("忽略缺少会话代次的未授权通知");
        return;
    }
    refreshInBackground(this, object.value<SessionUnauthorizedEvent>().generation);
}

Task<> AppSession::refreshInBackground(QPointer<AppSession> self, std::optional<quint64> generation)
{
    if (!self)
        co_return;
    if (generation)
        co_await self->refreshAfterUnauthorized(*generation);
    else
        co_await self->performRefresh();
}

// ---- coalesced token refresh

Task<SessionRefreshResult> AppSession::performRefresh()
{
    using Kind = SessionRefreshResult::Kind;
    if (!m_state.snapshot())
        co_return SessionRefreshResult::of(Kind::noSession);
    const AuthenticatedSessionSnapshot snapshot = *m_state.snapshot();
    const quint64 epoch = m_sessionEpoch;
    QPointer<AppSession> self(this);

    SharedTask<SessionRefreshResult> task;
    std::optional<quint64> ownId;
    if (m_activeRefresh && m_activeRefresh->generation == snapshot.generation) {
        task = m_activeRefresh->task;
    } else {
        // A refresh of another generation keeps running; it just stops being joined.
        ownId = ++m_refreshCounter;
        auto factory
            = [self, snapshot, epoch](CancellationToken token) { return runRefresh(self, snapshot, epoch, token); };
        task = SharedTask<SessionRefreshResult>::start(factory);
        m_activeRefresh = ActiveRefresh {*ownId, snapshot.generation, task};
    }

    SessionRefreshResult result = SessionRefreshResult::of(Kind::cancelled);
    try {
        result = co_await task;
    } catch (const CancellationError &) {
        // Only a logout or a new login cancels the shared run; both start a new epoch.
    }
    if (!self)
        co_return SessionRefreshResult::of(Kind::cancelled);
    if (result.kind == Kind::cancelled && m_sessionEpoch != epoch)
        result = SessionRefreshResult::of(Kind::superseded);
    if (ownId && m_activeRefresh && m_activeRefresh->id == *ownId)
        m_activeRefresh.reset();
    co_return result;
}

Task<SessionRefreshResult> AppSession::runRefresh(
    QPointer<AppSession> self, AuthenticatedSessionSnapshot snapshot, quint64 epoch, CancellationToken token)
{
    if (!self)
        co_return SessionRefreshResult::of(SessionRefreshResult::Kind::cancelled);
    RefreshNetworkOutcome outcome = co_await self->requestTokenRefresh(snapshot.refreshToken, token);
    if (!self)
        co_return SessionRefreshResult::of(SessionRefreshResult::Kind::cancelled);
    co_return co_await self->applyRefreshOutcome(std::move(outcome), snapshot, epoch);
}

Task<AppSession::RefreshNetworkOutcome> AppSession::requestTokenRefresh(QString refreshToken, CancellationToken token)
{
    using Kind = RefreshNetworkOutcome::Kind;
    const std::optional<QUrl> url = endpoint(refreshPath);
    if (!url)
        co_return RefreshNetworkOutcome {Kind::transientFailure, {}, {}};
    // Copies: nothing of the session is touched once the request is out.
    const auto clock = m_clock;
    NetworkTransfer &transfer = m_transfer;

    TransferRequest request;
    request.method = "POST";
    request.url = *url;
    request.headers = {{"Content-Type", "application/json"}, {"Accept", "application/json"}};
    request.body = json::serialize(json::ObjectWriter().set(QStringLiteral("refreshToken"), refreshToken).object());
    request.timeout = m_timeouts.refresh;

    TransferResponse response;
    std::exception_ptr sendError;
    try {
        response = co_await transfer.send(request, token);
    } catch (...) {
        sendError = std::current_exception();
    }
    if (sendError)
        co_return RefreshNetworkOutcome {isCancellation(sendError) ? Kind::cancelled : Kind::transientFailure, {}, {}};

    std::optional<TokenEnvelope> envelope;
    try {
        envelope = decodeEnvelope(response.body);
    } catch (const json::DecodingError &) {
        co_return RefreshNetworkOutcome {Kind::transientFailure, {}, {}};
    }
    if (isSuccessStatus(response.statusCode) && envelope->success && envelope->data) {
        try {
            co_return RefreshNetworkOutcome {
                Kind::success, StoredSession::fromTokenResponse(*envelope->data, clock->now()), {}};
        } catch (const SessionResponseValidationError &) {
            // Read on as a failed answer.
        }
    }
    if (!envelope->error || !isDefinitiveRejection(envelope->error->code))
        co_return RefreshNetworkOutcome {Kind::transientFailure, {}, {}};
    if (response.statusCode == 401 || response.statusCode == 403)
        co_return RefreshNetworkOutcome {Kind::rejected, {}, envelope->error->code};
    co_return RefreshNetworkOutcome {Kind::transientFailure, {}, {}};
}

Task<SessionRefreshResult> AppSession::applyRefreshOutcome(
    RefreshNetworkOutcome outcome, AuthenticatedSessionSnapshot snapshot, quint64 epoch)
{
    using Kind = SessionRefreshResult::Kind;
    if (!isCurrent(epoch, snapshot.generation))
        co_return SessionRefreshResult::of(Kind::superseded);

    switch (outcome.kind) {
    case RefreshNetworkOutcome::Kind::success: {
        QPointer<AppSession> self(this);
        const auto store = m_credentialStore;
        std::exception_ptr saveError;
        try {
            co_await store->save(*outcome.session);
        } catch (...) {
            saveError = std::current_exception();
        }
        // The server has already spent the old refresh token: keeping the old
        // snapshot because the store failed would sign the user out at the next
        // refresh. The new tokens are used from memory and saved again later.
        if (saveError)
            logKeychainFailure(QStringLiteral("更新"), saveError);
        if (!self || !isCurrent(epoch, snapshot.generation))
            co_return SessionRefreshResult::of(Kind::superseded);
        authenticateWith(*outcome.session);
        if (saveError)
            m_unsavedGeneration = m_generationCounter;
        co_return SessionRefreshResult::of(Kind::refreshed);
    }
    case RefreshNetworkOutcome::Kind::rejected:
        co_return co_await invalidateSession(outcome.code, snapshot.generation, epoch);
    case RefreshNetworkOutcome::Kind::transientFailure:
        qCCritical(log::appSession).noquote() << QStringLiteral("Access Token 暂时无法刷新，本地会话已保留");
        co_return SessionRefreshResult::of(Kind::transientFailure);
    case RefreshNetworkOutcome::Kind::cancelled:
        break;
    }
    co_return SessionRefreshResult::of(Kind::cancelled);
}

Task<> AppSession::saveUnsavedSession()
{
    QPointer<AppSession> self(this);
    const AuthenticatedSessionSnapshot snapshot = *m_state.snapshot();
    const auto store = m_credentialStore;
    const StoredSession stored {snapshot.accessToken, snapshot.refreshToken, snapshot.user,
        snapshot.accessTokenExpiresAt, snapshot.refreshTokenExpiresAt};
    try {
        co_await store->save(stored);
    } catch (...) {
        logKeychainFailure(QStringLiteral("更新"), std::current_exception());
        co_return;
    }
    if (self && m_unsavedGeneration == snapshot.generation)
        m_unsavedGeneration.reset();
}

void AppSession::cancelActiveRefresh()
{
    if (m_activeRefresh)
        m_activeRefresh->task.cancel();
    m_activeRefresh.reset();
}

// ---- login, registration and logout requests

std::optional<AppSession::Credentials> AppSession::validateCredentials(
    const QString &path, const QString &username, const QString &password)
{
    static const QRegularExpression usernameRule(QStringLiteral("^[A-Za-z0-9_.-]{3,64}$"));
    static const QRegularExpression passwordRule(QStringLiteral("^(?=.*[A-Za-z])(?=.*[0-9]).{8,128}$"));
    const QString trimmedName = text::trimmed(username);
    if (!usernameRule.match(trimmedName).hasMatch()) {
        setErrorMessage(QStringLiteral("用户名为 3–64 位字母、数字或 . _ -"));
        return std::nullopt;
    }
    if (!passwordRule.match(password).hasMatch()) {
        setErrorMessage(QStringLiteral("密码至少 8 位，且必须同时包含字母和数字"));
        return std::nullopt;
    }
    const std::optional<QUrl> url = endpoint(path);
    if (!url) {
        setErrorMessage(QStringLiteral("后端地址无效"));
        return std::nullopt;
    }
    return Credentials {trimmedName, *url};
}

Task<> AppSession::authenticate(QString path, QString username, QString password, QString actionName)
{
    if (m_isSubmitting)
        co_return;
    const std::optional<Credentials> credentials = validateCredentials(path, username, password);
    if (!credentials)
        co_return;

    const quint64 epoch = ++m_sessionEpoch;
    cancelActiveRefresh();
    m_unsavedGeneration.reset();
    setSubmitting(true);
    setErrorMessage(QString());

    QPointer<AppSession> self(this);
    const auto store = m_credentialStore;
    const auto clock = m_clock;
    NetworkTransfer &transfer = m_transfer;

    TransferRequest request;
    request.method = "POST";
    request.url = credentials->endpoint;
    request.headers = {{"Content-Type", "application/json"}, {"Accept", "application/json"}};
    request.body = json::serialize(json::ObjectWriter()
                                       .set(QStringLiteral("username"), credentials->username)
                                       .set(QStringLiteral("password"), password)
                                       .object());
    request.timeout = m_timeouts.authenticate;

    std::exception_ptr failure;
    try {
        const TransferResponse response = co_await transfer.send(request);
        if (!self)
            co_return;
        if (m_sessionEpoch != epoch) {
            setSubmitting(false);
            co_return;
        }
        const TokenEnvelope envelope = decodeEnvelope(response.body);
        if (isSuccessStatus(response.statusCode) && envelope.success && envelope.data) {
            const StoredSession stored = StoredSession::fromTokenResponse(*envelope.data, clock->now());
            // Saved before the epoch check: a login overtaken while saving keeps its tokens stored.
            co_await store->save(stored);
            if (!self)
                co_return;
            if (m_sessionEpoch == epoch)
                authenticateWith(stored);
            setSubmitting(false);
            co_return;
        }
        if (envelope.error)
            throw MobileAPIError::server(response.statusCode, envelope.error->code, envelope.error->message);
        throw MobileAPIError::server(response.statusCode, std::nullopt, QStringLiteral("用户名或密码不正确"));
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self)
        co_return;
    if (m_sessionEpoch == epoch) {
        if (errorAs<SessionCredentialStoreError>(failure))
            logKeychainFailure(QStringLiteral("保存"), failure);
        setErrorMessage(actionName + QStringLiteral("失败：") + describe(failure));
    }
    setSubmitting(false);
}

Task<> AppSession::cleanUpAfterLogout(
    QPointer<AppSession> self, std::shared_ptr<SessionCredentialStore> store, std::optional<QString> refreshToken)
{
    std::exception_ptr removeError;
    try {
        co_await store->remove();
    } catch (...) {
        removeError = std::current_exception();
    }
    if (removeError && self)
        logKeychainFailure(QStringLiteral("删除"), removeError);
    if (refreshToken && self)
        co_await self->revokeRefreshToken(*refreshToken);
}

Task<> AppSession::revokeRefreshToken(QString refreshToken)
{
    const std::optional<QUrl> url = endpoint(logoutPath);
    if (!url) {
        qCCritical(log::appSession).noquote() << QStringLiteral("注销请求未发送：后端地址无效");
        co_return;
    }
    TransferRequest request;
    request.method = "POST";
    request.url = *url;
    request.headers = {{"Content-Type", "application/json"}};
    request.body = json::serialize(json::ObjectWriter().set(QStringLiteral("refreshToken"), refreshToken).object());
    request.timeout = m_timeouts.revoke;
    NetworkTransfer &transfer = m_transfer;

    int status = 0;
    try {
        status = (co_await transfer.send(request)).statusCode;
    } catch (...) {
        qCCritical(log::appSession).noquote() << QStringLiteral("远端 Refresh Token 撤销暂时失败");
        co_return;
    }
    if (!isSuccessStatus(status))
        qCCritical(log::appSession).noquote() << QStringLiteral("远端 Refresh Token 撤销未得到成功响应");
}

// ---- helpers

std::optional<QUrl> AppSession::endpoint(const QString &path) const
{
    if (!m_backendBaseURL || !m_backendBaseURL->isValid() || m_backendBaseURL->host().isEmpty())
        return std::nullopt;
    const QUrl url = m_backendBaseURL->resolved(QUrl(path));
    if (!url.isValid())
        return std::nullopt;
    return url;
}

bool AppSession::isCurrent(quint64 epoch, quint64 generation) const
{
    return m_sessionEpoch == epoch && m_state.snapshot() && m_state.snapshot()->generation == generation;
}

void AppSession::authenticateWith(const StoredSession &stored)
{
    ++m_generationCounter;
    setState(AppSessionState::authenticated({stored.accessToken, stored.refreshToken, stored.user,
        stored.accessTokenExpiresAt, stored.refreshTokenExpiresAt, m_generationCounter}));
}

void AppSession::setState(AppSessionState state)
{
    m_state = std::move(state);
    Q_EMIT stateChanged();
}

void AppSession::setErrorMessage(const QString &message)
{
    m_errorMessage = message;
    Q_EMIT errorMessageChanged();
}

void AppSession::setSubmitting(bool submitting)
{
    m_isSubmitting = submitting;
    Q_EMIT isSubmittingChanged();
}

void AppSession::logKeychainFailure(const QString &operation, const std::exception_ptr &error)
{
    QString message = QStringLiteral("Keychain %1失败").arg(operation);
    if (const auto storeError = errorAs<SessionCredentialStoreError>(error)) {
        if (storeError->kind() == SessionCredentialStoreError::Kind::keychain)
            message = QStringLiteral("Keychain %1失败，状态码：%2").arg(operation).arg(storeError->status());
        else
            message = QStringLiteral("Keychain %1失败：会话数据损坏").arg(operation);
    }
    qCCritical(log::appSession).noquote() << message;
}

} // namespace talvoro
