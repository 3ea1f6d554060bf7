#pragma once

#include "Platform/AppError.h"
#include "Platform/Cancellation.h"

#include <QCoroTask>

#include <chrono>
#include <coroutine>
#include <functional>
#include <optional>
#include <variant>
#include <vector>

namespace talvoro {

template<typename T = void>
using Task = QCoro::Task<T>;

// Queues `fn` on the main thread's event loop. Used to resume coroutines there,
// whatever thread or signal finished the work they waited for.
void postToMainThread(std::function<void()> fn);

// Suspends for `duration` on a precise timer (a coarse one may fire ~5 % early).
// Throws CancellationError as soon as `token` is cancelled.
Task<> sleepFor(std::chrono::milliseconds duration, CancellationToken token = {});

// One run of a coroutine, awaited by any number of callers. Every awaiter gets a
// full copy of the result or the same error. An awaiter that leaves (its own token
// cancelled) gets CancellationError and the run goes on for the others; cancel()
// cancels the run's token and ends every awaiter with CancellationError.
// Copies share one run; all use is on the main thread.
template<typename T>
class SharedTask {
    using Value = std::conditional_t<std::is_void_v<T>, std::monostate, T>;

    struct State {
        bool finished = false;
        std::optional<Value> value;
        std::exception_ptr error;
        CancellationSource source;
        quint64 nextWaiter = 1;
        std::vector<std::pair<quint64, std::function<void()>>> waiters;

        void complete(std::optional<Value> v, std::exception_ptr e)
        {
            if (finished)
                return;
            finished = true;
            value = std::move(v);
            error = std::move(e);
            for (auto &[id, wake] : std::exchange(waiters, {}))
                wake();
        }
        bool removeWaiter(quint64 id)
        {
            for (auto it = waiters.begin(); it != waiters.end(); ++it) {
                if (it->first == id) {
                    waiters.erase(it);
                    return true;
                }
            }
            return false;
        }
    };

public:
    class Awaiter {
    public:
        Awaiter(std::shared_ptr<State> state, CancellationToken leave)
            : m_state(std::move(state))
            , m_leave(std::move(leave))
        { }
        // Moved only before it suspends; its callbacks point at it afterwards.
        Awaiter(Awaiter &&) = default;

        bool await_ready()
        {
            if (m_state->finished) {
                take();
                return true;
            }
            if (m_leave.isCancelled()) {
                m_error = std::make_exception_ptr(CancellationError());
                return true;
            }
            return false;
        }

        void await_suspend(std::coroutine_handle<> handle)
        {
            const quint64 id = m_state->nextWaiter++;
            m_state->waiters.emplace_back(id, [this, handle] {
                take();
                postToMainThread([handle] { handle.resume(); });
            });
            m_registration = m_leave.onCancel([this, handle, id] {
                if (m_state->removeWaiter(id)) {
                    m_error = std::make_exception_ptr(CancellationError());
                    postToMainThread([handle] { handle.resume(); });
                }
            });
        }

        T await_resume()
        {
            m_registration.reset();
            if (m_error)
                std::rethrow_exception(m_error);
            if constexpr (!std::is_void_v<T>)
                return std::move(*m_value);
        }

    private:
        void take()
        {
            m_error = m_state->error;
            if (m_state->value)
                m_value = *m_state->value;
        }

        std::shared_ptr<State> m_state;
        CancellationToken m_leave;
        CancellationRegistration m_registration;
        std::optional<Value> m_value;
        std::exception_ptr m_error;
    };

    // Starts `factory(token)` at once. The factory is kept alive for the whole run.
    template<typename Factory>
    static SharedTask start(Factory factory)
    {
        SharedTask task;
        task.m_state = std::make_shared<State>();
        run(task.m_state, std::move(factory));
        return task;
    }

    bool isValid() const { return m_state != nullptr; }
    bool isFinished() const { return m_state && m_state->finished; }

    void cancel()
    {
        if (!m_state || m_state->finished)
            return;
        m_state->source.cancel();
        m_state->complete(std::nullopt, std::make_exception_ptr(CancellationError()));
    }

    // Awaits the run; cancelling `leave` only makes this awaiter stop waiting.
    Awaiter wait(CancellationToken leave = {}) const { return Awaiter(m_state, std::move(leave)); }
    Awaiter operator co_await() const { return wait(); }

    friend bool operator==(const SharedTask &a, const SharedTask &b) { return a.m_state == b.m_state; }

private:
    template<typename Factory>
    static Task<> run(std::shared_ptr<State> state, Factory factory)
    {
        try {
            if constexpr (std::is_void_v<T>) {
                co_await factory(state->source.token());
                state->complete(Value {}, nullptr);
            } else {
                Value value = co_await factory(state->source.token());
                state->complete(std::move(value), nullptr);
            }
        } catch (...) {
            state->complete(std::nullopt, std::current_exception());
        }
    }

    std::shared_ptr<State> m_state;
};

} // namespace talvoro
