#include "Screens/SessionRefusal.h"

namespace talvoro {

QString SessionRefused::description() const
{
    return description(QStringLiteral("登录账号已发生变化，本次操作已取消"));
}

QString SessionRefused::description(const QString &changedText) const
{
    switch (m_reason) {
    case Reason::expired:
        return QStringLiteral("登录状态已失效，请重新登录后重试");
    case Reason::temporarilyUnavailable:
        return QStringLiteral("当前网络暂时无法续期登录状态，本地登录信息已保留，请稍后重试");
    case Reason::changed:
        break;
    }
    return changedText;
}

SessionRefused::Reason SessionRefused::forRefresh(const SessionRefreshResult &result)
{
    switch (result.kind) {
    case SessionRefreshResult::Kind::transientFailure:
    case SessionRefreshResult::Kind::cancelled:
        return Reason::temporarilyUnavailable;
    case SessionRefreshResult::Kind::noSession:
    case SessionRefreshResult::Kind::definitivelyRejected:
        return Reason::expired;
    case SessionRefreshResult::Kind::refreshed: // but no usable token afterwards
    case SessionRefreshResult::Kind::notNeeded:
    case SessionRefreshResult::Kind::superseded:
        break;
    }
    return Reason::changed;
}

std::optional<QString> describeSessionRefusal(const std::exception_ptr &error, const QString &changedText)
{
    try {
        std::rethrow_exception(error);
    } catch (const SessionRefused &refused) {
        return refused.description(changedText);
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace talvoro
