#include "SessionTesting.h"
#include "TestRegistry.h"

using namespace sessiontesting;

namespace {

const QString login = QStringLiteral("登录");
const QString registration = QStringLiteral("注册");
const QString usernameRule = QStringLiteral("用户名为 3–64 位字母、数字或 . _ -");
const QString passwordRule = QStringLiteral("密码至少 8 位，且必须同时包含字母和数字");

void signOut(SessionFixture &f)
{
    awaitResult(f.session->restoreSession());
    QCOMPARE(f.session->status(), AppSession::Status::loggedOut);
}

} // namespace

class AppSessionAuthenticationTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void inputRulesComeBeforeAnyRequest_data()
    {
        QTest::addColumn<QString>("username");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("withBaseURL");
        QTest::addColumn<QString>("message"); // empty: accepted
        const QString ok = QStringLiteral("abcdefg1");
        QTest::newRow("name of 2") << QStringLiteral("ab") << ok << true << usernameRule;
        QTest::newRow("name of 65") << QString(65, QLatin1Char('a')) << ok << true << usernameRule;
        QTest::newRow("space inside the name") << QStringLiteral("ali ce") << ok << true << usernameRule;
        QTest::newRow("name of Chinese letters") << QStringLiteral("小明同学") << ok << true << usernameRule;
        QTest::newRow("eight letters") << QStringLiteral("alice") << QStringLiteral("abcdefgh") << true << passwordRule;
        QTest::newRow("eight digits") << QStringLiteral("alice") << QStringLiteral("12345678") << true << passwordRule;
        QTest::newRow("seven characters")
            << QStringLiteral("alice") << QStringLiteral("abcdef1") << true << passwordRule;
        QTest::newRow("129 characters") << QStringLiteral("alice") << QStringLiteral("a1").repeated(64) + 'x' << true
                                        << passwordRule;
        QTest::newRow("both broken: the name speaks first")
            << QStringLiteral("a") << QStringLiteral("a") << true << usernameRule;
        QTest::newRow("no base URL") << QStringLiteral("alice") << ok << false << QStringLiteral("后端地址无效");
        QTest::newRow("name trimmed, 128 characters")
            << QStringLiteral(" \n alice.b_c-d\t") << QStringLiteral("a1").repeated(64) << true << QString();
    }
    void inputRulesComeBeforeAnyRequest()
    {
        QFETCH(QString, username);
        QFETCH(QString, password);
        QFETCH(bool, withBaseURL);
        QFETCH(QString, message);
        SessionFixture f(withBaseURL);
        f.server.route("POST", AppSession::loginPath, ScriptedResponse::json(200, tokenAnswer("A1", "R1")));
        signOut(f);
        const quint64 epoch = f.session->sessionEpoch();

        awaitResult(f.session->authenticate(AppSession::loginPath, username, password, login));
        QCOMPARE(f.session->errorMessage(), message);
        QVERIFY(!f.session->isSubmitting());
        if (!message.isEmpty()) {
            QCOMPARE(f.session->sessionEpoch(), epoch);
            QCOMPARE(f.session->status(), AppSession::Status::loggedOut);
            f.settle();
            QCOMPARE(f.requestsTo(AppSession::loginPath), 0);
            return;
        }
        QCOMPARE(f.session->status(), AppSession::Status::authenticated);
        const RecordedRequest sent = f.sentTo(AppSession::loginPath).first();
        QCOMPARE(bodyOf(sent),
            QJsonObject(
                {{QStringLiteral("username"), QStringLiteral("alice.b_c-d")}, {QStringLiteral("password"), password}}));
        QCOMPARE(sent.header("Content-Type"), QByteArray("application/json"));
        QCOMPARE(sent.header("Accept"), QByteArray("application/json"));
        QVERIFY(!sent.hasHeader("Authorization"));
    }

    void refusedAnswersBecomeMessages_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("status"); // 0: the connection drops
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("message");
        const QString login = AppSession::loginPath;
        QTest::newRow("401 with an empty message")
            << login << ::login << 401 << errorAnswer("AUTH_INVALID_CREDENTIALS", QString())
            << QStringLiteral("登录失败：服务端请求失败（HTTP 401）");
        QTest::newRow("401 without an error object") << login << ::login << 401 << QByteArray("{\"success\":false}")
                                                     << QStringLiteral("登录失败：用户名或密码不正确");
        QTest::newRow("200 without data") << login << ::login << 200 << QByteArray("{\"success\":true}")
                                          << QStringLiteral("登录失败：用户名或密码不正确");
        QTest::newRow("registration refused") << AppSession::registerPath << registration << 409
                                              << errorAnswer("USERNAME_TAKEN", QStringLiteral("用户名已被占用"))
                                              << QStringLiteral("注册失败：用户名已被占用");
        QTest::newRow("lifetime 0") << login << ::login << 200 << tokenAnswer("A1", "R1", 0)
                                    << QStringLiteral("登录失败：") + SessionResponseValidationError().description();
        // the decoding error names where the body went wrong: only its start is fixed
        QTest::newRow("not an envelope") << login << ::login << 502 << QByteArray("{\"success\":\"yes\"}")
                                         << QStringLiteral("登录失败：数据格式无效（$.success");
        QTest::newRow("connection dropped") << login << ::login << 0 << QByteArray()
                                            << QStringLiteral("登录失败：")
                + TransportError::descriptionFor(TransportError::Code::networkConnectionLost);
    }
    void refusedAnswersBecomeMessages()
    {
        QFETCH(QString, path);
        QFETCH(QString, action);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, message);
        SessionFixture f;
        f.server.route("POST", path, status ? ScriptedResponse::json(status, body) : ScriptedResponse::dropped());
        signOut(f);

        awaitResult(f.session->authenticate(path, QStringLiteral("alice"), QStringLiteral("passw0rd"), action));
        if (message.endsWith(QStringLiteral("success")))
            QVERIFY2(f.session->errorMessage().startsWith(message), qPrintable(f.session->errorMessage()));
        else
            QCOMPARE(f.session->errorMessage(), message);
        QCOMPARE(f.session->status(), AppSession::Status::loggedOut);
        QVERIFY(!f.session->isSubmitting());
        QCOMPARE(f.items->itemCount(), 0);
    }

    void aSignInIsStoredAndASecondTapWaits()
    {
        SessionFixture f;
        f.server.route("POST", AppSession::registerPath,
            ScriptedResponse::heldBack(ScriptedResponse::json(201, tokenAnswer("A1", "R1", 900, 604800))));
        signOut(f);
        QSignalSpy submitting(f.session.get(), &AppSession::isSubmittingChanged);

        auto first = startAwaiting(f.session->authenticate(
            AppSession::registerPath, QStringLiteral("alice"), QStringLiteral("passw0rd"), registration));
        QVERIFY(f.session->isSubmitting());
        awaitResult(f.session->authenticate(
            AppSession::registerPath, QStringLiteral("bob"), QStringLiteral("passw0rd"), registration));
        QTRY_COMPARE(f.server.heldCount(), 1);
        f.server.releaseHeld(0);
        QTRY_VERIFY(first->finished);

        QCOMPARE(f.server.requestCount(), 1);
        QCOMPARE(submitting.size(), 2);
        QVERIFY(!f.session->isSubmitting());
        const StoredSession expected {QStringLiteral("A1"), QStringLiteral("R1"), {7, QStringLiteral("alice")},
            f.clock->now().addSecs(900), f.clock->now().addSecs(604800)};
        QCOMPARE(f.stored(), expected);
        QCOMPARE(f.session->state(),
            AppSessionState::authenticated({expected.accessToken, expected.refreshToken, expected.user,
                expected.accessTokenExpiresAt, expected.refreshTokenExpiresAt, 1}));
    }

    void aSecretStoreThatCannotSaveRefusesTheSignIn()
    {
        SessionFixture f;
        f.server.route("POST", AppSession::loginPath, ScriptedResponse::json(200, tokenAnswer("A1", "R1")));
        signOut(f);
        f.items->setFailure(MemorySecureItemStore::Operation::write, 7);
        QTest::ignoreMessage(QtCriticalMsg, "Keychain 保存失败，状态码：7");

        awaitResult(
            f.session->authenticate(AppSession::loginPath, QStringLiteral("alice"), QStringLiteral("passw0rd"), login));
        QCOMPARE(f.session->errorMessage(), QStringLiteral("登录失败：无法安全保存登录状态，请重试"));
        QCOMPARE(f.session->status(), AppSession::Status::loggedOut);
        QCOMPARE(f.items->itemCount(), 0);
    }

    void anAnswerOvertakenByALogoutIsDropped_data()
    {
        QTest::addColumn<bool>("whileSaving");
        QTest::newRow("logout before the answer") << false;
        QTest::newRow("logout while saving") << true;
    }
    void anAnswerOvertakenByALogoutIsDropped()
    {
        QFETCH(bool, whileSaving);
        SessionFixture f;
        const auto answer = ScriptedResponse::json(200, tokenAnswer("A1", "R1"));
        f.server.route("POST", AppSession::loginPath, whileSaving ? answer : ScriptedResponse::heldBack(answer));
        signOut(f);
        if (whileSaving)
            f.items->hold();
        auto pending = startAwaiting(
            f.session->authenticate(AppSession::loginPath, QStringLiteral("alice"), QStringLiteral("passw0rd"), login));
        if (whileSaving) {
            QTRY_COMPARE(f.items->heldCount(), 1);
            f.session->logout();
            f.items->release();
        } else {
            QTRY_COMPARE(f.server.heldCount(), 1);
            f.session->logout();
            f.server.releaseHeld(0);
        }
        QTRY_VERIFY(pending->finished);
        QCOMPARE(f.session->status(), AppSession::Status::loggedOut);
        QVERIFY(!f.session->isSubmitting());
        QCOMPARE(f.session->errorMessage(), QString());
        QTRY_COMPARE(f.items->itemCount(), 0); // the logout's removal comes after the save
    }

    void logoutIsLocalAtOnce_data()
    {
        QTest::addColumn<bool>("signedIn");
        QTest::addColumn<bool>("withBaseURL");
        QTest::newRow("revoked") << true << true;
        QTest::newRow("no base URL") << true << false;
        QTest::newRow("signed out already") << false << true;
    }
    void logoutIsLocalAtOnce()
    {
        QFETCH(bool, signedIn);
        QFETCH(bool, withBaseURL);
        SessionFixture f(withBaseURL);
        f.server.route("POST", logoutPath, ScriptedResponse::json(200, "{}"));
        if (signedIn)
            f.signIn();
        else
            f.putStored(f.storedSession(1000, 1000)); // left behind by someone else
        f.items->setItem(QString(), f.store->account(), "legacy");
        if (signedIn && !withBaseURL)
            QTest::ignoreMessage(QtCriticalMsg, "注销请求未发送：后端地址无效");

        f.session->logout();
        QCOMPARE(f.session->status(), AppSession::Status::loggedOut);
        QTRY_COMPARE(f.items->itemCount(), 0);
        if (signedIn && withBaseURL) {
            QTRY_COMPARE(f.requestsTo(logoutPath), 1);
        } else {
            f.settle();
            QCOMPARE(f.requestsTo(logoutPath), 0);
        }
    }
};

TALVORO_TEST(AppSessionAuthenticationTest)

#include "tst_authentication.moc"
