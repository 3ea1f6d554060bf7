#pragma once

#include "Platform/Async.h"

#include <QThreadPool>

#include <coroutine>
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

    template<typename F>
    class Awaiter {
        using R = std::invoke_result_t<F &>;
        using Value = std::conditional_t<std::is_void_v<R>, std::monostate, R>;

    public:
        Awaiter(QThreadPool *pool, F fn)
            : m_pool(pool)
            , m_fn(std::move(fn))
        { }
        bool await_ready() const { return false; }
        void await_suspend(std::coroutine_handle<> handle)
        {
            m_pool->start([this, handle] {
                try {
                    if constexpr (std::is_void_v<R>) {
                        m_fn();
                        m_value.emplace();
                    } else {
                        m_value.emplace(m_fn());
                    }
                } catch (...) {
                    m_error = std::current_exception();
                }
                postToMainThread([handle] { handle.resume(); });
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
        return Awaiter<F>(&m_pool, fn);
    }

private:
    QThreadPool m_pool;
};

} // namespace talvoro
