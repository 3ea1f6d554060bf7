#include "TestRegistry.h"

#include "DesignSystem/Haptics.h"
#include "DesignSystem/ORVRefreshScrollCoordinator.h"

#include <QSignalSpy>
#include <QTest>

using namespace talvoro;
using State = ORVRefreshScrollCoordinator::State;

class RefreshCoordinatorTest : public QObject {
    Q_OBJECT

    // A pull that reaches the threshold and is let go: the refresh is running after it.
    static void pullAndRelease(ORVRefreshScrollCoordinator &coordinator, qreal pull)
    {
        coordinator.didScroll(pull, true);
        coordinator.didEndDragging(pull);
    }

private Q_SLOTS:
    void init() { Haptics::shared()->resetCount(); }

    void showsHowFarToPullWithOneHapticPerCrossing_data()
    {
        QTest::addColumn<QList<qreal>>("pulls");
        QTest::addColumn<State>("state");
        QTest::addColumn<qreal>("progress");
        QTest::addColumn<int>("haptics");

        QTest::newRow("exactly 1") << QList<qreal> {1} << State::Idle << 0.0 << 0;
        QTest::newRow("1.5") << QList<qreal> {1.5} << State::Pulling << 1.5 / 72 << 0;
        QTest::newRow("just below the threshold") << QList<qreal> {10, 50, 71.5} << State::Pulling << 71.5 / 72 << 0;
        QTest::newRow("at the threshold") << QList<qreal> {72} << State::Armed << 0.0 << 1;
        QTest::newRow("held beyond while moving") << QList<qreal> {72, 400, 130, 75} << State::Armed << 0.0 << 1;
        QTest::newRow("back below it") << QList<qreal> {80, 50} << State::Pulling << 50.0 / 72 << 1;
        QTest::newRow("beyond, back to 50, beyond again") << QList<qreal> {80, 50, 80} << State::Armed << 0.0 << 2;
        QTest::newRow("back to rest") << QList<qreal> {80, 0.5} << State::Idle << 0.0 << 1;
        QTest::newRow("beyond, back to rest, beyond again") << QList<qreal> {80, 0, 100} << State::Armed << 0.0 << 2;
        QTest::newRow("scrolled up") << QList<qreal> {-300} << State::Idle << 0.0 << 0;
    }

    void showsHowFarToPullWithOneHapticPerCrossing()
    {
        QFETCH(QList<qreal>, pulls);
        ORVRefreshScrollCoordinator coordinator;
        coordinator.setHaptics(Haptics::shared());
        for (qreal pull : pulls)
            coordinator.didScroll(pull, true);
        QTEST(coordinator.state(), "state");
        QTEST(coordinator.progress(), "progress");
        QTEST(Haptics::shared()->lightImpactCount(), "haptics");
    }

    void releasingBeyondTheThresholdStartsOneRefresh_data()
    {
        QTest::addColumn<qreal>("pull");
        QTest::addColumn<int>("refreshes");

        QTest::newRow("71") << 71.0 << 0;
        QTest::newRow("72") << 72.0 << 1;
        QTest::newRow("150") << 150.0 << 1;
    }

    void releasingBeyondTheThresholdStartsOneRefresh()
    {
        QFETCH(qreal, pull);
        QFETCH(int, refreshes);
        ORVRefreshScrollCoordinator coordinator;
        coordinator.setHaptics(Haptics::shared());
        coordinator.setRestingContentInsetTop(20);
        QSignalSpy requested(&coordinator, &ORVRefreshScrollCoordinator::refreshRequested);

        pullAndRelease(coordinator, pull);
        if (refreshes == 1) {
            // While it runs, more pulls and releases change nothing.
            pullAndRelease(coordinator, 200);
            coordinator.didScroll(10, true);
        }

        QCOMPARE(requested.size(), refreshes);
        QCOMPARE(coordinator.isRefreshing(), refreshes == 1);
        QCOMPARE(coordinator.state(), refreshes == 1 ? State::Refreshing : State::Pulling);
        // The capsule (52) and its gap (8) stay in view while refreshing.
        QCOMPARE(coordinator.contentInsetTop(), refreshes == 1 ? 80.0 : 20.0);
    }

    void completionRestsBeforeANewPullCounts_data()
    {
        QTest::addColumn<bool>("scrolledToRest");
        QTest::newRow("scrolled back to rest") << true;
        QTest::newRow("inset animation ended at rest") << false;
    }

    void completionRestsBeforeANewPullCounts()
    {
        QFETCH(bool, scrolledToRest);
        ORVRefreshScrollCoordinator coordinator;
        coordinator.setHaptics(Haptics::shared());
        QSignalSpy requested(&coordinator, &ORVRefreshScrollCoordinator::refreshRequested);
        pullAndRelease(coordinator, 90);
        QCOMPARE(Haptics::shared()->lightImpactCount(), 1);

        // The refresh returns while the user still drags.
        coordinator.finishRefresh();
        QCOMPARE(coordinator.state(), State::Idle);
        QVERIFY(coordinator.isCompleting());
        QCOMPARE(coordinator.contentInsetTop(), 0.0);
        coordinator.insetAnimationFinished(40, true);
        coordinator.insetAnimationFinished(5, false);
        QVERIFY(coordinator.isCompleting());

        // Meanwhile a pull shows nothing and a release starts nothing.
        coordinator.didScroll(100, true);
        coordinator.didEndDragging(100);
        QCOMPARE(coordinator.state(), State::Idle);
        QCOMPARE(requested.size(), 1);
        QCOMPARE(Haptics::shared()->lightImpactCount(), 1);

        // Once let go and back at rest, pulling works again, haptic included.
        if (scrolledToRest)
            coordinator.didScroll(0.5, false);
        else
            coordinator.insetAnimationFinished(0, false);
        QVERIFY(!coordinator.isCompleting());
        pullAndRelease(coordinator, 90);
        QCOMPARE(requested.size(), 2);
        QCOMPARE(Haptics::shared()->lightImpactCount(), 2);
    }

    void aCancelledRefreshTouchesNothing()
    {
        ORVRefreshScrollCoordinator coordinator;
        coordinator.setHaptics(Haptics::shared());
        QSignalSpy inset(&coordinator, &ORVRefreshScrollCoordinator::contentInsetTopChanged);
        pullAndRelease(coordinator, 90);
        coordinator.dismantle();
        coordinator.finishRefresh();
        coordinator.didScroll(0, false);

        QCOMPARE(coordinator.state(), State::Refreshing);
        QVERIFY(!coordinator.isCompleting());
        QCOMPARE(coordinator.contentInsetTop(), 60.0);
        QCOMPARE(inset.size(), 1);
    }

    void namesEachStateWithItsTexts()
    {
        ORVRefreshScrollCoordinator coordinator;
        coordinator.setHaptics(Haptics::shared());
        QCOMPARE(coordinator.title(), QString());
        coordinator.setProperty("pullingDetail", QStringLiteral("继续下拉以更新播放列表"));
        coordinator.didScroll(30, true);
        QCOMPARE(coordinator.title() + coordinator.detail(), QStringLiteral("下拉刷新继续下拉以更新播放列表"));
        coordinator.didScroll(80, true);
        QCOMPARE(coordinator.title() + coordinator.detail(), QStringLiteral("松手刷新松开后开始获取最新数据"));
        coordinator.didEndDragging(80);
        QCOMPARE(coordinator.title() + coordinator.detail(), QStringLiteral("正在刷新正在获取最新数据，请稍候"));
    }
};

TALVORO_TEST(RefreshCoordinatorTest)
#include "tst_refresh.moc"
