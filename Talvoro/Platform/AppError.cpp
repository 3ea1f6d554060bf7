#include "Platform/AppError.h"

namespace talvoro {

const char *AppError::what() const noexcept
{
    m_what = description().toUtf8();
    return m_what.constData();
}

QString CancellationError::description() const
{
    return QStringLiteral("已取消");
}

TransportError::TransportError(Code code, QString detail)
    : m_code(code)
    , m_detail(std::move(detail))
{ }

QString TransportError::description() const
{
    return descriptionFor(m_code);
}

QString TransportError::descriptionFor(Code code)
{
    switch (code) {
    case Code::cancelled:
        return QStringLiteral("已取消");
    case Code::badURL:
        return QStringLiteral("URL 无效。");
    case Code::timedOut:
        return QStringLiteral("请求超时。");
    case Code::unsupportedURL:
        return QStringLiteral("不支持的 URL。");
    case Code::cannotFindHost:
        return QStringLiteral("未能找到使用指定主机名的服务器。");
    case Code::cannotConnectToHost:
        return QStringLiteral("未能连接到服务器。");
    case Code::networkConnectionLost:
        return QStringLiteral("网络连接已中断。");
    case Code::dnsLookupFailed:
        return QStringLiteral("域名解析失败。");
    case Code::httpTooManyRedirects:
        return QStringLiteral("重定向次数过多。");
    case Code::resourceUnavailable:
        return QStringLiteral("无法载入资源。");
    case Code::notConnectedToInternet:
        return QStringLiteral("似乎已断开与互联网的连接。");
    case Code::badServerResponse:
        return QStringLiteral("服务器的响应无效。");
    case Code::internationalRoamingOff:
        return QStringLiteral("国际漫游目前已关闭。");
    case Code::dataNotAllowed:
        return QStringLiteral("当前不允许使用移动数据。");
    case Code::secureConnectionFailed:
        return QStringLiteral("发生了 SSL 错误，无法建立与该服务器的安全连接。");
    case Code::serverCertificateUntrusted:
        return QStringLiteral("此服务器的证书无效。");
    case Code::unknown:
        break;
    }
    return QStringLiteral("发生了未知错误。");
}

FileError::FileError(QString path, QString reason)
    : m_path(std::move(path))
    , m_reason(std::move(reason))
{ }

QString FileError::description() const
{
    return QStringLiteral("文件读写失败：%1").arg(m_reason);
}

QString describe(const std::exception_ptr &error)
{
    if (!error)
        return {};
    try {
        std::rethrow_exception(error);
    } catch (const AppError &e) {
        return e.description();
    } catch (const std::exception &e) {
        return QString::fromUtf8(e.what());
    } catch (...) { }
    return QStringLiteral("发生了未知错误。");
}

} // namespace talvoro
