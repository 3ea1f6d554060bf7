#pragma once

#include "Models/Account.h"
#include "Platform/Async.h"
#include "Platform/Clock.h"
#include "Platform/NetworkTransfer.h"
#include "Platform/NotificationCenter.h"
#include "Session/SessionCredentialStore.h"

#include <QDateTime>
#include <QDebug>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <chrono>
#include <memory>
#include <optional>

namespace talvoro {

struct AuthenticatedSessionSnapshot {
    QString accessToken;
    QString refreshToken;
    UserSummary user;
    std::optional<QDateTime> accessTokenExpiresAt;
    std::optional<QDateTime> refreshTokenExpiresAt;
    quint64 generation = 0;

    bool operator==(const AuthenticatedSessionSnapshot &) const = default;
};

class AppSessionState {
public:
    enum class Kind { authenticated, restoring, loggedOut };

    static AppSessionState authenticated(AuthenticatedSessionSnapshot snapshot);
    static AppSessionState restoring() { return AppSessionState(Kind::restoring); }
    static AppSessionState loggedOut() { return AppSessionState(Kind::loggedOut); }

    Kind kind() const { return m_kind; }
    // Present exactly when authenticated.
    const std::optional<AuthenticatedSessionSnapshot> &snapshot() const { return m_snapshot; }

    bool operator==(const AppSessionState &) const = default;

private:
    explicit AppSessionState(Kind kind)
        : m_kind(kind)
    { }
    Kind m_kind;
    std::optional<AuthenticatedSessionSnapshot> m_snapshot;
};

// What a request for fresh tokens came to.
struct SessionRefreshResult {
    enum class Kind { definitivelyRejected, notNeeded, refreshed, transientFailure, cancelled, noSession, superseded };

    Kind kind = Kind::noSession;
    QString code; // the server's code (or "AUTH_REFRESH_EXPIRED") when definitivelyRejected

    static SessionRefreshResult definitivelyRejected(QString code) { return {Kind::definitivelyRejected, code}; }
    static SessionRefreshResult of(Kind kind) { return {kind, {}}; }

    bool operator==(const SessionRefreshResult &) const = default;
};
QDebug operator<<(QDebug debug, const SessionRefreshResult &result);

// The object of an unauthorized-access notification: the token generation whose
// access token the backend refused.
struct SessionUnauthorizedEvent {
    quint64 generation = 0;
};

// How long each authentication request may take.
struct AppSessionRequestTimeouts {
    std::chrono::milliseconds authenticate {12000};
    std::chrono::milliseconds refresh {10000};
    std::chrono::milliseconds revoke {8000};
};

// The one signed-in session of the app: who is signed in and with which tokens,
// restored at launch, refreshed once per token generation however many ask, ended
// by a definitive rejection or by logout. Two counters guard every awaited result:
// the session epoch (moves on at every logout, new login and end of a session) and
// the token generation (moves on with every new snapshot). Main thread only.
class AppSession final : public QObject {
    Q_OBJECT
    Q_PROPERTY(Status status READ status NOTIFY stateChanged)
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY errorMessageChanged)
    Q_PROPERTY(bool isSubmitting READ isSubmitting NOTIFY isSubmittingChanged)
    // The signed-in user's name; empty unless authenticated.
    Q_PROPERTY(QString username READ username NOTIFY stateChanged)

public:
    enum class Status { authenticated, restoring, loggedOut };
    Q_ENUM(Status)

    static inline const QString unauthorizedAccessNotification = QStringLiteral("ORVUnauthorizedAccessNotification");
    static inline const QString loginPath = QStringLiteral("/api/v1/auth/login");
    static inline const QString registerPath = QStringLiteral("/api/v1/auth/register");

    using RequestTimeouts = AppSessionRequestTimeouts;

    AppSession(std::shared_ptr<SessionCredentialStore> credentialStore, NetworkTransfer &transfer,
        std::optional<QUrl> backendBaseURL, std::shared_ptr<const Clock> clock, NotificationCenter &notificationCenter,
        RequestTimeouts timeouts = {}, QObject *parent = nullptr);
    ~AppSession() override;

    const AppSessionState &state() const { return m_state; }
    Status status() const { return Status(m_state.kind()); }
    QString errorMessage() const { return m_errorMessage; }
    bool isSubmitting() const { return m_isSubmitting; }
    QString username() const { return m_state.snapshot() ? m_state.snapshot()->user.username : QString(); }
    quint64 sessionEpoch() const { return m_sessionEpoch; }

    // Launch-time restore; does nothing unless the state is still `restoring`.
    Task<> restoreSession();
    // Refreshes when the access token has `minimumValidity` seconds or less left.
    Task<SessionRefreshResult> refreshIfNeeded(double minimumValidity);
    // One refresh for the generation whose access token got a 401.
    Task<SessionRefreshResult> refreshAfterUnauthorized(quint64 generation);
    // The current generation when `accessToken` is still the current one.
    std::optional<quint64> generationIfCurrent(const QString &accessToken) const;
    // Refreshes the current tokens, or joins the refresh already running for them.
    Task<SessionRefreshResult> performRefresh();
    // Ends the session after a definitive rejection of its refresh token.
    Task<SessionRefreshResult> invalidateSession(QString code, quint64 generation, quint64 epoch);

    // Signs in (loginPath, "登录") or registers (registerPath, "注册").
    Task<> authenticate(QString path, QString username, QString password, QString actionName);
    // Signs out here at once; removing the stored tokens and revoking the refresh
    // token on the server follow in the background.
    Q_INVOKABLE void logout();
    // The message shown under the sign-in form; the form clears it when it switches
    // between signing in and registering.
    void setErrorMessage(const QString &message);

Q_SIGNALS:
    // Emitted at every assignment, also when the value did not change.
    void stateChanged();
    void errorMessageChanged();
    void isSubmittingChanged();

private:
    struct ActiveRefresh {
        quint64 id;
        quint64 generation;
        SharedTask<SessionRefreshResult> task;
    };
    struct RefreshNetworkOutcome {
        enum class Kind { success, rejected, transientFailure, cancelled };
        Kind kind;
        std::optional<StoredSession> session;
        QString code;
    };
    struct Credentials {
        QString username;
        QUrl endpoint;
    };

    static Task<SessionRefreshResult> runRefresh(
        QPointer<AppSession> self, AuthenticatedSessionSnapshot snapshot, quint64 epoch, CancellationToken token);
    static Task<> refreshInBackground(QPointer<AppSession> self, std::optional<quint64> generation);
    static Task<> cleanUpAfterLogout(
        QPointer<AppSession> self, std::shared_ptr<SessionCredentialStore> store, std::optional<QString> refreshToken);

    Task<RefreshNetworkOutcome> requestTokenRefresh(QString refreshToken, CancellationToken token);
    Task<SessionRefreshResult> applyRefreshOutcome(
        RefreshNetworkOutcome outcome, AuthenticatedSessionSnapshot snapshot, quint64 epoch);
    Task<> saveUnsavedSession();
    Task<> revokeRefreshToken(QString refreshToken);
    std::optional<Credentials> validateCredentials(
        const QString &path, const QString &username, const QString &password);

    std::optional<QUrl> endpoint(const QString &path) const;
    bool isCurrent(quint64 epoch, quint64 generation) const;
    void authenticateWith(const StoredSession &stored);
    void cancelActiveRefresh();
    void setState(AppSessionState state);
    void setSubmitting(bool submitting);
    void handleUnauthorizedNotification(const QVariant &object);
    static void logKeychainFailure(const QString &operation, const std::exception_ptr &error);

    AppSessionState m_state = AppSessionState::restoring();
    QString m_errorMessage;
    bool m_isSubmitting = false;
    std::shared_ptr<SessionCredentialStore> m_credentialStore;
    NetworkTransfer &m_transfer;
    std::optional<QUrl> m_backendBaseURL;
    std::shared_ptr<const Clock> m_clock;
    RequestTimeouts m_timeouts;
    QMetaObject::Connection m_unauthorizedObserver;
    quint64 m_generationCounter = 0;
    quint64 m_sessionEpoch = 0;
    quint64 m_refreshCounter = 0;
    std::optional<ActiveRefresh> m_activeRefresh;
    // The generation whose tokens the store failed to keep; saved again later.
    std::optional<quint64> m_unsavedGeneration;
};

} // namespace talvoro

Q_DECLARE_METATYPE(talvoro::SessionUnauthorizedEvent)
