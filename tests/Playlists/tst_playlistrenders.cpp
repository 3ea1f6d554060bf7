#include "PlaylistTesting.h"
#include "ScreenRender.h"
#include "TestRegistry.h"

#include "Playlists/PlaylistDetailModel.h"
#include "Playlists/PlaylistListModel.h"
#include "Playlists/SelectOrCreatePlaylistModel.h"

#include <QQuickItem>
#include <QTest>

using namespace playlisttesting;
using namespace scenetest;

// Renders the playlist list, its create sheet, the playlist detail and the
// pick-or-create sheet in their main states, light and dark, into
// test-output/screens/; each state is checked by what it shows.
namespace {

ORVPlaylistItem wordItem(qint64 id, const char *text, const char *ipa, qint64 position)
{
    ORVPlaylistItem entry = item(id, QString::fromUtf8(text), position);
    if (qstrlen(ipa))
        entry.ipa = QString::fromUtf8(ipa);
    return entry;
}

ORVPlaylist morningReading()
{
    return playlist(3, QStringLiteral("晨读"),
        {wordItem(11, "abandon", "/əˈbændən/", 1), wordItem(12, "ability", "/əˈbɪləti/", 2),
            wordItem(13, "absorb", "/əbˈzɔːb/", 3), wordItem(14, "academic", "", 4),
            wordItem(15, "accelerate", "/əkˈseləreɪt/", 5)},
        2);
}

void storeThree(PlaylistFixture &f)
{
    f.realStore.upsertPlaylist(morningReading(), f.owner);
    f.realStore.upsertPlaylist(playlist(2, QStringLiteral("通勤听词"), {item(1, QStringLiteral("a"), 1)}), f.owner);
    f.realStore.upsertPlaylist(playlist(1, QStringLiteral("睡前磨耳朵")), f.owner);
}

// The visible items under `item` of the type `type` (a C++ class or a QML file).
void collectShown(QQuickItem *item, const char *type, QList<QQuickItem *> &found)
{
    if (!item->isVisible())
        return;
    if (item->inherits(type) || QByteArray(item->metaObject()->className()).startsWith(type))
        found.append(item);
    for (QQuickItem *child : item->childItems())
        collectShown(child, type, found);
}

qreal sceneY(const QQuickItem *item)
{
    return item->mapToScene(QPointF(0, 0)).y();
}

} // namespace

class PlaylistRenderTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { apply(looks[0]); }

    void listStates_data() { addLookRows({"content", "loading", "empty", "alert", "create"}); }
    void listStates()
    {
        QFETCH(QString, state);
        QFETCH(int, look);
        apply(looks[look]);
        PlaylistFixture f;
        if (state != "empty" && state != "loading")
            storeThree(f);
        if (state == "loading")
            f.sync.hold = true;
        PlaylistListModel model(f.services());
        Screen screen;
        QVERIFY(screen.show(&model,
            "NavStack { anchors.fill: parent; initialPage: Component { PlaylistListView { model: screenModel } } }"));
        if (state == "loading") {
            QTRY_COMPARE(f.sync.gates.size(), 1);
        } else {
            QTRY_VERIFY(!model.isLoading());
        }
        if (state == "alert") {
            f.sync.report.synchronizationErrorDescription = QStringLiteral("无法连接服务器");
            awaitResult(model.loadPlaylists(true, true));
        }
        if (state == "create") {
            model.setShowCreateSheet(true);
            model.setNewPlaylistName(QStringLiteral("通勤听词"));
        }
        screen.save(QStringLiteral("playlist-list-%1-%2").arg(state, QString::fromLatin1(looks[look].suffix)));
        QCOMPARE(screen.isShown("playlistList.loading"), state == "loading");
        QCOMPARE(screen.isShown("playlistList.empty"), state == "empty");
        QCOMPARE(model.operationTitle(), state == "alert" ? QStringLiteral("当前处于离线状态") : QString());
        QCOMPARE(screen.isShown("playlistCreate.submit"), state == "create");
        if (state == "content")
            QCOMPARE(screen.text("playlistList.count.0"), QStringLiteral("5 个词汇"));
        if (state == "loading")
            f.sync.gates[0]->open();
    }

    void detailStates_data() { addLookRows({"content", "removing", "confirm", "message"}); }
    void detailStates()
    {
        QFETCH(QString, state);
        QFETCH(int, look);
        apply(looks[look]);
        PlaylistFixture f;
        f.realStore.upsertPlaylist(morningReading(), f.owner);
        f.server().route("PUT", QStringLiteral("/api/v1/user/playlists/3"),
            ScriptedResponse::heldBack(ScriptedResponse::json(409, errorAnswer(QStringLiteral("DATA_CONFLICT")))));
        GlobalPlaybackSession playback([] { return std::unique_ptr<PlaybackViewModel>(); },
            [](const QString &, const TTSVoice &) { return false; });
        PlaylistDetailModel model(morningReading(), {}, f.services(), playback);
        Screen screen;
        QVERIFY(screen.show(&model,
            "NavStack { anchors.fill: parent; initialPage: Component { PlaylistDetailView { model: screenModel } } }"));
        std::shared_ptr<Outcome<void>> removal;
        if (state == "removing") {
            removal = startAwaiting(model.removeItem(QStringLiteral("12_2")));
            QTRY_COMPARE(f.server().heldCount(), 1);
        }
        if (state == "confirm")
            model.confirmRemoveItem(QStringLiteral("13_3"));
        if (state == "message") {
            f.sync.report.synchronizationErrorDescription = QStringLiteral("无法连接服务器");
            removal = startAwaiting(model.removeItem(QStringLiteral("12_2")));
            QTRY_COMPARE(f.server().heldCount(), 1);
            f.server().releaseHeld(0);
            QTRY_VERIFY(removal->finished);
        }
        screen.save(QStringLiteral("playlist-detail-%1-%2").arg(state, QString::fromLatin1(looks[look].suffix)));
        // The list's header is built by the list view, away from the page's own
        // context: it must still be drawn.
        QVERIFY(shownTexts(screen.window).contains(QStringLiteral("包含单词")));
        QCOMPARE(screen.isShown("playlistDetail.removing.1"), state == "removing");
        QCOMPARE(model.alertKind(),
            state == "confirm"       ? PlaylistDetailModel::AlertKind::DeleteItem
                : state == "message" ? PlaylistDetailModel::AlertKind::Message
                                     : PlaylistDetailModel::AlertKind::None);
        if (state == "message")
            QCOMPARE(model.alertMessage(), QStringLiteral("播放列表已在其他设备修改，暂未能刷新：无法连接服务器"));
        if (state == "removing") {
            f.server().releaseHeld(0);
            QTRY_VERIFY(removal->finished);
        }
    }

    void pickerStates_data() { addLookRows({"loading", "content", "empty"}); }
    void pickerStates()
    {
        QFETCH(QString, state);
        QFETCH(int, look);
        apply(looks[look]);
        PlaylistFixture f;
        if (state == "content") {
            storeThree(f);
            f.server().route("PUT", QStringLiteral("/api/v1/user/playlists/2"), [](const RecordedRequest &request) {
                return ScriptedResponse::json(200, envelope(answerFor(request, 2, 2)));
            });
        }
        if (state == "loading")
            f.sync.hold = true;
        if (state == "empty")
            f.sessions.session->logout();
        QList<ORVWord> words;
        for (qint64 id = 11; id <= 15; ++id)
            words.append(word(id, QStringLiteral("w%1").arg(id)));
        SelectOrCreatePlaylistModel model(words, {}, f.services());
        Screen screen;
        QVERIFY(screen.show(&model,
            "Sheet { presented: true; page: Component { SelectOrCreatePlaylistSheet { model: screenModel } } }"));
        if (state == "loading") {
            QTRY_COMPARE(f.sync.gates.size(), 1);
        } else {
            QTRY_VERIFY(!model.isLoading());
        }
        if (state == "content") {
            awaitResult(model.appendToPlaylist(model.playlists()[1]));
            model.setNewPlaylistName(QStringLiteral("高频听词"));
        }
        screen.save(QStringLiteral("playlist-picker-%1-%2").arg(state, QString::fromLatin1(looks[look].suffix)));
        QCOMPARE(screen.text("playlistPicker.count"), QStringLiteral("当前已选中 5 个词汇"));
        QCOMPARE(screen.isShown("playlistPicker.loading"), state == "loading");
        QCOMPARE(screen.isShown("playlistPicker.empty"), state == "empty");
        // The name field shows the whole example it gives while empty.
        QList<QQuickItem *> texts;
        collectShown(screen.window->contentItem(), "QQuickText", texts);
        for (QQuickItem *text : texts) {
            if (text->property("text") == QStringLiteral("新列表名称 (如: 高频听词)"))
                QVERIFY2(!text->property("truncated").toBool(), "the example name is cut");
        }
        if (state == "content") {
            // A separator under each row but the last, between it and the next.
            QList<QQuickItem *> separators;
            collectShown(screen.window->contentItem(), "ORVListRowSeparatorModifier", separators);
            QCOMPARE(separators.size(), 2);
            for (int i = 0; i < 2; ++i) {
                const qreal y = sceneY(separators[i]);
                QVERIFY(y > sceneY(screen.item(QByteArray("playlistPicker.row.") + QByteArray::number(i))));
                QVERIFY(y < sceneY(screen.item(QByteArray("playlistPicker.row.") + QByteArray::number(i + 1))));
            }
            QVERIFY(screen.isShown("playlistPicker.added.1"));
            QVERIFY(screen.isShown("playlistPicker.add.0"));
            QCOMPARE(screen.text("playlistPicker.toast"), QStringLiteral("已成功将 5 个词汇追加保存到“通勤听词”！"));
        }
        if (state == "empty")
            QCOMPARE(screen.text("playlistPicker.error"),
                QStringLiteral("播放列表本地数据加载失败：当前账号标识无效，无法安全读写本地数据"));
        if (state == "loading")
            f.sync.gates[0]->open();
    }
};

TALVORO_TEST(PlaylistRenderTest)
#include "tst_playlistrenders.moc"
