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

    void failuresPushTheNextAttemptBack_data()
    {
        QTest::addColumn<int>("failures");
        QTest::addColumn<int>("delay");
        const QList<std::pair<int, int>> table {{1, 2}, {2, 4}, {3, 8}, {5, 32}, {7, 128}, {8, 256}, {12, 256}};
        for (const auto &[failures, delay] : table)
            QTest::addRow("%d failures", failures) << failures << delay;
    }
    void failuresPushTheNextAttemptBack()
    {
        QFETCH(int, failures);
        QFETCH(int, delay);
        StoreFixture f;
        LocalWordStore &store = f.open();
        store.tombstonePlaylist(ownerA, 4);
        const QDateTime now = f.clock->now().addSecs(5);
        for (int i = 0; i < failures; ++i)
            store.recordPlaylistDeletionFailure(ownerA, 4, QStringLiteral("offline"), now);
        const PendingPlaylistDeletion queued = store.fetchPendingPlaylistDeletions(ownerA, std::nullopt).value(0);
        QCOMPARE(queued.attemptCount, failures);
        QCOMPARE(queued.nextAttemptAt, now.addSecs(delay));

        // Due exactly at the next attempt time, not a second before.
        QCOMPARE(store.fetchPendingPlaylistDeletions(ownerA, now.addSecs(delay)).size(), 1);
        QCOMPARE(store.fetchPendingPlaylistDeletions(ownerA, now.addSecs(delay - 1)).size(), 0);

        // Opening the store again makes it due at once and keeps the count.
        f.open();
        QCOMPARE(f.store->fetchPendingPlaylistDeletions(ownerA, now).value(0).attemptCount, failures);
        QCOMPARE(f.store->fetchPendingPlaylistDeletions(ownerA, now).value(0).nextAttemptAt, std::nullopt);
    }

    void failureMessageIsCutToWhatAReaderCounts_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("stored");
        const QString chinese = QStringLiteral("网络连接失败").repeated(100);
        QTest::newRow("600 Chinese characters") << chinese << chinese.left(512);
        const QString flags = QStringLiteral("🇨🇳e\u0301").repeated(300);
        QTest::newRow("clusters of several code units") << flags << flags.left(512 / 2 * 6);
        QTest::newRow("short") << QStringLiteral("超时") << QStringLiteral("超时");
    }
    void failureMessageIsCutToWhatAReaderCounts()
    {
        QFETCH(QString, message);
        QFETCH(QString, stored);
        StoreFixture f;
        LocalWordStore &store = f.open();
        store.tombstonePlaylist(ownerA, 4);
        store.recordPlaylistDeletionFailure(ownerA, 4, message, f.clock->now());
        QCOMPARE(f.raw().value(QStringLiteral("SELECT lastError FROM PendingPlaylistOperation")).toString(), stored);
        // Nothing queued for another playlist: nothing to record.
        store.recordPlaylistDeletionFailure(ownerA, 5, message, f.clock->now());
        QCOMPARE(f.raw().value(QStringLiteral("SELECT count(*) FROM PendingPlaylistOperation")).toInt(), 1);
    }

    void acknowledgement_data()
    {
        QTest::addColumn<std::optional<qint64>>("serverVersion");
        QTest::addColumn<qint64>("storedVersion");
        QTest::newRow("no version") << std::optional<qint64>() << qint64(5);
        QTest::newRow("lower version") << std::optional<qint64>(3) << qint64(5);
        QTest::newRow("higher version") << std::optional<qint64>(9) << qint64(9);
        QTest::newRow("version 0") << std::optional<qint64>(0) << qint64(5);
    }
    void acknowledgement()
    {
        QFETCH(std::optional<qint64>, serverVersion);
        QFETCH(qint64, storedVersion);
        StoreFixture f;
        LocalWordStore &store = f.open();
        store.upsertPlaylist(playlist(4, 5), ownerA);
        store.tombstonePlaylist(ownerA, 4);
        const QDateTime serverTime = f.clock->now().addSecs(-30);
        const QDateTime now = f.clock->now().addSecs(10);
        const bool refused = serverVersion == 0;
        QCOMPARE(storeErrorOf([&] { store.acknowledgePlaylistDeletion(ownerA, 4, serverTime, serverVersion, now); }),
            refused ? std::optional(LocalWordStoreError::Kind::invalidRemoteVersion) : std::nullopt);
        QCOMPARE(f.raw().rows(QStringLiteral("SELECT version, deletionState, serverDeletedAt, deleteAcknowledgedAt "
                                             "FROM StoredPlaylist")),
            (QList<QVariantList> {{storedVersion, refused ? "PENDING_DELETE" : "DELETE_ACKNOWLEDGED",
                refused ? QVariant() : serverTime.toMSecsSinceEpoch(),
                refused ? QVariant() : now.toMSecsSinceEpoch()}}));
        QCOMPARE(store.fetchPendingPlaylistDeletions(ownerA, std::nullopt).size(), refused ? 1 : 0);
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

        // A tombstone the server still lists stays pending.
        store.tombstonePlaylist(ownerA, 6);
        store.replaceAllPlaylists({playlist(6, 2)}, ownerA, start);
        QCOMPARE(f.raw().value(QStringLiteral("SELECT deletionState FROM StoredPlaylist WHERE id = 6")).toString(),
            QStringLiteral("PENDING_DELETE"));
    }
};

TALVORO_TEST(DeletionQueueTest)
#include "tst_deletionqueue.moc"
