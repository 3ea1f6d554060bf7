// The session's requests against the real stand-in backend over HTTPS: sign-in,
// registration, refresh with rotation, a reused refresh token and logout.
#include "BackendProcess.h"
#include "SessionTesting.h"
#include "TestRegistry.h"

using namespace sessiontesting;

namespace {

struct LiveSession {
    NetworkTransfer transfer;
    NotificationCenter notifications;
    std::shared_ptr<MemorySecureItemStore> items = std::make_shared<MemorySecureItemStore>();
    std::shared_ptr<KeychainSessionCredentialStore> store = std::make_shared<KeychainSessionCredentialStore>(items);
    std::unique_ptr<AppSession> session;

    explicit LiveSession(backendtest::BackendProcess &backend)
    {
        transfer.setAdditionalCertificateAuthorities(backend.authority());
        session = std::make_unique<AppSession>(
            store, transfer, backend.baseUrl(), std::make_shared<SystemClock>(), notifications);
        awaitResult(session->restoreSession()); // nothing stored: signed out, as the login screen finds it
    }
    const AuthenticatedSessionSnapshot &snapshot() const { return *session->state().snapshot(); }
    Task<> signIn(const QString &password)
    {
        return session->authenticate(AppSession::loginPath, QStringLiteral("demo"), password, QStringLiteral("登录"));
    }
};

} // namespace

class SessionContractTest : public QObject {
    Q_OBJECT

private:
    backendtest::BackendProcess backend;

private Q_SLOTS:
    void initTestCase()
    {
        if (!backendtest::BackendProcess::available())
            QSKIP("this build has no stand-in backend");
        QVERIFY(backend.start());
    }

    void signInRefreshAndALeakedTokenReused()
    {
        LiveSession live(backend);
        // a wrong password is refused and nothing is stored
        awaitResult(live.signIn(QStringLiteral("wrongpass123")), 30s);
        QCOMPARE(live.session->status(), AppSession::Status::loggedOut);
        QVERIFY2(live.session->errorMessage().startsWith(QStringLiteral("登录失败：")),
            qPrintable(live.session->errorMessage()));
        QCOMPARE(live.items->itemCount(), 0);

        awaitResult(live.signIn(QStringLiteral("listen2learn")), 30s);
        QCOMPARE(live.session->status(), AppSession::Status::authenticated);
        QCOMPARE(live.snapshot().user.username, QStringLiteral("demo"));
        const AuthenticatedSessionSnapshot first = live.snapshot();

        // a refresh rotates both tokens and saves them
        QCOMPARE(awaitResult(live.session->performRefresh(), 30s).kind, Kind::refreshed);
        const AuthenticatedSessionSnapshot second = live.snapshot();
        QVERIFY(second.refreshToken != first.refreshToken);
        QVERIFY(second.accessToken != first.accessToken);
        QVERIFY(second.generation > first.generation);

        // someone presents the spent refresh token: the server refuses it and ends the
        // whole family, so the session's own next refresh is refused for good
        const auto reused = backend.call("POST", QStringLiteral("/api/v1/auth/refresh"),
            QJsonObject {{QStringLiteral("refreshToken"), first.refreshToken}});
        QCOMPARE(reused.status, 401);
        QCOMPARE(reused.errorCode(), QStringLiteral("AUTH_REFRESH_REUSED"));
        const SessionRefreshResult result = awaitResult(live.session->performRefresh(), 30s);
        QCOMPARE(result.kind, Kind::definitivelyRejected);
        QCOMPARE(live.session->status(), AppSession::Status::loggedOut);
        QTRY_COMPARE(live.items->itemCount(), 0);
    }

    void registrationThenLogoutRevokesOnTheServer()
    {
        LiveSession live(backend);
        const QString name = QStringLiteral("contract_%1").arg(QDateTime::currentMSecsSinceEpoch() % 1000000);
        awaitResult(live.session->authenticate(
                        AppSession::registerPath, name, QStringLiteral("listen2learn2"), QStringLiteral("注册")),
            30s);
        QCOMPARE(live.session->status(), AppSession::Status::authenticated);
        QCOMPARE(live.snapshot().user.username, name);
        const QString refreshToken = live.snapshot().refreshToken;

        live.session->logout();
        QCOMPARE(live.session->status(), AppSession::Status::loggedOut); // at once, before the server hears of it

        // The revocation travels in the background. Asking the server with the token
        // would rotate it if the logout has not arrived yet; follow the rotations until
        // the family's current token is reported revoked.
        QString token = refreshToken;
        QString code;
        for (int attempt = 0; attempt < 100 && code != QLatin1String("AUTH_REFRESH_REVOKED"); ++attempt) {
            const auto answer = backend.call(
                "POST", QStringLiteral("/api/v1/auth/refresh"), QJsonObject {{QStringLiteral("refreshToken"), token}});
            code = answer.errorCode();
            if (answer.status == 200) {
                token = answer.data().toObject().value(QStringLiteral("refreshToken")).toString();
                QTest::qWait(50);
            } else {
                QCOMPARE(code, QStringLiteral("AUTH_REFRESH_REVOKED"));
            }
        }
        QCOMPARE(code, QStringLiteral("AUTH_REFRESH_REVOKED"));
    }
};

TALVORO_TEST(SessionContractTest)
#include "tst_sessioncontract.moc"
