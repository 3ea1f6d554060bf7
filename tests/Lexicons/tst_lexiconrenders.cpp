#include "LexiconTesting.h"
#include "ScreenRender.h"
#include "TestRegistry.h"

#include "Lexicons/UserLexiconDetailModel.h"
#include "Lexicons/UserLexiconListModel.h"
#include "Playback/PlaybackViewModel.h"

#include <QTest>

using namespace lexicontesting;
using namespace scenetest;

// Renders the private lexicon list with its create sheet and the lexicon detail in
// their main states, light and dark, into test-output/screens/; each state is
// checked by what it shows.
namespace {

ORVWord richWord(qint64 id, const char *text, const char *ipa, QList<QString> meanings, qint64 repeatCount = 1)
{
    ORVWord w = word(id, QString::fromUtf8(text));
    if (qstrlen(ipa))
        w.ipa = QString::fromUtf8(ipa);
    w.translationsZh = std::move(meanings);
    w.repeatCount = repeatCount;
    return w;
}

QList<ORVWord> servedWords()
{
    return {richWord(1, "abandon", "/əˈbændən/", {QStringLiteral("放弃"), QStringLiteral("抛弃")}, 3),
        richWord(2, "ability", "/əˈbɪləti/", {QStringLiteral("能力")}),
        richWord(3, "absorb", "", {QStringLiteral("吸收"), QStringLiteral("理解")}),
        richWord(4, "academic", "/ˌækəˈdemɪk/", {QStringLiteral("学术的")})};
}

} // namespace

class LexiconRenderTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { apply(looks[0]); }

    void listStates_data() { addLookRows({"content", "loading", "empty", "create", "banner"}); }
    void listStates()
    {
        QFETCH(QString, state);
        QFETCH(int, look);
        apply(looks[look]);
        LexiconFixture f;
        if (state != "empty" && state != "loading") {
            UserLexicon core = lexicon(5, QStringLiteral("每日核心词"), 1, 24);
            core.description = QStringLiteral("考研高频词汇");
            f.store.savePrivateLexicons(
                {core, lexicon(6, QStringLiteral("美剧口语"), 1, 8), lexicon(7, QStringLiteral("旅行"), 1, 0)}, f.owner);
        }
        f.holdSync = state == "loading";
        f.server().route("POST", lexiconsPath, ScriptedResponse::json(409, errorAnswer("X", "词库名称已存在")));
        UserLexiconListModel model(f.services());
        Screen screen;
        QVERIFY(screen.show(&model,
            "NavStack { anchors.fill: parent; initialPage: Component { UserLexiconListView { model: screenModel } } }"));
        if (state == "loading")
            QTRY_COMPARE(f.syncGates.size(), 1);
        else
            QTRY_VERIFY(!model.isLoading());
        if (state == "create" || state == "banner") {
            model.setShowCreateSheet(true);
            model.setNewLexiconName(QStringLiteral("每日核心词"));
            awaitResult(model.createLexicon());
        }
        if (state == "banner")
            model.setShowCreateSheet(false);
        screen.save(QStringLiteral("lexicon-list-%1-%2").arg(state, QString::fromLatin1(looks[look].suffix)));
        QCOMPARE(screen.isShown("userLexiconList.loading"), state == "loading");
        QCOMPARE(screen.isShown("userLexiconList.empty"), state == "empty");
        QCOMPARE(screen.isShown("lexiconCreate.error"), state == "create");
        QCOMPARE(screen.isShown("userLexiconList.banner"), state == "banner");
        if (state == "content")
            QCOMPARE(screen.text("userLexiconList.count.2"), QStringLiteral("24 词"));
        if (state == "loading")
            f.syncGates[0]->open();
    }

    void detailStates_data()
    {
        addLookRows({"content", "loading", "error", "empty", "offline", "reorder", "selection", "actions", "delete"});
    }
    void detailStates()
    {
        QFETCH(QString, state);
        QFETCH(int, look);
        apply(looks[look]);
        LexiconFixture f;
        if (state == "offline")
            awaitResult(f.snapshots->writeSnapshot(servedWords(), f.owner, 5));
        if (state == "empty")
            f.server().route("GET", wordsPath, ScriptedResponse::json(200, envelope(QJsonArray())));
        else if (state == "error" || state == "offline")
            f.server().route("GET", wordsPath, ScriptedResponse::json(503, errorAnswer("DOWN", "服务暂不可用")));
        else if (state == "loading")
            f.server().route("GET", wordsPath, ScriptedResponse::never());
        else
            f.server().route("GET", wordsPath, ScriptedResponse::json(200, envelope(wordsJson(servedWords()))));
        UserLexicon shown = lexicon(5, QStringLiteral("每日核心词"), 3);
        f.server().route("GET", lexiconsPath, ScriptedResponse::json(200, envelope(QJsonArray {shown.toJson()})));
        f.server().route("GET", preferencesPath, ScriptedResponse::json(200, envelope(PlaybackPreference().toJson())));
        shown.description = QStringLiteral("考研高频词汇，每天早上听一遍");
        // Everything is cached but the spoken words "abandon" and "absorb".
        GlobalPlaybackSession playback([] { return std::unique_ptr<PlaybackViewModel>(); },
            [](const QString &text, const TTSVoice &) {
                return text != QStringLiteral("abandon") && text != QStringLiteral("absorb");
            });
        UserLexiconDetailModel model(shown, f.services(), playback, {});
        Screen screen;
        QVERIFY(screen.show(&model,
            "NavStack { anchors.fill: parent; initialPage: Component { UserLexiconDetailView { model: screenModel } } }"));
        if (state == "loading")
            QTRY_VERIFY(model.isLoading());
        else
            QTRY_VERIFY(!model.isLoading());
        if (state == "reorder") {
            model.startReordering();
            model.moveDraftRow(3, 0);
        }
        if (state == "selection") {
            model.enterSelectionMode();
            model.toggleSelection(2);
            model.toggleSelection(3);
        }
        if (state == "actions")
            QVERIFY(QMetaObject::invokeMethod(screen.item("userLexiconDetail.actions.1"), "clicked"));
        if (state == "delete")
            model.perform(UserLexiconDetailModel::WordAction::Delete, 2);
        if (state == "content")
            model.showToast(QStringLiteral("已成功更新单词内容"));
        screen.save(QStringLiteral("lexicon-detail-%1-%2").arg(state, QString::fromLatin1(looks[look].suffix)));
        QCOMPARE(screen.isShown("userLexiconDetail.loading"), state == "loading");
        QCOMPARE(screen.isShown("userLexiconDetail.error"), state == "error");
        QCOMPARE(screen.isShown("userLexiconDetail.empty"), state == "empty");
        QCOMPARE(screen.isShown("userLexiconDetail.banner"), state == "offline");
        QCOMPARE(screen.isShown("userLexiconDetail.handle.0"), state == "reorder");
        QCOMPARE(screen.isShown("userLexiconDetail.addToPlaylist"), state == "selection");
        if (state == "content") {
            QCOMPARE(screen.text("userLexiconDetail.wordCount"), QStringLiteral("4 词"));
            QVERIFY(screen.isShown("userLexiconDetail.repeat.0"));
            QVERIFY(!screen.isShown("userLexiconDetail.repeat.1"));
            QVERIFY(screen.isShown("userLexiconDetail.offline.1"));
            QVERIFY(!screen.isShown("userLexiconDetail.offline.0"));
        }
        if (state == "selection")
            QCOMPARE(screen.text("userLexiconDetail.selectionCount"), QStringLiteral("已选 2 / 4 词"));
    }

    // At the largest text size, no two texts of the list or the detail overlap.
    void largestTextSize()
    {
        apply(looks[2]);
        LexiconFixture f;
        f.store.savePrivateLexicons(
            {lexicon(5, QStringLiteral("每日核心词"), 1, 24), lexicon(6, QStringLiteral("美剧口语"), 1, 8)}, f.owner);
        f.server().route("GET", wordsPath, ScriptedResponse::json(200, envelope(wordsJson(servedWords()))));
        f.server().route("GET", lexiconsPath,
            ScriptedResponse::json(200, envelope(QJsonArray {lexicon(5, QStringLiteral("每日核心词"), 3).toJson()})));
        f.server().route("GET", preferencesPath, ScriptedResponse::json(200, envelope(PlaybackPreference().toJson())));
        GlobalPlaybackSession playback([] { return std::unique_ptr<PlaybackViewModel>(); },
            [](const QString &, const TTSVoice &) { return true; });

        UserLexiconListModel list(f.services());
        Screen listScreen;
        QVERIFY(listScreen.show(&list,
            "NavStack { anchors.fill: parent; initialPage: Component { UserLexiconListView { model: screenModel } } }"));
        QTRY_VERIFY(!list.isLoading());
        listScreen.save(QStringLiteral("lexicon-list-content-accessibility"));
        QCOMPARE(overlappingTexts(listScreen.window), QStringList());

        UserLexiconDetailModel detail(lexicon(5, QStringLiteral("每日核心词"), 3), f.services(), playback, {});
        Screen detailScreen;
        QVERIFY(detailScreen.show(&detail,
            "NavStack { anchors.fill: parent; initialPage: Component { UserLexiconDetailView { model: screenModel } } }"));
        QTRY_VERIFY(!detail.isLoading());
        for (const bool selecting : {false, true}) {
            if (selecting)
                detail.enterSelectionMode();
            detailScreen.save(QStringLiteral("lexicon-detail-%1-accessibility").arg(selecting ? "selection" : "content"));
            QCOMPARE(overlappingTexts(detailScreen.window), QStringList());
        }
    }
};

TALVORO_TEST(LexiconRenderTest)
#include "tst_lexiconrenders.moc"
