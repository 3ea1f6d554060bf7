#pragma once

#include "Platform/AudioClip.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QObject>

#include <memory>

class QAudioSink;

namespace talvoro {

// One clip on the default sound device: decoded and stretched to its rate when it
// is made, then played from memory through a QAudioSink. Its end or failure comes
// as a queued signal, so it never reaches a caller inside its own call, and an
// output destroyed before the signal ran reports nothing.
class AudioOutput : public QObject {
    Q_OBJECT
public:
    // Throws AudioDecodingError when the bytes are no readable audio. `rate` is
    // the speed to play at, > 0; the pitch stays where it is.
    AudioOutput(const QByteArray &clip, double rate, QObject *parent = nullptr);
    ~AudioOutput() override;

    double rate() const { return m_rate; }
    // Length of the clip at its own speed, in seconds.
    double durationSeconds() const { return m_durationSeconds; }
    bool isPlaying() const { return m_state == State::playing; }
    // Frames handed to the sound device since the clip last started.
    qint64 framesDelivered() const;
    // How far the clip has been heard, in microseconds of its own length.
    qint64 positionMicroseconds() const;
    // 0 (silent) to 1 (as recorded).
    void setVolume(double volume);

    // Names the app's streams on the sound server "Talvoro", with `role` (a
    // PulseAudio media role: "music", "video", ...), so a volume mixer shows what
    // they are. Takes effect only before the first sound output of the process.
    static void nameStreams(const QByteArray &role);

    // From the beginning when it never played or has ended; a paused clip continues.
    void play();
    void pause();
    void stop();

Q_SIGNALS:
    // The clip played to its end (true), or the sound device refused to start it
    // or gave up on it midway (false).
    void finished(bool successfully);

private:
    enum class State { stopped, playing, paused, ended, failed };

    void sinkStateChanged();
    void end(State state);

    double m_rate;
    double m_durationSeconds;
    int m_frameBytes;
    QByteArray m_samples;
    QBuffer m_buffer;
    std::unique_ptr<QAudioSink> m_sink;
    State m_state = State::stopped;
    QElapsedTimer m_playingSince;
    qint64 m_heardBeforePause = 0; // milliseconds
};

} // namespace talvoro
