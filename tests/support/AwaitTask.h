#pragma once

#include "Platform/AppError.h"

#include <QCoroTask>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <exception>
#include <memory>
#include <optional>
#include <stdexcept>
#include <variant>

// Runs a coroutine to its end inside a test, spinning the event loop, with a hard
// time limit: a coroutine that never finishes fails the test instead of hanging it.
namespace testsupport {

using namespace std::chrono_literals;

class AwaitTimeout : public std::runtime_error {
public:
    AwaitTimeout()
        : std::runtime_error("the awaited coroutine did not finish within its time limit")
    { }
};

template<typename T>
struct Outcome {
    using Value = std::conditional_t<std::is_void_v<T>, std::monostate, T>;
    bool finished = false;
    std::optional<Value> value;
    std::exception_ptr error;
};

namespace detail {
template<typename T>
QCoro::Task<> drive(QCoro::Task<T> task, std::shared_ptr<Outcome<T>> outcome, std::shared_ptr<QEventLoop> loop)
{
    try {
        if constexpr (std::is_void_v<T>) {
            co_await task;
            outcome->value.emplace();
        } else {
            outcome->value.emplace(co_await task);
        }
    } catch (...) {
        outcome->error = std::current_exception();
    }
    outcome->finished = true;
    loop->quit();
}
} // namespace detail

// Starts driving a task and returns at once; the outcome fills in when it finishes
// (spin the event loop, e.g. with QTRY_VERIFY(outcome->finished)).
template<typename T>
std::shared_ptr<Outcome<T>> startAwaiting(QCoro::Task<T> task)
{
    auto outcome = std::make_shared<Outcome<T>>();
    detail::drive(std::move(task), outcome, std::make_shared<QEventLoop>());
    return outcome;
}

// Never throws the task's error; throws AwaitTimeout when the limit passes.
template<typename T>
Outcome<T> awaitOutcome(QCoro::Task<T> task, std::chrono::milliseconds limit = 10s)
{
    auto outcome = std::make_shared<Outcome<T>>();
    auto loop = std::make_shared<QEventLoop>();
    detail::drive(std::move(task), outcome, loop);
    if (!outcome->finished) {
        QTimer::singleShot(limit, loop.get(), [loop] { loop->quit(); });
        loop->exec();
    }
    if (!outcome->finished)
        throw AwaitTimeout();
    return *outcome;
}

// The task's value; its error is rethrown.
template<typename T>
T awaitResult(QCoro::Task<T> task, std::chrono::milliseconds limit = 10s)
{
    Outcome<T> outcome = awaitOutcome(std::move(task), limit);
    if (outcome.error) {
        // QtTest reports an escaping exception without its text; say it here.
        qWarning("the awaited coroutine failed: %s", qPrintable(talvoro::describe(outcome.error)));
        std::rethrow_exception(outcome.error);
    }
    if constexpr (!std::is_void_v<T>)
        return std::move(*outcome.value);
}

// The error of type E the task failed with; std::nullopt when it succeeded or
// failed with another type.
template<typename E, typename T>
std::optional<E> awaitError(QCoro::Task<T> task, std::chrono::milliseconds limit = 10s)
{
    Outcome<T> outcome = awaitOutcome(std::move(task), limit);
    if (!outcome.error)
        return std::nullopt;
    try {
        std::rethrow_exception(outcome.error);
    } catch (const E &error) {
        return error;
    } catch (...) { }
    return std::nullopt;
}

} // namespace testsupport
