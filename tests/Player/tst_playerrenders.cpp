#include "JourneySteps.h"
#include "PlayerFixture.h"
#include "ScreenRender.h"
#include "TestRegistry.h"

#include "DesignSystem/Theme.h"
#include "Player/PlayerSharedElementRegistry.h"

#include <QQuickItem>
#include <QTest>

using namespace playertest;
using scenetest::apply;
using scenetest::findVisibleItem;
using scenetest::looks;
using scenetest::SceneDriver;

// Some screen content under the playback layer, as on home.
static const QByteArray underHome =
    "PlainText { x: 16; y: 60; text: \"欢迎回来, lin\"; font: Theme.font(Theme.Title2, Font.Bold) }\n";

// Renders the morph at fixed progress values and the player page in its states,
// light and dark and at an accessibility text size, into test-output/screens/ for
// a person to look at; each picture is also checked by what it shows.
namespace {

QList<ORVWord> cardWords()
{
    ORVWord abandon = makeWord(1, QStringLiteral("abandon"), QList<QString> {"WORD", "SPELLING", "TRANSLATION_ZH"});
    abandon.ipa = QStringLiteral("/əˈbændən/");
    abandon.syllables = QStringLiteral("a·ban·don");
    abandon.translationsZh = {QStringLiteral("放弃"), QStringLiteral("抛弃")};
    abandon.explanation = QStringLiteral("停止做某事，或离开某人某物不再回来。");
    abandon.usageScenario = QStringLiteral("They had to abandon the car in the snow.");
    abandon.repeatCount = 2;
    return {abandon, makeWord(2, QStringLiteral("ability")), makeWord(3, QStringLiteral("absorb"))};
}

QRectF sceneRect(const QQuickItem *item)
{
    return item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
}

// What of the travelling word and unit icon is drawn, by text.
QMap<QString, QRectF> drawnChrome(QQuickItem *chrome)
{
    QList<QQuickItem *> texts;
    scenetest::detail::collectTexts(chrome, texts);
    QMap<QString, QRectF> drawn;
    QQuickItem *control = findVisibleItem(chrome, QStringLiteral("player.chrome.control"));
    for (QQuickItem *text : texts) {
        if (!control || !control->isAncestorOf(text))
            drawn.insert(text->property("text").toString(), scenetest::detail::drawnRect(text));
    }
    return drawn;
}

// The page opened over the bar, the morph at its end and the travelling copies on.
bool openPage(PlayerFixture &fixture, PlaybackSurfaceHostModel &host, scenetest::Screen &screen)
{
    if (!screen.show({{QStringLiteral("hostModel"), &host}},
            underHome + "GlobalPlaybackSurfaceHost { anchors.fill: parent; model: hostModel }"))
        return false;
    host.openFullPlayer();
    fixture.scheduler.advance(0);
    if (!QTest::qWaitFor([&] { return screen.item("player.card.word") != nullptr; }, 5000))
        return false;
    screen.item("player.surface")->setProperty("progress", 1.0);
    return host.sharedChromeActive();
}

} // namespace

class PlayerRenderTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { apply(looks[0]); }

    void morphFrames_data()
    {
        QTest::addColumn<qreal>("progress");
        for (qreal p : {0.0, 0.25, 0.5, 0.75, 1.0})
            QTest::addRow("%d", int(p * 100)) << p;
    }
    void morphFrames()
    {
        QFETCH(qreal, progress);
        PlayerFixture fixture;
        fixture.play(3, 0, cardWords());
        settle();
        auto host = fixture.host();
        scenetest::Screen screen;
        screen.checksLayout = progress >= 1;
        QVERIFY(screen.show({{QStringLiteral("hostModel"), host.get()}},
            underHome + "GlobalPlaybackSurfaceHost { anchors.fill: parent; model: hostModel }"));
        host->openFullPlayer();
        QQuickItem *surface = screen.item("player.surface");
        QVERIFY(surface);
        // Markers report again on each frame; the last one lands after the layout.
        surface->setProperty("progress", progress + 0.001);
        QTest::qWait(100);
        surface->setProperty("progress", progress);
        // The travelling word is drawn once, by the chrome, at every step.
        QVERIFY(QTest::qWaitFor([&] { return screen.text("player.chrome.title") == "abandon"; }, 5000));
        // Touches go to the page while it is presented, never to the bar under it.
        QVERIFY(!screen.item("player.bar")->isEnabled());
        QCOMPARE(screen.item("player.card.word")->opacity(), 0.0);
        if (progress <= 0.12) // the page is still transparent
            QCOMPARE(screen.item("player.page")->parentItem()->opacity(), 0.0);
        screen.save(QStringLiteral("player-morph-%1").arg(int(progress * 100), 3, 10, QLatin1Char('0')));
    }

    // The page marks its elements while it is still transparent, so the travelling
    // copies head for the page's places from the first frame and never jump when
    // the page starts to show.
    void markersReportWhileThePageIsTransparent_data()
    {
        QTest::addColumn<qreal>("from");
        QTest::addColumn<qreal>("to");
        QTest::newRow("opening") << 0.12 << 0.125;
        QTest::newRow("closing") << 0.125 << 0.12;
    }
    void markersReportWhileThePageIsTransparent()
    {
        QFETCH(qreal, from);
        QFETCH(qreal, to);
        PlayerFixture fixture;
        fixture.play(3, 0, cardWords());
        settle();
        auto host = fixture.host();
        scenetest::Screen screen;
        QVERIFY(openPage(fixture, *host, screen));
        QQuickItem *surface = screen.item("player.surface");
        auto *registry = screen.item("player.chrome")->property("registry").value<PlayerSharedElementRegistry *>();
        QVERIFY(registry);
        const auto at = [&](qreal p) {
            surface->setProperty("progress", p);
            scenetest::settle();
            QList<std::optional<QRectF>> reported;
            for (auto role :
                {PlayerMorph::ExpandedActivityIcon, PlayerMorph::ExpandedTitle, PlayerMorph::ExpandedControl})
                reported.append(registry->reported(playermorph::Role(role)));
            return std::pair(reported, sceneRect(screen.item("player.chrome.title")));
        };
        const auto [before, titleBefore] = at(from);
        const auto [after, titleAfter] = at(to);
        for (qsizetype i = 0; i < before.size(); ++i) {
            QVERIFY2(before[i] && after[i], "the page's element reported no bounds");
            QCOMPARE(*before[i], *after[i]);
        }
        // A step of 0.005 moves the word by a few points of its way up the screen.
        QVERIFY2(qAbs(titleAfter.y() - titleBefore.y()) < 4,
            qPrintable(QStringLiteral("the word jumps from %1 to %2").arg(titleBefore.y()).arg(titleAfter.y())));
    }

    // A card longer than its place scrolls; the travelling word and unit icon that
    // stand in for the card's own are drawn only where the card shows.
    void travellingCopiesStayInTheScrolledCard_data()
    {
        QTest::addColumn<QString>("scrolled");
        QTest::addColumn<int>("look");
        for (const char *scrolled : {"top", "word half out", "end"}) {
            for (int v = 0; v < int(std::size(looks)); ++v)
                QTest::addRow("%s-%s", scrolled, looks[v].suffix) << QString::fromLatin1(scrolled) << v;
        }
    }
    void travellingCopiesStayInTheScrolledCard()
    {
        QFETCH(QString, scrolled);
        QFETCH(int, look);
        apply(looks[look]);
        PlayerFixture fixture;
        fixture.play(3, 0, cardWords());
        settle();
        auto host = fixture.host();
        scenetest::Screen screen;
        QVERIFY(openPage(fixture, *host, screen));
        scenetest::settle(); // the card's wrapped texts settle its height
        QQuickItem *word = screen.item("player.card.word");
        QQuickItem *card = screen.item("player.card");
        QQuickItem *scroll = card->parentItem()->parentItem(); // the flickable around the card
        const qreal end = scroll->property("contentHeight").toReal() - scroll->height();
        QVERIFY2(end > 0, "the card fits: nothing to scroll");
        const qreal wordY = word->mapToItem(card, QPointF(0, 0)).y();
        scroll->setProperty("contentY",
            scrolled == "top"       ? 0.0
                : scrolled == "end" ? end
                                    : std::min(end, wordY + word->height() / 2));
        scenetest::settle();
        screen.save(QStringLiteral("player-scrolled-%1-%2")
                        .arg(QString(scrolled).replace(QLatin1Char(' '), QLatin1Char('-')),
                            QString::fromLatin1(looks[look].suffix)));
        const QRectF visible = sceneRect(scroll).adjusted(-0.5, -0.5, 0.5, 0.5);
        const QMap<QString, QRectF> drawn = drawnChrome(screen.item("player.chrome"));
        for (auto it = drawn.begin(); it != drawn.end(); ++it) {
            QVERIFY2(visible.contains(*it),
                qPrintable(QStringLiteral("%1 drawn at y %2, the card shows %3 to %4")
                               .arg(it.key())
                               .arg(it->y())
                               .arg(visible.top())
                               .arg(visible.bottom())));
        }
        // Unscrolled, both stand where the card's own would be; at the largest size
        // the unit badge gives its room to the repeat count, and its symbol with it.
        const bool badgeHoldsSymbol
            = screen.item("player.card.unit")->width() >= card->property("iconWidth").toReal() + 20;
        if (scrolled == "top")
            QCOMPARE(drawn.size(), badgeHoldsSymbol ? 2 : 1);
    }

    // The bar rests inside the window, off its bottom edge, and its subtitle keeps the
    // position in the list: a long list name gives way first.
    void barKeepsInsideTheWindow_data()
    {
        QTest::addColumn<int>("look");
        for (int v = 0; v < int(std::size(looks)); ++v)
            QTest::addRow("%s", looks[v].suffix) << v;
    }
    void barKeepsInsideTheWindow()
    {
        QFETCH(int, look);
        apply(looks[look]);
        PlayerFixture fixture;
        fixture.session.play(
            QStringLiteral("晨读测试：大学英语四级核心词汇"), words(12), QStringLiteral("token"), lin, 2);
        settle();
        auto host = fixture.host();
        scenetest::Screen screen;
        QVERIFY(screen.show({{QStringLiteral("hostModel"), host.get()}},
            underHome + "GlobalPlaybackSurfaceHost { anchors.fill: parent; model: hostModel }"));
        screen.save(QStringLiteral("player-bar-long-%1").arg(QString::fromLatin1(looks[look].suffix)));
        const QRectF window(0, 0, screen.window->width(), screen.window->height());
        const QRectF surface = sceneRect(screen.item("player.surface.background"));
        QVERIFY(window.contains(surface));
        QVERIFY2(surface.bottom() <= window.bottom() - 8,
            qPrintable(QStringLiteral("the bar ends at %1 of %2").arg(surface.bottom()).arg(window.bottom())));
        QQuickItem *bar = screen.item("player.bar");
        QVERIFY(surface.contains(sceneRect(bar)));
        QList<QQuickItem *> texts;
        scenetest::detail::collectTexts(bar, texts);
        QQuickItem *position = nullptr;
        for (QQuickItem *text : texts) {
            // Whole: nothing of the bar is cut by its surface, whatever the text size.
            QVERIFY2(scenetest::detail::drawnRect(text).height() >= sceneRect(text).height() - 0.5,
                qPrintable(text->property("text").toString() + QStringLiteral(" is cut")));
            if (text->property("text").toString().contains(QStringLiteral("3 / 12")))
                position = text;
        }
        QVERIFY(position);
        QVERIFY2(!position->property("truncated").toBool(), "the position is cut off");
        QVERIFY(sceneRect(bar).contains(scenetest::detail::drawnRect(position)));
        QCOMPARE(scenetest::overlappingTexts(screen.window), QStringList());
    }

    void pageStates_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<int>("variant");
        for (const char *state : {"waiting", "spelling", "paused", "loading", "bar"}) {
            for (int v = 0; v < int(std::size(looks)); ++v)
                QTest::addRow("%s-%s", state, looks[v].suffix) << QString::fromLatin1(state) << v;
        }
    }
    void pageStates()
    {
        QFETCH(QString, state);
        QFETCH(int, variant);
        apply(looks[variant]);
        PlayerFixture fixture;
        if (state == "loading")
            fixture.services.speech.holdAnswers = true;
        fixture.play(3, 0, cardWords());
        settle();
        if (state == "spelling" || state == "paused") {
            fixture.services.player.finishClip(); // the word itself ends; its spelling starts
            settle();
        }
        if (state == "paused")
            fixture.viewModel().pause();

        auto host = fixture.host();
        PlaybackPageModel waitingPage(fixture.session, fixture.random);
        waitingPage.setExpectedContextId(QStringLiteral("another list"));
        scenetest::Screen screen;
        if (state == "waiting") {
            QVERIFY(
                screen.show({{QStringLiteral("hostModel"), host.get()}, {QStringLiteral("pageModel"), &waitingPage}},
                    underHome + "PlaybackView { anchors.fill: parent; model: pageModel; host: hostModel }"));
            QVERIFY(screen.item("player.waiting"));
        } else {
            QVERIFY(screen.show({{QStringLiteral("hostModel"), host.get()}},
                underHome + "GlobalPlaybackSurfaceHost { anchors.fill: parent; model: hostModel }"));
            if (state != "bar") {
                host->openFullPlayer();
                fixture.scheduler.advance(0);
                QVERIFY(QTest::qWaitFor([&] { return screen.item("player.card.word") != nullptr; }, 5000));
                // Past the morph: the page's own elements show.
                screen.item("player.surface")->setProperty("progress", 1.0);
                host->setChildDestinationPresented(true);
            }
        }

        if (state != "waiting" && state != "bar") {
            // The header's badges share a row unless the text is too large for it.
            const bool large = looks[variant].size != Theme::Large;
            QVERIFY(screen.item(large ? "player.header.badges.stack" : "player.header.badges.row"));
        }
        if (state == "spelling") {
            QCOMPARE(screen.text("player.card.spelling"), QStringLiteral("a - b - a - n - d - o - n"));
        } else if (state == "paused") {
            QVERIFY(screen.item("player.center")->isEnabled());
            QCOMPARE(fixture.viewModel().playbackState(), PlaybackState::paused);
        } else if (state == "loading") {
            QVERIFY(!screen.item("player.center")->isEnabled());
        } else if (state == "bar") {
            QCOMPARE(screen.text("player.bar.word"), QStringLiteral("abandon"));
            QCOMPARE(screen.text("player.bar.subtitle"), QStringLiteral("正在播放 · 英文单词 · 考研词汇 · 1 / 3"));
            QVERIFY(screen.item("player.bar")->isEnabled());
            QVERIFY(!screen.item("player.page"));
        }
        screen.save(QStringLiteral("player-%1-%2").arg(state, QString::fromLatin1(looks[variant].suffix)));
        if (state == "spelling" || state == "paused") {
            // The word repeats twice: the unit badge keeps its symbol beside or above
            // the repeat count, apart from it and inside the card, at any text size.
            QVERIFY(screen.item("player.card.surface") && screen.item("player.card.unit")
                && screen.item("player.card.repeat"));
            const QRectF surface = sceneRect(screen.item("player.card.surface"));
            const QRectF badge = sceneRect(screen.item("player.card.unit"));
            const QRectF repeat = sceneRect(screen.item("player.card.repeat"));
            QVERIFY2(badge.width() >= screen.item("player.card")->property("iconWidth").toReal() + 20,
                qPrintable(QStringLiteral("the badge is %1 wide").arg(badge.width())));
            QVERIFY(!badge.intersects(repeat));
            QVERIFY(surface.contains(badge) && surface.contains(repeat));
        }
    }
};

TALVORO_TEST(PlayerRenderTest)
#include "tst_playerrenders.moc"
