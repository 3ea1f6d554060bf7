#pragma once

#include "Platform/Async.h"

#include <QCoreApplication>

#include <coroutine>
#include <memory>

// Lets a fake service's answer arrive when the test says so: the fake awaits a gate
// that the test opens (or that opens on the next turn), so a test can script the
// order in which concurrent answers arrive.
namespace testsupport {

// Lets every posted continuation run.
inline void settle()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

// Something a fake coroutine waits for: opened by the test, or by cancellation.
// The waiter always resumes in an event loop turn of its own, as real I/O does.
struct Gate {
    bool isOpen = false;
    bool wasCancelled = false;
    std::coroutine_handle<> waiter;

    void open()
    {
        if (!std::exchange(isOpen, true) && waiter)
            talvoro::postToMainThread([waiter = waiter] { waiter.resume(); });
    }
};

class GateAwaiter {
public:
    GateAwaiter(std::shared_ptr<Gate> gate, talvoro::CancellationToken token)
        : m_gate(std::move(gate))
        , m_token(std::move(token))
    { }
    bool await_ready() const { return m_gate->isOpen; }
    void await_suspend(std::coroutine_handle<> handle)
    {
        m_gate->waiter = handle;
        m_registration = m_token.onCancel([gate = m_gate] {
            gate->wasCancelled = !gate->isOpen;
            gate->open();
        });
    }
    void await_resume() { m_registration.reset(); }

private:
    std::shared_ptr<Gate> m_gate;
    talvoro::CancellationToken m_token;
    talvoro::CancellationRegistration m_registration;
};

// A gate that opens on the next turn unless `hold`.
inline std::shared_ptr<Gate> newGate(bool hold)
{
    auto gate = std::make_shared<Gate>();
    if (!hold)
        talvoro::postToMainThread([gate] { gate->open(); });
    return gate;
}

} // namespace testsupport
