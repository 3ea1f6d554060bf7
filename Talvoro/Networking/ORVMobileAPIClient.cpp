#include "Networking/ORVMobileAPIClient.h"

#include "Models/MobileAPIError.h"
#include "Networking/BackendConfiguration.h"
#include "Platform/Logging.h"
#include "Platform/Text.h"

#include <QJsonDocument>
#include <QTextBoundaryFinder>

namespace talvoro {

QString SupersededNetworkResponseError::description() const
{
    return QStringLiteral("请求结果已过期，请重试");
}

ORVMobileAPIClient::ORVMobileAPIClient(NetworkTransfer &transfer, APICacheManager &cacheManager,
    BaseURLProvider baseURLProvider, RequestInspectionHandler requestInspectionHandler,
    std::chrono::milliseconds requestTimeout, APIClientProtocol *olderEndpoints)
    : m_transfer(transfer)
    , m_cacheManager(cacheManager)
    , m_baseURLProvider(std::move(baseURLProvider))
    , m_requestInspectionHandler(std::move(requestInspectionHandler))
    , m_requestTimeout(requestTimeout)
    , m_olderEndpoints(olderEndpoints)
{ }

APIClientProtocol &ORVMobileAPIClient::olderEndpoints() const
{
    if (!m_olderEndpoints)
        throw MobileAPIError::invalidEndpoint();
    return *m_olderEndpoints;
}

QJsonObject ORVMobileAPIClient::compactBody(const Body &body)
{
    QJsonObject object;
    for (const auto &[key, value] : body) {
        if (value)
            object.insert(key, *value);
    }
    return object;
}

ORVMobileAPIClient::ErrorBody ORVMobileAPIClient::parseErrorBody(const QByteArray &bytes)
{
    const QJsonDocument document = QJsonDocument::fromJson(bytes);
    if (!document.isObject())
        return {std::nullopt, QString()};
    QJsonObject taken = document.object();
    if (const QJsonValue inner = taken.value(QStringLiteral("error")); inner.isObject())
        taken = inner.toObject();
    ErrorBody result;
    if (const QJsonValue code = taken.value(QStringLiteral("code")); code.isString())
        result.code = code.toString();
    if (const QJsonValue message = taken.value(QStringLiteral("message")); message.isString())
        result.message = message.toString();
    return result;
}

Task<std::any> ORVMobileAPIClient::sendErased(QString path, QString method, std::optional<Body> body,
    std::optional<QString> accessToken, std::optional<APIRequestCachePolicy> cachePolicy, ErasedDecoder decode,
    CancellationToken cancel)
{
    const std::optional<QUrl> baseURL = m_baseURLProvider();
    if (!baseURL)
        throw MobileAPIError::invalidEndpoint();
    // A path starting with "/" replaces the base URL's path; its query is kept.
    const QUrl url = baseURL->resolved(QUrl(path));
    if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty())
        throw MobileAPIError::invalidEndpoint();

    TransferRequest request;
    request.method = method.toUtf8();
    request.url = url;
    request.timeout = m_requestTimeout;
    request.headers = {{"Content-Type", "application/json"}, {"Accept", "application/json"}};
    if (accessToken)
        request.headers.append({"Authorization", "Bearer " + accessToken->toUtf8()});
    std::optional<QByteArray> bodyBytes;
    if (body) {
        bodyBytes = json::serialize(compactBody(*body)); // an encoding failure is thrown as it is
        request.body = *bodyBytes;
    }
    if (m_requestInspectionHandler)
        m_requestInspectionHandler(RequestInspection {method, url.path(), bodyBytes});

    if (method == QLatin1String("GET") && cachePolicy) {
        const CacheIdentity identity = requestContext(path, accessToken, baseURL);
        switch (cachePolicy->kind) {
        case APIRequestCachePolicy::Kind::networkOnly:
            co_return co_await networkOnly(request, identity, accessToken, decode, cancel);
        case APIRequestCachePolicy::Kind::networkThenStore:
            co_return co_await networkThenStore(request, identity, *cachePolicy, decode, std::nullopt, cancel);
        case APIRequestCachePolicy::Kind::cacheFirst: {
            std::optional<std::any> staleFallback;
            const std::optional<APICacheEntry> entry = co_await m_cacheManager.entry(identity.key, identity.scope);
            if (entry) {
                std::optional<std::any> cached = decode(entry->payload);
                if (!cached) {
                    co_await m_cacheManager.invalidateEntry(identity.key, identity.scope);
                } else if (entry->freshness == APICacheEntry::Freshness::fresh) {
                    co_return std::move(*cached);
                } else {
                    staleFallback = std::move(cached);
                }
            }
            co_return co_await networkThenStore(request, identity, *cachePolicy, decode, staleFallback, cancel);
        }
        }
    }
    Performed performed = co_await perform(request, decode, cancel);
    co_return std::move(performed.value);
}

Task<ORVMobileAPIClient::Performed> ORVMobileAPIClient::perform(
    TransferRequest request, ErasedDecoder decode, CancellationToken cancel)
{
    TransferResponse response;
    try {
        response = co_await m_transfer.send(request, cancel);
    } catch (...) {
        const std::exception_ptr error = std::current_exception();
        if (cancel.isCancelled() || isCancellation(error))
            throw CancellationError();
        throw MobileAPIError::networkError(error);
    }
    const int status = response.statusCode;
    if (status >= 200 && status <= 299) {
        std::optional<std::any> value = decode(response.body);
        if (!value)
            throw MobileAPIError::invalidResponse();
        co_return Performed {std::move(*value), response.body};
    }
    if (status == 401)
        throw MobileAPIError::unauthorized();
    const ErrorBody error = parseErrorBody(response.body);
    throw MobileAPIError::server(status, error.code, error.message);
}

Task<std::any> ORVMobileAPIClient::networkThenStore(TransferRequest request, CacheIdentity identity,
    APIRequestCachePolicy policy, ErasedDecoder decode, std::optional<std::any> staleFallback, CancellationToken cancel)
{
    const APICacheWriteToken token = co_await m_cacheManager.beginRequest(identity.key, identity.scope);
    Performed performed;
    try {
        performed = co_await perform(request, decode, cancel);
    } catch (...) {
        if (staleFallback && isStaleIfErrorEligible(std::current_exception())) {
            qCInfo(log::mobileApi).noquote()
                << QStringLiteral("网络失败，使用仍在 stale-if-error 上限内的公共只读缓存");
            co_return std::move(*staleFallback);
        }
        throw;
    }
    const APICacheStoreOutcome outcome
        = co_await m_cacheManager.store(performed.body, token, policy.freshFor, policy.staleIfErrorFor);
    if (outcome == APICacheStoreOutcome::superseded)
        throw SupersededNetworkResponseError();
    co_return std::move(performed.value);
}

Task<std::any> ORVMobileAPIClient::networkOnly(TransferRequest request, CacheIdentity identity,
    std::optional<QString> accessToken, ErasedDecoder decode, CancellationToken cancel)
{
    co_await m_cacheManager.invalidateEntry(identity.key, credentialScope(accessToken));
    co_await m_cacheManager.invalidateEntry(identity.key, identity.scope);
    const APICacheWriteToken token = co_await m_cacheManager.beginRequest(identity.key, identity.scope);
    Performed performed = co_await perform(request, decode, cancel);
    if (!co_await m_cacheManager.isCurrent(token))
        throw SupersededNetworkResponseError();
    co_return std::move(performed.value);
}

CacheIdentity ORVMobileAPIClient::requestContext(
    const QString &path, const std::optional<QString> &accessToken, const std::optional<QUrl> &baseURL) const
{
    const std::optional<QUrl> url = baseURL ? baseURL : m_baseURLProvider();
    const std::optional<QString> environmentKey = BackendConfiguration::environmentPartitionKey(url);
    if (!environmentKey)
        throw MobileAPIError::invalidEndpoint();
    return {QStringLiteral("GET_") + path, cacheScope(accessToken, *environmentKey)};
}

QString ORVMobileAPIClient::cacheScope(const std::optional<QString> &accessToken, const QString &environmentKey)
{
    return environmentKey + u'|' + credentialScope(accessToken);
}

QString ORVMobileAPIClient::credentialScope(const std::optional<QString> &accessToken)
{
    if (!accessToken || accessToken->isEmpty())
        return QStringLiteral("public");
    if (const auto subject = jwtSubject(*accessToken))
        return QStringLiteral("user:") + *subject;
    return QStringLiteral("credential-sha256:") + credentialDigest(*accessToken);
}

std::optional<QString> ORVMobileAPIClient::jwtSubject(const QString &accessToken)
{
    const QStringList pieces = accessToken.split(u'.', Qt::KeepEmptyParts);
    if (pieces.size() < 2)
        return std::nullopt;
    QString payload = pieces.at(1);
    for (const QChar c : payload) { // toLatin1() would turn other characters into '?' silently
        if (c.unicode() > 0x7f)
            return std::nullopt;
    }
    payload.replace(u'-', u'+').replace(u'_', u'/');
    payload += QString((4 - payload.size() % 4) % 4, u'=');
    const auto decoded = QByteArray::fromBase64Encoding(payload.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(*decoded);
    if (!document.isObject())
        return std::nullopt;
    const QJsonValue sub = document.object().value(QStringLiteral("sub"));
    QString subject;
    if (sub.isString()) {
        subject = sub.toString();
    } else if (sub.isDouble()) {
        const qint64 integer = sub.toInteger(-1);
        subject = integer == sub.toInteger(0) ? QString::number(integer) : QString::number(sub.toDouble(), 'g', 17);
    } else {
        return std::nullopt;
    }
    // 1 to 32 characters, each numeric (its first code point).
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, subject);
    qsizetype count = 0;
    qsizetype start = 0;
    while (finder.toNextBoundary() != -1) {
        const qsizetype end = finder.position();
        const char32_t first = QStringView(subject).mid(start, end - start).toUcs4().value(0);
        if (!QChar::isNumber(first))
            return std::nullopt;
        start = end;
        ++count;
    }
    if (count < 1 || count > 32)
        return std::nullopt;
    return subject;
}

QString ORVMobileAPIClient::credentialDigest(const QString &accessToken)
{
    return text::sha256Hex(accessToken);
}

bool ORVMobileAPIClient::isStaleIfErrorEligible(const std::exception_ptr &error)
{
    try {
        std::rethrow_exception(error);
    } catch (const MobileAPIError &e) {
        switch (e.kind()) {
        case MobileAPIError::Kind::server:
            return e.statusCode() == 408 || e.statusCode() == 429 || e.statusCode() >= 500;
        case MobileAPIError::Kind::networkError:
        case MobileAPIError::Kind::invalidResponse:
            return true;
        case MobileAPIError::Kind::invalidEndpoint:
        case MobileAPIError::Kind::unauthorized:
            return false;
        }
    } catch (...) { }
    return false;
}

QStringList ORVMobileAPIClient::userWordsCacheScopes(const std::optional<QString> &accessToken) const
{
    const CacheIdentity identity = requestContext(QStringLiteral("/api/v1/user/words"), accessToken);
    return {identity.scope, credentialScope(accessToken)};
}

Task<> ORVMobileAPIClient::invalidateUserWordsCache(QStringList scopes)
{
    for (const QString &scope : scopes)
        co_await m_cacheManager.invalidate(QStringLiteral("GET_/api/v1/user/words"), scope);
}

Task<> ORVMobileAPIClient::invalidateListEntry(QString path, std::optional<QString> accessToken)
{
    const CacheIdentity identity = requestContext(path, accessToken);
    co_await m_cacheManager.invalidateEntry(identity.key, identity.scope);
}

} // namespace talvoro
