#pragma once

#include "Platform/NowPlaying.h"
#include "Playback/AudioPlayerManagerDelegate.h"
#include "Playback/AudioPlayerProtocol.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>

namespace talvoro {

class AudioOutput;
class AudioSession;
class AudioStream;

// Plays one speech clip at a time and connects playback to the desktop: the sound
// output, what is shown as playing, the media keys and the interruptions. It
// decides nothing itself: every event goes to the delegate. Clips played one after
// another share one stream on the sound server; stopping closes it.
class AudioPlayerManager : public QObject, public AudioPlayerProtocol {
    Q_OBJECT
public:
    static constexpr float minimumRate = 0.5F;
    static constexpr float maximumRate = 2.0F;

    explicit AudioPlayerManager(AudioSession &session, QObject *parent = nullptr);
    ~AudioPlayerManager() override;

    AudioPlayerManagerDelegate *delegate() const override;
    void setDelegate(AudioPlayerManagerDelegate *delegate) override;

    void play(const QByteArray &audio, const QString &title, float rate) override;
    void stop() override;
    void pause() override;
    void resume() override;
    void deactivateAudioSession() override;

    bool isPlaying() const;
    // The rate the current clip really plays at; none without a clip.
    std::optional<double> currentRate() const;
    // Title, length and rate as the desktop is shown them; none while nothing is loaded.
    const std::optional<NowPlayingInfo> &nowPlayingInfo() const { return m_nowPlaying.info(); }
    // The bus name the desktop reaches the player under; empty without a session bus.
    QString remoteCommandServiceName() const { return m_nowPlaying.serviceName(); }

private:
    void dropClip();
    void configureAudioSession();
    void handleInterruption(quint64 type, quint64 options);
    void notifyDelegate(std::function<void(AudioPlayerManagerDelegate &)> call);

    AudioSession &m_session;
    NowPlaying m_nowPlaying {minimumRate, maximumRate};
    std::unique_ptr<AudioStream> m_stream;
    std::unique_ptr<AudioOutput> m_output;
    AudioPlayerManagerDelegate *m_delegate = nullptr;
    std::weak_ptr<void> m_delegateLifetime;
    bool m_infrastructureConfigured = false;
};

} // namespace talvoro
