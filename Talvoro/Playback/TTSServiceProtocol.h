#pragma once

#include "Platform/Async.h"
#include "Platform/Cancellation.h"
#include "Playback/TTSError.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace talvoro {

// Speech for one text in one voice, as the bytes of a clip.
class TTSServiceProtocol {
public:
    virtual ~TTSServiceProtocol() = default;

    // From the audio cache when it holds the clip (no token needed), otherwise from
    // the backend with the bearer `accessToken`, then cached. Throws TTSError.
    virtual Task<QByteArray> fetchAudio(
        QString text, QString voiceID, std::optional<QString> accessToken, CancellationToken token = {})
        = 0;
    // Whether the clip is cached; records no use and never goes to the network.
    virtual bool isCached(const QString &text, const QString &voice) const = 0;
};

} // namespace talvoro
