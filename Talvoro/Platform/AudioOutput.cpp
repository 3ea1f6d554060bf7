#include "Platform/AudioOutput.h"

#include "Platform/Logging.h"

#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>

#include <algorithm>

namespace talvoro {

AudioOutput::AudioOutput(const QByteArray &clip, double rate, QObject *parent)
    : QObject(parent)
    , m_rate(rate)
{
    const PcmAudio decoded = decodeAudio(clip);
    m_durationSeconds = decoded.durationSeconds();
    PcmAudio stretched = timeStretch(decoded, rate);
    m_frameBytes = 2 * stretched.channels;
    m_samples = std::move(stretched.samples);
    m_buffer.setBuffer(&m_samples);
    m_buffer.open(QIODevice::ReadOnly);

    QAudioFormat format;
    format.setSampleRate(stretched.sampleRate);
    format.setChannelCount(stretched.channels);
    format.setSampleFormat(QAudioFormat::Int16);
    // Without a sound server the default device is null; the sink then refuses
    // to start, which play() reports as a failure.
    m_sink = std::make_unique<QAudioSink>(QMediaDevices::defaultAudioOutput(), format);
    connect(m_sink.get(), &QAudioSink::stateChanged, this, &AudioOutput::sinkStateChanged);
}

AudioOutput::~AudioOutput()
{
    m_state = State::stopped;
    m_sink->disconnect(this);
    m_sink->stop();
}

void AudioOutput::nameStreams(const QByteArray &role)
{
    // libpulse takes these properties from the environment for every client it
    // connects; the "override" form wins over the generic name Qt gives.
    qputenv("PULSE_PROP_OVERRIDE", "application.name='Talvoro' media.role='" + role + "'");
}

qint64 AudioOutput::positionMicroseconds() const
{
    if (m_state == State::stopped || m_state == State::failed)
        return 0;
    if (m_state == State::ended)
        return qint64(m_durationSeconds * 1e6);
    // Time heard, not bytes handed over: the sink takes a whole short clip at once.
    // The clip's own time runs `rate` times as fast as the stretched audio plays.
    qint64 heardMs = m_heardBeforePause;
    if (m_state == State::playing && m_playingSince.isValid())
        heardMs += m_playingSince.elapsed();
    return std::min(qint64(double(heardMs) * 1000 * m_rate), qint64(m_durationSeconds * 1e6));
}

void AudioOutput::setVolume(double volume)
{
    m_sink->setVolume(std::clamp(volume, 0.0, 1.0));
}

qint64 AudioOutput::framesDelivered() const
{
    return m_buffer.pos() / m_frameBytes;
}

void AudioOutput::play()
{
    switch (m_state) {
    case State::playing:
        return;
    case State::paused:
        m_state = State::playing;
        m_playingSince.start();
        m_sink->resume();
        return;
    case State::stopped:
    case State::ended:
    case State::failed:
        break;
    }
    m_sink->stop();
    m_buffer.seek(0);
    m_state = State::playing;
    m_heardBeforePause = 0;
    m_playingSince.start();
    m_sink->start(&m_buffer);
    if (m_sink->state() == QAudio::StoppedState) {
        qCCritical(log::audioPlayer) << "播放音频出错：声音设备无法开始播放，错误" << m_sink->error();
        end(State::failed);
    }
}

void AudioOutput::pause()
{
    if (m_state != State::playing)
        return;
    m_state = State::paused;
    m_heardBeforePause += m_playingSince.elapsed();
    m_sink->suspend();
}

void AudioOutput::stop()
{
    m_state = State::stopped;
    m_sink->stop();
}

void AudioOutput::sinkStateChanged()
{
    if (m_state != State::playing)
        return;
    switch (m_sink->state()) {
    case QAudio::IdleState:
        // Idle with samples left is an underrun the sink recovers from itself.
        if (m_buffer.atEnd())
            end(State::ended);
        break;
    case QAudio::StoppedState:
        if (m_sink->error() != QAudio::NoError) {
            qCCritical(log::audioPlayer) << "声音设备中止了播放，错误" << m_sink->error();
            end(State::failed);
        }
        break;
    case QAudio::ActiveState:
    case QAudio::SuspendedState:
        break;
    }
}

void AudioOutput::end(State state)
{
    m_state = state;
    const bool successfully = state == State::ended;
    QMetaObject::invokeMethod(
        this, [this, successfully] { Q_EMIT finished(successfully); }, Qt::QueuedConnection);
}

} // namespace talvoro
