#pragma once

#include <QDateTime>

namespace talvoro {

// Wherever the app reads the time it asks a Clock, so tests can pin it.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTimeUtc(); }
};

// A clock that moves only when told to.
class ManualClock final : public Clock {
public:
    explicit ManualClock(QDateTime start = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC))
        : m_now(std::move(start))
    { }
    QDateTime now() const override { return m_now; }
    void set(QDateTime value) { m_now = std::move(value); }
    void advance(qint64 milliseconds) { m_now = m_now.addMSecs(milliseconds); }

private:
    QDateTime m_now;
};

} // namespace talvoro
