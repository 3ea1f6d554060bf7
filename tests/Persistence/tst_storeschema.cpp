#include "StoreTesting.h"
#include "TestRegistry.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>

using namespace storetesting;

namespace {

const QDateTime requestedAt = QDateTime::fromSecsSinceEpoch(1600000000, Qt::UTC);

// A file as a release of an older layout wrote it: the whole layout of that
// version created at once, not by the steps that lead to it.
void writeOldStore(const QString &path, int version)
{
    RawDatabase db(path);
    QString playlist = QStringLiteral("id INTEGER NOT NULL DEFAULT 0, name TEXT NOT NULL, loopMode TEXT NOT NULL "
                                      "DEFAULT 'ONCE', loopCount INTEGER, ownerKey TEXT NOT NULL, deleted INTEGER "
                                      "NOT NULL DEFAULT 0");
    if (version >= 3)
        playlist += QStringLiteral(", version INTEGER NOT NULL DEFAULT 1, deletionState TEXT NOT NULL DEFAULT "
                                   "'ACTIVE', deleteRequestedAt INTEGER, deleteAcknowledgedAt INTEGER");
    if (version >= 4)
        playlist += QStringLiteral(", serverDeletedAt INTEGER");
    QString item = QStringLiteral("playlistId INTEGER NOT NULL DEFAULT 0, wordId INTEGER NOT NULL DEFAULT 0, "
                                  "wordDisplay TEXT NOT NULL, ipa TEXT, position INTEGER NOT NULL DEFAULT 1, "
                                  "repeatCount INTEGER NOT NULL DEFAULT 1");
    if (version >= 5)
        item.prepend(QStringLiteral("ownerKey TEXT NOT NULL DEFAULT '__legacy_unscoped_playlist_item__', "));
    db.exec(QStringLiteral("CREATE TABLE StoredWord (localID TEXT NOT NULL, ownerKey TEXT NOT NULL, remoteID "
                           "INTEGER NOT NULL DEFAULT 0, wordText TEXT NOT NULL, meaning TEXT, context TEXT, createdAt "
                           "INTEGER NOT NULL, updatedAt INTEGER NOT NULL, syncState TEXT NOT NULL, deleted INTEGER NOT "
                           "NULL DEFAULT 0)"));
    db.exec(QStringLiteral("CREATE TABLE StoredLexicon (id INTEGER NOT NULL DEFAULT 0, name TEXT NOT NULL, wordCount "
                           "INTEGER NOT NULL DEFAULT 0, ownerKey TEXT NOT NULL, deleted INTEGER NOT NULL DEFAULT 0)"));
    db.exec(QStringLiteral("CREATE TABLE StoredPlaylist (%1)").arg(playlist));
    db.exec(QStringLiteral("CREATE TABLE StoredPlaylistItem (%1)").arg(item));
    if (version >= 3) {
        db.exec(QStringLiteral("CREATE UNIQUE INDEX p ON StoredPlaylist (ownerKey, id)"));
        db.exec(QStringLiteral("CREATE TABLE PendingPlaylistOperation (operationID TEXT NOT NULL, ownerKey TEXT NOT "
                               "NULL, playlistID INTEGER NOT NULL DEFAULT 0, action TEXT NOT NULL DEFAULT 'DELETE', "
                               "createdAt INTEGER NOT NULL, attemptCount INTEGER NOT NULL DEFAULT 0, nextAttemptAt "
                               "INTEGER, lastAttemptAt INTEGER, lastError TEXT)"));
        db.exec(QStringLiteral("CREATE UNIQUE INDEX o ON PendingPlaylistOperation (ownerKey, playlistID, action)"));
    }
    if (version >= 5)
        db.exec(QStringLiteral("CREATE UNIQUE INDEX i ON StoredPlaylistItem (ownerKey, playlistId, position)"));
    db.exec(QStringLiteral("PRAGMA user_version = %1").arg(version));
}

} // namespace

class StoreSchemaTest : public QObject {
    Q_OBJECT

private slots:
    void newFileGetsCurrentLayoutAndReopenRewritesNothing()
    {
        StoreFixture f;
        f.open().tombstonePlaylist(ownerA, 3);
        f.store.reset();
        QCOMPARE(f.raw().value(QStringLiteral("PRAGMA user_version")).toInt(), 6);
        const QByteArray before = fileDigest(f.path());
        f.open();
        f.store.reset();
        QCOMPARE(fileDigest(f.path()), before);

        // The file is plain SQLite that other tools read.
        const QString cli = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
        if (cli.isEmpty())
            QSKIP("the sqlite3 command-line tool is not installed");
        QProcess process;
        process.start(cli, {f.path(), QStringLiteral("PRAGMA user_version;")});
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.readAllStandardOutput().trimmed(), QByteArray("6"));
    }

    void olderFileIsBroughtUpToDate_data()
    {
        QTest::addColumn<int>("version");
        for (int version : {1, 3, 4, 5})
            QTest::addRow("version %d", version) << version;
    }
    void olderFileIsBroughtUpToDate()
    {
        QFETCH(int, version);
        StoreFixture f;
        writeOldStore(f.path(), version);
        {
            RawDatabase db(f.path());
            db.exec(
                QStringLiteral("INSERT INTO StoredLexicon (id, name, wordCount, ownerKey) VALUES (4, 'lex', 12, ?)"),
                {ownerA});
            db.exec(QStringLiteral("INSERT INTO StoredPlaylist (id, name, ownerKey) VALUES (7, 'seven', ?)"), {ownerA});
            if (version >= 3)
                db.exec(QStringLiteral("UPDATE StoredPlaylist SET version = 3"));
            const QString itemInsert = version >= 5
                ? QStringLiteral("INSERT INTO StoredPlaylistItem (ownerKey, playlistId, wordId, wordDisplay, position) "
                                 "VALUES ('%1', ?, ?, ?, ?)")
                      .arg(ownerA)
                : QStringLiteral("INSERT INTO StoredPlaylistItem (playlistId, wordId, wordDisplay, position) "
                                 "VALUES (?, ?, ?, ?)");
            db.exec(itemInsert, {7, 30, QStringLiteral("b"), 2});
            db.exec(itemInsert, {7, 20, QStringLiteral("a"), 1});
            db.exec(QStringLiteral(
                "INSERT INTO StoredPlaylistItem (playlistId, wordId, wordDisplay) VALUES (99, 40, 'x')"));
            if (version >= 3) {
                db.exec(QStringLiteral("INSERT INTO StoredPlaylist (id, name, ownerKey, deleted, deletionState, "
                                       "deleteRequestedAt) VALUES (8, '', ?, 1, 'PENDING_DELETE', ?)"),
                    {ownerA, sql::date(requestedAt)});
                db.exec(QStringLiteral("INSERT INTO PendingPlaylistOperation (operationID, ownerKey, playlistID, "
                                       "createdAt, attemptCount, nextAttemptAt) VALUES ('op', ?, 8, ?, 3, ?)"),
                    {ownerA, sql::date(requestedAt), sql::date(requestedAt.addYears(50))});
            }
            if (version == 5) {
                // Another owner's playlist with the same id keeps its item at the same slot.
                db.exec(
                    QStringLiteral("INSERT INTO StoredPlaylist (id, name, ownerKey) VALUES (7, 'other', ?)"), {ownerB});
                db.exec(QStringLiteral("INSERT INTO StoredPlaylistItem (ownerKey, playlistId, wordId, wordDisplay, "
                                       "position) VALUES (?, 7, 50, 'c', 1)"),
                    {ownerB});
            }
        }

        LocalWordStore &store = f.open();
        QCOMPARE(f.raw().value(QStringLiteral("PRAGMA user_version")).toInt(), 6);
        const QList<ORVPlaylist> playlists = store.fetchPlaylists(ownerA);
        QCOMPARE(ids(playlists), QList<qint64> {7});
        QCOMPARE(playlists[0].version, version >= 3 ? 3 : 1);
        QCOMPARE(playlists[0].loopMode, QStringLiteral("ONCE"));
        QCOMPARE(playlists[0].items, (QList<ORVPlaylistItem> {item(20, 1, "a"), item(30, 2, "b")}));
        QCOMPARE(f.raw().value(QStringLiteral("SELECT deletionState FROM StoredPlaylist WHERE id = 7")).toString(),
            QStringLiteral("ACTIVE"));
        // Items nobody can be shown to own are gone.
        QCOMPARE(
            f.raw().value(QStringLiteral("SELECT count(*) FROM StoredPlaylistItem WHERE playlistId = 99")).toInt(), 0);
        QCOMPARE(store.fetchPrivateLexicons(ownerA).value(0).wordCount, 12);
        if (version >= 3) {
            const auto due = store.fetchPendingPlaylistDeletions(ownerA, f.clock->now());
            QCOMPARE(due.size(), 1);
            QCOMPARE(due[0].attemptCount, 3);
            QCOMPARE(due[0].nextAttemptAt, std::nullopt);
        }
        if (version == 5)
            QCOMPARE(store.fetchPlaylists(ownerB).value(0).items, QList<ORVPlaylistItem> {item(50, 1, "c")});
    }

    void duplicatesOfAnOlderFileAreCollapsedBeforeTheUpgrade()
    {
        StoreFixture f;
        writeOldStore(f.path(), 1);
        {
            RawDatabase db(f.path());
            db.exec(QStringLiteral("INSERT INTO StoredPlaylist (id, name, ownerKey, deleted) VALUES (5, 'live', ?, 0), "
                                   "(5, 'gone', ?, 1), (6, 'six', ?, 0), (6, 'six', ?, 0)"),
                {ownerA, ownerA, ownerA, ownerB});
            db.exec(QStringLiteral("INSERT INTO StoredPlaylistItem (playlistId, wordId, wordDisplay, position) VALUES "
                                   "(6, 9, 'nine', 1), (6, 3, 'three', 1)"));
        }
        QCOMPARE(storeErrorOf([&] { f.open(false).fetchPlaylists(ownerA); }), LocalWordStoreError::Kind::unavailable);
        f.store.reset();

        LocalWordStore &store = f.open();
        QCOMPARE(f.raw().value(QStringLiteral("SELECT name FROM StoredPlaylist WHERE id = 5")).toString(),
            QStringLiteral("gone"));
        // Playlist 6 belongs to two owners, so its old items belong to neither.
        QCOMPARE(ids(store.fetchPlaylists(ownerA)), QList<qint64> {6});
        QCOMPARE(f.raw().value(QStringLiteral("SELECT count(*) FROM StoredPlaylistItem")).toInt(), 0);
    }

    void unusableFileLeavesEveryOperationUnavailable_data()
    {
        QTest::addColumn<std::function<void(StoreFixture &)>>("make");
        QTest::newRow("not a database") << std::function([](StoreFixture &f) {
            QFile file(f.path());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(8192, 'x'));
        });
        QTest::newRow("newer version") << std::function([](StoreFixture &f) {
            writeOldStore(f.path(), 5);
            f.raw().exec(QStringLiteral("PRAGMA user_version = 7"));
        });
        QTest::newRow("damaged page") << std::function([](StoreFixture &f) {
            LocalWordStore &store = f.open();
            for (int id = 1; id <= 40; ++id)
                store.upsertPlaylist(playlist(id, 1, {item(1, 1), item(2, 2)}), ownerA);
            f.store.reset();
            QFile file(f.path());
            QVERIFY(file.open(QIODevice::ReadWrite));
            for (qint64 page = 2; page * 4096 < file.size(); page += 2) {
                file.seek(page * 4096);
                file.write(QByteArray(4096, '\xA5'));
            }
        });
    }
    void unusableFileLeavesEveryOperationUnavailable()
    {
        QFETCH(std::function<void(StoreFixture &)>, make);
        StoreFixture f;
        make(f);
        const QByteArray before = fileDigest(f.path());
        LocalWordStore &store = f.open();
        for (const auto &[name, operation] : everyOperation(ownerA)) {
            QVERIFY2(storeErrorOf([&] { operation(store); }) == LocalWordStoreError::Kind::unavailable, name);
        }
        try {
            store.fetchPlaylists(ownerA);
        } catch (const AppError &error) {
            QCOMPARE(error.description(), QStringLiteral("本地数据暂不可用，请重新启动应用后重试"));
        }
        QCOMPARE(fileDigest(f.path()), before);
    }
};

TALVORO_TEST(StoreSchemaTest)
#include "tst_storeschema.moc"
