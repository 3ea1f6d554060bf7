#pragma once

#include "Platform/Async.h"

#include <coroutine>
#include <deque>
#include <memory>

namespace talvoro {

// Lets coroutines through one at a time, in the order they arrived, so that an
// operation made of several awaited steps never interleaves with another one.
// `auto pass = co_await gate.enter();` holds the gate until `pass` is destroyed;
// the next in line then resumes on the main thread. Main thread only.
class AsyncGate {
    struct State {
        bool busy = false;
        std::deque<std::coroutine_handle<>> waiting;
    };

public:
    class Pass {
    public:
        explicit Pass(std::shared_ptr<State> state)
            : m_state(std::move(state))
        { }
        Pass(Pass &&other) noexcept = default;
        Pass &operator=(Pass &&) = delete;
        Pass(const Pass &) = delete;
        Pass &operator=(const Pass &) = delete;
        ~Pass()
        {
            if (!m_state)
                return;
            if (m_state->waiting.empty()) {
                m_state->busy = false;
                return;
            }
            // The gate stays busy: it passes straight to the next in line.
            const std::coroutine_handle<> next = m_state->waiting.front();
            m_state->waiting.pop_front();
            postToMainThread([next] { next.resume(); });
        }

    private:
        std::shared_ptr<State> m_state;
    };

    class Awaiter {
    public:
        explicit Awaiter(std::shared_ptr<State> state)
            : m_state(std::move(state))
        { }
        bool await_ready()
        {
            if (m_state->busy)
                return false;
            m_state->busy = true;
            return true;
        }
        void await_suspend(std::coroutine_handle<> handle) { m_state->waiting.push_back(handle); }
        Pass await_resume() { return Pass(m_state); }

    private:
        std::shared_ptr<State> m_state;
    };

    Awaiter enter() { return Awaiter(m_state); }

private:
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

} // namespace talvoro
