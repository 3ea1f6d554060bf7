#include "ScreenRender.h"
#include "TestRegistry.h"
#include "WordSheetTesting.h"

#include "Lexicons/AddWordSheetModel.h"
#include "Lexicons/EditWordDetailsSheetModel.h"
#include "Lexicons/MoveWordToLexiconSheetModel.h"

#include <QTest>

using namespace wordsheettesting;
using namespace scenetest;

// Renders the three word sheets in their main states, light and dark, into
// test-output/screens/; each state is checked by what it shows.
namespace {

void addVariants(const std::initializer_list<const char *> &states)
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<int>("look");
    for (const char *state : states) {
        for (int v = 0; v < int(std::size(looks)); ++v)
            QTest::addRow("%s-%s", state, looks[v].suffix) << QString::fromLatin1(state) << v;
    }
}

ORVWord filledWord()
{
    ORVWord w = word(9, QStringLiteral("accelerate"));
    w.translationsZh = {QStringLiteral("加速"), QStringLiteral("促进"), QStringLiteral("增加")};
    w.ipa = QStringLiteral("/əkˈseləreɪt/");
    w.syllables = QStringLiteral("ac-cel-er-ate");
    w.explanation = QStringLiteral("to move faster, or to make something happen sooner");
    w.usageScenario = QStringLiteral("The car accelerated onto the highway.");
    return w;
}

QString pngName(const char *sheet, const QString &state, int look)
{
    return QStringLiteral("%1-%2-%3").arg(QString::fromLatin1(sheet), state, QString::fromLatin1(looks[look].suffix));
}

// Saves the picture while the held request is out, then lets it finish.
void saveWhileHeld(SheetFixture &f, Screen &screen, const QString &name, const std::shared_ptr<Outcome<void>> &run)
{
    QTRY_COMPARE(f.server().heldCount(), 1);
    screen.save(name);
    f.server().releaseHeld(0);
    QTRY_VERIFY(run->finished);
}

// A press and, a moment later, its release at the item's centre.
void tap(Screen &screen, QQuickItem *item)
{
    const QPoint centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
    QTest::mousePress(screen.window, Qt::LeftButton, Qt::NoModifier, centre);
    QTest::qWait(50);
    QTest::mouseRelease(screen.window, Qt::LeftButton, Qt::NoModifier, centre);
}

} // namespace

class WordSheetRenderTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { apply(looks[0]); }

    void editStates_data() { addVariants({"filled", "empty", "error", "busy"}); }
    void editStates()
    {
        QFETCH(QString, state);
        QFETCH(int, look);
        apply(looks[look]);
        SheetFixture f;
        f.server().route("PUT", wordPath(9),
            state == "busy" ? ScriptedResponse::heldBack(serverFailure()) : serverFailure());
        EditWordDetailsSheetModel model(
            f.client, f.session(), state == "empty" ? word(9, QStringLiteral("hello")) : filledWord(), {});
        Screen screen;
        QVERIFY(screen.show(&model, "Sheet { presented: true; page: Component { EditWordDetailsSheet { model: screenModel } } }"));
        QTRY_VERIFY(screen.isShown("editWordSheet.word"));
        const QString name = pngName("edit-word-sheet", state, look);
        if (state == "busy") {
            auto run = startAwaiting(model.save());
            QTRY_VERIFY(screen.isShown("editWordSheet.saving"));
            QVERIFY(!screen.isShown("editWordSheet.save"));
            saveWhileHeld(f, screen, name, run);
            return;
        }
        if (state == "error") {
            awaitResult(model.save());
            QTRY_VERIFY(screen.isShown("editWordSheet.error"));
            QVERIFY(screen.text("editWordSheet.error").startsWith(QStringLiteral("保存失败：")));
        } else {
            QVERIFY(!screen.isShown("editWordSheet.error"));
        }
        QCOMPARE(screen.item("editWordSheet.save")->isEnabled(), state != "empty");
        QCOMPARE(screen.text("editWordSheet.meanings"), model.translationText());
        screen.save(name);
    }

    void addStates_data() { addVariants({"empty", "filled", "error", "busy"}); }
    void addStates()
    {
        QFETCH(QString, state);
        QFETCH(int, look);
        apply(looks[look]);
        SheetFixture f;
        f.server().route("POST", wordsPath,
            state == "busy" ? ScriptedResponse::heldBack(serverFailure()) : serverFailure());
        AddWordSheetModel model(f.client, f.session(), 4, {});
        if (state != "empty") {
            model.setWordDisplay(QStringLiteral("apple"));
            model.setTranslation(QStringLiteral("苹果；苹果树"));
            model.setIpa(QStringLiteral("/ˈæp.əl/"));
            model.setSyllables(QStringLiteral("ap-ple"));
            model.setExplanation(QStringLiteral("An apple a day keeps the doctor away.\n每天一苹果，医生远离我。\n常见搭配：apple pie, apple juice\n另见：pear"));
        }
        Screen screen;
        QVERIFY(screen.show(&model, "Sheet { presented: true; page: Component { AddWordSheet { model: screenModel } } }"));
        QTRY_VERIFY(screen.isShown("addWordSheet.word"));
        const QString name = pngName("add-word-sheet", state, look);
        if (state == "busy") {
            auto run = startAwaiting(model.save());
            QTRY_VERIFY(!screen.item("addWordSheet.save")->isEnabled());
            saveWhileHeld(f, screen, name, run);
            return;
        }
        if (state == "error") {
            awaitResult(model.save());
            QTRY_VERIFY(screen.isShown("addWordSheet.error"));
        }
        QCOMPARE(screen.item("addWordSheet.save")->isEnabled(), state != "empty");
        screen.save(name);
    }

    void moveStates_data() { addVariants({"loading", "error", "empty", "content", "busy"}); }
    void moveStates()
    {
        QFETCH(QString, state);
        QFETCH(int, look);
        apply(looks[look]);
        SheetFixture f;
        const ScriptedResponse lexicons = state == "empty"
            ? lexiconsAnswer({lexicon(4, QStringLiteral("当前"), 3)})
            : lexiconsAnswer({lexicon(4, QStringLiteral("当前"), 3), lexicon(5, QStringLiteral("四级核心词汇"), 0),
                  lexicon(6, QStringLiteral("六级"), 128), lexicon(7, QStringLiteral("雅思听力高频"), 42)});
        f.server().route("GET", lexiconsPath,
            state == "loading"     ? ScriptedResponse::heldBack(lexicons)
                : state == "error" ? serverFailure()
                                   : lexicons);
        f.server().route("PUT", movePath(9), ScriptedResponse::heldBack(moveAnswer(9, 4, 5)));
        MoveWordToLexiconSheetModel model(f.client, f.session(), filledWord(), 4, {});
        Screen screen;
        QVERIFY(screen.show(&model,
            "Sheet { presented: true; page: Component { MoveWordToLexiconSheet { model: screenModel } } }"));
        const QString name = pngName("move-word-sheet", state, look);
        if (state == "loading") {
            QTRY_VERIFY(screen.isShown("moveWordSheet.loading"));
            QTRY_COMPARE(f.server().heldCount(), 1);
            screen.save(name);
            f.server().releaseHeld(0);
            QTRY_VERIFY(!model.isLoading());
            return;
        }
        QTRY_VERIFY(!model.isLoading());
        if (state == "error") {
            QTRY_VERIFY(screen.isShown("moveWordSheet.loadError"));
        } else if (state == "empty") {
            QTRY_VERIFY(screen.isShown("moveWordSheet.empty"));
        } else {
            QTRY_VERIFY(screen.isShown("moveWordSheet.content"));
            QVERIFY(screen.isShown("moveWordSheet.check.0"));
            QVERIFY(!screen.isShown("moveWordSheet.check.1"));
        }
        if (state == "busy") {
            auto run = startAwaiting(model.moveWord());
            QTRY_VERIFY(model.isSubmitting());
            saveWhileHeld(f, screen, name, run);
            return;
        }
        screen.save(name);
    }

    // The views only bind: typing reaches the model, and "取消" closes the sheet
    // through the model's request.
    void typingAndCancelGoThroughTheModel()
    {
        SheetFixture f;
        AddWordSheetModel model(f.client, f.session(), 4, {});
        Screen screen;
        QVERIFY(screen.show(&model, "Sheet { presented: true; page: Component { AddWordSheet { model: screenModel } } }"));
        QTRY_VERIFY(screen.isShown("addWordSheet.word"));
        QTest::qWait(350); // past the sheet's entrance
        QQuickItem *meanings = screen.item("addWordSheet.meanings");
        // In this bare window the first press into an entry does not focus it yet
        // (an entry of the shared components behaves the same); the second does.
        tap(screen, meanings);
        QTest::qWait(100);
        tap(screen, meanings);
        QTRY_VERIFY(meanings->hasActiveFocus());
        for (const QChar c : QStringLiteral("苹果；果实"))
            QTest::sendKeyEvent(QTest::Click, screen.window, Qt::Key_unknown, QString(c), Qt::NoModifier);
        QCOMPARE(model.translation(), QStringLiteral("苹果；果实"));
        QVERIFY(!screen.item("addWordSheet.save")->isEnabled());

        tap(screen, screen.item("addWordSheet.cancel"));
        QTRY_VERIFY(!screen.isShown("addWordSheet.word"));
    }
};

TALVORO_TEST(WordSheetRenderTest)
#include "tst_wordsheetrenders.moc"
