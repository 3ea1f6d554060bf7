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
        awaitResult(f.session->restoreSession());
        QCOMPARE(f.session->status(), status);
    }

    void aCorruptedItemEndsLoggedOutAndIsKept()
    {
        SessionFixture f;
        f.items->setItem(f.store->service(), f.store->account(), "{}");
        QTest::ignoreMessage(QtCriticalMsg, "Keychain 读取失败：会话数据损坏");
        awaitResult(f.session->restoreSession());
        QCOMPARE(f.session->status(), AppSession::Status::loggedOut);
        QCOMPARE(f.items->itemCount(), 1);
    }

    // `minimum`: the validity asked of refreshIfNeeded; absent: performRefresh. The server
    // answers `status` with `body` (status 0: never, so the refresh times out).
    void refreshEndsOrKeepsTheSession_data()
    {
        QTest::addColumn<QVariant>("accessInMs");
        QTest::addColumn<QVariant>("refreshInMs");
        QTest::addColumn<std::optional<double>>("minimum");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<Kind>("result");
        const QVariant hour(3600000), day(86400000);
        const QByteArray rotated = tokenAnswer("A2", "R2");
        const auto ifNeeded = [&](const char *name, QVariant access, double minimum, Kind result) {
            QTest::newRow(name) << access << day << std::optional(minimum) << 200 << rotated << result;
        };
        ifNeeded("300 s left of 300", 300000, 300, Kind::refreshed);
        ifNeeded("300.5 s left of 300", 300500, 300, Kind::notNeeded);
        ifNeeded("already expired", -5000, 300, Kind::refreshed);
        ifNeeded("negative minimum, 1 s left", 1000, -10, Kind::notNeeded);
        ifNeeded("negative minimum, 0 s left", 0, -10, Kind::refreshed);
        ifNeeded("NaN minimum, 0 s left", 0, std::nan(""), Kind::refreshed);
        ifNeeded("no access expiry", absent, -1, Kind::refreshed);
        QTest::newRow("refresh token expired now")
            << QVariant(600000) << QVariant(0) << std::optional(300.0) << 200 << rotated << Kind::definitivelyRejected;

        const auto answer = [&](const QString &name, int status, const QByteArray &body, Kind result) {
            QTest::newRow(qPrintable(name)) << hour << day << std::optional<double>() << status << body << result;
        };
        for (const char *code : {"AUTH_REFRESH_INVALID", "AUTH_REFRESH_EXPIRED", "AUTH_REFRESH_REVOKED",
                 "AUTH_REFRESH_REUSED", "AUTH_ACCOUNT_DISABLED"}) {
            for (int status : {401, 403})
                answer(QStringLiteral("%1 with %2").arg(code).arg(status), status, errorAnswer(code),
                    Kind::definitivelyRejected);
            answer(QStringLiteral("%1 with 500").arg(code), 500, errorAnswer(code), Kind::transientFailure);
            answer(
                QStringLiteral("%1 with 200, success false").arg(code), 200, errorAnswer(code), Kind::transientFailure);
        }
        answer("other code with 401", 401, errorAnswer("AUTH_TOKEN_INVALID"), Kind::transientFailure);
        answer("401 without an envelope", 401, "denied", Kind::transientFailure);
        answer("access lifetime 0", 200, tokenAnswer("A2", "R2", 0, 86400), Kind::transientFailure);
        answer("refresh lifetime 0", 200, tokenAnswer("A2", "R2", 3600, 0), Kind::transientFailure);
        answer("lifetime beyond any date", 200, tokenAnswer("A2", "R2", std::numeric_limits<qint64>::max()),
            Kind::transientFailure);
        answer("timeout", 0, QByteArray(), Kind::transientFailure);
    }
    void refreshEndsOrKeepsTheSession()
    {
        QFETCH(QVariant, accessInMs);
        QFETCH(QVariant, refreshInMs);
        QFETCH(std::optional<double>, minimum);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(Kind, result);
        AppSession::RequestTimeouts timeouts;
        timeouts.refresh = std::chrono::milliseconds(200);
        SessionFixture f(true, timeouts);
        f.server.route("POST", refreshPath, status ? ScriptedResponse::json(status, body) : ScriptedResponse::never());
        QCOMPARE(awaitResult(f.session->refreshIfNeeded(300)), SessionRefreshResult::of(Kind::noSession));
        // restore while both tokens are still valid, then let the clock reach the case
        const auto minuteLater
            = [](const QVariant &ms) { return ms.isValid() ? QVariant(ms.toLongLong() + 60000) : ms; };
        f.signIn(offset(minuteLater(accessInMs)), offset(minuteLater(refreshInMs)));
        f.clock->advance(60000);
        if (result == Kind::transientFailure)
            QTest::ignoreMessage(QtCriticalMsg, "Access Token 暂时无法刷新，本地会话已保留");

        const SessionRefreshResult outcome
            = awaitResult(minimum ? f.session->refreshIfNeeded(*minimum) : f.session->performRefresh());
        QCOMPARE(outcome.kind, result);
        const bool sent = result != Kind::notNeeded && refreshInMs.toLongLong() != 0;
        QCOMPARE(f.requestsTo(refreshPath), sent ? 1 : 0);
        if (result == Kind::definitivelyRejected) {
            const QString code = json::parseObject(body)[QStringLiteral("error")][QStringLiteral("code")].toString();
            QCOMPARE(outcome.code, sent ? code : QStringLiteral("AUTH_REFRESH_EXPIRED"));
            QCOMPARE(f.session->status(), AppSession::Status::loggedOut);
            QCOMPARE(f.items->itemCount(), 0);
        } else {
            const bool rotatedNow = result == Kind::refreshed;
            QCOMPARE(f.snapshot().accessToken, rotatedNow ? QStringLiteral("A2") : QStringLiteral("A1"));
            QCOMPARE(f.snapshot().generation, quint64(rotatedNow ? 2 : 1));
            QCOMPARE(f.stored()->refreshToken, rotatedNow ? QStringLiteral("R2") : QStringLiteral("R1"));
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
            callers.push_back(startAwaiting(i % 3 == 0 ? f.session->performRefresh()
                    : i % 3 == 1                       ? f.session->refreshAfterUnauthorized(generation)
                                                       : f.session->refreshIfNeeded(300)));
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
        const RecordedRequest sent = f.sentTo(refreshPath).first();
        QCOMPARE(bodyOf(sent), QJsonObject({{QStringLiteral("refreshToken"), QStringLiteral("R1")}}));
        QVERIFY(!sent.hasHeader("Authorization"));
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

    void unauthorizedNotificationsNeedACurrentGeneration()
    {
        SessionFixture f;
        f.server.route("POST", refreshPath, ScriptedResponse::json(200, tokenAnswer("A2", "R2")));
        f.signIn();
        const auto post
            = [&](const QVariant &object) { f.notifications.post(AppSession::unauthorizedAccessNotification, object); };
        QTest::ignoreMessage(QtCriticalMsg, "忽略缺少会话代次的未授权通知");
        post(QVariant());
        QTest::ignoreMessage(QtCriticalMsg, "忽略缺少会话代次的未授权通知");
        post(QVariant::fromValue(quint64(1)));
        post(QVariant::fromValue(SessionUnauthorizedEvent {f.snapshot().generation + 5}));
        f.settle();
        QCOMPARE(f.requestsTo(refreshPath), 0);
        post(QVariant::fromValue(SessionUnauthorizedEvent {1}));
        QTRY_COMPARE(f.snapshot().generation, quint64(2));
        QCOMPARE(f.requestsTo(refreshPath), 1);
    }

    void invalidatingAnOldGenerationDeletesButKeepsTheState()
    {
        SessionFixture f;
        f.signIn();
        const AppSessionState before = f.session->state();
        const auto result = awaitResult(f.session->invalidateSession(
            QStringLiteral("AUTH_REFRESH_REUSED"), f.snapshot().generation + 1, f.session->sessionEpoch()));
        QCOMPARE(result, SessionRefreshResult::of(Kind::superseded));
        QCOMPARE(f.session->state(), before);
        QCOMPARE(f.items->itemCount(), 0);
    }
};

TALVORO_TEST(AppSessionTest)

#include "tst_appsession.moc"
