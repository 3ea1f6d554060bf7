#include "Playback/AudioPlayerManager.h"

#include "Platform/Async.h"
#include "Platform/AudioOutput.h"
#include "Platform/AudioSession.h"
#include "Platform/AudioStream.h"
#include "Platform/Logging.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace talvoro {

AudioPlayerManager::AudioPlayerManager(AudioSession &session, QObject *parent)
    : QObject(parent)
    , m_session(session)
    , m_stream(std::make_unique<AudioStream>())
{
    // Speech practice is the app's content: the mixer lists it as music, like a player's.
    AudioStream::nameStreams("music");
    connect(&m_nowPlaying, &NowPlaying::playCommand, this,
        [this] { notifyDelegate([](AudioPlayerManagerDelegate &d) { d.remotePlay(); }); });
    connect(&m_nowPlaying, &NowPlaying::pauseCommand, this,
        [this] { notifyDelegate([](AudioPlayerManagerDelegate &d) { d.remotePause(); }); });
    connect(&m_nowPlaying, &NowPlaying::nextTrackCommand, this,
        [this] { notifyDelegate([](AudioPlayerManagerDelegate &d) { d.remoteNextTrack(); }); });
    connect(&m_nowPlaying, &NowPlaying::previousTrackCommand, this,
        [this] { notifyDelegate([](AudioPlayerManagerDelegate &d) { d.remotePreviousTrack(); }); });
    connect(&m_nowPlaying, &NowPlaying::volumeChanged, this, [this] {
        if (m_output)
            m_output->setVolume(m_nowPlaying.volume());
    });
    m_nowPlaying.setPositionSource([this] { return m_output ? m_output->positionMicroseconds() : 0; });
}

AudioPlayerManager::~AudioPlayerManager() = default;

AudioPlayerManagerDelegate *AudioPlayerManager::delegate() const
{
    return m_delegateLifetime.expired() ? nullptr : m_delegate;
}

void AudioPlayerManager::setDelegate(AudioPlayerManagerDelegate *delegate)
{
    m_delegate = delegate;
    m_delegateLifetime = delegate ? delegate->lifetime() : std::weak_ptr<void>();
}

void AudioPlayerManager::play(const QByteArray &audio, const QString &title, float rate)
{
    // Stopped as stop() does, but the stream stays for this clip.
    dropClip();
    configureAudioSession();
    // NaN would reach the time-stretch as a speed; it plays at the normal rate.
    if (std::isnan(rate))
        rate = 1.0F;
    const float clamped = std::clamp(rate, minimumRate, maximumRate);
    try {
        m_output = std::make_unique<AudioOutput>(audio, clamped, *m_stream);
    } catch (const AppError &error) {
        qCCritical(log::audioPlayer).noquote() << QStringLiteral("播放音频出错：%1").arg(error.description());
        notifyDelegate([](AudioPlayerManagerDelegate &d) { d.audioPlayerDidFinish(false); });
        return;
    }
    connect(m_output.get(), &AudioOutput::finished, this, [this](bool successfully) {
        notifyDelegate([successfully](AudioPlayerManagerDelegate &d) { d.audioPlayerDidFinish(successfully); });
    });
    m_output->setVolume(m_nowPlaying.volume());
    m_output->play();
    m_nowPlaying.setInfo(NowPlayingInfo {title, m_output->durationSeconds(), double(rate)});
}

void AudioPlayerManager::stop()
{
    dropClip();
    m_stream->close();
}

void AudioPlayerManager::dropClip()
{
    m_output.reset();
    m_nowPlaying.setInfo(std::nullopt);
}

void AudioPlayerManager::pause()
{
    if (m_output)
        m_output->pause();
    std::optional<NowPlayingInfo> info = m_nowPlaying.info();
    if (info)
        info->playbackRate = 0;
    m_nowPlaying.setInfo(info);
}

void AudioPlayerManager::resume()
{
    if (!m_output || m_output->isPlaying())
        return;
    configureAudioSession();
    // A clip that has ended starts again from its beginning.
    m_output->play();
    std::optional<NowPlayingInfo> info = m_nowPlaying.info();
    if (info)
        info->playbackRate = m_output->rate();
    m_nowPlaying.setInfo(info);
}

void AudioPlayerManager::deactivateAudioSession()
{
    stop();
    if (m_infrastructureConfigured)
        m_session.setActive(false);
}

bool AudioPlayerManager::isPlaying() const
{
    return m_output && m_output->isPlaying();
}

std::optional<double> AudioPlayerManager::currentRate() const
{
    return m_output ? std::optional(m_output->rate()) : std::nullopt;
}

// The desktop's media keys and the interruptions are hooked up on first use, so
// an app that never plays never shows up as a player.
void AudioPlayerManager::configureAudioSession()
{
    if (!m_infrastructureConfigured) {
        m_nowPlaying.publish();
        connect(&m_session, &AudioSession::interrupted, this, &AudioPlayerManager::handleInterruption);
        m_infrastructureConfigured = true;
    }
    m_session.setActive(true);
}

void AudioPlayerManager::handleInterruption(quint64 type, quint64 options)
{
    switch (type) {
    case AudioSession::interruptionBegan:
        notifyDelegate([](AudioPlayerManagerDelegate &d) { d.handleInterruption(false); });
        break;
    case AudioSession::interruptionEnded: {
        const bool shouldResume = (options & AudioSession::shouldResumeOption) != 0;
        notifyDelegate([shouldResume](AudioPlayerManagerDelegate &d) { d.handleInterruption(shouldResume); });
        break;
    }
    default:
        qCCritical(log::audioPlayer).noquote() << QStringLiteral("收到未知音频会话中断类型");
        break;
    }
}

// Each event reaches the delegate in a main-thread turn of its own, and only if
// the delegate still exists by then.
void AudioPlayerManager::notifyDelegate(std::function<void(AudioPlayerManagerDelegate &)> call)
{
    AudioPlayerManagerDelegate *target = delegate();
    if (!target)
        return;
    postToMainThread([lifetime = m_delegateLifetime, target, call = std::move(call)] {
        if (lifetime.lock())
            call(*target);
    });
}

} // namespace talvoro
