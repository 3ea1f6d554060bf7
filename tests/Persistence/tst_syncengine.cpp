#include "AwaitTask.h"
#include "SyncEngineTesting.h"
#include "TestRegistry.h"

#include "Models/MobileAPIError.h"

using namespace syncenginetesting;

namespace {

const QString lexiconsPath = QStringLiteral("/api/v1/user/lexicons");
const QString retriedLater = QStringLiteral("已从本机移除；重新进入页面、回到前台或手动刷新时会重试云端删除");
const QByteArray receipt7 = receipt(7, "2025-03-01T08:30:15Z");
const QDateTime march1 = QDateTime(QDate(2025, 3, 1), QTime(8, 30, 15), Qt::UTC);

} // namespace

class SyncEngineTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void joinedCallersMakeOneRequest()
    {
        EngineFixture f;
        f.deleteHere(7);
        f.server.route("DELETE", deletionPath(7), ScriptedResponse::json(200, receipt7));
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

        const PlaylistSyncReport expected {{1, {7}, {}}, std::nullopt};
        QCOMPARE(*first->value, expected);
        QCOMPARE(*forced->value, expected);
        QCOMPARE(*other->value, PlaylistSyncReport {});
        QCOMPARE(f.requestsTo("GET", playlistsPath), 2);
        QCOMPARE(f.requestsTo("DELETE", deletionPath(7)), 1);
        QCOMPARE(ids(f.store.fetchPlaylists(ownerA)), QList<qint64> {3});
    }

    void cooldown_data()
    {
        QTest::addColumn<qint64>("laterMs");
        QTest::addColumn<bool>("force");
        QTest::addColumn<bool>("fetchesAgain");
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
        f.server.route("DELETE", deletionPath(7), ScriptedResponse::json(200, receipt7));
        QCOMPARE(awaitResult(f.engine.synchronizePlaylists(token, ownerA, false)), PlaylistSyncReport {});

        // A refused refresh still sends the deletions that are due.
        f.deleteHere(7);
        f.clock.advance(laterMs);
        const PlaylistSyncReport report = awaitResult(f.engine.synchronizePlaylists(token, ownerA, force));
        QCOMPARE(report, (PlaylistSyncReport {{1, {7}, {}}, std::nullopt}));
        QCOMPARE(f.requestsTo("GET", playlistsPath), fetchesAgain ? 2 : 1);
    }

    void oldestOwnerMakesRoom()
    {
        PlaylistAutomaticRefreshPolicy policy;
        const QDateTime t0 = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
        for (int i = 0; i < 64; ++i)
            QVERIFY(policy.shouldAttemptRefresh(QString::number(i), t0.addSecs((i * 7) % 64), false));
        // The 65th owner takes the place of the one refreshed longest ago.
        QVERIFY(policy.shouldAttemptRefresh(QStringLiteral("new"), t0.addSecs(100), false));
        QCOMPARE(policy.lastAttemptAtByOwner.size(), 64);
        QVERIFY(!policy.shouldAttemptRefresh(QStringLiteral("1"), t0.addSecs(36), false));
        QVERIFY(policy.shouldAttemptRefresh(QStringLiteral("0"), t0.addSecs(100), false));
    }

    void failedRefreshKeepsThePlaylists_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("description");
        QTest::newRow("server error") << 500 << errorBody("INTERNAL", "服务器繁忙") << QStringLiteral("服务器繁忙");
        QTest::newRow("unreadable list") << 200 << envelope(QJsonArray {QJsonObject {{"id", 5}}})
                                         << MobileAPIError::invalidResponse().description();
    }
    void failedRefreshKeepsThePlaylists()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, description);
        EngineFixture f;
        f.store.upsertPlaylist(playlist(1), ownerA);
        const QJsonObject lexicon {
            {"id", 4}, {"name", "考研"}, {"version", 2}, {"wordCount", 10}, {"updatedAt", "2025-03-01T08:30:15Z"}};
        f.server.route("GET", lexiconsPath, ScriptedResponse::json(200, envelope(QJsonArray {lexicon})));
        awaitResult(f.engine.synchronizePrivateLexicons(token, ownerA));
        QCOMPARE(f.store.fetchPrivateLexicons(ownerA).value(0).name, "考研");
        f.server.route("GET", playlistsPath, ScriptedResponse::json(status, body));
        f.server.route("GET", lexiconsPath, ScriptedResponse::json(status, body));

        const PlaylistSyncReport report = awaitResult(f.engine.synchronizePlaylists(token, ownerA, false));
        QCOMPARE(report.synchronizationErrorDescription, std::optional(description));
        QCOMPARE(ids(f.store.fetchPlaylists(ownerA)), QList<qint64> {1});
        // A failed lexicon refresh is only logged; the stored lexicons stay.
        awaitResult(f.engine.synchronizePrivateLexicons(token, ownerA));
        QCOMPARE(f.store.fetchPrivateLexicons(ownerA).size(), 1);
    }

    void serverAnswerDecidesTheAcknowledgement_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QDateTime>("serverDeletedAt"); // null: none kept
        QTest::addColumn<qint64>("version"); // 0: not acknowledged

        const QDateTime none;
        QTest::newRow("fractional seconds")
            << 200 << receipt(7, "2025-03-01T08:30:15.250Z", 5) << march1.addMSecs(250) << qint64(5);
        QTest::newRow("whole seconds, offset")
            << 200 << receipt(7, "2025-03-01T16:30:15+08:00", 5) << march1 << qint64(5);
        QTest::newRow("older version kept") << 200 << receipt(7, "2025-03-01T08:30:15Z", 2) << march1 << qint64(3);
        QTest::newRow("404 resource not found")
            << 404 << errorBody("RESOURCE_NOT_FOUND", "资源不存在") << none << qint64(3);
        QTest::newRow("blank instead of T, no zone") << 200 << receipt(7, "2025-03-01 08:30:15", 5) << none << 0ll;
        QTest::newRow("another id") << 200 << receipt(8, "2025-03-01T08:30:15Z", 5) << none << 0ll;
        QTest::newRow("not deleted") << 200 << receipt(7, "2025-03-01T08:30:15Z", 5, false) << none << 0ll;
        QTest::newRow("version 0") << 200 << receipt(7, "2025-03-01T08:30:15Z", 0) << none << 0ll;
        QTest::newRow("404 another code") << 404 << errorBody("NOT_FOUND", "接口不存在") << none << 0ll;
    }
    void serverAnswerDecidesTheAcknowledgement()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QDateTime, serverDeletedAt);
        QFETCH(qint64, version);
        EngineFixture f;
        f.deleteHere(7);
        f.server.route("DELETE", deletionPath(7), ScriptedResponse::json(status, body));
        f.clock.advance(5000);
        const QDateTime now = f.clock.now();

        const PlaylistDeletionRetryReport report
            = awaitResult(f.engine.retryPendingPlaylistDeletions(token, ownerA, false));
        QCOMPARE(f.server.requests().value(0).header("Authorization"), "Bearer " + token.toUtf8());
        const QVariantList row = f.files.raw()
                                     .rows(QStringLiteral("SELECT deletionState, serverDeletedAt, version, "
                                                          "deleteAcknowledgedAt FROM StoredPlaylist"))
                                     .value(0);
        if (version) {
            QCOMPARE(report, (PlaylistDeletionRetryReport {1, {7}, {}}));
            QCOMPARE(row,
                (QVariantList {"DELETE_ACKNOWLEDGED",
                    serverDeletedAt.isNull() ? QVariant() : QVariant(serverDeletedAt.toMSecsSinceEpoch()), version,
                    now.toMSecsSinceEpoch()}));
            QVERIFY(f.queued(7).isEmpty());
            return;
        }
        QCOMPARE(report, (PlaylistDeletionRetryReport {1, {}, {{7, retriedLater}}}));
        QCOMPARE(row.value(0).toString(), "PENDING_DELETE");
        // The technical reason is kept for the logs; the next try waits 2 s.
        const QString reason = status == 200 ? MobileAPIError::invalidResponse().description()
                                             : QJsonDocument::fromJson(body)["error"]["message"].toString();
        QCOMPARE(f.queued(7), (QVariantList {1, now.addSecs(2).toMSecsSinceEpoch(), reason}));
        f.clock.advance(1999);
        QCOMPARE(
            awaitResult(f.engine.retryPendingPlaylistDeletions(token, ownerA, false)), PlaylistDeletionRetryReport {});
        QCOMPARE(awaitResult(f.engine.retryPendingPlaylistDeletions(token, ownerA, true)).attemptedCount, 1);
        QCOMPARE(f.server.requestCount(), 2);
    }

    void failedLocalAcknowledgementStaysQueued_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("message");
        QTest::newRow("confirmed by a receipt") << 200 << receipt7 << retriedLater;
        QTest::newRow("already gone on the server")
            << 404 << errorBody("RESOURCE_NOT_FOUND", "资源不存在")
            << QStringLiteral("服务端已删除，但本地确认保存失败；下次进入页面、回到前台或刷新时会重试");
    }
    void failedLocalAcknowledgementStaysQueued()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, message);
        EngineFixture f;
        f.deleteHere(7);
        f.server.route("DELETE", deletionPath(7), ScriptedResponse::json(status, body));
        f.files.raw().exec(QStringLiteral("CREATE TRIGGER refuseAcknowledgement BEFORE UPDATE ON StoredPlaylist "
                                          "WHEN NEW.deletionState = 'DELETE_ACKNOWLEDGED' "
                                          "BEGIN SELECT RAISE(ABORT, 'disk full'); END"));

        const PlaylistDeletionRetryReport report
            = awaitResult(f.engine.retryPendingPlaylistDeletions(token, ownerA, true));
        QCOMPARE(report, (PlaylistDeletionRetryReport {1, {}, {{7, message}}}));
        QCOMPARE(f.files.raw().value(QStringLiteral("SELECT deletionState FROM StoredPlaylist")), "PENDING_DELETE");
        QCOMPARE(f.queued(7).value(0).toInt(), 1);
        QVERIFY(f.queued(7).value(2).toString().contains(QStringLiteral("disk full")));
    }

    void deletionInFlightIsSkippedByAnotherDrain()
    {
        EngineFixture f;
        f.deleteHere(7);
        f.server.route("DELETE", deletionPath(7), ScriptedResponse::heldBack(ScriptedResponse::json(200, receipt7)));
        f.server.route("DELETE", deletionPath(8), ScriptedResponse::json(200, receipt(8, "2025-03-01T08:30:15Z")));
        const auto first = startAwaiting(f.engine.retryPendingPlaylistDeletions(token, ownerA, true));
        QTRY_COMPARE_WITH_TIMEOUT(f.server.heldCount(), 1, 10000);

        f.deleteHere(8);
        QCOMPARE(awaitResult(f.engine.retryPendingPlaylistDeletions(token, ownerA, true)),
            (PlaylistDeletionRetryReport {1, {8}, {}}));
        f.server.releaseHeld(0);
        QTRY_VERIFY_WITH_TIMEOUT(first->finished, 10000);
        QCOMPARE(*first->value, (PlaylistDeletionRetryReport {1, {7}, {}}));
        QCOMPARE(f.requestsTo("DELETE", deletionPath(7)), 1);
    }

    void unreadableQueueGivesAnEmptyReport()
    {
        EngineFixture f;
        QTemporaryDir dir;
        LocalWordStore unavailable({dir.path(), false}, f.files.clock); // a folder is no store
        QuenbrySyncEngine engine(f.client, unavailable, f.clock);
        QCOMPARE(
            awaitResult(engine.retryPendingPlaylistDeletions(token, ownerA, true)), PlaylistDeletionRetryReport {});
        QCOMPARE(f.server.requestCount(), 0);
    }
};

TALVORO_TEST(SyncEngineTest)
#include "tst_syncengine.moc"
