#include "SessionTesting.h"
#include "TestRegistry.h"

#include <cmath>

using namespace sessiontesting;

namespace {

std::optional<qint64> offset(const QVariant &value)
{
    if (!value.isValid())
        return std::nullopt;
    return value.toLongLong();
}

const QVariant absent;

} // namespace

class AppSessionTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void restoreAtLaunch_data()
    {
        QTest::addColumn<bool>("hasItem");
        QTest::addColumn<QVariant>("accessInMs");
        QTest::addColumn<QVariant>("refreshInMs");
        QTest::addColumn<AppSession::Status>("status");
        QTest::addColumn<bool>("refreshesInBackground");
        QTest::addColumn<bool>("itemKept");
        const auto in = AppSession::Status::authenticated;
        const auto out = AppSession::Status::loggedOut;
        QTest::newRow("nothing stored") << false << absent << absent << out << false << false;
        QTest::newRow("refresh token expires exactly now")
            << true << QVariant(-1000) << QVariant(0) << out << false << false;
        QTest::newRow("access expired, refresh 1 ms left") << true << QVariant(0) << QVariant(1) << in << true << true;
        QTest::newRow("no expiry dates") << true << absent << absent << in << false << true;
        QTest::newRow("access valid 1 ms more") << true << QVariant(1) << QVariant(86400000) << in << false << true;
    }
    void restoreAtLaunch()
    {
        QFETCH(bool, hasItem);
        QFETCH(QVariant, accessInMs);
        QFETCH(QVariant, refreshInMs);
        QFETCH(AppSession::Status, status);
        QFETCH(bool, refreshesInBackground);
        QFETCH(bool, itemKept);
        SessionFixture f;
        f.server.route("POST", refreshPath, ScriptedResponse::json(200, tokenAnswer("A2", "R2")));
        if (hasItem)
            f.putStored(f.storedSession(offset(accessInMs), offset(refreshInMs)));
        const quint64 epoch = f.session->sessionEpoch();

        awaitResult(f.session->restoreSession());
        QCOMPARE(f.session->status(), status);
        QCOMPARE(f.stored().has_value(), itemKept);
        // an expired refresh token ends a session: the epoch moves on
        QCOMPARE(f.session->sessionEpoch(), epoch + (hasItem && !itemKept ? 1 : 0));
        if (status == AppSession::Status::authenticated)
            QCOMPARE(f.snapshot().generation, quint64(1));
        if (refreshesInBackground) {
            QTRY_COMPARE(f.session->state().snapshot()->generation, quint64(2));
            QCOMPARE(f.snapshot().accessToken, QStringLiteral("A2"));
        } else {
            f.settle();
            QCOMPARE(f.requestsTo(refreshPath), 0);
        }

        // restore runs once only
        f.putStored(f.storedSession(3600000, 86400000));
        const quint64 epochAfter = f.session->sessionEpoch();
        awaitResult(f.session->restoreSession());
        QCOMPARE(f.session->sessionEpoch(), epochAfter);
        QCOMPARE(f.session->status(), status);
    }

    void aFailedOrOvertakenRestoreEndsLoggedOut_data()
    {
        QTest::addColumn<QByteArray>("item");
        QTest::addColumn<bool>("logoutWhileLoading");
        QTest::addColumn<QString>("log");
        QTest::addColumn<bool>("itemKept");
        QTest::newRow("corrupted item") << QByteArray("{}") << false
                                        << QStringLiteral("Keychain 读取失败：会话数据损坏") << true;
        QTest::newRow("logout while loading") << QByteArray() << true << QString() << false;
    }
    void aFailedOrOvertakenRestoreEndsLoggedOut()
    {
        QFETCH(QByteArray, item);
        QFETCH(bool, logoutWhileLoading);
        QFETCH(QString, log);
        QFETCH(bool, itemKept);
        SessionFixture f;
        if (item.isEmpty())
            f.putStored(f.storedSession(3600000, 86400000));
        else
            f.items->setItem(f.store->service(), f.store->account(), item);
        if (!log.isEmpty())
            QTest::ignoreMessage(QtCriticalMsg, log.toUtf8());

        f.items->hold();
        auto restored = startAwaiting(f.session->restoreSession());
        if (logoutWhileLoading)
            f.session->logout();
        f.items->release();
        QTRY_VERIFY(restored->finished);
        QCOMPARE(f.session->status(), AppSession::Status::loggedOut);
        QTRY_COMPARE(f.items->itemCount(), itemKept ? 1 : 0);
    }

    void refreshIfNeededDecidesByRemainingValidity_data()
    {
        QTest::addColumn<QVariant>("accessInMs");
        QTest::addColumn<QVariant>("refreshInMs");
        QTest::addColumn<double>("minimumValidity");
        QTest::addColumn<Kind>("result");
        QTest::addColumn<int>("requests");
        const QVariant day(86400000);
        QTest::newRow("300 s left of 300") << QVariant(300000) << day << 300.0 << Kind::refreshed << 1;
        QTest::newRow("300.5 s left of 300") << QVariant(300500) << day << 300.0 << Kind::notNeeded << 0;
        QTest::newRow("already expired") << QVariant(-5000) << day << 300.0 << Kind::refreshed << 1;
        QTest::newRow("negative minimum, 1 s left") << QVariant(1000) << day << -10.0 << Kind::notNeeded << 0;
        QTest::newRow("negative minimum, 0 s left") << QVariant(0) << day << -10.0 << Kind::refreshed << 1;
        QTest::newRow("NaN minimum, 0 s left") << QVariant(0) << day << std::nan("") << Kind::refreshed << 1;
        QTest::newRow("no access expiry") << absent << day << -1.0 << Kind::refreshed << 1;
        QTest::newRow("refresh token expired now")
            << QVariant(600000) << QVariant(0) << 300.0 << Kind::definitivelyRejected << 0;
    }
    void refreshIfNeededDecidesByRemainingValidity()
    {
        QFETCH(QVariant, accessInMs);
        QFETCH(QVariant, refreshInMs);
        QFETCH(double, minimumValidity);
        QFETCH(Kind, result);
        QFETCH(int, requests);
        SessionFixture f;
        f.server.route("POST", refreshPath, ScriptedResponse::json(200, tokenAnswer("A2", "R2")));
        QCOMPARE(awaitResult(f.session->refreshIfNeeded(300)), SessionRefreshResult::of(Kind::noSession));
        // restore while the refresh token is still valid, then let the clock reach the case
        const auto minuteLater
            = [](const QVariant &ms) { return ms.isValid() ? QVariant(ms.toLongLong() + 60000) : ms; };
        f.putStored(f.storedSession(offset(minuteLater(accessInMs)), offset(minuteLater(refreshInMs))));
        awaitResult(f.session->restoreSession());
        f.clock->advance(60000);

        const SessionRefreshResult outcome = awaitResult(f.session->refreshIfNeeded(minimumValidity));
        QCOMPARE(outcome.kind, result);
        QCOMPARE(f.requestsTo(refreshPath), requests);
        if (result == Kind::definitivelyRejected) {
            QCOMPARE(outcome.code, QStringLiteral("AUTH_REFRESH_EXPIRED"));
            QCOMPARE(f.session->status(), AppSession::Status::loggedOut);
            QCOMPARE(f.items->itemCount(), 0);
        } else {
            QCOMPARE(f.snapshot().accessToken, requests ? QStringLiteral("A2") : QStringLiteral("A1"));
        }
    }

    void tenConcurrentCallersShareOneRefresh()
    {
        SessionFixture f;
        f.server.route(
            "POST", refreshPath, ScriptedResponse::heldBack(ScriptedResponse::json(200, tokenAnswer("A2", "R2"))));
        f.signIn(0);
        const quint64 generation = f.snapshot().generation;

        std::vector<std::shared_ptr<Outcome<SessionRefreshResult>>> callers;
        for (int i = 0; i < 10; ++i) {
            if (i % 3 == 0)
                callers.push_back(startAwaiting(f.session->performRefresh()));
            else if (i % 3 == 1)
                callers.push_back(startAwaiting(f.session->refreshAfterUnauthorized(generation)));
            else
                callers.push_back(startAwaiting(f.session->refreshIfNeeded(300)));
        }
        QTRY_COMPARE(f.server.heldCount(), 1);
        f.settle();
        QCOMPARE(f.requestsTo(refreshPath), 1);
        // The moment the new tokens are published, before the callers of the finished
        // refresh resume, a caller for the new generation starts its own refresh.
        std::shared_ptr<Outcome<SessionRefreshResult>> early;
        const auto connection = connect(f.session.get(), &AppSession::stateChanged, this, [&] {
            if (!early)
                early = startAwaiting(f.session->performRefresh());
        });
        f.server.releaseHeld(0);
        for (const auto &caller : callers) {
            QTRY_VERIFY(caller->finished);
            QCOMPARE(*caller->value, SessionRefreshResult::of(Kind::refreshed));
        }
        disconnect(connection);
        QCOMPARE(bodyOf(f.sentTo(refreshPath).first()),
            QJsonObject({{QStringLiteral("refreshToken"), QStringLiteral("R1")}}));
        QVERIFY(!f.sentTo(refreshPath).first().hasHeader("Authorization"));
        QCOMPARE(f.sentTo(refreshPath).first().header("Accept"), QByteArray("application/json"));
        QCOMPARE(f.snapshot().generation, generation + 1);
        QCOMPARE(f.stored()->refreshToken, QStringLiteral("R2"));
        QCOMPARE(f.stored()->accessTokenExpiresAt, f.clock->now().addSecs(3600));
        QCOMPARE(f.session->generationIfCurrent(QStringLiteral("A1")), std::nullopt);
        QCOMPARE(f.session->generationIfCurrent(QStringLiteral("A2")), generation + 1);
        QCOMPARE(
            awaitResult(f.session->refreshAfterUnauthorized(generation)), SessionRefreshResult::of(Kind::superseded));

        // the old refresh's callers left the new one in place: a late caller joins it
        QVERIFY(early);
        auto late = startAwaiting(f.session->refreshAfterUnauthorized(generation + 1));
        QTRY_COMPARE(f.server.heldCount(), 2);
        f.settle();
        QCOMPARE(f.requestsTo(refreshPath), 2);
        QCOMPARE(bodyOf(f.sentTo(refreshPath).at(1)).value(QStringLiteral("refreshToken")), QStringLiteral("R2"));
        f.server.releaseHeld(1);
        QTRY_VERIFY(early->finished && late->finished);
        QCOMPARE(*late->value, SessionRefreshResult::of(Kind::refreshed));
        QCOMPARE(f.snapshot().generation, generation + 2);
    }

    void refreshAnswersEndOrKeepTheSession_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<Kind>("result");
        const QStringList definitive {QStringLiteral("AUTH_REFRESH_INVALID"), QStringLiteral("AUTH_REFRESH_EXPIRED"),
            QStringLiteral("AUTH_REFRESH_REVOKED"), QStringLiteral("AUTH_REFRESH_REUSED"),
            QStringLiteral("AUTH_ACCOUNT_DISABLED")};
        for (const QString &code : definitive) {
            for (int status : {401, 403})
                QTest::addRow("%s with %d", qPrintable(code), status)
                    << status << errorAnswer(code) << Kind::definitivelyRejected;
            QTest::addRow("%s with 500", qPrintable(code)) << 500 << errorAnswer(code) << Kind::transientFailure;
            QTest::addRow("%s with 200, success false", qPrintable(code))
                << 200 << errorAnswer(code) << Kind::transientFailure;
        }
        QTest::newRow("other code with 401") << 401 << errorAnswer("AUTH_TOKEN_INVALID") << Kind::transientFailure;
        QTest::newRow("401 without an envelope") << 401 << QByteArray("denied") << Kind::transientFailure;
        QTest::newRow("access lifetime 0") << 200 << tokenAnswer("A2", "R2", 0, 86400) << Kind::transientFailure;
        QTest::newRow("refresh lifetime 0") << 200 << tokenAnswer("A2", "R2", 3600, 0) << Kind::transientFailure;
        QTest::newRow("lifetime beyond any date")
            << 200 << tokenAnswer("A2", "R2", std::numeric_limits<qint64>::max()) << Kind::transientFailure;
        QTest::newRow("timeout") << 0 << QByteArray() << Kind::transientFailure;
    }
    void refreshAnswersEndOrKeepTheSession()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(Kind, result);
        AppSession::RequestTimeouts timeouts;
        timeouts.refresh = std::chrono::milliseconds(200);
        SessionFixture f(true, timeouts);
        f.server.route("POST", refreshPath, status ? ScriptedResponse::json(status, body) : ScriptedResponse::never());
        f.signIn();
        if (result == Kind::transientFailure)
            QTest::ignoreMessage(QtCriticalMsg, "Access Token 暂时无法刷新，本地会话已保留");

        const SessionRefreshResult outcome = awaitResult(f.session->performRefresh());
        QCOMPARE(outcome.kind, result);
        if (result == Kind::definitivelyRejected) {
            QCOMPARE(outcome.code, json::parseObject(body)[QStringLiteral("error")][QStringLiteral("code")].toString());
            QCOMPARE(f.session->status(), AppSession::Status::loggedOut);
            QCOMPARE(f.items->itemCount(), 0);
        } else {
            QCOMPARE(f.snapshot().accessToken, QStringLiteral("A1"));
            QCOMPARE(f.snapshot().generation, quint64(1));
            QCOMPARE(f.stored()->refreshToken, QStringLiteral("R1"));
        }
    }

    // The server spends the old refresh token as soon as it answers: throwing the
    // new pair away because the store failed once would sign the user out later.
    void rotatedTokensSurviveAFailedSaveAndAreSavedAgain()
    {
        SessionFixture f;
        f.server.route("POST", refreshPath, ScriptedResponse::json(200, tokenAnswer("A2", "R2")));
        f.signIn();
        f.items->setFailure(MemorySecureItemStore::Operation::write, 4);
        QTest::ignoreMessage(QtCriticalMsg, "Keychain 更新失败，状态码：4");

        QCOMPARE(awaitResult(f.session->performRefresh()), SessionRefreshResult::of(Kind::refreshed));
        QCOMPARE(f.snapshot().refreshToken, QStringLiteral("R2"));
        QCOMPARE(f.snapshot().generation, quint64(2));
        QCOMPARE(f.stored()->refreshToken, QStringLiteral("R1"));

        // still failing: logged again, nobody signed out
        QTest::ignoreMessage(QtCriticalMsg, "Keychain 更新失败，状态码：4");
        QCOMPARE(awaitResult(f.session->refreshIfNeeded(300)), SessionRefreshResult::of(Kind::notNeeded));
        f.items->setFailure(MemorySecureItemStore::Operation::write, std::nullopt);
        QCOMPARE(awaitResult(f.session->refreshIfNeeded(300)), SessionRefreshResult::of(Kind::notNeeded));
        QCOMPARE(f.stored()->refreshToken, QStringLiteral("R2"));
        const int writes = f.items->writeCount();
        awaitResult(f.session->refreshIfNeeded(300));
        QCOMPARE(f.items->writeCount(), writes); // saved once, not at every check
        QCOMPARE(f.session->status(), AppSession::Status::authenticated);
    }

    void aLogoutDuringASlowRefreshSupersedesItAndRevokesTheToken()
    {
        SessionFixture f;
        f.server.route("POST", refreshPath, ScriptedResponse::never());
        f.server.route("POST", logoutPath, ScriptedResponse::json(200, "{}"));
        f.signIn();
        const int writes = f.items->writeCount();
        auto refresh = startAwaiting(f.session->performRefresh());
        QTRY_COMPARE(f.requestsTo(refreshPath), 1);

        f.session->logout();
        QCOMPARE(f.session->status(), AppSession::Status::loggedOut);
        QTRY_VERIFY(refresh->finished);
        QCOMPARE(*refresh->value, SessionRefreshResult::of(Kind::superseded));
        QTRY_COMPARE(f.requestsTo(logoutPath), 1);
        const RecordedRequest revoke = f.sentTo(logoutPath).first();
        QCOMPARE(bodyOf(revoke), QJsonObject({{QStringLiteral("refreshToken"), QStringLiteral("R1")}}));
        QCOMPARE(revoke.header("Content-Type"), QByteArray("application/json"));
        QVERIFY(!revoke.hasHeader("Accept"));
        QVERIFY(!revoke.hasHeader("Authorization"));
        QCOMPARE(f.items->itemCount(), 0);
        QCOMPARE(f.items->writeCount(), writes);
    }

    void aLoginDuringARefreshSupersedesIt()
    {
        SessionFixture f;
        f.server.route("POST", refreshPath, ScriptedResponse::never());
        f.server.route("POST", AppSession::loginPath, ScriptedResponse::json(200, tokenAnswer("B1", "S1")));
        f.signIn();
        auto refresh = startAwaiting(f.session->performRefresh());
        QTRY_COMPARE(f.requestsTo(refreshPath), 1);
        awaitResult(f.session->authenticate(
            AppSession::loginPath, QStringLiteral("bob"), QStringLiteral("passw0rd"), QStringLiteral("登录")));
        QTRY_VERIFY(refresh->finished);
        QCOMPARE(*refresh->value, SessionRefreshResult::of(Kind::superseded));
        QCOMPARE(f.snapshot().accessToken, QStringLiteral("B1"));
        QCOMPARE(f.stored()->accessToken, QStringLiteral("B1"));
    }

    void unauthorizedNotificationsNeedACurrentGeneration()
    {
        SessionFixture f;
        f.server.route("POST", refreshPath, ScriptedResponse::json(200, tokenAnswer("A2", "R2")));
        f.signIn();
        QTest::ignoreMessage(QtCriticalMsg, "忽略缺少会话代次的未授权通知");
        f.notifications.post(AppSession::unauthorizedAccessNotification);
        QTest::ignoreMessage(QtCriticalMsg, "忽略缺少会话代次的未授权通知");
        f.notifications.post(AppSession::unauthorizedAccessNotification, QVariant::fromValue(quint64(1)));
        f.notifications.post(AppSession::unauthorizedAccessNotification,
            QVariant::fromValue(SessionUnauthorizedEvent {f.snapshot().generation + 5}));
        f.settle();
        QCOMPARE(f.requestsTo(refreshPath), 0);

        f.notifications.post(
            AppSession::unauthorizedAccessNotification, QVariant::fromValue(SessionUnauthorizedEvent {1}));
        QTRY_COMPARE(f.snapshot().generation, quint64(2));
        QCOMPARE(f.requestsTo(refreshPath), 1);
    }

    void invalidatingAnOldGenerationDeletesButKeepsTheState()
    {
        SessionFixture f;
        f.signIn();
        const AppSessionState before = f.session->state();
        QCOMPARE(awaitResult(f.session->invalidateSession(
                     QStringLiteral("AUTH_REFRESH_REUSED"), f.snapshot().generation + 1, f.session->sessionEpoch())),
            SessionRefreshResult::of(Kind::superseded));
        QCOMPARE(f.session->state(), before);
        QCOMPARE(f.items->itemCount(), 0);
    }
};

TALVORO_TEST(AppSessionTest)

#include "tst_appsession.moc"
