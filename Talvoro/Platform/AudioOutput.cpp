#include "Platform/AudioOutput.h"

#include "Platform/AudioStream.h"

#include <algorithm>

namespace talvoro {

AudioOutput::AudioOutput(const QByteArray &clip, double rate, QObject *parent)
    : AudioOutput(clip, rate, static_cast<AudioStream *>(nullptr), parent)
{ }

AudioOutput::AudioOutput(const QByteArray &clip, double rate, AudioStream &stream, QObject *parent)
    : AudioOutput(clip, rate, &stream, parent)
{ }

AudioOutput::AudioOutput(const QByteArray &clip, double rate, AudioStream *stream, QObject *parent)
    : QObject(parent)
    , m_rate(rate)
    , m_ownStream(stream ? nullptr : std::make_unique<AudioStream>())
    , m_stream(stream ? stream : m_ownStream.get())
{
    const PcmAudio decoded = decodeAudio(clip);
    m_durationSeconds = decoded.durationSeconds();
    m_audio = timeStretch(decoded, rate);
    connect(m_stream, &AudioStream::finished, this, &AudioOutput::streamFinished);
}

AudioOutput::~AudioOutput()
{
    m_stream->disconnect(this);
    // A clip played to its end leaves the stream open for the next one.
    if (m_state != State::stopped && m_state != State::failed)
        m_stream->stop();
}

qint64 AudioOutput::positionMicroseconds() const
{
    if (m_state == State::stopped || m_state == State::failed)
        return 0;
    if (m_state == State::ended)
        return qint64(m_durationSeconds * 1e6);
    // Time heard, not bytes handed over: the stream takes a short clip almost at
    // once. The clip's own time runs `rate` times as fast as the stretched audio plays.
    qint64 heardMs = m_heardBeforePause;
    if (m_state == State::playing && m_playingSince.isValid())
        heardMs += m_playingSince.elapsed();
    return std::min(qint64(double(heardMs) * 1000 * m_rate), qint64(m_durationSeconds * 1e6));
}

void AudioOutput::setVolume(double volume)
{
    m_stream->setVolume(volume);
}

qint64 AudioOutput::framesDelivered() const
{
    return m_state == State::stopped ? 0 : m_stream->framesDelivered();
}

void AudioOutput::play()
{
    switch (m_state) {
    case State::playing:
        return;
    case State::paused:
        m_state = State::playing;
        m_playingSince.start();
        m_stream->resume();
        return;
    case State::stopped:
    case State::ended:
    case State::failed:
        break;
    }
    m_state = State::playing;
    m_heardBeforePause = 0;
    m_playingSince.start();
    m_stream->play(m_audio);
}

void AudioOutput::pause()
{
    if (m_state != State::playing)
        return;
    m_state = State::paused;
    m_heardBeforePause += m_playingSince.elapsed();
    m_stream->pause();
}

void AudioOutput::stop()
{
    m_state = State::stopped;
    m_stream->stop();
}

void AudioOutput::streamFinished(bool successfully)
{
    if (m_state != State::playing && m_state != State::paused)
        return;
    m_state = successfully ? State::ended : State::failed;
    Q_EMIT finished(successfully);
}

} // namespace talvoro
