#include "PlayerFixture.h"
#include "ScreenRender.h"
#include "TestRegistry.h"

#include "DesignSystem/Theme.h"

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
        if (progress > 0.12)
            QCOMPARE(screen.item("player.card.word")->opacity(), 0.0);
        else
            QVERIFY(!screen.item("player.card.word")); // the page is still transparent
        screen.save(QStringLiteral("player-morph-%1").arg(int(progress * 100), 3, 10, QLatin1Char('0')));
    }

    void pageStates_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<int>("variant");
        for (const char *state : {"waiting", "spelling", "paused", "loading", "bar"}) {
            for (int v = 0; v < 3; ++v)
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
    }
};

TALVORO_TEST(PlayerRenderTest)
#include "tst_playerrenders.moc"
