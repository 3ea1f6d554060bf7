#include "App/AppLaunchCoordinator.h"

#include <QPointer>

namespace talvoro {

AppLaunchCoordinator::AppLaunchCoordinator(QObject *parent)
    : QObject(parent)
{ }

namespace {

Task<> awaitRestore(AppLaunchCoordinator::Restore restore, CancellationToken)
{
    co_await restore();
}

} // namespace

Task<> AppLaunchCoordinator::run(Restore restore, CancellationToken leave)
{
    if (m_phase == Phase::ContentReady)
        co_return;
    if (!m_restorationTask) {
        m_restorationTask = SharedTask<void>::start(
            [restore = std::move(restore)](CancellationToken token) { return awaitRestore(restore, token); });
    }
    const SharedTask<void> task = *m_restorationTask;
    QPointer<AppLaunchCoordinator> self(this);
    try {
        co_await task.wait(leave);
    } catch (const CancellationError &) {
        co_return;
    } catch (...) {
        // A failed restore still ends the launch: the session reports its own state.
    }
    if (!self)
        co_return;
    if (m_restorationTask == task)
        m_restorationTask.reset();
    if (leave.isCancelled())
        co_return;
    if (m_phase != Phase::ContentReady) {
        m_phase = Phase::ContentReady;
        Q_EMIT phaseChanged();
    }
}

} // namespace talvoro
