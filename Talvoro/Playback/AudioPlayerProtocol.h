#pragma once

#include <QByteArray>
#include <QString>

namespace talvoro {

class AudioPlayerManagerDelegate;

// The single-clip player the playback engine holds. Every call is made on the main
// thread; failures go to the delegate, never to the caller.
class AudioPlayerProtocol {
public:
    virtual ~AudioPlayerProtocol() = default;

    // Held weakly: a destroyed delegate is simply no longer told anything.
    virtual AudioPlayerManagerDelegate *delegate() const = 0;
    virtual void setDelegate(AudioPlayerManagerDelegate *delegate) = 0;

    // Plays `audio` from its beginning at `rate` (kept within 0.5 to 2.0), replacing
    // whatever played before without a finish event for it.
    virtual void play(const QByteArray &audio, const QString &title, float rate) = 0;
    virtual void stop() = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;
    // Stops, then gives the sound output back so other apps' audio may resume.
    virtual void deactivateAudioSession() = 0;
};

} // namespace talvoro
