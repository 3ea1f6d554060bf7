#include "SessionTesting.h"
#include "TestRegistry.h"

using namespace sessiontesting;

namespace {

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
        const auto row
            = [](const char *name, const QString &username, const QString &password, const QString &message,
                  bool withBaseURL = true) { QTest::newRow(name) << username << password << withBaseURL << message; };
        const QString ok = QStringLiteral("abcdefg1"), alice = QStringLiteral("alice");
        row("name of 2", QStringLiteral("ab"), ok, usernameRule);
        row("name of 65", QString(65, QLatin1Char('a')), ok, usernameRule);
        row("space inside the name", QStringLiteral("ali ce"), ok, usernameRule);
        row("name of Chinese letters", QStringLiteral("小明同学"), ok, usernameRule);
        row("eight letters", alice, QStringLiteral("abcdefgh"), passwordRule);
        row("eight digits", alice, QStringLiteral("12345678"), passwordRule);
        row("seven characters", alice, QStringLiteral("abcdef1"), passwordRule);
        row("129 characters", alice, QStringLiteral("a1").repeated(64) + 'x', passwordRule);
        row("both broken: the name speaks first", QStringLiteral("a"), QStringLiteral("a"), usernameRule);
        row("no base URL", alice, ok, QStringLiteral("后端地址无效"), false);
        row("name trimmed, 128 characters", QStringLiteral(" \n alice.b_c-d\t"), QStringLiteral("a1").repeated(64), {});
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

        awaitResult(f.session->authenticate(AppSession::loginPath, username, password, QStringLiteral("登录")));
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
        QTest::addColumn<int>("status"); // 0: the connection drops
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("storeFailure"); // status of a failing save, 0: none
        QTest::addColumn<QString>("message");
        const QString login = AppSession::loginPath;
        QTest::newRow("401 with an empty message") << login << 401 << errorAnswer("AUTH_INVALID_CREDENTIALS", QString())
                                                   << 0 << QStringLiteral("登录失败：服务端请求失败（HTTP 401）");
        QTest::newRow("401 without an error object")
            << login << 401 << QByteArray("{\"success\":false}") << 0 << QStringLiteral("登录失败：用户名或密码不正确");
        QTest::newRow("200 without data")
            << login << 200 << QByteArray("{\"success\":true}") << 0 << QStringLiteral("登录失败：用户名或密码不正确");
        QTest::newRow("registration refused")
            << AppSession::registerPath << 409 << errorAnswer("USERNAME_TAKEN", QStringLiteral("用户名已被占用")) << 0
            << QStringLiteral("注册失败：用户名已被占用");
        QTest::newRow("lifetime 0") << login << 200 << tokenAnswer("A1", "R1", 0) << 0
                                    << QStringLiteral("登录失败：") + SessionResponseValidationError().description();
        // a lifetime that no stored session could be read back with
        QTest::newRow("lifetime of 9e15 s")
            << login << 200 << tokenAnswer("A1", "R1", 9000000000000000) << 0
            << QStringLiteral("登录失败：") + SessionResponseValidationError().description();
        // the decoding error names where the body went wrong: only its start is fixed
        QTest::newRow("not an envelope") << login << 502 << QByteArray("{\"success\":\"yes\"}") << 0
                                         << QStringLiteral("登录失败：数据格式无效（$.success");
        QTest::newRow("connection dropped") << login << 0 << QByteArray() << 0
                                            << QStringLiteral("登录失败：")
                + TransportError::descriptionFor(TransportError::Code::networkConnectionLost);
        QTest::newRow("the secret store cannot save")
            << login << 200 << tokenAnswer("A1", "R1") << 7 << QStringLiteral("登录失败：无法安全保存登录状态，请重试");
    }
    void refusedAnswersBecomeMessages()
    {
        QFETCH(QString, path);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(int, storeFailure);
        QFETCH(QString, message);
        SessionFixture f;
        f.server.route("POST", path, status ? ScriptedResponse::json(status, body) : ScriptedResponse::dropped());
        signOut(f);
        if (storeFailure) {
            f.items->setFailure(MemorySecureItemStore::Operation::write, storeFailure);
            QTest::ignoreMessage(QtCriticalMsg, "Keychain 保存失败，状态码：7");
        }

        awaitResult(f.authenticate(QStringLiteral("alice"), path));
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

        auto first = startAwaiting(f.authenticate(QStringLiteral("alice"), AppSession::registerPath));
        QVERIFY(f.session->isSubmitting());
        awaitResult(f.authenticate(QStringLiteral("bob"), AppSession::registerPath));
        QTRY_COMPARE(f.server.heldCount(), 1);
        f.server.releaseHeld(0);
        QTRY_VERIFY(first->finished);

        QCOMPARE(f.server.requestCount(), 1);
        QCOMPARE(submitting.size(), 2);
        const StoredSession expected {QStringLiteral("A1"), QStringLiteral("R1"), {7, QStringLiteral("alice")},
            f.clock->now().addSecs(900), f.clock->now().addSecs(604800)};
        QCOMPARE(f.stored(), expected);
        QCOMPARE(f.snapshot().accessTokenExpiresAt, expected.accessTokenExpiresAt);
        QCOMPARE(f.snapshot().generation, quint64(1));
    }

    // A logout is local at once and wins over whatever is under way; the server hears
    // of it with the refresh token. `operation`: what runs when the logout comes.
    void aLogoutWinsOverWhatIsUnderWay_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<bool>("signedIn");
        QTest::addColumn<bool>("withBaseURL");
        QTest::newRow("signed in") << QString() << true << true;
        QTest::newRow("signed in, no base URL") << QString() << true << false;
        QTest::newRow("signed out already, items left behind") << QString() << false << true;
        QTest::newRow("restore, loading the item") << "restore" << false << true;
        QTest::newRow("login, awaiting the answer") << "login" << false << true;
        QTest::newRow("login, saving") << "login save" << false << true;
        QTest::newRow("slow refresh") << "refresh" << true << true;
    }
    void aLogoutWinsOverWhatIsUnderWay()
    {
        QFETCH(QString, operation);
        QFETCH(bool, signedIn);
        QFETCH(bool, withBaseURL);
        SessionFixture f(withBaseURL);
        const auto answer = ScriptedResponse::json(200, tokenAnswer("A1", "R1"));
        f.server.route(
            "POST", AppSession::loginPath, operation == "login" ? ScriptedResponse::heldBack(answer) : answer);
        f.server.route("POST", refreshPath, ScriptedResponse::never());
        f.server.route("POST", logoutPath, ScriptedResponse::json(200, "{}"));
        if (operation == "restore")
            f.putStored(f.storedSession(3600000, 86400000));
        else if (signedIn)
            f.signIn();
        else
            signOut(f);
        if (operation.isEmpty()) {
            if (!signedIn)
                f.putStored(f.storedSession(1000, 1000));
            f.items->setItem(QString(), f.store->account(), "legacy"); // an earlier release's
        }
        const int writes = f.items->writeCount();

        std::shared_ptr<Outcome<void>> pending;
        std::shared_ptr<Outcome<SessionRefreshResult>> refresh;
        if (operation == "restore" || operation == "login save")
            f.items->hold();
        if (operation == "restore")
            pending = startAwaiting(f.session->restoreSession());
        if (operation.startsWith("login"))
            pending = startAwaiting(f.authenticate());
        if (operation == "refresh")
            refresh = startAwaiting(f.session->performRefresh());
        QTRY_COMPARE(
            f.items->heldCount() + f.server.heldCount() + f.requestsTo(refreshPath), operation.isEmpty() ? 0 : 1);
        if (signedIn && !withBaseURL)
            QTest::ignoreMessage(QtCriticalMsg, "注销请求未发送：后端地址无效");

        f.session->logout();
        QCOMPARE(f.session->status(), AppSession::Status::loggedOut);
        f.items->release();
        if (f.server.heldCount())
            f.server.releaseHeld(0);
        QTRY_VERIFY(!pending || pending->finished);
        QTRY_VERIFY(!refresh || refresh->finished);
        if (refresh) {
            QCOMPARE(*refresh->value, SessionRefreshResult::of(Kind::superseded));
            QCOMPARE(f.items->writeCount(), writes);
        }
        QCOMPARE(f.session->status(), AppSession::Status::loggedOut);
        QCOMPARE(f.session->errorMessage(), QString());
        QVERIFY(!f.session->isSubmitting());
        QTRY_COMPARE(f.items->itemCount(), 0); // also when a save was under way
        if (signedIn && withBaseURL) {
            QTRY_COMPARE(f.requestsTo(logoutPath), 1);
            const RecordedRequest revoke = f.sentTo(logoutPath).first();
            QCOMPARE(bodyOf(revoke), QJsonObject({{QStringLiteral("refreshToken"), QStringLiteral("R1")}}));
            QCOMPARE(revoke.header("Content-Type"), QByteArray("application/json"));
            QVERIFY(!revoke.hasHeader("Authorization"));
        } else {
            f.settle();
            QCOMPARE(f.requestsTo(logoutPath), 0);
        }
    }

    void aLoginDuringARefreshSupersedesIt()
    {
        SessionFixture f;
        f.server.route("POST", refreshPath, ScriptedResponse::never());
        f.server.route("POST", AppSession::loginPath, ScriptedResponse::json(200, tokenAnswer("B1", "S1")));
        f.signIn();
        auto refresh = startAwaiting(f.session->performRefresh());
        QTRY_COMPARE(f.requestsTo(refreshPath), 1);
        awaitResult(f.authenticate(QStringLiteral("bob")));
        QTRY_VERIFY(refresh->finished);
        QCOMPARE(*refresh->value, SessionRefreshResult::of(Kind::superseded));
        QCOMPARE(f.stored()->accessToken, QStringLiteral("B1"));
    }
};

TALVORO_TEST(AppSessionAuthenticationTest)

#include "tst_authentication.moc"
