#pragma once

#include "Platform/AppError.h"
#include "Platform/Async.h"

#include <QThreadPool>

#include <atomic>
#include <coroutine>
#include <memory>
#include <exception>
#include <functional>
#include <optional>
#include <type_traits>

namespace talvoro {

// One worker thread that runs operations one at a time, in the order they were
// submitted: what an actor gives a store. The awaiting caller resumes on the main
// thread. Operations must not touch QObjects that live on the main thread.
class SerialExecutor {
public:
    explicit SerialExecutor(const QString &name);
    ~SerialExecutor(); // waits for the operations already submitted

    SerialExecutor(const SerialExecutor &) = delete;
    SerialExecutor &operator=(const SerialExecutor &) = delete;

    // Shared with every operation, which resumes its caller after the executor may
    // be gone.
    struct State {
        // Operations submitted whose caller has not resumed yet.
        std::atomic<int> outstanding {0};
        std::atomic<bool> cancelled {false};
    };

    template<typename F>
    class Awaiter {
        using R = std::invoke_result_t<F &>;
        using Value = std::conditional_t<std::is_void_v<R>, std::monostate, R>;

    public:
        Awaiter(QThreadPool *pool, std::shared_ptr<State> state, F fn)
            : m_pool(pool)
            , m_state(std::move(state))
            , m_fn(std::move(fn))
        { }
        bool await_ready() const { return false; }
        void await_suspend(std::coroutine_handle<> handle)
        {
            ++m_state->outstanding;
            m_pool->start([this, handle] {
                try {
                    if (m_state->cancelled)
                        throw CancellationError();
                    if constexpr (std::is_void_v<R>) {
                        m_fn();
                        m_value.emplace();
                    } else {
                        m_value.emplace(m_fn());
                    }
                } catch (...) {
                    m_error = std::current_exception();
                }
                postToMainThread([handle, state = m_state] {
                    --state->outstanding;
                    handle.resume();
                });
            });
        }
        R await_resume()
        {
            if (m_error)
                std::rethrow_exception(m_error);
            if constexpr (!std::is_void_v<R>)
                return std::move(*m_value);
        }

    private:
        QThreadPool *m_pool;
        std::shared_ptr<State> m_state;
        F m_fn;
        std::optional<Value> m_value;
        std::exception_ptr m_error;
    };

    // co_await executor.run(work) runs a copy of the callable on the worker thread and
    // returns its result (or rethrows its exception) on the main thread.
    // It takes an lvalue on purpose: g++ 12 destroys a capturing lambda (or a braced
    // aggregate) that is built inside a co_await expression twice, so the callable must
    // be a named local: `auto work = [=] { ... }; co_await executor.run(work);`.
    template<typename F>
    Awaiter<F> run(F &fn)
    {
        return Awaiter<F>(&m_pool, m_state, fn);
    }

    // Operations that have not started yet, and any submitted later, fail with
    // CancellationError instead of running: for a store whose owner is going away.
    void cancelPending() { m_state->cancelled = true; }
    // Whether some caller is still to resume, on the main thread, from an operation.
    bool hasOutstandingWork() const { return m_state->outstanding > 0; }

private:
    QThreadPool m_pool;
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

} // namespace talvoro
