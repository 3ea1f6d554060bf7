#include "SceneDriver.h"
#include "JourneySteps.h"
#include "SoundServer.h"
#include "TestRegistry.h"

#include "App/DependencyContainer.h"
#include "Models/Word.h"
#include "Playback/GlobalPlaybackSession.h"
#include "Player/PlaybackPageModel.h"

#include <QJsonArray>
#include <QStandardPaths>
#include <QTest>

using namespace scenetest;
using namespace talvoro;

namespace {

QString playerctl(const QStringList &arguments)
{
    return runDesktopClient(
        QStringLiteral("playerctl"), QStringList {QStringLiteral("-p"), QStringLiteral("talvoro")} + arguments);
}

// What the page's centre button says (its accessible label follows the playback state).
QString centerLabel(const SceneDriver &scene)
{
    QQuickItem *page = scene.item(QStringLiteral("player.page"));
    auto *model = page ? page->property("model").value<PlaybackPageModel *>() : nullptr;
    return model ? model->centerLabel() : QString();
}

} // namespace

class PlayerJourneyTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (!SceneDriver::available())
            QSKIP("needs the backend build and the test run's own Secret Service (scripts/test)");
        if (!hasSoundServer())
            QSKIP("needs a sound server (scripts/test starts one with a null sink)");
        if (QStandardPaths::findExecutable(QStringLiteral("playerctl")).isEmpty())
            QSKIP("needs playerctl (scripts/install-deps installs it)");
    }

    // A list plays while home shows: the bar tells what plays, opens the page, and
    // the page's controls and the desktop's media keys drive what is heard.
    void barPageAndMediaKeysDrivePlayback()
    {
        SceneDriver scene;
        QVERIFY(scene.startBackend());
        QVERIFY(scene.signInToHome());

        // Three words of the first public lexicon, each said over and over, so
        // that nothing moves on by itself while the journey looks.
        const QJsonArray lexicons
            = scene.backend().call("GET", QStringLiteral("/api/v1/public/lexicons")).data().toArray();
        QVERIFY(!lexicons.isEmpty());
        const QJsonArray served = scene.backend()
                                      .call("GET",
                                          QStringLiteral("/api/v1/public/lexicons/%1")
                                              .arg(lexicons.at(0)[QStringLiteral("id")].toInteger()))
                                      .data()[QStringLiteral("words")]
                                      .toArray();
        QVERIFY(served.size() >= 3);
        QList<ORVWord> words;
        for (int i = 0; i < 3; ++i) {
            ORVWord word = ORVWord::fromJson(served.at(i));
            word.playbackItems = QList<QString> {QStringLiteral("WORD")};
            word.repeatCount = 50;
            words.append(word);
        }
        const QString first = words.at(0).wordDisplay;
        const QString second = words.at(1).wordDisplay;

        DependencyContainer &container = scene.application().container();
        const auto snapshot = container.session().state().snapshot();
        QVERIFY(snapshot);
        container.playbackSession().play(QStringLiteral("四级核心"), words, snapshot->accessToken, snapshot->user, 0);

        // The bar over home, with the word and the progress.
        QVERIFY(scene.waitFor([&] { return textOf(scene.item(QStringLiteral("player.bar.word"))) == first; }));
        QVERIFY(scene.waitFor([&] {
            return textOf(scene.item(QStringLiteral("player.bar.subtitle"))).startsWith(QStringLiteral("正在播放"));
        }));
        QVERIFY(textOf(scene.item(QStringLiteral("player.bar.subtitle"))).endsWith(QStringLiteral("四级核心 · 1 / 3")));
        QVERIFY(scene.waitFor([] { return streamCorked() == QStringLiteral("no"); }));
        QVERIFY(!scene.savePng(QStringLiteral("journey-player-bar")).isEmpty());

        // A tap on the bar opens the page.
        QVERIFY(scene.press(QStringLiteral("player.bar.open")));
        QVERIFY(scene.waitForItem(QStringLiteral("player.collapse")));
        QVERIFY(scene.waitFor([&] { return textOf(scene.item(QStringLiteral("player.card.word"))) == first; }));
        QVERIFY(!scene.savePng(QStringLiteral("journey-player-page")).isEmpty());

        // Pause and resume reach the sound server. While the page is open the
        // travelling control lies over the page's centre button and takes the tap.
        PlaybackViewModel *viewModel = container.playbackSession().playbackViewModel();
        QVERIFY(scene.waitFor([&] { return viewModel->playbackState() == PlaybackState::playing; }));
        QVERIFY(scene.press(QStringLiteral("player.center")));
        QVERIFY(scene.waitFor([] { return streamCorked() == QStringLiteral("yes"); }));
        QCOMPARE(centerLabel(scene), QStringLiteral("继续播放"));
        QVERIFY(scene.press(QStringLiteral("player.center")));
        QVERIFY(scene.waitFor([] { return streamCorked() == QStringLiteral("no"); }));

        // Next and previous change the word on the page and what is sent to be heard.
        QVERIFY(scene.press(QStringLiteral("player.next")));
        QVERIFY(scene.waitFor([&] { return textOf(scene.item(QStringLiteral("player.card.word"))) == second; }));
        QVERIFY(scene.waitFor([&] {
            return playerctl({QStringLiteral("metadata"), QStringLiteral("title")}) == second;
        }));
        QVERIFY(scene.press(QStringLiteral("player.previous")));
        QVERIFY(scene.waitFor([&] { return textOf(scene.item(QStringLiteral("player.card.word"))) == first; }));
        QVERIFY(scene.waitFor([&] {
            return playerctl({QStringLiteral("metadata"), QStringLiteral("title")}) == first;
        }));

        // The loop-mode button cycles 顺序 → 随机 → 循环.
        QStringList modes {textOf(scene.item(QStringLiteral("player.loopMode.text")))};
        for (int i = 0; i < 3; ++i) {
            QVERIFY(scene.press(QStringLiteral("player.loopMode")));
            modes.append(textOf(scene.item(QStringLiteral("player.loopMode.text"))));
        }
        QCOMPARE(modes, (QStringList {"顺序播放", "随机播放", "循环播放", "顺序播放"}));

        // The desktop's media keys move the page too.
        playerctl({QStringLiteral("next")});
        QVERIFY(scene.waitFor([&] { return textOf(scene.item(QStringLiteral("player.card.word"))) == second; }));
        playerctl({QStringLiteral("pause")});
        QVERIFY(scene.waitFor([] { return streamCorked() == QStringLiteral("yes"); }));
        QVERIFY(scene.waitFor([&] { return centerLabel(scene) == QStringLiteral("继续播放"); }));
        playerctl({QStringLiteral("play")});
        QVERIFY(scene.waitFor([] { return streamCorked() == QStringLiteral("no"); }));

        // Collapsing brings the bar back, and the page leaves.
        QVERIFY(scene.press(QStringLiteral("player.collapse")));
        QVERIFY(scene.waitForNoItem(QStringLiteral("player.card.word")));
        QVERIFY(scene.waitFor([&] { return textOf(scene.item(QStringLiteral("player.bar.word"))) == second; }));
        QVERIFY(container.playbackSession().playbackViewModel()->playbackState() != PlaybackState::stopped);
        QVERIFY(!scene.savePng(QStringLiteral("journey-player-collapsed")).isEmpty());
        container.playbackSession().reset();
    }
};

TALVORO_TEST(PlayerJourneyTest)
#include "tst_playerjourney.moc"
