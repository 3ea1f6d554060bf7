#include "Playback/TTSNetworkManager.h"

#include "Networking/BackendConfiguration.h"
#include "Platform/AudioClip.h"
#include "Platform/Json.h"
#include "Platform/Text.h"
#include "Playback/AudioCacheManager.h"
#include "Playback/SpeechCacheKey.h"

#include <QFile>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>

namespace talvoro {

namespace {

constexpr std::chrono::seconds speechTimeout {60};

// Audio is downloaded over HTTPS only; plain HTTP only from this machine, where a
// development backend runs. Never file: or any other scheme.
bool isAllowedDownload(const QUrl &url)
{
    if (!url.isValid() || url.host().isEmpty())
        return false;
    if (url.scheme() == QLatin1String("https"))
        return true;
    return url.scheme() == QLatin1String("http")
        && (url.host() == QLatin1String("localhost") || QHostAddress(url.host()).isLoopback());
}

std::optional<QString> serverMessage(const QByteArray &body)
{
    const QJsonDocument document = QJsonDocument::fromJson(body);
    const QJsonValue message = document.isObject() ? document.object().value(QStringLiteral("message")) : QJsonValue();
    return message.isString() ? std::optional(message.toString()) : std::nullopt;
}

QUrl firstAudioURL(const QByteArray &body)
{
    try {
        const json::ObjectReader envelope(json::parseObject(body));
        const json::ObjectReader data(envelope.object(QStringLiteral("data")), envelope.pathOf(QStringLiteral("data")));
        const QList<QString> urls = data.stringList(QStringLiteral("audio_urls"));
        if (urls.isEmpty())
            throw TTSError::invalidResponse();
        for (const QString &url : urls) {
            if (!QUrl(url, QUrl::StrictMode).isValid())
                throw TTSError::invalidResponse();
        }
        return QUrl(urls.first(), QUrl::StrictMode);
    } catch (const json::DecodingError &) {
        throw TTSError::invalidResponse();
    }
}

// Decoded the way the player will decode it.
bool isPlayable(const QByteArray &audio)
{
    try {
        decodeAudio(audio);
        return true;
    } catch (const AudioDecodingError &) {
        return false;
    }
}

// A clip that cannot be cached is still played.
void storeQuietly(AudioCacheProtocol &cache, const QByteArray &audio, const QString &key)
{
    try {
        cache.store(audio, key);
    } catch (const std::exception &) { }
}

// The current key first, then the older one; an empty or unreadable file is passed
// over, and one the player could not play is removed, so that it is fetched again
// rather than failing on every play. A clip found only under the older key is
// copied to the current one.
std::optional<QByteArray> readCachedAudio(
    AudioCacheProtocol &cache, const QString &currentKey, const QString &legacyKey)
{
    for (const QString &key : {currentKey, legacyKey}) {
        const std::optional<QUrl> url = cache.cachedFileURL(key);
        if (!url)
            continue;
        QFile file(url->toLocalFile());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray audio = file.readAll();
        if (audio.isEmpty())
            continue;
        if (!isPlayable(audio)) {
            file.remove();
            continue;
        }
        if (key != currentKey)
            storeQuietly(cache, audio, currentKey);
        return audio;
    }
    return std::nullopt;
}

} // namespace

TTSNetworkManager::TTSNetworkManager(NetworkTransfer &transfer, AudioCacheProtocol &cache, BaseURLProvider baseURL)
    : m_transfer(transfer)
    , m_cache(cache)
    , m_baseURL(std::move(baseURL))
{ }

bool TTSNetworkManager::isCached(const QString &text, const QString &voice) const
{
    return SpeechCacheKey::isCached(text, voice, m_cache);
}

// Every value that crosses a co_await below is a named local: GCC 12 destroys a
// temporary made inside a co_await expression twice (GCC bug 99576).
Task<QByteArray> TTSNetworkManager::fetchAudio(
    QString text, QString voiceID, std::optional<QString> accessToken, CancellationToken token)
{
    const QString trimmed = text::trimmed(text);
    if (trimmed.isEmpty() || text::characterCount(trimmed) > maxTextCharacters)
        throw TTSError::invalidResponse();
    const QString currentKey = SpeechCacheKey::sha256Key(trimmed, voiceID);

    // The cache answers before the token is looked at: cached words play offline
    // and after sign-out.
    const QString legacyKey = SpeechCacheKey::legacyMD5Key(trimmed, voiceID);
    auto lookUp = [&] { return readCachedAudio(m_cache, currentKey, legacyKey); };
    const std::optional<QByteArray> cached = co_await m_files.run(lookUp);
    if (cached)
        co_return *cached;

    TransferRequest request = makeFetchRequest(trimmed, voiceID, accessToken);
    TransferResponse response = co_await performRequest(std::move(request), token);
    QByteArray audio = co_await handleFetchResponse(std::move(response), currentKey, token);
    co_return audio;
}

// A clip the player could not play is refused before it reaches the cache.
Task<> TTSNetworkManager::storeAudio(QByteArray audio, QString key)
{
    auto store = [&] {
        if (!isPlayable(audio))
            throw TTSError::invalidResponse();
        storeQuietly(m_cache, audio, key);
    };
    co_await m_files.run(store);
}

TransferRequest TTSNetworkManager::makeFetchRequest(
    const QString &trimmedText, const QString &voiceID, const std::optional<QString> &accessToken) const
{
    if (!accessToken || accessToken->isEmpty())
        throw TTSError::httpError(401, QStringLiteral("请先登录"));
    const std::optional<QUrl> base = m_baseURL ? m_baseURL() : std::nullopt;
    if (!base)
        throw TTSError::invalidEndpoint();
    const QUrl url = base->resolved(QUrl(QStringLiteral("/api/v1/tts/fetch")));
    if (!url.isValid() || url.isRelative() || url.host().isEmpty())
        throw TTSError::invalidEndpoint();

    TransferRequest request;
    request.method = "POST";
    request.url = url;
    request.timeout = speechTimeout;
    request.maxResponseBytes = maxAudioBytes;
    request.headers = {{"Content-Type", "application/json"}, {"Authorization", "Bearer " + accessToken->toUtf8()}};
    request.body = json::serialize(json::ObjectWriter()
                                       .set(QStringLiteral("voice_id"), voiceID)
                                       .set(QStringLiteral("text_segments"), QList<QString> {trimmedText})
                                       .object());
    return request;
}

Task<TransferResponse> TTSNetworkManager::performRequest(TransferRequest request, CancellationToken token)
{
    try {
        TransferResponse response = co_await m_transfer.send(std::move(request), std::move(token));
        co_return response;
    } catch (const ResponseTooLargeError &) {
        throw TTSError::invalidResponse();
    } catch (...) {
        throw TTSError::networkError(std::current_exception());
    }
}

Task<QByteArray> TTSNetworkManager::handleFetchResponse(
    TransferResponse response, QString cacheKey, CancellationToken token)
{
    // Only 200 is success; a 204 or any other status is the server's refusal.
    if (response.statusCode != 200)
        throw TTSError::httpError(response.statusCode, serverMessage(response.body));
    QByteArray contentType = response.header("Content-Type");
    QByteArray audio = co_await resolveAudioBody(
        std::move(response.body), std::move(contentType), std::move(cacheKey), std::move(token));
    co_return audio;
}

Task<QByteArray> TTSNetworkManager::resolveAudioBody(
    QByteArray data, QByteArray contentType, QString cacheKey, CancellationToken token)
{
    if (contentType.toLower().startsWith("audio/")) {
        if (data.isEmpty())
            throw TTSError::invalidResponse();
        co_await storeAudio(data, cacheKey);
        co_return data;
    }

    const QUrl url = firstAudioURL(data);
    if (!isAllowedDownload(url))
        throw TTSError::invalidResponse();
    TransferRequest download;
    download.url = url;
    download.timeout = speechTimeout;
    download.maxResponseBytes = maxAudioBytes;
    // No headers at all: the bearer token stays with the backend.
    const TransferResponse answer = co_await performRequest(std::move(download), std::move(token));
    if (answer.statusCode != 200 || answer.body.isEmpty())
        throw TTSError::invalidResponse();
    co_await storeAudio(answer.body, cacheKey);
    co_return answer.body;
}

} // namespace talvoro
