#include "AwaitTask.h"
#include "SyncEngineTesting.h"
#include "TestRegistry.h"

#include "Models/MobileAPIError.h"

using namespace syncenginetesting;

namespace {

const QString lexiconsPath = QStringLiteral("/api/v1/user/lexicons");
const QByteArray acceptedReceipt9 = receipt(9, "2025-03-01T08:30:15Z");

} // namespace

class SyncEngineTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void joinedCallersMakeOneRequest()
    {
        EngineFixture f;
        f.deleteHere(9);
        f.server.route("DELETE", deletionPath(9), ScriptedResponse::json(200, acceptedReceipt9));
        f.server.route(
            "GET", playlistsPath, ScriptedResponse::heldBack(ScriptedResponse::json(200, playlistList({playlist(3)}))));

        const auto first = startAwaiting(f.engine.synchronizePlaylists(token, ownerA, false));
        QTRY_COMPARE_WITH_TIMEOUT(f.server.heldCount(), 1, 10000);
        // Joins whatever its flag; another owner has a refresh of its own.
        const auto forced = startAwaiting(f.engine.synchronizePlaylists(token, ownerA, true));
        const auto other = startAwaiting(f.engine.synchronizePlaylists(QStringLiteral("token-b"), ownerB, false));
        QTRY_COMPARE_WITH_TIMEOUT(f.server.heldCount(), 2, 10000);
        f.server.releaseHeld(0);
        f.server.releaseHeld(1);
        QTRY_VERIFY_WITH_TIMEOUT(first->finished && forced->finished && other->finished, 10000);

        const PlaylistSyncReport expected {{1, {9}, {}}, std::nullopt};
        QCOMPARE(*first->value, expected);
        QCOMPARE(*forced->value, expected);
        QCOMPARE(*other->value, PlaylistSyncReport {});
        QCOMPARE(f.requestsTo("GET", playlistsPath), 2);
        QCOMPARE(f.requestsTo("DELETE", deletionPath(9)), 1);
        QCOMPARE(ids(f.store.fetchPlaylists(ownerA)), QList<qint64> {3});
    }

    void cooldown_data()
    {
        QTest::addColumn<qint64>("laterMs");
        QTest::addColumn<bool>("force");
        QTest::addColumn<bool>("fetchesAgain");
        QTest::newRow("at once") << qint64(0) << false << false;
        QTest::newRow("1 ms short of 30 s") << qint64(29999) << false << false;
        QTest::newRow("30 s") << qint64(30000) << false << true;
        QTest::newRow("forced") << qint64(1000) << true << true;
        QTest::newRow("clock went back") << qint64(-5000) << false << true;
    }
    void cooldown()
    {
        QFETCH(qint64, laterMs);
        QFETCH(bool, force);
        QFETCH(bool, fetchesAgain);
        EngineFixture f;
        f.server.route("GET", playlistsPath, ScriptedResponse::json(200, playlistList({playlist(3)})));
        f.server.route("DELETE", deletionPath(9), ScriptedResponse::json(200, acceptedReceipt9));
        QCOMPARE(awaitResult(f.engine.synchronizePlaylists(token, ownerA, false)), PlaylistSyncReport {});

        // A refused refresh still sends the deletions that are due.
        f.deleteHere(9);
        f.clock.advance(laterMs);
        const PlaylistSyncReport report = awaitResult(f.engine.synchronizePlaylists(token, ownerA, force));
        QCOMPARE(report, (PlaylistSyncReport {{1, {9}, {}}, std::nullopt}));
        QCOMPARE(f.requestsTo("GET", playlistsPath), fetchesAgain ? 2 : 1);
    }

    void refreshPolicy()
    {
        PlaylistAutomaticRefreshPolicy policy;
        const QDateTime t0 = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
        const QString owner = QStringLiteral("owner");
        QVERIFY(policy.shouldAttemptRefresh(owner, t0, false));
        // A forced refresh restarts the cooldown.
        QVERIFY(policy.shouldAttemptRefresh(owner, t0.addSecs(20), true));
        QVERIFY(!policy.shouldAttemptRefresh(owner, t0.addSecs(40), false));
        QVERIFY(policy.shouldAttemptRefresh(owner, t0.addSecs(50), false));

        // The 65th owner takes the place of the one refreshed longest ago.
        policy.lastAttemptAtByOwner.clear();
        for (int i = 0; i < 64; ++i)
            QVERIFY(policy.shouldAttemptRefresh(QString::number(i), t0.addSecs((i * 7) % 64), false));
        QVERIFY(policy.shouldAttemptRefresh(QStringLiteral("new"), t0.addSecs(100), false));
        QCOMPARE(policy.lastAttemptAtByOwner.size(), 64);
        QVERIFY(!policy.lastAttemptAtByOwner.contains(QStringLiteral("0")));
        QVERIFY(!policy.shouldAttemptRefresh(QStringLiteral("1"), t0.addSecs(36), false));
        QVERIFY(policy.shouldAttemptRefresh(QStringLiteral("0"), t0.addSecs(100), false));
    }

    void refreshOutcome_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QList<qint64>>("localIDs");
        QTest::addColumn<QString>("description"); // null: none

        QTest::newRow("listed") << 200 << playlistList({playlist(2, 4), playlist(5)}) << QList<qint64> {5, 2}
                                << QString();
        QTest::newRow("server error") << 500 << errorBody("INTERNAL", "服务器繁忙") << QList<qint64> {2, 1}
                                      << QStringLiteral("服务器繁忙");
        QTest::newRow("unreadable list") << 200 << envelope(QJsonArray {QJsonObject {{"id", 5}}})
                                         << QList<qint64> {2, 1} << MobileAPIError::invalidResponse().description();
        QTest::newRow("token rejected") << 401 << QByteArray() << QList<qint64> {2, 1}
                                        << MobileAPIError::unauthorized().description();
    }
    void refreshOutcome()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QList<qint64>, localIDs);
        QFETCH(QString, description);
        EngineFixture f;
        f.store.upsertPlaylist(playlist(1), ownerA);
        f.store.upsertPlaylist(playlist(2), ownerA);
        f.server.route("GET", playlistsPath, ScriptedResponse::json(status, body));

        const PlaylistSyncReport report = awaitResult(f.engine.synchronizePlaylists(token, ownerA, false));
        QCOMPARE(report.synchronizationErrorDescription,
            description.isNull() ? std::nullopt : std::optional<QString>(description));
        QCOMPARE(ids(f.store.fetchPlaylists(ownerA)), localIDs);
    }

    void privateLexiconsAreNeitherJoinedNorThrottled()
    {
        EngineFixture f;
        const QJsonObject lexicon {
            {"id", 4}, {"name", "考研"}, {"version", 2}, {"wordCount", 10}, {"updatedAt", "2025-03-01T08:30:15Z"}};
        f.server.route("GET", lexiconsPath,
            ScriptedResponse::delayed(50, ScriptedResponse::json(200, envelope(QJsonArray {lexicon}))));
        const auto first = startAwaiting(f.engine.synchronizePrivateLexicons(token, ownerA));
        const auto second = startAwaiting(f.engine.synchronizePrivateLexicons(token, ownerA));
        QTRY_VERIFY_WITH_TIMEOUT(first->finished && second->finished, 10000);
        QVERIFY(!first->error && !second->error);
        // The older answer may be dropped as overtaken; the newer one is stored.
        QCOMPARE(f.requestsTo("GET", lexiconsPath), 2);
        QCOMPARE(f.store.fetchPrivateLexicons(ownerA).value(0).name, "考研");

        // A failure is only logged; the stored lexicons stay.
        f.server.route("GET", lexiconsPath, ScriptedResponse::json(500, errorBody("INTERNAL", "服务器繁忙")));
        awaitResult(f.engine.synchronizePrivateLexicons(token, ownerA));
        QCOMPARE(f.store.fetchPrivateLexicons(ownerA).size(), 1);
    }
};

TALVORO_TEST(SyncEngineTest)
#include "tst_syncengine.moc"
