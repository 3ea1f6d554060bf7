#include "Networking/MobileAPIClient.h"

#include "Models/MobileAPIError.h"
#include "Platform/Logging.h"

#include <QJsonDocument>

namespace talvoro {

namespace {

const QString keyPrefix = QStringLiteral("com.brellun.quenbry.preferences.");

// The payload of an older envelope: "code" may be absent or an integer and is
// never used; "data" is required.
template<typename T, typename Decode>
T decodeEnvelope(const QByteArray &body, Decode decode)
{
    const json::ObjectReader r(json::parseObject(body));
    r.optionalInteger(QStringLiteral("code"));
    if (!r.has(QStringLiteral("data")))
        throw json::DecodingError(r.pathOf(QStringLiteral("data")), QStringLiteral("缺少必需的键"));
    return decode(r.object().value(QStringLiteral("data")), r.pathOf(QStringLiteral("data")));
}

QByteArray wordWriteBody(const WordItem &item)
{
    WordWriteRequest request;
    request.wordText = item.text;
    request.meaning = item.meaning;
    request.context = item.context;
    request.clientID = item.id.toString(QUuid::WithoutBraces).toUpper();
    return json::serialize(request.toJson());
}

} // namespace

MobileAPIClient::MobileAPIClient(NetworkTransfer &transfer, BaseURLProvider baseURLProvider, KeyValueStore &defaults,
    APIClientProtocol *currentEndpoints, std::chrono::milliseconds requestTimeout)
    : m_transfer(transfer)
    , m_baseURLProvider(std::move(baseURLProvider))
    , m_defaults(defaults)
    , m_currentEndpoints(currentEndpoints)
    , m_requestTimeout(requestTimeout)
{ }

APIClientProtocol &MobileAPIClient::currentEndpoints() const
{
    if (!m_currentEndpoints)
        throw MobileAPIError::invalidEndpoint();
    return *m_currentEndpoints;
}

TransferRequest MobileAPIClient::makeRequest(
    const QString &path, const QByteArray &method, const QString &accessToken) const
{
    const std::optional<QUrl> baseURL = m_baseURLProvider();
    if (!baseURL)
        throw MobileAPIError::invalidEndpoint();
    const QUrl url = baseURL->resolved(QUrl(path));
    if (!url.isValid() || url.host().isEmpty())
        throw MobileAPIError::invalidEndpoint();
    TransferRequest request;
    request.method = method;
    request.url = url;
    request.timeout = m_requestTimeout;
    request.headers = {{"Accept", "application/json"}, {"Content-Type", "application/json"},
        {"Authorization", "Bearer " + accessToken.toUtf8()}};
    return request;
}

Task<QByteArray> MobileAPIClient::perform(TransferRequest request)
{
    TransferResponse response;
    try {
        response = co_await m_transfer.send(request);
    } catch (...) {
        qCCritical(log::legacyMobileApi).noquote()
            << QStringLiteral("移动端 API 网络请求失败：%1").arg(describe(std::current_exception()));
        throw;
    }
    if (response.statusCode < 200 || response.statusCode > 299)
        std::rethrow_exception(errorFromResponse(response.body, response.statusCode));
    co_return response.body;
}

Task<> MobileAPIClient::performWrite(TransferRequest request)
{
    TransferResponse response;
    try {
        response = co_await m_transfer.send(request);
    } catch (...) {
        qCCritical(log::legacyMobileApi).noquote()
            << QStringLiteral("移动端写请求失败：%1").arg(describe(std::current_exception()));
        throw;
    }
    if (response.statusCode < 200 || response.statusCode > 299)
        std::rethrow_exception(errorFromResponse(response.body, response.statusCode));
}

std::exception_ptr MobileAPIClient::errorFromResponse(const QByteArray &body, int statusCode)
{
    if (statusCode == 401)
        return std::make_exception_ptr(MobileAPIError::unauthorized());
    QString message;
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (document.isObject()) {
        const QJsonObject object = document.object();
        if (const QJsonValue m = object.value(QStringLiteral("message")); m.isString())
            message = m.toString();
        else if (const QJsonValue e = object.value(QStringLiteral("error")); e.isString())
            message = e.toString();
    }
    return std::make_exception_ptr(MobileAPIError::server(statusCode, std::nullopt, message));
}

namespace {
template<typename T, typename Decode>
T decodeOrLog(const QByteArray &body, Decode decode)
{
    try {
        return decodeEnvelope<T>(body, decode);
    } catch (const json::DecodingError &error) {
        qCCritical(log::legacyMobileApi).noquote()
            << QStringLiteral("移动端 API JSON 解码失败：%1").arg(error.description());
        throw MobileAPIError::invalidResponse();
    }
}
} // namespace

Task<SystemConfiguration> MobileAPIClient::fetchSystemConfiguration(QString accessToken)
{
    const TransferRequest request = makeRequest(QStringLiteral("/api/v1/system/config"), "GET", accessToken);
    const QByteArray body = co_await perform(request);
    co_return decodeOrLog<SystemConfiguration>(body, &SystemConfiguration::fromJson);
}

Task<QList<RemoteWord>> MobileAPIClient::fetchWords(QString accessToken)
{
    const TransferRequest request = makeRequest(QStringLiteral("/api/v1/words"), "GET", accessToken);
    const QByteArray body = co_await perform(request);
    co_return decodeOrLog<QList<RemoteWord>>(body, &coding::decodeList<RemoteWord>);
}

Task<RemoteWord> MobileAPIClient::createWord(WordItem item, QString accessToken)
{
    TransferRequest request = makeRequest(QStringLiteral("/api/v1/words"), "POST", accessToken);
    request.body = wordWriteBody(item);
    const QByteArray body = co_await perform(request);
    co_return decodeOrLog<RemoteWord>(body, &RemoteWord::fromJson);
}

Task<RemoteWord> MobileAPIClient::updateWord(WordItem item, QString accessToken)
{
    if (!item.remoteID)
        throw MobileAPIError::invalidResponse();
    TransferRequest request
        = makeRequest(QStringLiteral("/api/v1/words/") + QString::number(*item.remoteID), "PUT", accessToken);
    request.body = wordWriteBody(item);
    const QByteArray body = co_await perform(request);
    co_return decodeOrLog<RemoteWord>(body, &RemoteWord::fromJson);
}

Task<> MobileAPIClient::deleteWord(qint64 remoteID, QString accessToken)
{
    const TransferRequest request
        = makeRequest(QStringLiteral("/api/v1/words/") + QString::number(remoteID), "DELETE", accessToken);
    co_await performWrite(request);
}

Task<> MobileAPIClient::updatePreferences(QString voiceID, qint64 cycleCount, QString accessToken)
{
    TransferRequest request = makeRequest(QStringLiteral("/api/v1/preferences"), "PUT", accessToken);
    request.body = json::serialize(PreferenceWriteRequest {voiceID, cycleCount}.toJson());
    co_await performWrite(request);
}

MobileAPIClient::LegacyPreferences MobileAPIClient::legacyStoredPreferences(
    const QString &ownerKey, const QString &defaultVoice) const
{
    LegacyPreferences result;
    const QVariant voice = m_defaults.value(keyPrefix + ownerKey + QStringLiteral(".voice"));
    result.voice = voice.typeId() == QMetaType::QString ? voice.toString() : defaultVoice;
    const QVariant cycle = m_defaults.value(keyPrefix + ownerKey + QStringLiteral(".cycle"));
    result.cycleCount = 3;
    switch (cycle.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong: {
        const qint64 n = cycle.toLongLong();
        result.cycleCount = (n >= 0 && n <= 99) ? n : 3;
        break;
    }
    default:
        break;
    }
    return result;
}

// The current endpoints go to the REST client.
Task<PlaybackPreference> MobileAPIClient::fetchPlaybackPreferences(QString accessToken)
{
    co_return co_await currentEndpoints().fetchPlaybackPreferences(accessToken);
}

Task<PlaybackPreference> MobileAPIClient::updatePlaybackPreferences(PlaybackPreference preference, QString accessToken)
{
    co_return co_await currentEndpoints().updatePlaybackPreferences(preference, accessToken);
}

Task<QList<PublicLexiconSummary>> MobileAPIClient::fetchPublicLexicons()
{
    co_return co_await currentEndpoints().fetchPublicLexicons();
}

Task<QList<UserLexicon>> MobileAPIClient::fetchUserLexicons(QString accessToken)
{
    co_return co_await currentEndpoints().fetchUserLexicons(accessToken);
}

Task<WordPlaybackProfile> MobileAPIClient::fetchWordPlaybackProfile(qint64 wordId, QString accessToken)
{
    co_return co_await currentEndpoints().fetchWordPlaybackProfile(wordId, accessToken);
}

Task<WordPlaybackProfile> MobileAPIClient::updateWordPlaybackProfile(WordPlaybackProfile profile, QString accessToken)
{
    co_return co_await currentEndpoints().updateWordPlaybackProfile(profile, accessToken);
}

} // namespace talvoro
