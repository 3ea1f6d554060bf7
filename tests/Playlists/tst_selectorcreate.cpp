#include "PlaylistTesting.h"
#include "TestRegistry.h"

#include "Playlists/SelectOrCreatePlaylistModel.h"

#include <QAbstractItemModelTester>
#include <QTest>

using namespace playlisttesting;

namespace {

const QString path5 = QStringLiteral("/api/v1/user/playlists/5");

QList<ORVWord> selection(std::initializer_list<qint64> ids)
{
    QList<ORVWord> words;
    for (qint64 id : ids)
        words.append(word(id, QStringLiteral("w%1").arg(id)));
    return words;
}

// The sheet over the fixture, counting onAdded calls and what the store held at each.
struct Sheet {
    PlaylistFixture &f;
    int added = 0;
    QList<int> storedAtAdded;
    std::unique_ptr<SelectOrCreatePlaylistModel> model;
    std::unique_ptr<QAbstractItemModelTester> tester;

    Sheet(PlaylistFixture &fixture, QList<ORVWord> words)
        : f(fixture)
    {
        model = std::make_unique<SelectOrCreatePlaylistModel>(
            std::move(words),
            [this] {
                ++added;
                storedAtAdded.append(int(f.realStore.fetchPlaylists(f.owner).size()));
            },
            f.services());
        tester = std::make_unique<QAbstractItemModelTester>(
            model->playlistRows(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    }
};

} // namespace

class SelectOrCreatePlaylistTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The new playlist holds the selection as given, duplicates included; the
    // opener hears of it once the store holds it.
    void createAndAdd()
    {
        PlaylistFixture f;
        f.answerWrites("POST", playlistsPath, 21, 1);
        Sheet s(f, selection({11, 12, 11}));
        QCOMPARE(s.model->selectedCount(), 3);
        s.model->setNewPlaylistName(QStringLiteral(" 晨读\n"));
        awaitResult(s.model->createAndAdd());
        const auto posts = f.sent("POST", playlistsPath);
        QCOMPARE(posts.size(), 1);
        QCOMPARE(bodyOf(posts[0])[QStringLiteral("name")].toString(), QStringLiteral("晨读"));
        QCOMPARE(wordIdsSent(posts[0]), (QList<qint64> {11, 12, 11}));
        QCOMPARE(positionsSent(posts[0]), (QList<qint64> {1, 2, 3}));
        QCOMPARE(s.model->toastTextValue(), QStringLiteral("列表“晨读”创建并保存成功！可继续添加其他列表"));
        QCOMPARE(s.model->errorMessage(), std::nullopt);
        QCOMPARE(s.model->newPlaylistName(), QString());
        QCOMPARE(s.storedAtAdded, QList<int> {1});
        QVERIFY(s.model->addedPlaylistIds().contains(21));
        QVERIFY(!s.model->isSubmitting());
    }

    // The button wants a name once spaces and tabs are trimmed; the write trims
    // line breaks too, so a name of line breaks sends nothing.
    void nameRules_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("posts");
        QTest::newRow("spaces") << QStringLiteral("  \t ") << false << 0;
        QTest::newRow("line breaks") << QStringLiteral("\n") << true << 0;
        QTest::newRow("a name") << QStringLiteral("晨读") << true << 1;
    }
    void nameRules()
    {
        QFETCH(QString, typed);
        QFETCH(bool, enabled);
        QFETCH(int, posts);
        PlaylistFixture f;
        f.answerWrites("POST", playlistsPath, 21, 1);
        Sheet s(f, selection({1}));
        s.model->setNewPlaylistName(typed);
        QCOMPARE(s.model->canCreate(), enabled);
        awaitResult(s.model->createAndAdd());
        QCOMPARE(f.sent("POST", playlistsPath).size(), posts);
        QCOMPARE(s.added, posts);
    }

    // Appending renumbers the stored items and adds each new word once, last.
    void appendRenumbersAndDeduplicates()
    {
        PlaylistFixture f;
        f.answerWrites("PUT", path5, 5, 8);
        const ORVPlaylist stored = playlist(5, QStringLiteral("晨读"),
            {item(1, QStringLiteral("w1"), 1), item(2, QStringLiteral("w2"), 2), item(3, QStringLiteral("w3"), 5)}, 7);
        f.realStore.upsertPlaylist(stored, f.owner);
        Sheet s(f, selection({2, 20, 21, 20}));
        awaitResult(s.model->appendToPlaylist(stored));
        const auto puts = f.sent("PUT", path5);
        QCOMPARE(puts.size(), 1);
        QCOMPARE(wordIdsSent(puts[0]), (QList<qint64> {1, 2, 3, 20, 21}));
        QCOMPARE(positionsSent(puts[0]), (QList<qint64> {1, 2, 3, 4, 5}));
        QCOMPARE(bodyOf(puts[0])[QStringLiteral("baseVersion")].toInteger(), 7);
        QCOMPARE(s.model->toastTextValue(), QStringLiteral("已成功将 2 个词汇追加保存到“晨读”！"));
        QCOMPARE(s.added, 1);
        QCOMPARE(s.model->playlists()[0].items.size(), 5);

        // Everything present now: a toast, no request, no call.
        awaitResult(s.model->appendToPlaylist(s.model->playlists()[0]));
        QCOMPARE(f.sent("PUT", path5).size(), 1);
        QCOMPARE(s.model->toastTextValue(), QStringLiteral("所选词汇已全部存在于“晨读”"));
        QCOMPARE(s.added, 1);
    }

    void writeFailures_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("conflict") << 409 << QStringLiteral("播放列表已在其他设备修改，请刷新后重试");
        QTest::newRow("refused twice") << 401
                                       << QStringLiteral("追加词汇失败：")
                + MobileAPIError::unauthorized().description();
    }
    void writeFailures()
    {
        QFETCH(int, status);
        QFETCH(QString, message);
        PlaylistFixture f;
        f.server().route(
            "POST", refreshPath, ScriptedResponse::json(200, tokenAnswer(QStringLiteral("A2"), QStringLiteral("R2"))));
        f.server().route("PUT", path5, ScriptedResponse::json(status, errorAnswer(QStringLiteral("X"))));
        const ORVPlaylist stored = playlist(5, QStringLiteral("晨读"), {}, 7);
        f.realStore.upsertPlaylist(stored, f.owner);
        Sheet s(f, selection({1}));
        awaitResult(s.model->appendToPlaylist(stored));
        QCOMPARE(s.model->errorMessageText(), message);
        QCOMPARE(s.added, 0);
        QVERIFY(s.model->addedPlaylistIds().isEmpty());
    }

    // A press while a write runs sends nothing more.
    void oneWriteAtATime()
    {
        PlaylistFixture f;
        f.server().route("POST", playlistsPath, [](const RecordedRequest &request) {
            return ScriptedResponse::heldBack(ScriptedResponse::json(200, envelope(answerFor(request, 21, 1))));
        });
        Sheet s(f, selection({1}));
        s.model->setNewPlaylistName(QStringLiteral("晨读"));
        auto first = startAwaiting(s.model->createAndAdd());
        QTRY_COMPARE(f.server().heldCount(), 1);
        QVERIFY(s.model->isSubmitting());
        QVERIFY(!s.model->canCreate());
        awaitResult(s.model->createAndAdd());
        awaitResult(s.model->appendToPlaylist(playlist(5, QStringLiteral("睡前"))));
        f.server().releaseHeld(0);
        QTRY_VERIFY(first->finished);
        QCOMPARE(f.server().requestCount(), 1);
        QCOMPARE(s.added, 1);
    }

    // The server made the playlist but the device could not keep it: the name goes
    // (a retry would make a second one), and the forced sync brings it down.
    void createdOnServerButNotStored()
    {
        PlaylistFixture f;
        f.answerWrites("POST", playlistsPath, 21, 1);
        f.store.failUpsert = true;
        f.sync.onSync = [&f] { f.realStore.upsertPlaylist(playlist(21, QStringLiteral("晨读")), f.owner); };
        Sheet s(f, selection({1}));
        s.model->setNewPlaylistName(QStringLiteral("晨读"));
        awaitResult(s.model->createAndAdd());
        QCOMPARE(s.model->newPlaylistName(), QString());
        QCOMPARE(s.model->errorMessageText(),
            QStringLiteral("播放列表已在云端创建，但本机保存失败：本地数据暂不可用，请重新启动应用后重试"));
        QCOMPARE(f.sync.forceFlags, QList<bool> {true});
        QCOMPARE(s.storedAtAdded, QList<int> {1});
        QVERIFY(s.model->addedPlaylistIds().contains(21));
    }

    // A write that ends after the sheet closed still reaches the store and the opener.
    void writeOutlivesSheet()
    {
        PlaylistFixture f;
        f.server().route("POST", playlistsPath, [](const RecordedRequest &request) {
            return ScriptedResponse::heldBack(ScriptedResponse::json(200, envelope(answerFor(request, 21, 1))));
        });
        Sheet s(f, selection({1, 2}));
        s.model->setNewPlaylistName(QStringLiteral("晨读"));
        auto write = startAwaiting(s.model->createAndAdd());
        QTRY_COMPARE(f.server().heldCount(), 1);
        s.model.reset();
        f.server().releaseHeld(0);
        QTRY_VERIFY(write->finished);
        QCOMPARE(s.storedAtAdded, QList<int> {1});
        QCOMPARE(f.realStore.fetchPlaylists(f.owner)[0].items.size(), 2);
    }

    // The spinner shows only over an empty list: a reload whose read finds the shown
    // rows gone shows the "nothing yet" text at once.
    void spinnerOnlyOverAnEmptyList_data()
    {
        QTest::addColumn<bool>("rowsBefore");
        QTest::addColumn<bool>("spinner");
        QTest::newRow("first load") << false << true;
        QTest::newRow("reload, rows gone") << true << false;
    }
    void spinnerOnlyOverAnEmptyList()
    {
        QFETCH(bool, rowsBefore);
        QFETCH(bool, spinner);
        PlaylistFixture f;
        Sheet s(f, selection({1}));
        if (rowsBefore) {
            f.realStore.upsertPlaylist(playlist(5, QStringLiteral("晨读")), f.owner);
            awaitResult(s.model->loadPlaylists());
            f.realStore.tombstonePlaylist(f.owner, 5);
        }
        f.sync.hold = true;
        auto load = startAwaiting(s.model->loadPlaylists());
        QVERIFY(s.model->playlists().isEmpty());
        QCOMPARE(s.model->isLoading(), spinner);
        f.sync.gates.last()->open();
        QTRY_VERIFY(load->finished);
        QVERIFY(!s.model->isLoading());
    }

    // The load's notes, deletion note first; a signed-out session keeps the local rows.
    void loadNotes()
    {
        PlaylistFixture f;
        f.realStore.upsertPlaylist(playlist(5, QStringLiteral("晨读")), f.owner);
        f.sync.report.deletionRetry.failures = {{4, QStringLiteral("失败")}};
        f.sync.report.synchronizationErrorDescription = QStringLiteral("网络连接已中断");
        Sheet s(f, selection({1}));
        awaitResult(s.model->loadPlaylists());
        QCOMPARE(s.model->errorMessageText(),
            QStringLiteral("部分云端删除尚未完成；请在联网后重新进入、回到前台或手动刷新以重试；"
                           "当前显示本地播放列表：网络连接已中断"));
        QCOMPARE(f.sync.forceFlags, QList<bool> {false});
        QCOMPARE(s.model->playlists().size(), 1);
    }
};

TALVORO_TEST(SelectOrCreatePlaylistTest)
#include "tst_selectorcreate.moc"
