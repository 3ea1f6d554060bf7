#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

namespace talvoro {

struct NowPlayingInfo {
    QString title;
    double durationSeconds = 0;
    double playbackRate = 0; // 0 while paused

    friend bool operator==(const NowPlayingInfo &, const NowPlayingInfo &) = default;
};

class MprisRoot;

// What is playing, shown to the desktop (panels, lock screens, media keys), and the
// commands the desktop sends back: an MPRIS 2 player on the session bus under
// "org.mpris.MediaPlayer2.talvoro" (or ".instance<pid>" after it when another
// process holds that name). Without a session bus it stays silent and playback
// goes on.
class NowPlaying : public QObject {
    Q_OBJECT
public:
    // `minimumRate` and `maximumRate` bound the rates the player plays at.
    NowPlaying(double minimumRate, double maximumRate, QObject *parent = nullptr);
    ~NowPlaying() override;

    // Puts the player on the bus; later calls do nothing. False when there is no
    // session bus or no name could be had.
    bool publish();
    // The bus name taken, empty while not published.
    QString serviceName() const { return m_serviceName; }

    const std::optional<NowPlayingInfo> &info() const { return m_info; }
    void setInfo(std::optional<NowPlayingInfo> info);
    // Where the clip being played is, in microseconds of its own length; asked
    // whenever the desktop reads the position.
    void setPositionSource(std::function<qint64()> source) { m_positionSource = std::move(source); }
    // The output volume, 0 to 1, which the desktop may also set.
    double volume() const { return m_volume; }
    void setVolume(double volume);

Q_SIGNALS:
    void playCommand();
    void pauseCommand();
    void nextTrackCommand();
    void previousTrackCommand();
    // The desktop set the volume; volume() holds the new value.
    void volumeChanged();

private:
    friend class MprisRoot;
    friend class MprisPlayer;

    QString playbackStatus() const;
    double displayedRate() const;
    QVariantMap metadata() const;
    qint64 position() const;
    void announceChanges(const QVariantMap &changes);
    void announceTrack();

    std::unique_ptr<MprisRoot> m_root;
    QString m_serviceName;
    std::optional<NowPlayingInfo> m_info;
    double m_lastRate = 1.0; // what Rate shows while paused: the bus must never see 0
    double m_minimumRate;
    double m_maximumRate;
    double m_volume = 1.0;
    std::function<qint64()> m_positionSource;
    quint64 m_track = 0;
};

} // namespace talvoro
