#pragma once

#include "Platform/Async.h"

#include <QObject>
#include <QtQmlIntegration>

#include <functional>

namespace talvoro {

// Restores the stored session once at launch, however many ask, and publishes
// whether the launch cover is still needed. The phase moves to contentReady once
// and never goes back.
class AppLaunchCoordinator : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The app builds its one launch coordinator")
    Q_PROPERTY(Phase phase READ phase NOTIFY phaseChanged)

public:
    enum class Phase { RestoringSession, ContentReady };
    Q_ENUM(Phase)

    using Restore = std::function<Task<>()>;

    explicit AppLaunchCoordinator(QObject *parent = nullptr);

    Phase phase() const { return m_phase; }

    // Runs `restore` unless the phase is already contentReady; a caller that comes
    // while a restore runs awaits that one instead. A caller that leaves through
    // `leave` skips the phase change; the restore goes on for the others.
    Task<> run(Restore restore, CancellationToken leave = {});

Q_SIGNALS:
    void phaseChanged();

private:
    Phase m_phase = Phase::RestoringSession;
    std::optional<SharedTask<void>> m_restorationTask;
};

} // namespace talvoro
