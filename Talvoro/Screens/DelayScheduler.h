#pragma once

#include <QObject>
#include <QPointer>

#include <chrono>
#include <functional>

namespace talvoro {

// Runs work after a delay, on the main thread, unless `context` is gone by then.
// The app's runs on Qt's timers; a test's moves only when the test advances it.
class DelayScheduler {
public:
    virtual ~DelayScheduler() = default;
    virtual void after(std::chrono::milliseconds delay, QObject *context, std::function<void()> work) = 0;

    static DelayScheduler &system();
};

} // namespace talvoro
