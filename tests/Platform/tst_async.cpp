#include "AwaitTask.h"
#include "TestRegistry.h"

#include "Platform/Async.h"
#include "Platform/SerialExecutor.h"

#include <QTest>
#include <QThread>

#include <atomic>

using namespace talvoro;
using namespace testsupport;

namespace {

struct Probe {
    int runs = 0;
    bool cancelledSeen = false;
    std::optional<CancellationSource> release;
};

// A run that stays suspended until the test releases it (or it is cancelled).
Task<QStringList> slowWords(Probe *probe, CancellationToken token)
{
    ++probe->runs;
    try {
        co_await sleepFor(std::chrono::hours(1), probe->release->token());
    } catch (const CancellationError &) { }
    if (token.isCancelled()) {
        probe->cancelledSeen = true;
        throw CancellationError();
    }
    co_return QStringList {QStringLiteral("apple"), QStringLiteral("苹果"), QStringLiteral("banana")};
}

Task<int> failing(int *runs, CancellationToken)
{
    ++*runs;
    co_await sleepFor(std::chrono::milliseconds(1));
    throw TransportError(TransportError::Code::timedOut);
}

SharedTask<QStringList> startSlow(Probe *probe)
{
    probe->release.emplace();
    return SharedTask<QStringList>::start([probe](CancellationToken token) { return slowWords(probe, token); });
}

Task<QStringList> awaitShared(SharedTask<QStringList> task, CancellationToken leave = {})
{
    co_return co_await task.wait(leave);
}

Task<int> awaitSharedInt(SharedTask<int> task)
{
    co_return co_await task;
}

struct Collected {
    int values = 0;
    int cancellations = 0;
    int others = 0;
    QList<QStringList> results;
};

Task<> collect(SharedTask<QStringList> task, CancellationToken leave, Collected *out)
{
    try {
        out->results.append(co_await task.wait(leave));
        ++out->values;
    } catch (const CancellationError &) {
        ++out->cancellations;
    } catch (...) {
        ++out->others;
    }
}

Task<> awaitAll(std::vector<Task<>> tasks)
{
    for (auto &task : tasks)
        co_await task;
}

} // namespace

class AsyncTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void tenAwaitersShareOneRunAndEachGetsTheFullResult()
    {
        Probe probe;
        auto shared = startSlow(&probe);
        Collected collected;
        std::vector<Task<>> waiting;
        for (int i = 0; i < 10; ++i)
            waiting.push_back(collect(shared, {}, &collected));
        probe.release->cancel();
        awaitResult(awaitAll(std::move(waiting)));

        QCOMPARE(probe.runs, 1);
        QCOMPARE(collected.values, 10);
        for (const QStringList &words : collected.results)
            QCOMPARE(words, (QStringList {QStringLiteral("apple"), QStringLiteral("苹果"), QStringLiteral("banana")}));
        // A late awaiter gets the kept result at once.
        QCOMPARE(awaitResult(awaitShared(shared)).size(), 3);
    }

    void anAwaiterThatLeavesDoesNotStopTheRun()
    {
        Probe probe;
        auto shared = startSlow(&probe);
        CancellationSource leaving;
        Collected collected;
        std::vector<Task<>> waiting;
        waiting.push_back(collect(shared, leaving.token(), &collected));
        waiting.push_back(collect(shared, {}, &collected));
        waiting.push_back(collect(shared, {}, &collected));
        leaving.cancel();
        probe.release->cancel();
        awaitResult(awaitAll(std::move(waiting)));

        QCOMPARE(collected.cancellations, 1);
        QCOMPARE(collected.values, 2);
        QCOMPARE(probe.runs, 1);
        QVERIFY(!probe.cancelledSeen);
    }

    void cancelEndsEveryAwaiterAndReachesTheRun()
    {
        Probe probe;
        auto shared = startSlow(&probe);
        Collected collected;
        std::vector<Task<>> waiting;
        for (int i = 0; i < 5; ++i)
            waiting.push_back(collect(shared, {}, &collected));
        shared.cancel();
        awaitResult(awaitAll(std::move(waiting)));
        QCOMPARE(collected.cancellations, 5);
        QCOMPARE(collected.values, 0);

        // The run saw its token cancelled; its late result is not published.
        probe.release->cancel();
        QTRY_VERIFY(probe.cancelledSeen);
        QVERIFY(awaitError<CancellationError>(awaitShared(shared)));
    }

    void everyAwaiterGetsTheSameError()
    {
        int runs = 0;
        auto shared = SharedTask<int>::start([&runs](CancellationToken token) { return failing(&runs, token); });
        auto first = awaitError<TransportError>(awaitSharedInt(shared));
        auto second = awaitError<TransportError>(awaitSharedInt(shared));
        QVERIFY(first && second);
        QCOMPARE(first->urlErrorCode(), -1001);
        QCOMPARE(second->urlErrorCode(), -1001);
        QCOMPARE(runs, 1);
    }

    void sleepEndsEarlyWhenCancelled()
    {
        CancellationSource source;
        QTimer::singleShot(10, [&source] { source.cancel(); });
        QVERIFY(awaitError<CancellationError>(sleepFor(std::chrono::hours(1), source.token()), 5s));
    }

    void serialExecutorRunsOneOperationAtATimeInOrder()
    {
        SerialExecutor executor(QStringLiteral("test"));
        std::atomic<int> active {0};
        std::atomic<int> mostActive {0};
        QList<int> order;
        QThread *mainThread = QThread::currentThread();
        bool allResumedOnMain = true;
        std::vector<Task<>> tasks;
        for (int i = 0; i < 20; ++i)
            tasks.push_back(runOnExecutor(&executor, i, &active, &mostActive, &order, mainThread, &allResumedOnMain));
        awaitResult(awaitAll(std::move(tasks)));

        QCOMPARE(mostActive.load(), 1);
        QList<int> expected;
        for (int i = 0; i < 20; ++i)
            expected.append(i);
        QCOMPARE(order, expected);
        QVERIFY(allResumedOnMain);
    }

    void serialExecutorRethrowsOnTheCaller()
    {
        SerialExecutor executor(QStringLiteral("test"));
        auto error = awaitError<FileError>(throwOnExecutor(&executor));
        QVERIFY(error);
        QCOMPARE(error->path(), QStringLiteral("/nowhere"));
    }

private:
    static Task<> runOnExecutor(SerialExecutor *executor, int index, std::atomic<int> *active,
        std::atomic<int> *mostActive, QList<int> *order, QThread *mainThread, bool *onMain)
    {
        auto work = [=] {
            const int now = ++*active;
            int expected = mostActive->load();
            while (now > expected && !mostActive->compare_exchange_weak(expected, now)) { }
            QThread::msleep(2);
            order->append(index); // only ever touched by the one worker
            --*active;
            return index;
        };
        const int seen = co_await executor->run(work);
        if (QThread::currentThread() != mainThread || seen != index)
            *onMain = false;
    }

    static Task<> throwOnExecutor(SerialExecutor *executor)
    {
        auto work = []() -> int { throw FileError(QStringLiteral("/nowhere"), QStringLiteral("gone")); };
        co_await executor->run(work);
    }
};

TALVORO_TEST(AsyncTest)
#include "tst_async.moc"
