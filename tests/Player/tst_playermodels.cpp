#include "PlayerFixture.h"
#include "TestRegistry.h"

#include "Playback/GlobalPlaybackSession.h"
#include "Player/PlaybackPageModel.h"
#include "Player/PlaybackSurfaceHostModel.h"
#include "Player/PlayerMorph.h"
#include "Player/PlayerSharedElementRegistry.h"

#include <QTest>

using namespace talvoro;
using namespace testsupport;
using namespace playertest;
namespace morph = talvoro::playermorph;

Q_DECLARE_METATYPE(talvoro::LoopMode)

class PlayerMorphTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A 390 × 844 screen: the bar is 366 × 64, 12 above the bottom edge.
    void surfaceFollowsProgress_data()
    {
        QTest::addColumn<qreal>("p");
        QTest::addColumn<QList<qreal>>("expected"); // width, height, centre y, radius, page, bar
        QTest::newRow("bar") << 0.0 << QList<qreal> {366, 64, 800, 16, 0, 1};
        QTest::newRow("page starts") << 0.12 << QList<qreal> {368.88, 157.6, 754.64, 14.08, 0, 0.83135};
        QTest::newRow("bar half gone") << 0.23 << QList<qreal> {371.52, 243.4, 713.06, 12.32, 0.08851, 0.5};
        QTest::newRow("page half shown") << 0.42 << QList<qreal> {376.08, 391.6, 641.24, 9.28, 0.5, 0.02137};
        QTest::newRow("page opaque") << 0.72 << QList<qreal> {383.28, 625.6, 527.84, 4.48, 1, 0};
        QTest::newRow("page") << 1.0 << QList<qreal> {390, 844, 422, 0, 1, 0};
        QTest::newRow("clamped below") << -0.5 << QList<qreal> {366, 64, 800, 16, 0, 1};
        QTest::newRow("clamped above") << 1.5 << QList<qreal> {390, 844, 422, 0, 1, 0};
    }
    void surfaceFollowsProgress()
    {
        QFETCH(qreal, p);
        QFETCH(QList<qreal>, expected);
        const auto s = morph::surface(p, QSizeF(390, 844));
        const QList<qreal> actual {s.width, s.height, s.center.y(), s.cornerRadius, s.pageOpacity, s.barOpacity};
        for (qsizetype i = 0; i < expected.size(); ++i)
            QVERIFY2(qAbs(actual.at(i) - expected.at(i)) < 1e-3,
                qPrintable(QStringLiteral("value %1: %2, not %3").arg(i).arg(actual.at(i)).arg(expected.at(i))));
        QCOMPARE(s.center.x(), 195.0);
    }

    void aNarrowScreenHasNoNegativeBar()
    {
        QCOMPARE(morph::compactWidth(20), 0.0);
        QCOMPARE(morph::surface(0, QSizeF(20, 500)).width, 0.0);
    }

    void chromeSizesAndGlyphsFollowProgress_data()
    {
        QTest::addColumn<qreal>("p");
        QTest::addColumn<QList<qreal>>("expected"); // icon, radius, tint, title, control, compact, expanded
        QTest::newRow("bar") << 0.0 << QList<qreal> {18, 10, 0.1, 15, 17, 1, 0};
        QTest::newRow("compact glyph half") << 0.29 << QList<qreal> {16.26, 8.26, 0.071, 22.25, 30.63, 0.5, 0.03512};
        QTest::newRow("expanded glyph half") << 0.6 << QList<qreal> {14.4, 6.4, 0.04, 30, 45.2, 0, 0.5};
        QTest::newRow("page") << 1.0 << QList<qreal> {12, 4, 0, 40, 64, 0, 1};
    }
    void chromeSizesAndGlyphsFollowProgress()
    {
        QFETCH(qreal, p);
        QFETCH(QList<qreal>, expected);
        const auto c = morph::chrome(p);
        const QList<qreal> actual {c.iconSize, c.iconCornerRadius, c.iconTintOpacity, c.titleSize, c.controlSize,
            c.compactGlyphOpacity, c.expandedGlyphOpacity};
        for (qsizetype i = 0; i < expected.size(); ++i)
            QVERIFY2(qAbs(actual.at(i) - expected.at(i)) < 1e-3,
                qPrintable(QStringLiteral("value %1: %2, not %3").arg(i).arg(actual.at(i)).arg(expected.at(i))));
    }

    void theLaterReportWinsAndAMissingRoleFallsBack()
    {
        PlayerSharedElementRegistry registry;
        const QSizeF size(390, 844);
        registry.report(PlayerMorph::CompactControl, QRectF(300, 790, 44, 44));
        registry.report(PlayerMorph::CompactControl, QRectF(310, 792, 44, 44));
        QCOMPARE(registry.frame(PlayerMorph::CompactControl, 390, 844), QRectF(310, 792, 44, 44));
        // Nothing reported for the page's control: it stands above the bottom, centred.
        QCOMPARE(registry.frame(PlayerMorph::ExpandedControl, 390, 844), QRectF(159, 732, 72, 72));
        registry.setProgress(0.5);
        QCOMPARE(registry.travellingFrame(PlayerMorph::CompactControl, PlayerMorph::ExpandedControl, 390, 844),
            QRectF(234.5, 762, 58, 58));
        registry.withdraw(PlayerMorph::CompactControl);
        QCOMPARE(registry.frame(PlayerMorph::CompactControl, 390, 844),
            morph::fallbackRect(morph::Role::compactControl, size));
        // The bar's fallback control sits inside the bar, 8 in from its right edge.
        const QRectF control = morph::fallbackRect(morph::Role::compactControl, size);
        QCOMPARE(control.right(), 12 + morph::compactWidth(390) - 8);
        QVERIFY(control.bottom() <= 844 - 12);
    }

    // A copy inside a scrolled view is drawn only where that view shows: the area
    // narrows from the whole layer at the bar to the view's part at the page.
    void theTravellingAreaFollowsWhatTheViewShows_data()
    {
        QTest::addColumn<qreal>("p");
        QTest::addColumn<QRectF>("expected");
        QTest::newRow("bar") << 0.0 << QRectF(0, 0, 390, 844);
        QTest::newRow("half way") << 0.5 << QRectF(8, 75, 374, 667);
        QTest::newRow("page") << 1.0 << QRectF(16, 150, 358, 490);
    }
    void theTravellingAreaFollowsWhatTheViewShows()
    {
        QFETCH(qreal, p);
        QFETCH(QRectF, expected);
        PlayerSharedElementRegistry registry;
        registry.report(PlayerMorph::CompactTitle, QRectF(80, 790, 100, 22));
        registry.report(PlayerMorph::ExpandedTitle, QRectF(100, 40, 190, 48), QRectF(16, 150, 358, 490));
        registry.setProgress(p);
        QCOMPARE(registry.travellingArea(PlayerMorph::CompactTitle, PlayerMorph::ExpandedTitle, 390, 844), expected);
        // Withdrawn, the page's copy no longer cuts the travelling one.
        registry.withdraw(PlayerMorph::ExpandedTitle);
        QCOMPARE(registry.travellingArea(PlayerMorph::CompactTitle, PlayerMorph::ExpandedTitle, 390, 844),
            QRectF(0, 0, 390, 844));
    }
};

class PlaybackSurfaceHostModelTest : public QObject {
    Q_OBJECT

    std::unique_ptr<PlayerFixture> m_fixture;
    std::unique_ptr<PlaybackSurfaceHostModel> m_host;

    PlayerFixture &fixture() { return *m_fixture; }
    PlaybackSurfaceHostModel &host() { return *m_host; }
    // What the layer shows: target progress, whether it animates there, the page mounted.
    QString state() const
    {
        return QStringLiteral("%1%2%3")
            .arg(m_host->targetProgress())
            .arg(m_host->animated() ? "~" : "")
            .arg(m_host->pageMounted() ? " page" : "");
    }

private Q_SLOTS:
    void init()
    {
        m_fixture = std::make_unique<PlayerFixture>();
        m_host = fixture().host();
    }
    void cleanup()
    {
        m_host.reset();
        m_fixture.reset();
    }

    void opensOnlyWithAList()
    {
        host().openFullPlayer();
        QVERIFY(!fixture().session.isFullPlayerPresented());
        fixture().play(2);
        host().openFullPlayer();
        QVERIFY(fixture().session.isFullPlayerPresented());
    }

    void expandMountsYieldsThenSpringsAndCollapseUnmountsLater()
    {
        fixture().play(2);
        host().openFullPlayer();
        QCOMPARE(state(), QStringLiteral("0 page")); // mounted, still invisible
        fixture().scheduler.advance(0);
        QCOMPARE(state(), QStringLiteral("1~ page"));
        host().collapse();
        QCOMPARE(state(), QStringLiteral("0~ page"));
        fixture().scheduler.advance(649);
        QVERIFY(host().pageMounted());
        fixture().scheduler.advance(1);
        QCOMPARE(state(), QStringLiteral("0~"));
    }

    void aReopenCancelsThePendingUnmount()
    {
        fixture().play(2);
        host().openFullPlayer();
        fixture().scheduler.advance(0);
        host().collapse();
        fixture().scheduler.advance(400);
        host().openFullPlayer();
        fixture().scheduler.advance(0);
        fixture().scheduler.advance(1000);
        QCOMPARE(state(), QStringLiteral("1~ page"));
        // The unmount counts from the last change.
        host().collapse();
        fixture().scheduler.advance(600);
        QVERIFY(host().pageMounted());
        fixture().scheduler.advance(50);
        QVERIFY(!host().pageMounted());
    }

    void aCollapseBeforeTheYieldNeverLeavesThePageHalfOpen()
    {
        fixture().play(2);
        host().openFullPlayer();
        host().collapse();
        fixture().scheduler.advance(0); // the overtaken expand does nothing
        QCOMPARE(state(), QStringLiteral("0~ page"));
        fixture().scheduler.advance(650);
        QCOMPARE(state(), QStringLiteral("0~"));
        QCOMPARE(fixture().scheduler.pending(), 0);
    }

    void reduceMotionJumps()
    {
        host().setReduceMotion(true);
        fixture().play(2);
        host().openFullPlayer();
        QCOMPARE(state(), QStringLiteral("1 page"));
        host().collapse();
        QCOMPARE(state(), QStringLiteral("0"));
        QCOMPARE(fixture().scheduler.pending(), 0);
    }

    void aHostMadeWhileThePageIsOpenFadesIn()
    {
        fixture().play(2);
        fixture().session.setFullPlayerPresented(true);
        PlaybackSurfaceHostModel late(fixture().session, fixture().scheduler, fixture().random);
        QVERIFY(late.pageMounted());
        QCOMPARE(late.contentVisibility(), 0.0);
        fixture().scheduler.advance(0);
        QCOMPARE(late.targetProgress(), 1.0);
        QCOMPARE(late.contentVisibility(), 1.0);
    }

    void theChromeShowsOnlyWhilePresentingMountedAndNoScreenPushed()
    {
        fixture().play(2);
        QVERIFY(!host().sharedChromeActive()); // the bar alone: nothing travels
        host().openFullPlayer();
        QVERIFY(host().sharedChromeActive());
        host().setChildDestinationPresented(true);
        QVERIFY(!host().sharedChromeActive());
        host().setChildDestinationPresented(false);
        fixture().viewModel().stop(); // the presentation goes away with playback
        QVERIFY(!fixture().session.presentation());
        QVERIFY(!host().sharedChromeActive());
    }

    void theContextIdFollowsTheLiveList()
    {
        fixture().play(2);
        const QString first = fixture().contextId();
        QCOMPARE(host().contextId(), first);
        fixture().play(3);
        QVERIFY(host().contextId() != first);
        QCOMPARE(host().contextId(), fixture().contextId());
        fixture().session.play(QStringLiteral("x"), {}, QStringLiteral("token"), lin, 0); // no list left
        QVERIFY(!fixture().session.context());
        QVERIFY(!host().contextId().isEmpty());
    }

    void theToggleOnlyPausesAndResumes()
    {
        host().togglePlayback(); // no view model: nothing
        fixture().play(2);
        QCOMPARE(fixture().viewModel().playbackState(), PlaybackState::loading);
        QCOMPARE(host().controlLabel(), QStringLiteral("正在准备音频"));
        host().togglePlayback();
        QCOMPARE(fixture().viewModel().playbackState(), PlaybackState::loading);
        settle();
        QCOMPARE(fixture().viewModel().playbackState(), PlaybackState::playing);
        QCOMPARE(host().controlSymbol(), QStringLiteral("pause.fill"));
        host().togglePlayback();
        QCOMPARE(fixture().viewModel().playbackState(), PlaybackState::paused);
        QCOMPARE(host().controlLabel(), QStringLiteral("继续播放"));
        QCOMPARE(host().activitySymbol(), QStringLiteral("pause.fill"));
        host().togglePlayback();
        QCOMPARE(fixture().viewModel().playbackState(), PlaybackState::playing);
        fixture().viewModel().stop();
        host().togglePlayback();
        QCOMPARE(fixture().viewModel().playbackState(), PlaybackState::stopped);
        QVERIFY(!fixture().session.isFullPlayerPresented());
    }
};

class PlaybackPageModelTest : public QObject {
    Q_OBJECT

    std::unique_ptr<PlayerFixture> m_fixture;

    PlayerFixture &fixture() { return *m_fixture; }
    void setLoopMode(LoopMode mode)
    {
        while (fixture().viewModel().loopMode() != mode)
            fixture().viewModel().cycleLoopMode();
    }

private Q_SLOTS:
    void init() { m_fixture = std::make_unique<PlayerFixture>(); }
    void cleanup() { m_fixture.reset(); }

    void waitsForItsList()
    {
        PlaybackPageModel page(fixture().session, fixture().random);
        QVERIFY(page.waiting()); // no view model, no list
        fixture().play(2);
        QVERIFY(page.waiting()); // a list, but not the expected one
        page.setExpectedContextId(fixture().contextId());
        QVERIFY(!page.waiting());
        QCOMPARE(page.wordDisplay(), QStringLiteral("word1"));
    }

    // The host hands the page the live list id: a list started while the page is
    // open is shown, from its own playing word, instead of the waiting state.
    void aNewListWhileOpenIsShown()
    {
        auto host = fixture().host();
        PlaybackPageModel &page = *host->makePageModel(host.get());
        QVERIFY(page.waiting());
        fixture().play(3);
        QVERIFY(!page.waiting());
        page.next();
        QCOMPARE(page.currentIndex(), 1);
        fixture().play(4, 2);
        QVERIFY(!page.waiting());
        QCOMPARE(page.currentIndex(), 2);
        QCOMPARE(page.positionText(), QStringLiteral("3 / 4"));
        QCOMPARE(page.wordDisplay(), QStringLiteral("word3"));
    }

    void indexRulesByLoopMode_data()
    {
        QTest::addColumn<LoopMode>("mode");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("start");
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("expected");
        QTest::addColumn<bool>("previousEnabled"); // before the command
        QTest::addColumn<bool>("nextEnabled");
        QTest::newRow("sequential next") << LoopMode::sequential << 3 << 0 << "next" << 1 << false << true;
        QTest::newRow("sequential next at the end") << LoopMode::sequential << 3 << 2 << "next" << 2 << true << false;
        QTest::newRow("sequential previous at the start")
            << LoopMode::sequential << 3 << 0 << "previous" << 0 << false << true;
        QTest::newRow("sequential previous") << LoopMode::sequential << 3 << 2 << "previous" << 1 << true << false;
        QTest::newRow("loop next wraps") << LoopMode::loop << 3 << 2 << "next" << 0 << true << true;
        QTest::newRow("loop previous wraps") << LoopMode::loop << 3 << 0 << "previous" << 2 << true << true;
        QTest::newRow("loop with one word") << LoopMode::loop << 1 << 0 << "next" << 0 << true << true;
        QTest::newRow("shuffle redraws the current index")
            << LoopMode::shuffle << 3 << 1 << "next" << 2 << true << true;
        QTest::newRow("shuffle of two moves to the other")
            << LoopMode::shuffle << 2 << 0 << "next" << 1 << false << true;
        QTest::newRow("shuffle at the end: next disabled")
            << LoopMode::shuffle << 3 << 2 << "next" << 1 << true << false;
        QTest::newRow("shuffle of one stays") << LoopMode::shuffle << 1 << 0 << "next" << 0 << false << false;
    }
    void indexRulesByLoopMode()
    {
        QFETCH(LoopMode, mode);
        QFETCH(int, count);
        QFETCH(int, start);
        QFETCH(QString, command);
        QFETCH(int, expected);
        QFETCH(bool, previousEnabled);
        QFETCH(bool, nextEnabled);
        fixture().play(count, start);
        setLoopMode(mode);
        auto page = fixture().page();
        QCOMPARE(page->currentIndex(), start);
        QCOMPARE(page->previousEnabled(), previousEnabled);
        QCOMPARE(page->nextEnabled(), nextEnabled);
        fixture().random.answers = {quint64(start), quint64(start), 2, 1, 0};

        if (command == "next")
            page->next();
        else
            page->previous();

        QCOMPARE(page->currentIndex(), expected);
        QCOMPARE(fixture().viewModel().currentPlayingIndex(), std::optional<qsizetype>(expected));
        QCOMPARE(page->wordDisplay(), QStringLiteral("word%1").arg(expected + 1));
    }

    void theCenterButtonByState()
    {
        fixture().play(2, 1);
        auto page = fixture().page();
        QCOMPARE(page->centerLabel(), QStringLiteral("正在准备音频"));
        QVERIFY(!page->centerEnabled());
        page->togglePlayback(); // loading: nothing
        QCOMPARE(fixture().viewModel().playbackState(), PlaybackState::loading);
        settle();
        QCOMPARE(page->centerLabel(), QStringLiteral("暂停播放"));
        page->togglePlayback();
        QCOMPARE(fixture().viewModel().playbackState(), PlaybackState::paused);
        QCOMPARE(page->centerLabel(), QStringLiteral("继续播放"));
        page->togglePlayback();
        QCOMPARE(fixture().viewModel().playbackState(), PlaybackState::playing);
        fixture().viewModel().stop();
        // Stopped: the page keeps its last word until started again, from the first.
        QCOMPARE(page->currentIndex(), 1);
        QCOMPARE(page->wordDisplay(), QStringLiteral("word2"));
        QCOMPARE(page->centerLabel(), QStringLiteral("开始播放"));
        page->togglePlayback();
        QCOMPARE(page->currentIndex(), 0);
        QVERIFY(fixture().viewModel().playbackState() != PlaybackState::stopped);
    }

    void theRepeatTextNeedsTwoRepeats_data()
    {
        QTest::addColumn<qint64>("wordRepeats");
        QTest::addColumn<std::optional<qint64>>("profileRepeats");
        QTest::addColumn<QString>("text");
        QTest::newRow("once") << qint64(1) << std::optional<qint64>() << "";
        QTest::newRow("twice") << qint64(2) << std::optional<qint64>() << "重复 1 / 2 次";
        QTest::newRow("the profile wins") << qint64(1) << std::optional<qint64>(3) << "重复 1 / 3 次";
        QTest::newRow("a profile of one") << qint64(4) << std::optional<qint64>(1) << "";
    }
    void theRepeatTextNeedsTwoRepeats()
    {
        QFETCH(qint64, wordRepeats);
        QFETCH(std::optional<qint64>, profileRepeats);
        QFETCH(QString, text);
        ORVWord word = makeWord(1, QStringLiteral("apple"), QList<QString> {"WORD"}, wordRepeats);
        if (profileRepeats) {
            word.playbackProfile = WordPlaybackProfile();
            word.playbackProfile->repeatCount = profileRepeats;
        }
        fixture().play(1, 0, {word});
        auto page = fixture().page();
        QCOMPARE(page->repeatText(), text);
    }

    void theStatusSlotAndTheCardText()
    {
        ORVWord word = makeWord(1, QStringLiteral("apple"), QList<QString> {"WORD", "SPELLING"});
        word.ipa = QString(); // present but empty: still a line
        word.translationsZh = {QStringLiteral("苹果"), QStringLiteral("苹果树")};
        word.explanation = QStringLiteral(" \n ");
        word.usageScenario = QStringLiteral("  在超市里 \n");
        fixture().play(1, 0, {word});
        auto page = fixture().page();
        QVERIFY(page->hasIpa());
        QVERIFY(!page->hasSyllables());
        QCOMPARE(page->meanings(), QStringLiteral("苹果；苹果树"));
        QCOMPARE(page->explanation(), QString());
        QCOMPARE(page->usageScenario(), QStringLiteral("在超市里"));
        settle();
        QCOMPARE(page->unitTitle(), QStringLiteral("英文单词"));
        QVERIFY(!page->hasSpelling());
        fixture().services.player.finishClip();
        settle();
        QCOMPARE(page->unitTitle(), QStringLiteral("逐字母拼写"));
        QVERIFY(page->hasSpelling());
        QCOMPARE(page->spelling(), QStringLiteral("a - p - p - l - e"));
        const QVariantList units = page->units();
        QCOMPARE(units.size(), 2);
        QCOMPARE(units.at(1).toMap().value("current").toBool(), true);
        QCOMPARE(units.at(0).toMap().value("current").toBool(), false);
        // Stopped: the badge keeps its place with the placeholder, the spelling and units go.
        fixture().viewModel().stop();
        QVERIFY(!page->hasUnit());
        QCOMPARE(page->unitTitle(), QStringLiteral("准备播放"));
        QVERIFY(!page->hasSpelling());
        QVERIFY(page->units().isEmpty());
    }

    void theLoopButtonCycles()
    {
        fixture().play(2);
        auto page = fixture().page();
        QStringList texts {page->loopText()};
        for (int i = 0; i < 3; ++i) {
            page->cycleLoopMode();
            texts.append(page->loopText());
        }
        QCOMPARE(texts, (QStringList {"顺序播放", "随机播放", "循环播放", "顺序播放"}));
    }
};

TALVORO_TEST(PlayerMorphTest)
TALVORO_TEST(PlaybackSurfaceHostModelTest)
TALVORO_TEST(PlaybackPageModelTest)
#include "tst_playermodels.moc"
