#include "LexiconTesting.h"
#include "ScreenRender.h"
#include "TestRegistry.h"

#include "Lexicons/UserLexiconDetailModel.h"
#include "Lexicons/UserLexiconListModel.h"
#include "Playback/PlaybackViewModel.h"

#include <QFont>
#include <QTest>

using namespace lexicontesting;
using namespace scenetest;
using talvoro::Theme;

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

// A navigation stack whose first page is `view` over the screen's model.
QByteArray inStack(const char *view)
{
    return QByteArray("NavStack { anchors.fill: parent; initialPage: Component { ") + view
        + " { model: screenModel } } }";
}

// The large text sizes: the one every screen is rendered in, and the two largest,
// light and dark.
const Look largeLooks[] = {looks[2],
    {"accessibility-xxl", Theme::Light, Theme::AccessibilityExtraExtraLarge},
    {"accessibility-xxl-dark", Theme::Dark, Theme::AccessibilityExtraExtraLarge},
    looks[3], looks[4]};

// The pixel size of the symbol an icon button draws.
qreal symbolSize(const QQuickItem *button)
{
    const QList<QQuickItem *> parts = button ? button->findChildren<QQuickItem *>() : QList<QQuickItem *>();
    for (const QQuickItem *part : parts) {
        if (part->inherits("QQuickText"))
            return part->property("font").value<QFont>().pixelSize();
    }
    return 0;
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
        QVERIFY(screen.show(&model, inStack("UserLexiconListView")));
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
        addLookRows(
            {"content", "single", "loading", "error", "empty", "offline", "reorder", "selection", "actions", "delete"});
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
        else if (state == "single") // no reordering: the header bar holds fewer buttons
            f.server().route("GET", wordsPath, ScriptedResponse::json(200, envelope(wordsJson(servedWords().mid(0, 1)))));
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
        QVERIFY(screen.show(&model, inStack("UserLexiconDetailView")));
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
            QVERIFY(!screen.isShown("userLexiconDetail.offline.0"));
            // At the accessibility sizes the second row lies below the fold.
            if (looks[look].size == Theme::Large)
                QVERIFY(screen.isShown("userLexiconDetail.offline.1"));
        }
        if (state == "selection")
            QCOMPARE(screen.text("userLexiconDetail.selectionCount"), QStringLiteral("已选 2 / 4 词"));
    }

    // At the large text sizes no two texts of the list or the detail overlap, the
    // toolbar's and the rows' icon buttons keep their 17-point symbols, and the
    // selection count stays on one line.
    void largestTextSize_data()
    {
        QTest::addColumn<int>("look");
        for (int v = 0; v < int(std::size(largeLooks)); ++v)
            QTest::addRow("%s", largeLooks[v].suffix) << v;
    }
    void largestTextSize()
    {
        QFETCH(int, look);
        const Look &large = largeLooks[look];
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
        UserLexiconDetailModel detail(lexicon(5, QStringLiteral("每日核心词"), 3), f.services(), playback, {});
        // The list, then the detail with its words.
        const auto show = [&](Screen (&screens)[2]) {
            const auto loaded = [&] {
                return !list.isLoading() && !detail.isLoading() && screens[1].isShown("userLexiconDetail.actions.0");
            };
            return screens[0].show(&list, inStack("UserLexiconListView"))
                && screens[1].show(&detail, inStack("UserLexiconDetailView")) && QTest::qWaitFor(loaded);
        };
        const std::pair<int, const char *> symbols[]
            = {{0, "userLexiconList.add"}, {1, "userLexiconDetail.add"}, {1, "userLexiconDetail.actions.0"}};
        apply(looks[0]);
        QList<qreal> regularSymbols;
        {
            Screen regular[2];
            QVERIFY(show(regular));
            for (const auto &[screen, name] : symbols) {
                regularSymbols.append(symbolSize(regular[screen].item(name)));
                QVERIFY2(regularSymbols.last() > 0, name);
            }
        }

        apply(large);
        Screen screens[2];
        QVERIFY(show(screens));
        screens[0].save(QStringLiteral("lexicon-list-content-%1").arg(QString::fromLatin1(large.suffix)));
        QCOMPARE(overlappingTexts(screens[0].window), QStringList());
        for (const bool selecting : {false, true}) {
            if (selecting)
                detail.enterSelectionMode();
            screens[1].save(QStringLiteral("lexicon-detail-%1-%2")
                    .arg(selecting ? "selection" : "content", QString::fromLatin1(large.suffix)));
            QCOMPARE(overlappingTexts(screens[1].window), QStringList());
        }
        for (qsizetype i = 0; i < regularSymbols.size(); ++i) {
            const auto &[screen, name] = symbols[i];
            QVERIFY2(symbolSize(screens[screen].item(name)) == regularSymbols[i], name);
        }
        const QQuickItem *count = screens[1].item("userLexiconDetail.selectionCount");
        QVERIFY(count);
        QCOMPARE(count->property("lineCount").toInt(), 1);
        QVERIFY(count->property("contentWidth").toReal() <= count->width() + 0.5);
    }
};

TALVORO_TEST(LexiconRenderTest)
#include "tst_lexiconrenders.moc"
