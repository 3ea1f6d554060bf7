#pragma once

#include <QObject>

namespace talvoro {

// The app's claim on the sound output: whether it is active, and the interruptions
// (a call, another app taking the device) that the platform reports. A desktop
// sound server never refuses activation, so nothing here fails; what reports an
// interruption calls reportInterruption(), and tests do the same.
class AudioSession : public QObject {
    Q_OBJECT
public:
    // The raw values the platform reports.
    static constexpr quint64 interruptionEnded = 0;
    static constexpr quint64 interruptionBegan = 1;
    static constexpr quint64 shouldResumeOption = 1; // bit in the options of an ended interruption

    explicit AudioSession(QObject *parent = nullptr);

    bool isActive() const { return m_active; }
    void setActive(bool active);

    void reportInterruption(quint64 type, quint64 options = 0);

Q_SIGNALS:
    void interrupted(quint64 type, quint64 options);

private:
    bool m_active = false;
};

} // namespace talvoro
