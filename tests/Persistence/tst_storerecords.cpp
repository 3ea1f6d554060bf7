#include "StoreTesting.h"
#include "TestRegistry.h"

using namespace storetesting;

namespace {

UserLexicon lexicon(qint64 id, const QString &name, qint64 wordCount)
{
    return {id, name, std::nullopt, 1, wordCount, {}};
}

QStringList lexiconNames(const QList<UserLexicon> &lexicons)
{
    QStringList names;
    for (const UserLexicon &l : lexicons)
        names.append(QStringLiteral("%1:%2:%3").arg(l.id).arg(l.name).arg(l.wordCount));
    return names;
}

} // namespace

class StoreRecordsTest : public QObject {
    Q_OBJECT

private slots:
    void blankOwnerKeyIsRefused_data()
    {
        QTest::addColumn<QString>("ownerKey");
        QTest::newRow("empty") << QString();
        QTest::newRow("tabs and line breaks") << QStringLiteral("\t\n\r\u3000");
    }
    void blankOwnerKeyIsRefused()
    {
        QFETCH(QString, ownerKey);
        StoreFixture f;
        LocalWordStore &store = f.open();
        for (const auto &[name, operation] : everyOperation(ownerKey))
            QVERIFY2(storeErrorOf([&] { operation(store); }) == LocalWordStoreError::Kind::invalidOwnerKey, name);
        QCOMPARE(f.raw().value(QStringLiteral("SELECT count(*) FROM StoredPlaylist")).toInt(), 0);
    }

    void lexiconRecords()
    {
        StoreFixture f;
        LocalWordStore &store = f.open();
        const QString spaced = QStringLiteral(" ") + ownerA + QStringLiteral(" ");
        store.savePrivateLexicons(
            {lexicon(1, "a", 1), lexicon(3, "c", 3), lexicon(2, "b", 2), lexicon(1, "a2", 5)}, ownerA);
        store.savePrivateLexicons({lexicon(8, "spaced", 0)}, spaced);
        store.savePrivateLexicons({}, ownerA);
        store.savePrivateLexicons({lexicon(2, "b2", 4)}, ownerA); // 1 and 3 are not listed and stay

        QCOMPARE(lexiconNames(store.fetchPrivateLexicons(ownerA)), (QStringList {"3:c:3", "2:b2:4", "1:a2:5"}));
        QCOMPARE(lexiconNames(store.fetchPrivateLexicons(spaced)), QStringList {"8:spaced:0"});
        QVERIFY(store.fetchPrivateLexicons(ownerB).isEmpty());

        // Rows the file holds but no save writes: duplicates stay separate values,
        // unreadable ones are skipped or read as absent.
        f.raw().exec(QStringLiteral("INSERT INTO StoredLexicon (id, name, wordCount, ownerKey, deleted) VALUES "
                                    "(3, 'c-again', 1, :o, 0), ('x', 'bad id', 1, :o, 0), (5, x'00', 1, :o, 0), "
                                    "(6, 'odd count', 'many', :o, 0), (7, 'hidden', 1, :o, 1)")
                         .replace(QStringLiteral(":o"), QStringLiteral("'%1'").arg(ownerA)));
        QCOMPARE(lexiconNames(store.fetchPrivateLexicons(ownerA)),
            (QStringList {"6:odd count:0", "3:c:3", "3:c-again:1", "2:b2:4", "1:a2:5"}));
    }

    void playlistRecords()
    {
        StoreFixture f;
        LocalWordStore &store = f.open();
        ORVPlaylistItem full = item(11, 3, QStringLiteral("apple"));
        full.ipa = QStringLiteral("ˈæpəl");
        full.syllables = QStringLiteral("ap·ple");
        full.translationsZh = QList<QString> {QStringLiteral("苹果"), QStringLiteral("苹果树")};
        full.explanation = QStringLiteral("a fruit");
        full.usageScenario = QStringLiteral("eat an apple");
        full.repeatCount = 4;
        full.playbackProfile = WordPlaybackProfile::makeDefault(11);
        ORVPlaylist first = playlist(1, 2, {full, item(12, 1), item(13, 2)});
        first.loopMode = QStringLiteral("SOMETHING_NEW");
        first.loopCount = 3;
        store.upsertPlaylist(first, ownerA);
        // Two items at one position: the smaller word id stays, nothing fails.
        store.upsertPlaylist(playlist(2, 1, {item(9, 1), item(3, 1), item(5, 2), item(3, 2)}), ownerA);
        store.upsertPlaylist(playlist(1, 7, {item(21, 1)}), ownerB);

        const QList<ORVPlaylist> fetched = store.fetchPlaylists(ownerA);
        QCOMPARE(ids(fetched), (QList<qint64> {2, 1}));
        QCOMPARE(fetched[0].items, (QList<ORVPlaylistItem> {item(3, 1), item(3, 2)}));
        QCOMPARE(fetched[1].items, (QList<ORVPlaylistItem> {item(12, 1), item(13, 2), full}));
        QCOMPARE(fetched[1].loopMode, first.loopMode);
        QCOMPARE(fetched[1].loopCount, std::optional<qint64>(3));
        QCOMPARE(fetched[1].version, 2);
        QCOMPARE(store.fetchPlaylists(ownerB).value(0).items, QList<ORVPlaylistItem> {item(21, 1)});

        QCOMPARE(storeErrorOf([&] { store.upsertPlaylist(playlist(0), ownerA); }),
            LocalWordStoreError::Kind::invalidPlaylistID);

        // Parts of an item that cannot be read come back absent; the item stays.
        f.raw().exec(QStringLiteral("UPDATE StoredPlaylistItem SET translationsZhJSON = '[\"a\", 1]', "
                                    "playbackProfileData = x'7b7d', ipa = 5 WHERE wordId = 11"));
        f.raw().exec(QStringLiteral("UPDATE StoredPlaylistItem SET wordDisplay = x'00' WHERE wordId = 12"));
        ORVPlaylistItem unreadable = full;
        unreadable.translationsZh.reset();
        unreadable.playbackProfile.reset();
        unreadable.ipa = QStringLiteral("5");
        QCOMPARE(store.fetchPlaylists(ownerA)[1].items, (QList<ORVPlaylistItem> {item(13, 2), unreadable}));
    }

    void serverListReplacesTheOwnersPlaylists_data()
    {
        QTest::addColumn<QList<ORVPlaylist>>("server");
        QTest::addColumn<QList<qint64>>("expectedIds");
        QTest::addColumn<QStringList>("expectedNames");
        QTest::newRow("missing ones go") << QList<ORVPlaylist> {playlist(2, 5)} << QList<qint64> {2}
                                         << QStringList {"list2"};
        QTest::newRow("empty list") << QList<ORVPlaylist> {} << QList<qint64> {} << QStringList {};
        QTest::newRow("higher version of a duplicate")
            << QList<ORVPlaylist> {playlist(2, 6, {}, "new"), playlist(2, 4, {}, "old"), playlist(0, 9)}
            << QList<qint64> {2} << QStringList {"new"};
        QTest::newRow("later of equal versions")
            << QList<ORVPlaylist> {playlist(2, 6, {}, "first"), playlist(2, 6, {}, "second")} << QList<qint64> {2}
            << QStringList {"second"};
        QTest::newRow("tombstone wins") << QList<ORVPlaylist> {playlist(3, 9), playlist(4, 1)} << QList<qint64> {4}
                                        << QStringList {"list4"};
    }
    void serverListReplacesTheOwnersPlaylists()
    {
        QFETCH(QList<ORVPlaylist>, server);
        QFETCH(QList<qint64>, expectedIds);
        QFETCH(QStringList, expectedNames);
        StoreFixture f;
        LocalWordStore &store = f.open();
        for (qint64 id : {1, 2, 3})
            store.upsertPlaylist(playlist(id, 1, {item(id * 10, 1), item(id * 10 + 1, 2)}), ownerA);
        store.upsertPlaylist(playlist(1, 1, {item(5, 1)}), ownerB);
        store.tombstonePlaylist(ownerA, 3);
        store.upsertPlaylist(playlist(3, 9, {item(1, 1)}), ownerA); // the tombstone wins here too

        store.replaceAllPlaylists(server, ownerA, f.clock->now());
        const QList<ORVPlaylist> fetched = store.fetchPlaylists(ownerA);
        QCOMPARE(ids(fetched), expectedIds);
        QStringList names;
        for (const ORVPlaylist &p : fetched)
            names.append(p.name);
        QCOMPARE(names, expectedNames);
        // The server's playlists come without items; no item of the owner is left.
        QCOMPARE(f.raw()
                     .value(QStringLiteral("SELECT count(*) FROM StoredPlaylistItem WHERE ownerKey = ?"), {ownerA})
                     .toInt(),
            0);
        QCOMPARE(f.raw().value(QStringLiteral("SELECT deletionState FROM StoredPlaylist WHERE ownerKey = ? AND id = 3"),
                     {ownerA}),
            ids(server).contains(3) ? "PENDING_DELETE" : "DELETE_ACKNOWLEDGED");
        QCOMPARE(ids(store.fetchPlaylists(ownerB)), QList<qint64> {1});
    }

    void failedWriteLeavesNothingBehind_data()
    {
        QTest::addColumn<std::function<void(LocalWordStore &)>>("write");
        QTest::newRow("lexicon save") << std::function([](LocalWordStore &s) {
            s.savePrivateLexicons({lexicon(7, "new", 1), lexicon(1, "renamed", 1), lexicon(2, "boom", 1)}, ownerA);
        });
        QTest::newRow("playlist write") << std::function([](LocalWordStore &s) {
            s.upsertPlaylist(playlist(1, 2, {item(1, 1), item(2, 2, "boom")}), ownerA);
        });
        QTest::newRow("server list") << std::function([](LocalWordStore &s) {
            s.replaceAllPlaylists({playlist(5, 1, {item(1, 1)}), playlist(1, 3, {item(2, 1, "boom")})}, ownerA,
                QDateTime::currentDateTimeUtc());
        });
        QTest::newRow("local delete") << std::function([](LocalWordStore &s) { s.tombstonePlaylist(ownerA, 1); });
    }
    void failedWriteLeavesNothingBehind()
    {
        QFETCH(std::function<void(LocalWordStore &)>, write);
        StoreFixture f;
        LocalWordStore &store = f.open();
        store.savePrivateLexicons({lexicon(1, "one", 1)}, ownerA);
        store.upsertPlaylist(playlist(1, 1, {item(1, 1)}), ownerA);
        store.upsertPlaylist(playlist(2, 1, {item(1, 1)}), ownerA);
        const QStringList before = f.raw().dump(ownerA);
        f.raw().exec(QStringLiteral("CREATE TRIGGER failLexicon BEFORE INSERT ON StoredLexicon WHEN NEW.name = 'boom' "
                                    "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
        f.raw().exec(QStringLiteral("CREATE TRIGGER failItem BEFORE INSERT ON StoredPlaylistItem "
                                    "WHEN NEW.wordDisplay = 'boom' BEGIN SELECT RAISE(ABORT, 'refused'); END"));
        f.raw().exec(QStringLiteral("CREATE TRIGGER failQueue BEFORE INSERT ON PendingPlaylistOperation "
                                    "BEGIN SELECT RAISE(ABORT, 'refused'); END"));

        QVERIFY_THROWS_EXCEPTION(LocalStoreDatabaseError, write(store));
        // A later, unrelated write commits only itself.
        store.savePrivateLexicons({lexicon(9, "other", 1)}, ownerB);
        QCOMPARE(f.raw().dump(ownerA), before);
    }
};

TALVORO_TEST(StoreRecordsTest)
#include "tst_storerecords.moc"
