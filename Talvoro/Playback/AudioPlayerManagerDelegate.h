#pragma once

#include <memory>

namespace talvoro {

// What the audio player tells its owner. Every call comes on the main thread, in an
// event loop turn of its own after the event it reports.
class AudioPlayerManagerDelegate {
public:
    AudioPlayerManagerDelegate() = default;
    AudioPlayerManagerDelegate(const AudioPlayerManagerDelegate &) = delete;
    AudioPlayerManagerDelegate &operator=(const AudioPlayerManagerDelegate &) = delete;
    virtual ~AudioPlayerManagerDelegate() = default;

    // The clip ended (true), could not be decoded, or the sound device refused it (false).
    virtual void audioPlayerDidFinish(bool successfully) = 0;
    virtual void remotePlay() = 0;
    virtual void remotePause() = 0;
    virtual void remoteNextTrack() = 0;
    virtual void remotePreviousTrack() = 0;
    // An interruption began (false) or ended (whether playback should resume).
    virtual void handleInterruption(bool shouldResume) = 0;

    // Expires when the delegate is destroyed, so that the player holds it weakly.
    std::weak_ptr<void> lifetime() const { return m_lifetime; }

private:
    std::shared_ptr<char> m_lifetime = std::make_shared<char>();
};

} // namespace talvoro
