#include "Platform/Async.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QTimer>

#include <memory>

namespace talvoro {

void postToMainThread(std::function<void()> fn)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(fn), Qt::QueuedConnection);
}

namespace {

// The timer and the cancellation race to wake the sleeper; whichever comes
// first resumes it, and the other finds `done` set and does nothing.
class SleepAwaiter {
public:
    SleepAwaiter(std::chrono::milliseconds duration, CancellationToken token)
        : m_duration(duration)
        , m_token(std::move(token))
    { }

    bool await_ready() const { return m_token.isCancelled(); }

    void await_suspend(std::coroutine_handle<> handle)
    {
        auto done = std::make_shared<bool>(false);
        m_timer = std::make_unique<QTimer>();
        m_timer->setSingleShot(true);
        m_timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(m_timer.get(), &QTimer::timeout, m_timer.get(), [done, handle] {
            if (std::exchange(*done, true))
                return;
            // Resume outside the timer's own signal: the awaiter deletes the timer.
            postToMainThread([handle] { handle.resume(); });
        });
        m_registration = m_token.onCancel([this, done, handle] {
            if (std::exchange(*done, true))
                return;
            m_cancelled = true;
            m_timer->stop();
            postToMainThread([handle] { handle.resume(); });
        });
        m_timer->start(m_duration);
    }

    void await_resume()
    {
        m_registration.reset();
        m_timer.reset();
        if (m_cancelled || m_token.isCancelled())
            throw CancellationError();
    }

private:
    std::chrono::milliseconds m_duration;
    CancellationToken m_token;
    CancellationRegistration m_registration;
    std::unique_ptr<QTimer> m_timer;
    bool m_cancelled = false;
};

} // namespace

Task<> sleepFor(std::chrono::milliseconds duration, CancellationToken token)
{
    co_await SleepAwaiter(duration, std::move(token));
}

} // namespace talvoro
