#include "StoreTesting.h"
#include "TestRegistry.h"

#include "Platform/Text.h"

using namespace storetesting;

class DeletionQueueTest : public QObject {
    Q_OBJECT

private slots:
    void localDeleteMakesATombstoneAndOneQueueEntry()
    {
        StoreFixture f;
        LocalWordStore &store = f.open();
        const QDateTime deletedAt = f.clock->now();
        store.tombstonePlaylist(ownerA, 4); // no row yet
        QCOMPARE(
            f.raw().rows(QStringLiteral("SELECT name, loopMode, version, deleted, deletionState, deleteRequestedAt "
                                        "FROM StoredPlaylist")),
            (QList<QVariantList> {{"", "ONCE", 0, 1, "PENDING_DELETE", deletedAt.toMSecsSinceEpoch()}}));
        const PendingPlaylistDeletion queued = store.fetchPendingPlaylistDeletions(ownerA, std::nullopt).value(0);
        QVERIFY(!text::uuidText(queued.id).isEmpty());
        QCOMPARE(queued.createdAt, deletedAt);

        // Deleting again keeps the entry, its age and its attempts, and makes it due at once.
        store.recordPlaylistDeletionFailure(ownerA, 4, QStringLiteral("offline"), deletedAt);
        f.clock->advance(60000);
        store.tombstonePlaylist(ownerA, 4);
        QCOMPARE(store.fetchPendingPlaylistDeletions(ownerA, std::nullopt),
            (QList<PendingPlaylistDeletion> {{queued.id, 4, ownerA, deletedAt, 1, std::nullopt}}));
        QCOMPARE(f.raw().value(QStringLiteral("SELECT deleteRequestedAt FROM StoredPlaylist")).toLongLong(),
            deletedAt.toMSecsSinceEpoch());
        QVERIFY(store.fetchPendingPlaylistDeletions(ownerB, std::nullopt).isEmpty());
    }

    void failuresBackOffAndKeepTheirMessage_data()
    {
        QTest::addColumn<int>("failures");
        QTest::addColumn<int>("delay");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("stored"); // the last message, cut to 512 characters a reader counts
        const QString chinese = QStringLiteral("网络连接失败").repeated(100);
        const QString flags = QStringLiteral("🇨🇳e\u0301").repeated(300);
        QTest::newRow("1 failure") << 1 << 2 << QStringLiteral("超时") << QStringLiteral("超时");
        QTest::newRow("2 failures") << 2 << 4 << chinese << chinese.left(512);
        QTest::newRow("5 failures") << 5 << 32 << flags << flags.left(512 / 2 * 6);
        QTest::newRow("8 failures") << 8 << 256 << QStringLiteral("x") << QStringLiteral("x");
        QTest::newRow("12 failures") << 12 << 256 << QStringLiteral("x") << QStringLiteral("x");
    }
    void failuresBackOffAndKeepTheirMessage()
    {
        QFETCH(int, failures);
        QFETCH(int, delay);
        QFETCH(QString, message);
        QFETCH(QString, stored);
        StoreFixture f;
        LocalWordStore &store = f.open();
        store.tombstonePlaylist(ownerA, 4);
        const QDateTime now = f.clock->now().addSecs(5);
        for (int i = 0; i < failures; ++i)
            store.recordPlaylistDeletionFailure(ownerA, 4, message, now);
        store.recordPlaylistDeletionFailure(ownerA, 5, message, now); // nothing queued: nothing recorded
        QCOMPARE(
            f.raw().rows(QStringLiteral("SELECT attemptCount, nextAttemptAt, lastError FROM PendingPlaylistOperation")),
            (QList<QVariantList> {{failures, now.addSecs(delay).toMSecsSinceEpoch(), stored}}));

        // Due exactly at the next attempt time, not a millisecond before.
        QCOMPARE(store.fetchPendingPlaylistDeletions(ownerA, now.addSecs(delay)).size(), 1);
        QCOMPARE(store.fetchPendingPlaylistDeletions(ownerA, now.addSecs(delay).addMSecs(-1)).size(), 0);

        // Opening the store again makes it due at once and keeps the count.
        const PendingPlaylistDeletion reopened = f.open().fetchPendingPlaylistDeletions(ownerA, now).value(0);
        QCOMPARE(reopened.attemptCount, failures);
        QCOMPARE(reopened.nextAttemptAt, std::nullopt);
    }

    void serverListSettlesTombstones_data()
    {
        QTest::addColumn<bool>("acknowledged");
        QTest::addColumn<qint64>("secondsLater");
        QTest::addColumn<bool>("stillQueued");
        QTest::addColumn<QStringList>("expected"); // the row's state afterwards, empty when gone
        const QStringList acknowledged {"DELETE_ACKNOWLEDGED"};
        QTest::newRow("pending is done") << false << qint64(0) << false << acknowledged;
        QTest::newRow("acknowledged, under a day") << true << qint64(86399) << false << acknowledged;
        QTest::newRow("acknowledged, a day") << true << qint64(86400) << false << QStringList {};
        QTest::newRow("acknowledged, a day, still queued") << true << qint64(86400) << true << acknowledged;
    }
    void serverListSettlesTombstones()
    {
        QFETCH(bool, acknowledged);
        QFETCH(qint64, secondsLater);
        QFETCH(bool, stillQueued);
        QFETCH(QStringList, expected);
        StoreFixture f;
        LocalWordStore &store = f.open();
        const QDateTime start = f.clock->now();
        store.tombstonePlaylist(ownerA, 4);
        if (acknowledged)
            store.acknowledgePlaylistDeletion(ownerA, 4, std::nullopt, std::nullopt, start);
        if (stillQueued) {
            f.raw().exec(QStringLiteral("INSERT INTO PendingPlaylistOperation (operationID, ownerKey, playlistID, "
                                        "createdAt) VALUES ('x', ?, 4, 0)"),
                {ownerA});
        }
        store.replaceAllPlaylists({}, ownerA, start.addSecs(secondsLater));
        QStringList states;
        for (const QVariantList &row : f.raw().rows(QStringLiteral("SELECT deletionState FROM StoredPlaylist")))
            states.append(row.value(0).toString());
        QCOMPARE(states, expected);
        QCOMPARE(store.fetchPendingPlaylistDeletions(ownerA, std::nullopt).size(), stillQueued ? 1 : 0);
    }
};

TALVORO_TEST(DeletionQueueTest)
#include "tst_deletionqueue.moc"
