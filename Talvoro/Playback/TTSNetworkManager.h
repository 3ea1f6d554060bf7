#pragma once

#include "Platform/NetworkTransfer.h"
#include "Platform/SerialExecutor.h"
#include "Playback/AudioCacheProtocol.h"
#include "Playback/TTSServiceProtocol.h"

#include <QUrl>

#include <functional>

namespace talvoro {

// The backend's speech synthesis, "/api/v1/tts/fetch", behind the audio cache. The
// backend answers either with the audio itself or with URLs to download it from.
// File work runs on a worker thread of its own; the caller resumes on the main thread.
class TTSNetworkManager : public TTSServiceProtocol {
public:
    // The backend's base URL, read at every network fetch; none when not configured.
    using BaseURLProvider = std::function<std::optional<QUrl>()>;

    static constexpr qsizetype maxTextCharacters = 500;
    // Speech clips are a few hundred kilobytes; a larger answer is not a clip.
    static constexpr qint64 maxAudioBytes = 20 * 1024 * 1024;

    TTSNetworkManager(NetworkTransfer &transfer, AudioCacheProtocol &cache, BaseURLProvider baseURL);

    Task<QByteArray> fetchAudio(
        QString text, QString voiceID, std::optional<QString> accessToken, CancellationToken token = {}) override;
    bool isCached(const QString &text, const QString &voice) const override;

    // The worker thread this object's operations run on; whoever owns the object
    // stops it (SerialExecutor::cancelPending) and lets its callers resume before
    // the services they resume into go away.
    SerialExecutor &executor() { return m_files; }

private:
    Task<> storeAudio(QByteArray audio, QString key);
    TransferRequest makeFetchRequest(
        const QString &trimmedText, const QString &voiceID, const std::optional<QString> &accessToken) const;
    Task<TransferResponse> performRequest(TransferRequest request, CancellationToken token);
    Task<QByteArray> handleFetchResponse(TransferResponse response, QString cacheKey, CancellationToken token);
    Task<QByteArray> resolveAudioBody(
        QByteArray data, QByteArray contentType, QString cacheKey, CancellationToken token);

    NetworkTransfer &m_transfer;
    AudioCacheProtocol &m_cache;
    BaseURLProvider m_baseURL;
    SerialExecutor m_files {QStringLiteral("TTSCache")};
};

} // namespace talvoro
