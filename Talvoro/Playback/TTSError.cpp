#include "Playback/TTSError.h"

namespace talvoro {

TTSError TTSError::networkError(std::exception_ptr underlying)
{
    TTSError error(Kind::networkError);
    error.m_underlying = std::move(underlying);
    return error;
}

TTSError TTSError::httpError(int statusCode, std::optional<QString> message)
{
    TTSError error(Kind::httpError);
    error.m_statusCode = statusCode;
    error.m_message = std::move(message);
    return error;
}

TTSError TTSError::invalidEndpoint()
{
    return TTSError(Kind::invalidEndpoint);
}

TTSError TTSError::invalidResponse()
{
    return TTSError(Kind::invalidResponse);
}

bool TTSError::isCancellation() const
{
    if (m_kind != Kind::networkError || !m_underlying)
        return false;
    try {
        std::rethrow_exception(m_underlying);
    } catch (const CancellationError &) {
        return true;
    } catch (const TransportError &error) {
        return error.code() == TransportError::Code::cancelled;
    } catch (...) { }
    return false;
}

QString TTSError::description() const
{
    switch (m_kind) {
    case Kind::networkError:
        return QStringLiteral("网络请求失败：") + describe(m_underlying);
    case Kind::httpError:
        return m_message ? *m_message : QStringLiteral("服务器响应错误，HTTP 状态码：%1").arg(m_statusCode);
    case Kind::invalidEndpoint:
        return QStringLiteral("无效的后端服务地址");
    case Kind::invalidResponse:
        return QStringLiteral("服务器返回了无效的音频数据");
    }
    return {};
}

} // namespace talvoro
