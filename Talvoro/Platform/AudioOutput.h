#pragma once

#include "Platform/AudioClip.h"

#include <QElapsedTimer>
#include <QObject>

#include <memory>

namespace talvoro {

class AudioStream;

// One clip on the default sound device: decoded and stretched to its rate when it
// is made, then played from memory through an AudioStream, the caller's (so that
// clips after one another share it) or one of its own. Its end or failure comes
// as a queued signal, so it never reaches a caller inside its own call, and an
// output destroyed before the signal ran reports nothing.
class AudioOutput : public QObject {
    Q_OBJECT
public:
    // Throws AudioDecodingError when the bytes are no readable audio. `rate` is
    // the speed to play at, > 0; the pitch stays where it is.
    AudioOutput(const QByteArray &clip, double rate, QObject *parent = nullptr);
    // Plays through `stream`, which must outlive the output.
    AudioOutput(const QByteArray &clip, double rate, AudioStream &stream, QObject *parent = nullptr);
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

    // Plays through `stream`, or a stream of its own when none is given.
    AudioOutput(const QByteArray &clip, double rate, AudioStream *stream, QObject *parent);
    void streamFinished(bool successfully);

    double m_rate;
    double m_durationSeconds = 0;
    PcmAudio m_audio;
    std::unique_ptr<AudioStream> m_ownStream;
    AudioStream *m_stream;
    State m_state = State::stopped;
    QElapsedTimer m_playingSince;
    qint64 m_heardBeforePause = 0; // milliseconds
};

} // namespace talvoro
