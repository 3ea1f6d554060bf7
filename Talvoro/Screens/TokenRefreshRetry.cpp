#include "Screens/TokenRefreshRetry.h"

namespace talvoro {

Task<UnauthorizedRefreshOutcome> refreshAfterUnauthorizedAnswer(QPointer<AppSession> session, QString accessToken)
{
    UnauthorizedRefreshOutcome outcome;
    if (!session)
        co_return outcome;
    const std::optional<quint64> generation = session->generationIfCurrent(accessToken);
    if (!generation)
        co_return outcome;
    const SessionRefreshResult result = co_await session->refreshAfterUnauthorized(*generation);
    outcome.refresh = result;
    if (result.kind == SessionRefreshResult::Kind::refreshed)
        outcome.retryWith = signedInCredentials(session);
    co_return outcome;
}

bool TokenRefreshDeclined::isTransient() const
{
    return m_outcome.refresh && m_outcome.refresh->kind == SessionRefreshResult::Kind::transientFailure;
}

QString TokenRefreshDeclined::description() const
{
    if (isTransient())
        return QStringLiteral("当前网络不可用，请稍后重试");
    return QStringLiteral("登录状态已失效，请重新登录");
}

bool isUnauthorized(const std::exception_ptr &error)
{
    try {
        std::rethrow_exception(error);
    } catch (const MobileAPIError &apiError) {
        return apiError.kind() == MobileAPIError::Kind::unauthorized;
    } catch (...) {
        return false;
    }
}

} // namespace talvoro
