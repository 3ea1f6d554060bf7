#include "JourneySteps.h"
#include "TestRegistry.h"

#include "App/HomeViewModel.h"
#include "Lexicons/PublicLexiconDetailModel.h"
#include "Playback/PlaybackViewModel.h"
#include "Playlists/PlaylistDetailModel.h"
#include "Playlists/PlaylistListModel.h"

#include <QJsonArray>
#include <QTest>

using namespace scenetest;

namespace {

const QString playlistsPath = QStringLiteral("/api/v1/user/playlists");

QJsonArray serverPlaylists(SceneDriver &scene, const QString &token)
{
    return scene.backend().call("GET", playlistsPath, token).data().toArray();
}

QJsonObject createOnServer(SceneDriver &scene, const QString &token, const QString &name, QList<qint64> wordIds)
{
    QJsonArray items;
    for (int i = 0; i < wordIds.size(); ++i)
        items.append(QJsonObject {{"wordId", wordIds[i]}, {"position", i + 1}, {"repeatCount", 1}});
    return scene.backend()
        .call("POST", playlistsPath, QJsonObject {{"name", name}, {"loopMode", "ONCE"}, {"items", items}}, token)
        .data()
        .toObject();
}

QList<qint64> firstLexiconWordIds(SceneDriver &scene, int count)
{
    const QJsonArray lexicons = scene.backend().call("GET", QStringLiteral("/api/v1/public/lexicons")).data().toArray();
    const qint64 id = lexicons.at(0)[QStringLiteral("id")].toInteger();
    const QJsonArray words = scene.backend()
                                 .call("GET", QStringLiteral("/api/v1/public/lexicons/%1").arg(id))
                                 .data()[QStringLiteral("words")]
                                 .toArray();
    QList<qint64> ids;
    for (int i = 0; i < count && i < words.size(); ++i)
        ids.append(words.at(i)[QStringLiteral("id")].toInteger());
    return ids;
}

// Drags a row to the left until its trailing swipe action shows.
void swipeLeft(SceneDriver &scene, const QString &objectName)
{
    settle();
    QQuickItem *row = scene.item(objectName);
    QVERIFY(row);
    const QPointF start = row->mapToScene(QPointF(row->width() - 30, row->height() / 2));
    drag(scene.window(), start, start - QPointF(180, 0));
    settle();
}

bool openPlaylists(SceneDriver &scene)
{
    auto *home = modelOf<talvoro::HomeViewModel>(scene, QStringLiteral("home.view"));
    const bool idle
        = home && scene.waitFor([home] { return home->loadPhase() == talvoro::HomeViewModel::HomeLoadPhase::idle; });
    settle();
    return idle && scene.waitForItem(QStringLiteral("home.playlistsCard.open"))
        && scene.press(QStringLiteral("home.playlistsCard.open")) && scene.waitForItem(QStringLiteral("playlistList"));
}

} // namespace

class PlaylistJourneyTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Skipped test by test: a skip in initTestCase would also silence the test
    // classes that run after this one in the same executable.
    void init()
    {
        if (!SceneDriver::available())
            QSKIP("needs the backend build and the test run's own Secret Service (scripts/test)");
    }

    // A public lexicon's words become a playlist through the sheet; home counts
    // it, the list and the detail show it, it plays through the app-wide session,
    // and removing a word and deleting it reach the backend.
    void fromLexiconToPlaylistAndBack()
    {
        SceneDriver scene;
        QVERIFY(scene.startBackend());
        QVERIFY(scene.signInToHome(demoUser, demoPassword));
        const QString token = backendToken(scene);
        QVERIFY(scene.waitForItem(QStringLiteral("home.publicLexicon.0")));
        auto *home = modelOf<talvoro::HomeViewModel>(scene, QStringLiteral("home.view"));
        QVERIFY(scene.waitFor([home] { return home->loadPhase() == talvoro::HomeViewModel::HomeLoadPhase::idle; }));
        settle();
        QVERIFY(scene.press(QStringLiteral("home.publicLexicon.0")));
        QVERIFY(scene.waitForItem(QStringLiteral("publicLexiconDetail")));
        auto *lexicon = modelOf<talvoro::PublicLexiconDetailModel>(scene, QStringLiteral("publicLexiconDetail"));
        QVERIFY(lexicon);
        QVERIFY(scene.waitFor([lexicon] { return lexicon->hasDetail() && !lexicon->loading(); }));
        const QList<talvoro::ORVWord> words = lexicon->selectedWords();
        QVERIFY(words.size() >= 2);

        QVERIFY(scene.press(QStringLiteral("publicLexiconDetail.addToPlaylist")));
        QVERIFY(scene.waitForItem(QStringLiteral("playlistPicker.name")));
        settle();
        QCOMPARE(textOf(scene.item(QStringLiteral("playlistPicker.count"))),
            QStringLiteral("当前已选中 %1 个词汇").arg(words.size()));
        QVERIFY(scene.type(QStringLiteral("playlistPicker.name"), QStringLiteral("晨读")));
        QVERIFY(scene.press(QStringLiteral("playlistPicker.create")));
        QVERIFY(scene.waitFor([&] {
            return textOf(scene.item(QStringLiteral("playlistPicker.toast")))
                == QStringLiteral("列表“晨读”创建并保存成功！可继续添加其他列表");
        }));
        QVERIFY(scene.waitForItem(QStringLiteral("playlistPicker.added.0")));
        QVERIFY(!scene.savePng(QStringLiteral("journey-playlist-picker")).isEmpty());
        QVERIFY(scene.press(QStringLiteral("playlistPicker.done")));
        QVERIFY(scene.waitForNoItem(QStringLiteral("playlistPicker.name")));

        goBack(scene);
        QVERIFY(scene.waitFor([&] {
            QQuickItem *card = scene.item(QStringLiteral("home.playlistsCard"));
            return card && card->property("subtitle").toString() == QStringLiteral("1 个列表");
        }));
        QVERIFY(openPlaylists(scene));
        QVERIFY(scene.waitForItem(QStringLiteral("playlistList.row.0")));
        QCOMPARE(textOf(scene.item(QStringLiteral("playlistList.row.0"))), QStringLiteral("晨读"));
        QCOMPARE(
            textOf(scene.item(QStringLiteral("playlistList.count.0"))), QStringLiteral("%1 个词汇").arg(words.size()));
        QVERIFY(!scene.savePng(QStringLiteral("journey-playlist-list")).isEmpty());

        QVERIFY(scene.press(QStringLiteral("playlistList.row.0")));
        QVERIFY(scene.waitForItem(QStringLiteral("playlistDetail.item.0")));
        settle();
        auto *detail = modelOf<talvoro::PlaylistDetailModel>(scene, QStringLiteral("playlistDetail"));
        QVERIFY(detail);
        QCOMPARE(detail->items().size(), words.size());
        for (int i = 0; i < words.size(); ++i)
            QCOMPARE(detail->items()[i].wordId, words[i].id);
        for (int i = 0; i < std::min<qsizetype>(words.size(), 5); ++i)
            QCOMPARE(textOf(scene.item(QStringLiteral("playlistDetail.item.%1").arg(i))), words[i].wordDisplay);
        QVERIFY(!scene.savePng(QStringLiteral("journey-playlist-detail")).isEmpty());

        // A clip played to its end moves the player on to the next unit.
        talvoro::GlobalPlaybackSession &playback = scene.application().container().playbackSession();
        QVERIFY(scene.press(QStringLiteral("playlistDetail.play")));
        QVERIFY(playback.context());
        QCOMPARE(playback.context()->playlistName, QStringLiteral("晨读"));
        QCOMPARE(playback.context()->words.size(), words.size());
        talvoro::PlaybackViewModel *player = playback.playbackViewModel();
        QVERIFY(player);
        QStringList played;
        QObject::connect(player, &talvoro::PlaybackViewModel::playbackStateChanged, player, [&] {
            if (player->playbackState() == talvoro::PlaybackState::playing)
                played.append(player->property("currentUnit").toString());
        });
        QVERIFY(scene.waitFor([&] { return played.size() >= 2; }, 40s));
        playback.reset();

        // Removing the first word reaches the backend.
        swipeLeft(scene, QStringLiteral("playlistDetail.item.0"));
        QVERIFY(scene.press(QStringLiteral("playlistDetail.remove.0")));
        QVERIFY(pressAlertAction(scene, QStringLiteral("移除")));
        QVERIFY(scene.waitFor([&] { return detail->items().size() == words.size() - 1 && !detail->isMutating(); }));
        QVERIFY(!detail->activeAlert());
        QJsonArray onServer = serverPlaylists(scene, token);
        QCOMPARE(onServer.size(), 1);
        QCOMPARE(onServer.at(0)[QStringLiteral("items")].toArray().size(), words.size() - 1);
        QCOMPARE(
            onServer.at(0)[QStringLiteral("items")].toArray().at(0)[QStringLiteral("wordId")].toInteger(), words[1].id);

        // Deleting it leaves the detail and reaches the backend.
        QVERIFY(scene.press(QStringLiteral("playlistDetail.delete")));
        QVERIFY(pressAlertAction(scene, QStringLiteral("删除")));
        QVERIFY(scene.waitForItem(QStringLiteral("playlistList.empty")));
        QVERIFY(scene.waitFor([&] { return serverPlaylists(scene, token).isEmpty(); }));
        QVERIFY(!scene.savePng(QStringLiteral("journey-playlist-deleted")).isEmpty());
    }

    // Offline, a deletion takes effect here at once and says the cloud part is
    // pending; once the backend is back, a pull to refresh sends it.
    void offlineDeletionIsSentLater()
    {
        SceneDriver scene;
        QVERIFY(scene.startBackend());
        const QString token = backendToken(scene);
        const QList<qint64> wordIds = firstLexiconWordIds(scene, 2);
        createOnServer(scene, token, QStringLiteral("通勤"), wordIds);
        createOnServer(scene, token, QStringLiteral("睡前"), wordIds);
        QVERIFY(scene.signInToHome(demoUser, demoPassword));
        QVERIFY(openPlaylists(scene));
        QVERIFY(scene.waitForItem(QStringLiteral("playlistList.row.1")));
        auto *list = modelOf<talvoro::PlaylistListModel>(scene, QStringLiteral("playlistList"));
        QVERIFY(list);
        QVERIFY(scene.waitFor([list] { return !list->isLoading(); }));
        const QString deleted = textOf(scene.item(QStringLiteral("playlistList.row.0")));

        scene.stopBackend();
        swipeLeft(scene, QStringLiteral("playlistList.row.0"));
        QVERIFY(scene.press(QStringLiteral("playlistList.delete.0")));
        QCOMPARE(list->playlists().size(), 1);
        QVERIFY(textOf(scene.item(QStringLiteral("playlistList.row.0"))) != deleted);
        QVERIFY(scene.waitFor([list] { return list->operationTitle() == QStringLiteral("已从本机删除"); }));
        QCOMPARE(list->operationMessageText(), talvoro::pendingCloudDeletionText);
        QVERIFY(!scene.savePng(QStringLiteral("journey-playlist-offline-deletion")).isEmpty());
        QVERIFY(pressAlertAction(scene, QStringLiteral("知道了")));

        QVERIFY(scene.startBackend());
        // The failed attempt waits out a short back-off: pulls before its end send
        // nothing, the first one after it sends the deletion.
        QVERIFY(scene.waitFor(
            [&] {
                settle();
                pullDown(scene.window());
                return scene.waitFor([list] { return !list->isLoading(); })
                    && serverPlaylists(scene, backendToken(scene)).size() == 1;
            },
            30s));
        QCOMPARE(list->playlists().size(), 1);
    }

    // A playlist changed on the server behind the screen's back: a removal meets
    // the version conflict and the detail shows the server's rows.
    void conflictShowsTheServersRows()
    {
        SceneDriver scene;
        QVERIFY(scene.startBackend());
        const QString token = backendToken(scene);
        const QList<qint64> wordIds = firstLexiconWordIds(scene, 3);
        const QJsonObject created = createOnServer(scene, token, QStringLiteral("冲突"), wordIds);
        QVERIFY(scene.signInToHome(demoUser, demoPassword));
        QVERIFY(openPlaylists(scene));
        QVERIFY(scene.waitForItem(QStringLiteral("playlistList.row.0")));
        QVERIFY(scene.press(QStringLiteral("playlistList.row.0")));
        QVERIFY(scene.waitForItem(QStringLiteral("playlistDetail.item.2")));
        auto *detail = modelOf<talvoro::PlaylistDetailModel>(scene, QStringLiteral("playlistDetail"));
        QVERIFY(detail);

        const qint64 id = created[QStringLiteral("id")].toInteger();
        const backendtest::Answer changed = scene.backend().call("PUT", playlistsPath + QStringLiteral("/%1").arg(id),
            QJsonObject {{"name", "冲突"}, {"loopMode", "ONCE"},
                {"items", QJsonArray {QJsonObject {{"wordId", wordIds[2]}, {"position", 1}, {"repeatCount", 1}}}},
                {"baseVersion", created[QStringLiteral("version")]}},
            token);
        QCOMPARE(changed.status, 200);

        swipeLeft(scene, QStringLiteral("playlistDetail.item.0"));
        QVERIFY(scene.press(QStringLiteral("playlistDetail.remove.0")));
        QVERIFY(pressAlertAction(scene, QStringLiteral("移除")));
        QVERIFY(scene.waitFor(
            [detail] { return detail->alertKind() == talvoro::PlaylistDetailModel::AlertKind::Message; }));
        QCOMPARE(detail->alertMessage(), QStringLiteral("播放列表已在其他设备修改，已刷新为最新内容，请重新操作"));
        QCOMPARE(detail->items().size(), 1);
        QCOMPARE(detail->items()[0].wordId, wordIds[2]);
        QVERIFY(!scene.savePng(QStringLiteral("journey-playlist-conflict")).isEmpty());
    }
};

TALVORO_TEST(PlaylistJourneyTest)
#include "tst_playlistjourneys.moc"
