#pragma once

#include "Platform/AudioClip.h"

#include <QAudio>
#include <QAudioFormat>
#include <QObject>
#include <QTimer>

#include <memory>

class QAudioSink;
class QIODevice;

namespace talvoro {

// One output stream on the default sound device, fed clip after clip. Opening a
// stream on the sound server costs far more than decoding a word, and a word's
// units follow one another closely, so the stream stays open between clips: a new
// one is opened only for another sample format, or to drop samples of a clip that
// the server still holds (it cannot be told to forget them). A stream that sends
// nothing for `releaseAfterMs` is closed, so the server may let the device sleep;
// a paused clip then continues on a new stream where it was paused.
class AudioStream : public QObject {
    Q_OBJECT
public:
    // Long enough to span a pause to look at the screen or a unit fetched over the
    // network without reopening, short enough that the device is given back about
    // when the sound server would suspend an idle one (PulseAudio's default: 5 s).
    static constexpr int releaseAfterMs = 5000;

    explicit AudioStream(QObject *parent = nullptr);
    ~AudioStream() override;

    // Names the app's streams on the sound server "Talvoro", with `role` (a
    // PulseAudio media role: "music", "video", ...), so a volume mixer shows what
    // they are. Takes effect only before the first sound output of the process.
    static void nameStreams(const QByteArray &role);

    // Sends `audio` from its beginning in place of the clip before it.
    void play(const PcmAudio &audio);
    // Holds the server's stream at once, with what it was sent still queued.
    void pause();
    void resume();
    // Drops the clip; the stream stays open unless it still held the clip's samples.
    void stop();
    // Drops the clip and closes the stream.
    void close();

    bool isOpen() const { return m_sink != nullptr; }
    // Frames of the clip handed to the sound server since it started.
    qint64 framesDelivered() const;
    // 0 (silent) to 1 (as recorded), for samples sent from now on.
    void setVolume(double volume);

Q_SIGNALS:
    // The server played the clip's last samples (true), or the device refused the
    // clip or gave up on it midway (false). Always in an event loop turn of its own.
    void finished(bool successfully);

private:
    enum class State { idle, playing, paused, ended };

    bool holdsUnplayedSamples() const;
    bool open(const QAudioFormat &format);
    void startSending(qint64 fromByte);
    void send();
    void sinkStateChanged(QAudio::State state);
    void fail();
    void report(bool successfully);
    void dropClip();
    void release();

    std::unique_ptr<QAudioSink> m_sink;
    QIODevice *m_device = nullptr;
    QAudioFormat m_format;
    quint64 m_sinkGeneration = 0;
    double m_volume = 1.0;

    State m_state = State::idle;
    quint64 m_clipGeneration = 0;
    QByteArray m_clip;
    QAudioFormat m_clipFormat;
    // What is being sent: the clip from `m_sendingFrom` on, with silence after a
    // tail too short to start a stream (the server waits for a buffer's worth).
    QByteArray m_pending;
    qint64 m_sendingFrom = 0;
    qint64 m_sent = 0;
    // Where a paused clip was heard up to, to continue there on a new stream.
    qint64 m_heardAtPause = 0;
    // The server played everything sent, possibly just before a pause.
    bool m_drained = false;

    QTimer m_feeder;
    QTimer m_release;
};

} // namespace talvoro
