#include "PlaylistTesting.h"
#include "TestRegistry.h"

#include "Playlists/PlaylistListModel.h"

#include <QAbstractItemModelTester>
#include <QTest>

using namespace playlisttesting;

class PlaylistListTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Every playlist screen needs a signed-in user with an id, a name and an
    // environment key before it touches the store.
    void partitionGuards_data()
    {
        QTest::addColumn<qint64>("userId");
        QTest::addColumn<QString>("username");
        QTest::addColumn<bool>("withEnvironment");
        QTest::addColumn<bool>("prepared");
        QTest::newRow("signed in") << qint64(7) << QStringLiteral("alice") << true << true;
        QTest::newRow("id 0") << qint64(0) << QStringLiteral("alice") << true << false;
        QTest::newRow("name of spaces") << qint64(7) << QStringLiteral(" \n ") << true << false;
        QTest::newRow("no base URL") << qint64(7) << QStringLiteral("alice") << false << false;
    }
    void partitionGuards()
    {
        QFETCH(qint64, userId);
        QFETCH(QString, username);
        QFETCH(bool, withEnvironment);
        QFETCH(bool, prepared);
        PlaylistFixture f;
        StoredSession stored = f.sessions.storedSession(3600000, 86400000);
        stored.user = {userId, username};
        SessionFixture sessions;
        sessions.putStored(stored);
        awaitResult(sessions.session->restoreSession());
        PlaylistServices services = f.services();
        services.session = sessions.session.get();
        if (!withEnvironment)
            services.environmentKey.reset();
        QCOMPARE(services.currentOwnerKey().has_value(), prepared);
        if (!prepared) {
            QVERIFY_THROWS_EXCEPTION(LocalWordStoreError, services.preparePlaylistPartition());
            return;
        }
        QCOMPARE(services.preparePlaylistPartition(), f.owner);
    }

    // "创建" trims spaces and tabs only; the creation itself trims line breaks too,
    // so a name of line breaks enables the button and then does nothing.
    void createTrimRules_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("sent");
        QTest::newRow("spaces") << QStringLiteral("   ") << false << QString();
        QTest::newRow("tab") << QStringLiteral("\t") << false << QString();
        QTest::newRow("line breaks") << QStringLiteral("\n\n") << true << QString();
        QTest::newRow("padded") << QStringLiteral("  通勤听词 \n") << true << QStringLiteral("通勤听词");
    }
    void createTrimRules()
    {
        QFETCH(QString, typed);
        QFETCH(bool, enabled);
        QFETCH(QString, sent);
        PlaylistFixture f;
        f.answerWrites("POST", playlistsPath, 21, 1);
        PlaylistListModel model(f.services());
        const QAbstractItemModelTester tester(model.playlistRows(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setShowCreateSheet(true);
        model.setNewPlaylistName(typed);
        QCOMPARE(model.canCreate(), enabled);
        awaitResult(model.createPlaylist());
        const auto posts = f.sent("POST", playlistsPath);
        QCOMPARE(posts.size(), sent.isEmpty() ? 0 : 1);
        if (sent.isEmpty()) {
            QVERIFY(model.showCreateSheet());
            QVERIFY(!model.operationMessage());
            return;
        }
        const QJsonObject body = bodyOf(posts[0]);
        QCOMPARE(body[QStringLiteral("name")].toString(), sent);
        QCOMPARE(body[QStringLiteral("loopMode")].toString(), QStringLiteral("ONCE"));
        QVERIFY(!body.contains(QStringLiteral("loopCount")));
        QVERIFY(body[QStringLiteral("items")].toArray().isEmpty());
        QVERIFY(!model.showCreateSheet());
        QCOMPARE(model.newPlaylistName(), QString());
        QCOMPARE(model.playlists().size(), 1);
        QVERIFY(!model.operationMessage());
    }

    // A second press while the server is asked sends nothing; a failed request keeps
    // the sheet and the name.
    void createWhileCreatingAndFailure()
    {
        PlaylistFixture f;
        f.server().route("POST", playlistsPath,
            ScriptedResponse::heldBack(ScriptedResponse::json(500, errorAnswer(QStringLiteral("INTERNAL")))));
        PlaylistListModel model(f.services());
        const QAbstractItemModelTester tester(model.playlistRows(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setShowCreateSheet(true);
        model.setNewPlaylistName(QStringLiteral("晨读"));
        auto first = startAwaiting(model.createPlaylist());
        QTRY_COMPARE(f.server().heldCount(), 1);
        QVERIFY(model.isCreating());
        QVERIFY(!model.canCreate());
        awaitResult(model.createPlaylist());
        f.server().releaseHeld(0);
        QTRY_VERIFY(first->finished);
        QCOMPARE(f.sent("POST", playlistsPath).size(), 1);
        QVERIFY(model.showCreateSheet());
        QCOMPARE(model.newPlaylistName(), QStringLiteral("晨读"));
        QCOMPARE(model.operationTitle(), QStringLiteral("操作失败"));
        QVERIFY(model.operationMessageText().startsWith(QStringLiteral("创建播放列表失败：")));
    }

    // The server made the playlist but the device could not keep it: the sheet
    // closes so that a retry cannot make a second one, and a forced sync follows.
    void createdOnServerButNotStored()
    {
        PlaylistFixture f;
        f.answerWrites("POST", playlistsPath, 21, 1);
        f.store.failUpsert = true;
        f.sync.onSync = [&f] { f.realStore.upsertPlaylist(playlist(21, QStringLiteral("晨读")), f.owner); };
        PlaylistListModel model(f.services());
        const QAbstractItemModelTester tester(model.playlistRows(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setShowCreateSheet(true);
        model.setNewPlaylistName(QStringLiteral("晨读"));
        awaitResult(model.createPlaylist());
        QVERIFY(!model.showCreateSheet());
        QCOMPARE(model.newPlaylistName(), QString());
        QCOMPARE(model.operationMessageText(),
            QStringLiteral("播放列表已在云端创建，但本机保存失败：本地数据暂不可用，请重新启动应用后重试"));
        QTRY_COMPARE(model.playlists().size(), 1);
        QCOMPARE(f.sync.forceFlags, QList<bool> {true});
    }

    // The load's message: failed deletions first, the offline notice only for a pull.
    void loadMessages_data()
    {
        QTest::addColumn<bool>("deletionFailed");
        QTest::addColumn<bool>("syncFailed");
        QTest::addColumn<bool>("pulled");
        QTest::addColumn<QString>("title");
        QTest::newRow("both, pulled") << true << true << true << QStringLiteral("已从本机删除");
        QTest::newRow("sync failed, pulled") << false << true << true << QStringLiteral("当前处于离线状态");
        QTest::newRow("sync failed, appeared") << false << true << false << QString();
        QTest::newRow("deletion failed, appeared") << true << false << false << QStringLiteral("已从本机删除");
        QTest::newRow("all well") << false << false << true << QString();
    }
    void loadMessages()
    {
        QFETCH(bool, deletionFailed);
        QFETCH(bool, syncFailed);
        QFETCH(bool, pulled);
        QFETCH(QString, title);
        PlaylistFixture f;
        f.realStore.upsertPlaylist(playlist(1, QStringLiteral("通勤")), f.owner);
        if (deletionFailed)
            f.sync.report.deletionRetry.failures = {{4, QStringLiteral("失败")}};
        if (syncFailed)
            f.sync.report.synchronizationErrorDescription = QStringLiteral("网络连接已中断");
        PlaylistListModel model(f.services());
        const QAbstractItemModelTester tester(model.playlistRows(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        awaitResult(model.loadPlaylists(pulled, pulled));
        QCOMPARE(f.sync.forceFlags, QList<bool> {pulled});
        QCOMPARE(model.operationTitle(), title);
        if (title == QStringLiteral("当前处于离线状态")) {
            QCOMPARE(model.operationMessageText(),
                QStringLiteral("已显示本地数据。请在网络恢复后下拉刷新；原因：网络连接已中断"));
        }
        QCOMPARE(model.playlists().size(), 1);
        QVERIFY(!model.isLoading());
    }

    // The device's rows show before the sync ends; a reload over rows keeps them.
    void loadShowsLocalRowsFirst()
    {
        PlaylistFixture f;
        f.realStore.upsertPlaylist(playlist(1, QStringLiteral("通勤")), f.owner);
        f.sync.hold = true;
        f.sync.onSync = [&f] { f.realStore.upsertPlaylist(playlist(2, QStringLiteral("睡前")), f.owner); };
        PlaylistListModel model(f.services());
        const QAbstractItemModelTester tester(model.playlistRows(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        auto load = startAwaiting(model.loadPlaylists(false, false));
        QCOMPARE(model.playlists().size(), 1);
        QVERIFY(model.isLoading());
        f.sync.gates[0]->open();
        QTRY_VERIFY(load->finished);
        QCOMPARE(model.playlists().size(), 2);
        QCOMPARE(model.playlists()[0].id, 2);
        QVERIFY(!model.isLoading());
    }

    // The progress shows only for a list that was empty when the load began: a
    // list whose rows are gone from the device shows its empty state at once.
    void progressOnlyOverAnEmptyList_data()
    {
        QTest::addColumn<bool>("rowsBefore");
        QTest::addColumn<bool>("rowsRead");
        QTest::addColumn<bool>("loading");
        QTest::newRow("empty, nothing stored") << false << false << true;
        QTest::newRow("rows, all gone") << true << false << false;
        QTest::newRow("rows, still there") << true << true << false;
    }
    void progressOnlyOverAnEmptyList()
    {
        QFETCH(bool, rowsBefore);
        QFETCH(bool, rowsRead);
        QFETCH(bool, loading);
        PlaylistFixture f;
        PlaylistListModel model(f.services());
        if (rowsBefore) {
            f.realStore.upsertPlaylist(playlist(1, QStringLiteral("通勤")), f.owner);
            awaitResult(model.loadPlaylists(false, false));
            if (!rowsRead)
                f.realStore.tombstonePlaylist(f.owner, 1);
        }
        f.sync.hold = true;
        auto load = startAwaiting(model.loadPlaylists(false, false));
        QCOMPARE(model.playlists().isEmpty(), !rowsRead);
        QCOMPARE(model.isLoading(), loading);
        f.sync.gates.last()->open();
        QTRY_VERIFY(load->finished);
        QVERIFY(!model.isLoading());
    }

    // The app coming back to the foreground while a pull waits for the server starts
    // a load of its own; the pull still says why nothing new came.
    void aPullOvertakenKeepsItsOfflineNotice_data()
    {
        QTest::addColumn<bool>("pullEndsFirst");
        QTest::newRow("pull ends first") << true;
        QTest::newRow("reload ends first") << false;
    }
    void aPullOvertakenKeepsItsOfflineNotice()
    {
        QFETCH(bool, pullEndsFirst);
        PlaylistFixture f;
        f.realStore.upsertPlaylist(playlist(1, QStringLiteral("通勤")), f.owner);
        f.sync.report.synchronizationErrorDescription = QStringLiteral("网络连接已中断");
        PlaylistListModel model(f.services());
        f.sync.hold = true;
        auto pull = startAwaiting(model.loadPlaylists(true, true));
        auto reload = startAwaiting(model.loadPlaylists(false, false));
        QCOMPARE(f.sync.gates.size(), 2);
        f.sync.gates[pullEndsFirst ? 0 : 1]->open();
        f.sync.gates[pullEndsFirst ? 1 : 0]->open();
        QTRY_VERIFY(pull->finished && reload->finished);
        QCOMPARE(model.operationTitle(), QStringLiteral("当前处于离线状态"));
        QCOMPARE(model.playlists().size(), 1);
        QVERIFY(!model.isLoading());
    }

    void loadWithoutPartition()
    {
        PlaylistFixture f;
        PlaylistListModel model(f.services());
        const QAbstractItemModelTester tester(model.playlistRows(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        f.sessions.session->logout();
        awaitResult(model.loadPlaylists(false, false));
        QCOMPARE(model.operationMessageText(), QStringLiteral("当前登录账号无效，请重新登录后重试"));
        QVERIFY(f.sync.forceFlags.isEmpty());
    }

    // A swipe deletes here at once, reports names it could not delete, and reports
    // the cloud deletions still pending after the immediate try.
    void swipeDelete()
    {
        PlaylistFixture f;
        for (qint64 id : {1, 2, 3})
            f.realStore.upsertPlaylist(playlist(id, QStringLiteral("列表%1").arg(id)), f.owner);
        PlaylistListModel model(f.services());
        const QAbstractItemModelTester tester(model.playlistRows(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        awaitResult(model.loadPlaylists(false, false));
        f.store.failTombstoneOf = {3};
        f.sync.drainReport.failures = {{2, QStringLiteral("失败")}};
        model.deletePlaylists({1, 0});
        QCOMPARE(model.playlists().size(), 2);
        QCOMPARE(model.playlists()[0].id, 3);
        QCOMPARE(model.playlists()[1].id, 1);
        QCOMPARE(model.operationTitle(), QStringLiteral("部分播放列表删除失败"));
        QCOMPARE(model.operationMessageText(), QStringLiteral("以下项目未从本机移除：列表3。请稍后重试。"));
        QTRY_COMPARE(model.operationTitle(), QStringLiteral("已从本机删除"));
        QCOMPARE(f.sync.drains, 1);
        QCOMPARE(f.realStore.fetchPlaylists(f.owner).size(), 2);

        // Nothing deleted: no cloud try.
        f.store.failTombstone = true;
        model.deletePlaylist(1);
        QTRY_COMPARE(model.operationTitle(), QStringLiteral("部分播放列表删除失败"));
        QCOMPARE(f.sync.drains, 1);
    }

    void detailDeletionReport()
    {
        PlaylistFixture f;
        f.realStore.upsertPlaylist(playlist(1, QStringLiteral("通勤")), f.owner);
        f.realStore.upsertPlaylist(playlist(2, QStringLiteral("睡前")), f.owner);
        PlaylistListModel model(f.services());
        const QAbstractItemModelTester tester(model.playlistRows(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        awaitResult(model.loadPlaylists(false, false));
        auto onDelete = model.detailDeletionCallback();
        f.realStore.tombstonePlaylist(f.owner, 2);
        onDelete(std::nullopt);
        QCOMPARE(model.playlists().size(), 1);
        QVERIFY(!model.operationMessage());
        onDelete(QStringLiteral("稍后重试"));
        QCOMPARE(model.operationTitle(), QStringLiteral("云端删除待同步"));
        QCOMPARE(model.operationMessageText(), QStringLiteral("稍后重试"));
    }

    // A tapped row opens the detail of that row's playlist, whose deletion reaches
    // this list; an id no row has opens an empty detail, and a list without a
    // factory opens nothing.
    void aRowOpensItsOwnDetail_data()
    {
        QTest::addColumn<qint64>("tapped");
        QTest::addColumn<QString>("shownName");
        QTest::newRow("first row") << qint64(1) << QStringLiteral("通勤");
        QTest::newRow("second row") << qint64(2) << QStringLiteral("睡前");
        QTest::newRow("no such row") << qint64(9) << QString();
    }
    void aRowOpensItsOwnDetail()
    {
        QFETCH(qint64, tapped);
        QFETCH(QString, shownName);
        PlaylistFixture f;
        f.realStore.upsertPlaylist(playlist(1, QStringLiteral("通勤")), f.owner);
        f.realStore.upsertPlaylist(playlist(2, QStringLiteral("睡前")), f.owner);
        std::optional<ORVPlaylist> opened;
        PlaylistListModel::DeletionCallback reportDeletion;
        QObject owner;
        const QObject *openedFor = nullptr;
        PlaylistListModel model(f.services(),
            [&](ORVPlaylist shown, PlaylistListModel::DeletionCallback onDelete, QObject *detailOwner) {
                opened = shown;
                reportDeletion = std::move(onDelete);
                openedFor = detailOwner;
                return nullptr;
            });
        awaitResult(model.loadPlaylists(false, false));
        QVERIFY(model.opensDetail());
        model.makePlaylistDetailModel(tapped, &owner);
        QVERIFY(opened);
        QCOMPARE(opened->name, shownName);
        QCOMPARE(openedFor, &owner);
        reportDeletion(QStringLiteral("稍后重试"));
        QCOMPARE(model.operationMessageText(), QStringLiteral("稍后重试"));

        PlaylistListModel withoutFactory(f.services());
        QVERIFY(!withoutFactory.opensDetail());
        QCOMPARE(withoutFactory.makePlaylistDetailModel(tapped, &owner), nullptr);
    }
};

TALVORO_TEST(PlaylistListTest)
#include "tst_playlistlist.moc"
