#include "Screens/DelayScheduler.h"

#include <QTimer>

namespace talvoro {

namespace {

class TimerScheduler final : public DelayScheduler {
public:
    void after(std::chrono::milliseconds delay, QObject *context, std::function<void()> work) override
    {
        QTimer::singleShot(delay, context, std::move(work));
    }
};

} // namespace

DelayScheduler &DelayScheduler::system()
{
    static TimerScheduler scheduler;
    return scheduler;
}

} // namespace talvoro
