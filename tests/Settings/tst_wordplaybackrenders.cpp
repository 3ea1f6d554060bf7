#include "ScreenRender.h"
#include "TestRegistry.h"
#include "WordPlaybackSheetTesting.h"

#include <QTest>

using namespace wordplaybacktesting;
using namespace scenetest;
using talvoro::Theme;

// Renders the per-word playback sheet in its main states, light and dark, and its
// layout at the largest text sizes, into test-output/screens/; each state is
// checked by what it shows.
namespace {

ORVWord abandon()
{
    ORVWord word = wordOf(42, QStringLiteral("abandon"));
    word.ipa = QStringLiteral("/əˈbændən/");
    word.translationsZh = {QStringLiteral("放弃"), QStringLiteral("抛弃")};
    word.explanation = QStringLiteral("to leave something behind for good");
    return word;
}

// Presents the sheet as the lexicon screen does: the window is up first, then the
// sheet comes up and builds its page, so that the form is first laid out while the
// sheet is still taking its size.
bool showSheet(Screen &screen, QObject *model)
{
    if (!screen.show(model,
            "id: screenWindow; property bool presented: false\n"
            "Sheet { presented: screenWindow.presented; page: Component { EditWordPlaybackSheet { model: screenModel } } }"))
        return false;
    screen.root->setProperty("presented", true);
    return QTest::qWaitFor([&] { return screen.item("wordPlayback.form") != nullptr; });
}

// Whether a person tells the two colours apart.
bool distinct(QColor a, QColor b)
{
    return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue())}) >= 8;
}

QRectF sceneRect(const QQuickItem *item)
{
    return item->mapRectToScene(item->boundingRect());
}

} // namespace

class WordPlaybackRenderTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { apply(looks[0]); }

    void sheetStates_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<int>("look");
        for (const char *state : {"loading", "loaded", "voicemenu", "ratemenu", "reload", "alert"}) {
            for (int v = 0; v < int(std::size(looks)); ++v)
                QTest::addRow("%s-%s", state, looks[v].suffix) << QString::fromLatin1(state) << v;
        }
    }
    void sheetStates()
    {
        QFETCH(QString, state);
        QFETCH(int, look);
        apply(looks[look]);
        SheetFixture f(abandon());
        f.api.hold = state == "loading";
        if (state == "reload") {
            f.api.profileAnswer = [](qint64) -> WordPlaybackProfile {
                throw MobileAPIError::server(500, std::nullopt, QStringLiteral("服务暂不可用"));
            };
        }
        Screen screen;
        QVERIFY(showSheet(screen, &*f.sheet));
        if (state == "loading") {
            QTRY_VERIFY(f.sheet->editor().isLoading());
        } else {
            QTRY_VERIFY(!f.sheet->editor().isLoading());
        }
        if (state == "loaded" || state == "voicemenu" || state == "ratemenu") {
            f.sheet->editor().setRepeatCount(3);
            f.sheet->setUnitEnabled(QStringLiteral("EXPLANATION"), false);
            f.sheet->editor().moveUnit(ORVPlaybackUnit::spelling, ORVPlaybackUnit::word);
            f.sheet->setVoice(QStringLiteral("WORD"), QStringLiteral("en-GB-SoniaNeural"));
            f.sheet->setOwnRate(QStringLiteral("WORD"), 0.8);
        }
        if (state == "reload") {
            f.sheet->editor().setErrorMessage(std::nullopt);
            QQuickItem *form = screen.item("wordPlayback.form");
            QTRY_VERIFY(screen.isShown("wordPlayback.reload"));
            form->setProperty("contentY", form->property("contentHeight").toReal() - form->height());
        }
        if (state == "alert")
            f.sheet->editor().setErrorMessage(QStringLiteral("保存失败：数据已在其他设备上更新，请刷新后重试"));
        // The voice menu scrolls: the entries it scrolled away stay where they were,
        // undrawn, which the layout checks cannot tell from drawn ones.
        screen.checksLayout = state != "voicemenu";
        if (state == "voicemenu")
            QVERIFY(QMetaObject::invokeMethod(screen.item("wordPlayback.voice.WORD"), "clicked"));
        if (state == "ratemenu")
            QVERIFY(QMetaObject::invokeMethod(screen.item("wordPlayback.rate.SPELLING"), "clicked"));
        screen.save(QStringLiteral("word-playback-%1-%2").arg(state, QString::fromLatin1(looks[look].suffix)));

        QCOMPARE(screen.isShown("wordPlayback.loading"), state == "loading");
        QCOMPARE(screen.isShown("wordPlayback.reload"), state == "reload");
        QCOMPARE(f.sheet->editor().errorMessage().has_value(), state == "alert");
        QCOMPARE(screen.isShown("wordPlayback.voiceItem.en-GB-SoniaNeural"), state == "voicemenu");
        QCOMPARE(screen.isShown("wordPlayback.ownRate.SPELLING"), state == "ratemenu");
        QCOMPARE(screen.text("wordPlayback.word"), QStringLiteral("abandon"));
        if (state == "loaded") {
            QCOMPARE(screen.text("wordPlayback.repeatCount"), QStringLiteral("3 次"));
            QCOMPARE(screen.text("wordPlayback.ownRateText.WORD"), QStringLiteral("0.80 倍"));
            QVERIFY(!screen.isShown("wordPlayback.ownRateText.SPELLING"));
        }
        if (state == "loading") {
            for (const auto &held : f.api.profileReads + f.api.preferenceReads)
                held.gate->open();
        }
    }

    // A unit's menu lies over the form as a surface of its own: inside the window,
    // over its row's whole width, in a colour other than the card's and with an
    // edge, its entries apart, wherever the row is and in every look.
    void menuSurfaces_data()
    {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<int>("look");
        for (int v = 0; v < int(std::size(looks)); ++v) {
            for (const char *menu : {"voice", "rate"}) {
                // The first row's menus open under it; the third row's, scrolled
                // to the foot of the window, have no room there.
                for (const char *unit : {"WORD", "TRANSLATION_ZH"})
                    QTest::addRow("%s-%s-%s", menu, unit, looks[v].suffix) << menu << unit << v;
            }
        }
    }
    void menuSurfaces()
    {
        QFETCH(QString, menu);
        QFETCH(QString, unit);
        QFETCH(int, look);
        apply(looks[look]);
        SheetFixture f(abandon());
        Screen screen;
        QVERIFY(showSheet(screen, &*f.sheet));
        QTRY_VERIFY(!f.sheet->editor().isLoading());
        QQuickItem *row = screen.item("wordPlayback.row." + unit.toLatin1());
        QQuickItem *button = screen.item("wordPlayback." + menu.toLatin1() + '.' + unit.toLatin1());
        // Scrolled to as a person would: up to the foot of the window.
        QQuickItem *form = screen.item("wordPlayback.form");
        const qreal below = sceneRect(button).bottom() - (screen.window->height() - 24);
        if (below > 0)
            form->setProperty("contentY", form->property("contentY").toReal() + below);
        QVERIFY(QMetaObject::invokeMethod(button, "clicked"));
        auto *popup = button->findChild<QObject *>("wordPlayback." + menu + "Menu." + unit);
        QVERIFY(popup);
        QTRY_VERIFY(popup->property("opened").toBool());
        // The voice menu scrolls: the entries it scrolled away stay where they were,
        // undrawn, which the layout checks cannot tell from drawn ones.
        screen.checksLayout = menu != "voice";
        screen.save(QStringLiteral("word-playback-%1menu-%2-%3").arg(menu, unit.toLower(), looks[look].suffix));

        const QRectF bounds = sceneRect(popup->property("background").value<QQuickItem *>());
        const QRectF rowBounds = sceneRect(row);
        QVERIFY(QRectF(QPointF(0, 0), screen.window->size()).contains(bounds));
        QVERIFY(bounds.left() <= rowBounds.left() && bounds.right() >= rowBounds.right());

        const QImage image = screen.window->grabWindow();
        const QColor card = row->parentItem()->parentItem()->property("color").value<QColor>();
        const int middle = qRound(bounds.center().y());
        // Right of the entries' texts, the menu's own surface shows.
        const QColor surface = image.pixelColor(qRound(bounds.right()) - 12, middle);
        QVERIFY2(distinct(surface, card), qPrintable(surface.name() + QStringLiteral(" on ") + card.name()));
        // Across its left side, an edge or a shadow sets it off from both.
        bool edge = false;
        for (int x = qRound(bounds.left()) - 3; x <= qRound(bounds.left()) + 2; ++x) {
            const QColor seen = image.pixelColor(x, middle);
            edge = edge || (distinct(seen, surface) && distinct(seen, card));
        }
        QVERIFY(edge);
    }

    // At the two largest text sizes the word keeps its whole width (its IPA gives
    // way), each unit's symbol keeps its distance to its title, each row stays
    // inside the card, and no text (the repeat count's label, value and stepper
    // among them) lies over another or runs out of its place down the form.
    void largestTextLayout_data()
    {
        QTest::addColumn<int>("size");
        QTest::addRow("accessibilityXXLarge") << int(Theme::AccessibilityExtraExtraLarge);
        QTest::addRow("accessibilityXXXLarge") << int(Theme::AccessibilityExtraExtraExtraLarge);
    }
    void largestTextLayout()
    {
        QFETCH(int, size);
        Theme::shared()->setContentSize(Theme::ContentSize(size));
        SheetFixture f(abandon());
        Screen screen;
        QVERIFY(showSheet(screen, &*f.sheet));
        QTRY_VERIFY(!f.sheet->editor().isLoading());
        // As it comes up, before anything is changed: the IPA's box holds all of it.
        screen.save(QStringLiteral("word-playback-opened-%1").arg(QTest::currentDataTag()));
        if (QTest::currentTestFailed())
            return;
        f.sheet->editor().setRepeatCount(20);
        f.sheet->setOwnRate(QStringLiteral("WORD"), 0.8);
        screen.save(QStringLiteral("word-playback-size-%1").arg(QTest::currentDataTag()));

        QQuickItem *word = screen.item("wordPlayback.word");
        QVERIFY(word->width() >= word->implicitWidth());
        for (const char *unit : {"WORD", "SPELLING", "TRANSLATION_ZH", "EXPLANATION"}) {
            QQuickItem *symbol = screen.item(QByteArray("wordPlayback.symbol.") + unit);
            const qreal ink = sceneRect(symbol).center().x() + symbol->property("contentWidth").toReal() / 2;
            QVERIFY2(sceneRect(screen.item(QByteArray("wordPlayback.title.") + unit)).left() - ink >= 8, unit);
            // Nothing in the row pushes its switch out of the card.
            QVERIFY2(sceneRect(screen.item(QByteArray("wordPlayback.switch.") + unit)).right()
                    <= sceneRect(screen.item(QByteArray("wordPlayback.row.") + unit)).right(),
                unit);
        }

        QQuickItem *form = screen.item("wordPlayback.form");
        const qreal end = form->property("contentHeight").toReal() - form->height();
        for (qreal y = 0;; y = std::min(end, y + form->height() / 2)) {
            form->setProperty("contentY", y);
            const QStringList overlaps = layoutFaults(screen.window);
            QVERIFY2(
                overlaps.isEmpty(), qPrintable(QStringLiteral("at %1: ").arg(y) + overlaps.join(QStringLiteral("; "))));
            if (y >= end)
                break;
        }
    }
};

TALVORO_TEST(WordPlaybackRenderTest)

#include "tst_wordplaybackrenders.moc"
