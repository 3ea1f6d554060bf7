#pragma once

#include "Playback/AudioPlayerManagerDelegate.h"

#include <QCoreApplication>
#include <QStringList>
#include <QThread>

namespace testsupport {

// Writes down every event the player reports, in order, and whether each came on
// the main thread.
class RecordingDelegate : public talvoro::AudioPlayerManagerDelegate {
public:
    QStringList events;
    bool allOnMainThread = true;

    void audioPlayerDidFinish(bool successfully) override
    {
        record(successfully ? QStringLiteral("finished") : QStringLiteral("failed"));
    }
    void remotePlay() override { record(QStringLiteral("play")); }
    void remotePause() override { record(QStringLiteral("pause")); }
    void remoteNextTrack() override { record(QStringLiteral("next")); }
    void remotePreviousTrack() override { record(QStringLiteral("previous")); }
    void handleInterruption(bool shouldResume) override
    {
        record(shouldResume ? QStringLiteral("interruption:resume") : QStringLiteral("interruption:hold"));
    }

private:
    void record(const QString &event)
    {
        allOnMainThread = allOnMainThread && QThread::currentThread() == QCoreApplication::instance()->thread();
        events.append(event);
    }
};

} // namespace testsupport
