#include "Models/MobileAPIError.h"

namespace talvoro {

MobileAPIError::MobileAPIError(Kind kind)
    : m_kind(kind)
{ }

MobileAPIError MobileAPIError::server(int statusCode, std::optional<QString> code, QString message)
{
    MobileAPIError error(Kind::server);
    error.m_statusCode = statusCode;
    error.m_code = std::move(code);
    error.m_message = std::move(message);
    return error;
}

MobileAPIError MobileAPIError::networkError(std::exception_ptr underlying)
{
    MobileAPIError error(Kind::networkError);
    error.m_underlying = std::move(underlying);
    return error;
}

MobileAPIError MobileAPIError::invalidEndpoint()
{
    return MobileAPIError(Kind::invalidEndpoint);
}

MobileAPIError MobileAPIError::unauthorized()
{
    return MobileAPIError(Kind::unauthorized);
}

MobileAPIError MobileAPIError::invalidResponse()
{
    return MobileAPIError(Kind::invalidResponse);
}

QString MobileAPIError::description() const
{
    switch (m_kind) {
    case Kind::server:
        // A message of blanks is still the server's message.
        if (!m_message.isEmpty())
            return m_message;
        return QStringLiteral("服务端请求失败（HTTP %1）").arg(m_statusCode);
    case Kind::networkError:
        return QStringLiteral("网络连接失败：") + describe(m_underlying);
    case Kind::invalidEndpoint:
        return QStringLiteral("后端地址配置无效");
    case Kind::unauthorized:
        return QStringLiteral("登录状态已失效，请重新登录");
    case Kind::invalidResponse:
        break;
    }
    return QStringLiteral("服务端返回的数据格式无效");
}

namespace {

// Applies `test` to the exception that `error` holds; false for none, or for one
// that is no std::exception.
template<typename Test>
bool onException(const std::exception_ptr &error, Test test)
{
    if (!error)
        return false;
    try {
        std::rethrow_exception(error);
    } catch (const std::exception &e) {
        return test(e);
    } catch (...) {
        return false;
    }
}

// The innermost error of any networkError nesting decides.
template<typename Test>
bool classify(const std::exception &error, Test test)
{
    const auto *api = dynamic_cast<const MobileAPIError *>(&error);
    if (api && api->kind() == MobileAPIError::Kind::networkError)
        return onException(api->underlying(), [&](const std::exception &inner) { return classify(inner, test); });
    return test(error);
}

bool isCancellationItself(const std::exception &error)
{
    if (dynamic_cast<const CancellationError *>(&error))
        return true;
    const auto *transport = dynamic_cast<const TransportError *>(&error);
    return transport && transport->code() == TransportError::Code::cancelled;
}

bool isConnectivityFailureItself(const std::exception &error)
{
    const auto *transport = dynamic_cast<const TransportError *>(&error);
    if (!transport)
        return false;
    switch (transport->code()) {
    case TransportError::Code::notConnectedToInternet:
    case TransportError::Code::networkConnectionLost:
    case TransportError::Code::cannotFindHost:
    case TransportError::Code::cannotConnectToHost:
    case TransportError::Code::dnsLookupFailed:
    case TransportError::Code::internationalRoamingOff:
    case TransportError::Code::dataNotAllowed:
    case TransportError::Code::timedOut:
        return true;
    default:
        return false;
    }
}

} // namespace

bool isCancellation(const std::exception &error)
{
    return classify(error, isCancellationItself);
}

bool isCancellation(const std::exception_ptr &error)
{
    return onException(error, [](const std::exception &e) { return isCancellation(e); });
}

bool isConnectivityFailure(const std::exception &error)
{
    return classify(error, isConnectivityFailureItself);
}

bool isConnectivityFailure(const std::exception_ptr &error)
{
    return onException(error, [](const std::exception &e) { return isConnectivityFailure(e); });
}

bool isResourceNotFound(const std::exception &error)
{
    const auto *api = dynamic_cast<const MobileAPIError *>(&error);
    return api && api->kind() == MobileAPIError::Kind::server && api->statusCode() == 404
        && api->code() == QStringLiteral("RESOURCE_NOT_FOUND");
}

bool isResourceNotFound(const std::exception_ptr &error)
{
    return onException(error, [](const std::exception &e) { return isResourceNotFound(e); });
}

} // namespace talvoro
