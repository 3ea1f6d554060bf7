#include "StoreTesting.h"
#include "TestRegistry.h"

using namespace storetesting;

namespace {

using Setup = std::function<void(LocalWordStore &, RawDatabase &, const QString &legacy, const QString &scoped)>;

const QString sameEnvironmentUser = environment + QStringLiteral("|alice");
const QDateTime start = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);

void live(LocalWordStore &store, const QString &key, qint64 id, qint64 version, const QString &name,
    const QList<qint64> &words = {})
{
    QList<ORVPlaylistItem> items;
    for (qint64 word : words)
        items.append(item(word, items.size() + 1));
    store.upsertPlaylist(playlist(id, version, items, name), key);
}

void queued(RawDatabase &db, const QString &key, qint64 id, int attempts, std::optional<qint64> dueInSeconds)
{
    db.exec(QStringLiteral("INSERT INTO PendingPlaylistOperation (operationID, ownerKey, playlistID, createdAt, "
                           "attemptCount, nextAttemptAt) VALUES (?, ?, ?, ?, ?, ?)"),
        {QStringLiteral("%1-%2").arg(key).arg(id), key, id, sql::date(start), attempts,
            dueInSeconds ? sql::date(start.addSecs(*dueInSeconds)) : QVariant()});
}

qint64 secondsAfterStart(const QVariant &date)
{
    return (date.toLongLong() - start.toMSecsSinceEpoch()) / 1000;
}

// What a partition holds, one line per playlist, item and queued deletion.
QStringList partition(RawDatabase &db, const QString &key)
{
    QStringList lines;
    for (const QVariantList &r :
        db.rows(QStringLiteral("SELECT id, name, version, deletionState, deleteAcknowledgedAt, "
                               "serverDeletedAt FROM StoredPlaylist WHERE ownerKey = ? "
                               "ORDER BY id"),
            {key})) {
        QString line = QStringLiteral("P%1 '%2' v%3 %4")
                           .arg(r[0].toLongLong())
                           .arg(r[1].toString())
                           .arg(r[2].toLongLong())
                           .arg(r[3].toString());
        if (!r[4].isNull())
            line += QStringLiteral(" acknowledged+%1").arg(secondsAfterStart(r[4]));
        if (!r[5].isNull())
            line += QStringLiteral(" server+%1").arg(secondsAfterStart(r[5]));
        lines.append(line);
    }
    for (const QVariantList &r : db.rows(
             QStringLiteral("SELECT playlistId, wordId FROM StoredPlaylistItem WHERE ownerKey = ? ORDER BY playlistId, "
                            "position"),
             {key}))
        lines.append(QStringLiteral("I%1:%2").arg(r[0].toLongLong()).arg(r[1].toLongLong()));
    for (const QVariantList &r :
        db.rows(QStringLiteral("SELECT playlistID, attemptCount, nextAttemptAt FROM "
                               "PendingPlaylistOperation WHERE ownerKey = ? ORDER BY playlistID"),
            {key})) {
        lines.append(
            QStringLiteral("Q%1 a%2 %3")
                .arg(r[0].toLongLong())
                .arg(r[1].toLongLong())
                .arg(r[2].isNull() ? QStringLiteral("due") : QStringLiteral("+%1").arg(secondsAfterStart(r[2]))));
    }
    return lines;
}

int isolationMessages = 0;
void countIsolation(QtMsgType, const QMessageLogContext &, const QString &message)
{
    if (message.contains(QStringLiteral("已隔离来源环境不可证明的旧播放列表分区")))
        ++isolationMessages;
}

} // namespace

class PartitionMigrationTest : public QObject {
    Q_OBJECT

private slots:
    void legacyPartitionIsMovedAndMerged_data()
    {
        QTest::addColumn<QString>("legacy");
        QTest::addColumn<QString>("scoped");
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QStringList>("expectedScoped");
        QTest::addColumn<QStringList>("expectedLegacy");
        const QString alice = QStringLiteral("alice");
        const Setup livePlaylist5 = [](LocalWordStore &s, RawDatabase &, const QString &legacy, const QString &) {
            live(s, legacy, 5, 1, "l", {20});
        };

        QTest::newRow("user name against an owner key: isolated")
            << alice << ownerA << livePlaylist5 << QStringList {} << QStringList {"P5 'l' v1 ACTIVE", "I5:20"};
        QTest::newRow("owner key without environment: moved")
            << alice << QStringLiteral("local") << livePlaylist5 << QStringList {"P5 'l' v1 ACTIVE", "I5:20"}
            << QStringList {};
        QTest::newRow("newer legacy row wins with its items")
            << sameEnvironmentUser << ownerA << Setup([](LocalWordStore &s, RawDatabase &, auto &legacy, auto &scoped) {
                   live(s, scoped, 5, 2, "s", {30, 31});
                   live(s, legacy, 5, 3, "l", {20});
               })
            << QStringList {"P5 'l' v3 ACTIVE", "I5:20"} << QStringList {};
        QTest::newRow("equal versions: the row stored first wins")
            << sameEnvironmentUser << ownerA << Setup([](LocalWordStore &s, RawDatabase &, auto &legacy, auto &scoped) {
                   live(s, scoped, 5, 2, "s", {30});
                   live(s, legacy, 5, 2, "l", {20});
               })
            << QStringList {"P5 's' v2 ACTIVE", "I5:30"} << QStringList {};
        QTest::newRow("legacy tombstone takes the newer scoped fields")
            << sameEnvironmentUser << ownerA << Setup([](LocalWordStore &s, RawDatabase &, auto &legacy, auto &scoped) {
                   live(s, legacy, 5, 1, "l", {20});
                   s.tombstonePlaylist(legacy, 5);
                   live(s, scoped, 5, 4, "s", {30});
               })
            << QStringList {"P5 's' v4 PENDING_DELETE", "Q5 a0 due"} << QStringList {};
        QTest::newRow("two acknowledged tombstones")
            << sameEnvironmentUser << ownerA << Setup([](LocalWordStore &s, RawDatabase &, auto &legacy, auto &scoped) {
                   s.acknowledgePlaylistDeletion(legacy, 5, start.addSecs(30), std::nullopt, start.addSecs(40));
                   s.acknowledgePlaylistDeletion(scoped, 5, start.addSecs(10), std::nullopt, start.addSecs(50));
               })
            << QStringList {"P5 '' v0 DELETE_ACKNOWLEDGED acknowledged+50 server+30"} << QStringList {};
        QTest::newRow("live legacy playlist with a queued deletion")
            << sameEnvironmentUser << ownerA << Setup([](LocalWordStore &s, RawDatabase &db, auto &legacy, auto &) {
                   live(s, legacy, 5, 1, "l", {20});
                   queued(db, legacy, 5, 2, 100);
               })
            << QStringList {"P5 'l' v1 PENDING_DELETE", "Q5 a2 +100"} << QStringList {};
        QTest::newRow("queued deletions without a playlist row")
            << sameEnvironmentUser << ownerA
            << Setup([](LocalWordStore &, RawDatabase &db, auto &legacy, auto &scoped) {
                   queued(db, legacy, 9, 2, 100);
                   queued(db, scoped, 9, 4, std::nullopt);
               })
            << QStringList {"P9 '' v0 PENDING_DELETE", "Q9 a4 due"} << QStringList {};
        QTest::newRow("id 0 and items without a legacy playlist row stay")
            << sameEnvironmentUser << ownerA
            << Setup([](LocalWordStore &s, RawDatabase &db, auto &legacy, auto &scoped) {
                   live(s, scoped, 5, 1, "s", {30});
                   db.exec(QStringLiteral("INSERT INTO StoredPlaylistItem (ownerKey, playlistId, wordId, wordDisplay) "
                                          "VALUES (?, 5, 20, 'x')"),
                       {legacy});
                   db.exec(QStringLiteral("INSERT INTO StoredPlaylist (id, name, ownerKey) VALUES (0, 'zero', ?)"),
                       {legacy});
                   queued(db, legacy, 0, 1, std::nullopt);
               })
            << QStringList {"P5 's' v1 ACTIVE", "I5:30"} << QStringList {"P0 'zero' v1 ACTIVE", "I5:20", "Q0 a1 due"};
    }
    void legacyPartitionIsMovedAndMerged()
    {
        QFETCH(QString, legacy);
        QFETCH(QString, scoped);
        QFETCH(Setup, setup);
        QFETCH(QStringList, expectedScoped);
        QFETCH(QStringList, expectedLegacy);
        StoreFixture f;
        f.clock->set(start);
        LocalWordStore &store = f.open();
        RawDatabase db(f.path());
        setup(store, db, legacy, scoped);

        isolationMessages = 0;
        const QtMessageHandler previous = qInstallMessageHandler(countIsolation);
        store.migrateLegacyPlaylistPartition(legacy, scoped);
        store.migrateLegacyPlaylistPartition(legacy, scoped); // settled: nothing again
        qInstallMessageHandler(previous);
        QCOMPARE(isolationMessages, expectedScoped.isEmpty() ? 1 : 0);
        QCOMPARE(partition(db, scoped), expectedScoped);
        QCOMPARE(partition(db, legacy), expectedLegacy);
    }
};

TALVORO_TEST(PartitionMigrationTest)
#include "tst_partitionmigration.moc"
