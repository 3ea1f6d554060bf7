#pragma once

#include "Screens/DelayScheduler.h"

#include <QList>
#include <QPointer>

// Delayed work that runs only when the test moves this scheduler's clock on, in
// order of due time; work whose context is gone is dropped, as Qt's timers drop it.
class ManualScheduler final : public talvoro::DelayScheduler {
public:
    void after(std::chrono::milliseconds delay, QObject *context, std::function<void()> work) override
    {
        m_jobs.append({m_now + delay.count(), m_sequence++, context, std::move(work)});
    }
    void advance(qint64 milliseconds)
    {
        const qint64 until = m_now + milliseconds;
        while (true) {
            qsizetype next = -1;
            for (qsizetype i = 0; i < m_jobs.size(); ++i) {
                const Job &job = m_jobs.at(i);
                if (job.due <= until
                    && (next < 0
                        || std::pair(job.due, job.sequence) < std::pair(m_jobs.at(next).due, m_jobs.at(next).sequence)))
                    next = i;
            }
            if (next < 0)
                break;
            Job job = m_jobs.takeAt(next);
            m_now = job.due;
            if (job.context)
                job.work();
        }
        m_now = until;
    }
    qsizetype pending() const { return m_jobs.size(); }

private:
    struct Job {
        qint64 due;
        quint64 sequence;
        QPointer<QObject> context;
        std::function<void()> work;
    };
    qint64 m_now = 0;
    quint64 m_sequence = 0;
    QList<Job> m_jobs;
};
