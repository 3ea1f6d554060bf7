#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

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
    explicit NowPlaying(QObject *parent = nullptr);
    ~NowPlaying() override;

    // Puts the player on the bus; later calls do nothing. False when there is no
    // session bus or no name could be had.
    bool publish();
    // The bus name taken, empty while not published.
    QString serviceName() const { return m_serviceName; }

    const std::optional<NowPlayingInfo> &info() const { return m_info; }
    void setInfo(std::optional<NowPlayingInfo> info);

Q_SIGNALS:
    void playCommand();
    void pauseCommand();
    void nextTrackCommand();
    void previousTrackCommand();

private:
    friend class MprisRoot;
    friend class MprisPlayer;

    QString playbackStatus() const;
    double displayedRate() const;
    QVariantMap metadata() const;
    void announceChanges();

    std::unique_ptr<MprisRoot> m_root;
    QString m_serviceName;
    std::optional<NowPlayingInfo> m_info;
    double m_lastRate = 1.0; // what Rate shows while paused: the bus must never see 0
    quint64 m_track = 0;
};

} // namespace talvoro
