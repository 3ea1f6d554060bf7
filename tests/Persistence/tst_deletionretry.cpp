#include "AwaitTask.h"
#include "SyncEngineTesting.h"
#include "TestRegistry.h"

#include "Models/MobileAPIError.h"

using namespace syncenginetesting;

namespace {

const QString notSavedHere = QStringLiteral("服务端已删除，但本地确认保存失败；下次进入页面、回到前台或刷新时会重试");
const QString retriedLater = QStringLiteral("已从本机移除；重新进入页面、回到前台或手动刷新时会重试云端删除");
const QDateTime march1 = QDateTime(QDate(2025, 3, 1), QTime(8, 30, 15), Qt::UTC);

} // namespace

class DeletionRetryTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void serverAnswerDecidesTheAcknowledgement_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("acknowledged");
        QTest::addColumn<QDateTime>("serverDeletedAt"); // null: none kept
        QTest::addColumn<qint64>("version");

        const QDateTime none;
        QTest::newRow("fractional seconds")
            << 200 << receipt(7, "2025-03-01T08:30:15.250Z", 5) << true << march1.addMSecs(250) << qint64(5);
        QTest::newRow("whole seconds") << 200 << receipt(7, "2025-03-01T08:30:15Z", 5) << true << march1 << qint64(5);
        QTest::newRow("offset") << 200 << receipt(7, "2025-03-01T16:30:15+08:00", 5) << true << march1 << qint64(5);
        QTest::newRow("older version kept")
            << 200 << receipt(7, "2025-03-01T08:30:15Z", 2) << true << march1 << qint64(3);
        QTest::newRow("404 resource not found")
            << 404 << errorBody("RESOURCE_NOT_FOUND", "资源不存在") << true << none << qint64(3);

        QTest::newRow("blank instead of T, no zone")
            << 200 << receipt(7, "2025-03-01 08:30:15", 5) << false << none << qint64(3);
        QTest::newRow("another id") << 200 << receipt(8, "2025-03-01T08:30:15Z", 5) << false << none << qint64(3);
        QTest::newRow("not deleted") << 200 << receipt(7, "2025-03-01T08:30:15Z", 5, false) << false << none
                                     << qint64(3);
        QTest::newRow("version 0") << 200 << receipt(7, "2025-03-01T08:30:15Z", 0) << false << none << qint64(3);
        QTest::newRow("404 another code") << 404 << errorBody("NOT_FOUND", "接口不存在") << false << none << qint64(3);
        QTest::newRow("server error") << 503 << errorBody("UNAVAILABLE", "服务器维护中") << false << none << qint64(3);
    }
    void serverAnswerDecidesTheAcknowledgement()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(bool, acknowledged);
        QFETCH(QDateTime, serverDeletedAt);
        QFETCH(qint64, version);
        EngineFixture f;
        f.deleteHere(7);
        f.server.route("DELETE", deletionPath(7), ScriptedResponse::json(status, body));
        f.clock.advance(5000);
        const QDateTime now = f.clock.now();

        const PlaylistDeletionRetryReport report
            = awaitResult(f.engine.retryPendingPlaylistDeletions(token, ownerA, false));
        QCOMPARE(report.attemptedCount, 1);
        QCOMPARE(f.server.requests().value(0).header("Authorization"), "Bearer " + token.toUtf8());
        const QVariantList row
            = f.files.raw()
                  .rows(QStringLiteral(
                      "SELECT deletionState, serverDeletedAt, version, deleteAcknowledgedAt FROM StoredPlaylist"))
                  .value(0);
        QCOMPARE(row.value(2).toLongLong(), version);
        if (acknowledged) {
            QCOMPARE(report.acknowledgedIDs, QList<qint64> {7});
            QVERIFY(report.failures.isEmpty());
            QCOMPARE(row.value(0).toString(), "DELETE_ACKNOWLEDGED");
            QCOMPARE(
                row.value(1), serverDeletedAt.isNull() ? QVariant() : QVariant(serverDeletedAt.toMSecsSinceEpoch()));
            QCOMPARE(row.value(3).toLongLong(), now.toMSecsSinceEpoch());
            QVERIFY(f.queued(7).isEmpty());
        } else {
            QVERIFY(report.acknowledgedIDs.isEmpty());
            QCOMPARE(report.failures, (QList<PlaylistDeletionRetryFailure> {{7, retriedLater}}));
            QCOMPARE(row.value(0).toString(), "PENDING_DELETE");
            // The technical reason is kept for the logs; the next try waits 2 s.
            const QVariantList queued = f.queued(7);
            QCOMPARE(queued.value(0).toInt(), 1);
            QCOMPARE(queued.value(1).toLongLong(), now.addSecs(2).toMSecsSinceEpoch());
            const QString reason = status == 200 ? MobileAPIError::invalidResponse().description()
                                                 : QJsonDocument::fromJson(body)["error"]["message"].toString();
            QCOMPARE(queued.value(2).toString(), reason);
        }
    }

    void failedLocalAcknowledgementStaysQueued_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("message");
        QTest::newRow("confirmed by a receipt") << 200 << receipt(7, "2025-03-01T08:30:15Z") << retriedLater;
        QTest::newRow("already gone on the server")
            << 404 << errorBody("RESOURCE_NOT_FOUND", "资源不存在") << notSavedHere;
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

    void dueTimesAtTheBoundary_data()
    {
        QTest::addColumn<qint64>("afterFailureMs");
        QTest::addColumn<bool>("force");
        QTest::addColumn<bool>("attempted");
        QTest::newRow("1 ms early") << qint64(1999) << false << false;
        QTest::newRow("on time") << qint64(2000) << false << true;
        QTest::newRow("later") << qint64(9000) << false << true;
        QTest::newRow("early but forced") << qint64(0) << true << true;
    }
    void dueTimesAtTheBoundary()
    {
        QFETCH(qint64, afterFailureMs);
        QFETCH(bool, force);
        QFETCH(bool, attempted);
        EngineFixture f;
        f.deleteHere(7);
        f.store.recordPlaylistDeletionFailure(ownerA, 7, QStringLiteral("offline"), f.clock.now()); // due in 2 s
        f.server.route("DELETE", deletionPath(7), ScriptedResponse::json(200, receipt(7, "2025-03-01T08:30:15Z")));
        f.clock.advance(afterFailureMs);

        const PlaylistDeletionRetryReport report
            = awaitResult(f.engine.retryPendingPlaylistDeletions(token, ownerA, force));
        QCOMPARE(f.server.requestCount(), int(attempted));
        QCOMPARE(report, (attempted ? PlaylistDeletionRetryReport {1, {7}, {}} : PlaylistDeletionRetryReport {}));
    }

    void deletionInFlightIsSkippedByAnotherDrain()
    {
        EngineFixture f;
        f.deleteHere(7);
        f.server.route("DELETE", deletionPath(7),
            ScriptedResponse::heldBack(ScriptedResponse::json(200, receipt(7, "2025-03-01T08:30:15Z"))));
        f.server.route("DELETE", deletionPath(8), ScriptedResponse::json(200, receipt(8, "2025-03-01T08:30:15Z")));
        const auto first = startAwaiting(f.engine.retryPendingPlaylistDeletions(token, ownerA, true));
        QTRY_COMPARE_WITH_TIMEOUT(f.server.heldCount(), 1, 10000);

        f.deleteHere(8);
        const PlaylistDeletionRetryReport second
            = awaitResult(f.engine.retryPendingPlaylistDeletions(token, ownerA, true));
        QCOMPARE(second, (PlaylistDeletionRetryReport {1, {8}, {}}));

        f.server.releaseHeld(0);
        QTRY_VERIFY_WITH_TIMEOUT(first->finished, 10000);
        QCOMPARE(*first->value, (PlaylistDeletionRetryReport {1, {7}, {}}));
        QCOMPARE(f.requestsTo("DELETE", deletionPath(7)), 1);
        QVERIFY(f.store.fetchPendingPlaylistDeletions(ownerA, std::nullopt).isEmpty());
    }

    void unreadableQueueGivesAnEmptyReport()
    {
        EngineFixture f;
        f.deleteHere(7);
        QTemporaryDir dir;
        LocalWordStore unavailable({dir.path(), false}, f.files.clock); // a folder is no store
        QuenbrySyncEngine engine(f.client, unavailable, f.clock);
        QCOMPARE(
            awaitResult(engine.retryPendingPlaylistDeletions(token, ownerA, true)), PlaylistDeletionRetryReport {});
        QCOMPARE(awaitResult(f.engine.retryPendingPlaylistDeletions(token, QStringLiteral(" \n"), true)),
            PlaylistDeletionRetryReport {});
        QCOMPARE(f.server.requestCount(), 0);
    }
};

TALVORO_TEST(DeletionRetryTest)
#include "tst_deletionretry.moc"
