#include "Platform/AudioStream.h"

#include "Platform/Logging.h"

#include <QAudioSink>
#include <QMediaDevices>

#include <algorithm>

namespace talvoro {

namespace {

// The server's buffer holds about 150 ms; topping it up every 10 ms keeps it far
// from running dry, even on a busy machine.
constexpr int sendIntervalMs = 10;

QAudioFormat formatOf(const PcmAudio &audio)
{
    QAudioFormat format;
    format.setSampleRate(audio.sampleRate);
    format.setChannelCount(audio.channels);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
}

} // namespace

AudioStream::AudioStream(QObject *parent)
    : QObject(parent)
{
    m_feeder.setInterval(sendIntervalMs);
    m_feeder.setTimerType(Qt::PreciseTimer);
    connect(&m_feeder, &QTimer::timeout, this, &AudioStream::send);
    m_release.setSingleShot(true);
    m_release.setInterval(releaseAfterMs);
    connect(&m_release, &QTimer::timeout, this, &AudioStream::release);
}

AudioStream::~AudioStream()
{
    close();
}

void AudioStream::nameStreams(const QByteArray &role)
{
    // libpulse takes these properties from the environment for every client it
    // connects; the "override" form wins over the generic name Qt gives.
    qputenv("PULSE_PROP_OVERRIDE", "application.name='Talvoro' media.role='" + role + "'");
}

void AudioStream::play(const PcmAudio &audio)
{
    const QAudioFormat format = formatOf(audio);
    if (holdsUnplayedSamples() || (m_sink && m_format != format))
        release();
    dropClip();
    m_clip = audio.samples;
    m_clipFormat = format;
    m_state = State::playing;
    if (!m_sink && !open(format)) {
        fail();
        return;
    }
    startSending(0);
}

void AudioStream::pause()
{
    if (m_state != State::playing)
        return;
    m_state = State::paused;
    m_feeder.stop();
    if (m_sink) {
        // What the server holds has not been heard yet: a stream closed during the
        // pause continues from before it.
        const qint64 queued = std::clamp<qint64>(m_sink->bufferSize() - m_sink->bytesFree(), 0, m_sent);
        const qint64 heard = std::min<qint64>(m_sendingFrom + m_sent - queued, m_clip.size());
        m_heardAtPause = heard - heard % m_clipFormat.bytesPerFrame();
        m_sink->suspend();
    }
    m_release.start();
}

void AudioStream::resume()
{
    if (m_state != State::paused)
        return;
    m_state = State::playing;
    m_release.stop();
    if (m_drained) {
        // The server played the last samples just before the pause.
        m_state = State::ended;
        m_release.start();
        report(true);
        return;
    }
    if (m_sink) {
        m_sink->resume();
        send();
        if (m_sent < m_pending.size())
            m_feeder.start();
        return;
    }
    if (!open(m_clipFormat)) {
        fail();
        return;
    }
    startSending(m_heardAtPause);
}

void AudioStream::stop()
{
    if (holdsUnplayedSamples())
        release();
    dropClip();
    if (m_sink)
        m_release.start();
}

void AudioStream::close()
{
    dropClip();
    release();
}

qint64 AudioStream::framesDelivered() const
{
    if (m_state == State::idle)
        return 0;
    return std::min<qint64>(m_sendingFrom + m_sent, m_clip.size()) / m_clipFormat.bytesPerFrame();
}

void AudioStream::setVolume(double volume)
{
    m_volume = std::clamp(volume, 0.0, 1.0);
    if (m_sink)
        m_sink->setVolume(m_volume);
}

bool AudioStream::holdsUnplayedSamples() const
{
    return m_state == State::playing || m_state == State::paused;
}

bool AudioStream::open(const QAudioFormat &format)
{
    // A new stream reports itself idle as it starts: that is not the end of what
    // an earlier one was sent.
    m_pending.clear();
    m_sent = 0;
    // Without a sound server the default device is null; the sink then refuses
    // to start.
    m_sink = std::make_unique<QAudioSink>(QMediaDevices::defaultAudioOutput(), format);
    m_sink->setVolume(m_volume);
    // A stream's state changes come from the sound server's thread, queued: one
    // that arrives after its stream was replaced is no news of the new one.
    connect(m_sink.get(), &QAudioSink::stateChanged, this, [this, generation = ++m_sinkGeneration](QAudio::State s) {
        if (generation == m_sinkGeneration)
            sinkStateChanged(s);
    });
    m_device = m_sink->start();
    if (!m_device || m_sink->state() == QAudio::StoppedState) {
        qCCritical(log::audioPlayer) << "播放音频出错：声音设备无法开始播放，错误" << m_sink->error();
        release();
        return false;
    }
    m_format = format;
    return true;
}

void AudioStream::startSending(qint64 fromByte)
{
    m_sendingFrom = fromByte;
    m_pending = m_clip.mid(fromByte);
    // A stream that ran dry starts again only once it holds a buffer's worth.
    const qint64 bufferBytes = m_sink->bufferSize() - m_sink->bufferSize() % m_clipFormat.bytesPerFrame();
    if (m_pending.size() < bufferBytes)
        m_pending.append(QByteArray(bufferBytes - m_pending.size(), '\0'));
    m_sent = 0;
    m_drained = false;
    m_release.stop();
    send();
    if (m_sent < m_pending.size())
        m_feeder.start();
}

void AudioStream::send()
{
    if (!m_sink || m_state != State::playing) {
        m_feeder.stop();
        return;
    }
    qint64 room = std::min<qint64>(m_sink->bytesFree(), m_pending.size() - m_sent);
    room -= room % m_clipFormat.bytesPerFrame();
    if (room > 0)
        m_sent += std::max<qint64>(0, m_device->write(m_pending.constData() + m_sent, room));
    if (m_sent >= m_pending.size())
        m_feeder.stop();
}

void AudioStream::sinkStateChanged(QAudio::State state)
{
    switch (state) {
    case QAudio::IdleState:
        // The server ran out of samples. Before the last were sent, that is an
        // underrun it recovers from as more arrive; after, the clip has been played.
        if (m_pending.isEmpty() || m_sent < m_pending.size())
            break;
        m_drained = true;
        if (m_state == State::playing) {
            m_state = State::ended;
            m_release.start();
            report(true);
        }
        break;
    case QAudio::StoppedState:
        if (m_sink->error() != QAudio::NoError) {
            qCCritical(log::audioPlayer) << "声音设备中止了播放，错误" << m_sink->error();
            const bool clipLost = holdsUnplayedSamples();
            release();
            if (clipLost)
                fail();
        }
        break;
    case QAudio::ActiveState:
    case QAudio::SuspendedState:
        break;
    }
}

void AudioStream::fail()
{
    dropClip();
    report(false);
}

void AudioStream::report(bool successfully)
{
    QMetaObject::invokeMethod(
        this,
        [this, successfully, clip = m_clipGeneration] {
            if (clip == m_clipGeneration)
                Q_EMIT finished(successfully);
        },
        Qt::QueuedConnection);
}

void AudioStream::dropClip()
{
    ++m_clipGeneration;
    m_state = State::idle;
    m_feeder.stop();
    m_clip.clear();
    m_pending.clear();
    m_sendingFrom = 0;
    m_sent = 0;
    m_heardAtPause = 0;
    m_drained = false;
}

void AudioStream::release()
{
    m_feeder.stop();
    m_release.stop();
    if (!m_sink)
        return;
    ++m_sinkGeneration;
    // Out of the member first: the sink's destructor turns the event loop.
    const std::unique_ptr<QAudioSink> sink = std::move(m_sink);
    m_device = nullptr;
    sink->disconnect(this);
    sink->stop();
}

} // namespace talvoro
