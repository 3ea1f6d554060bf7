#pragma once

#include "Models/MobileAPIError.h"
#include "Platform/Async.h"
#include "Session/AppSession.h"
#include "Session/SignedInUser.h"

#include <QPointer>

#include <optional>

namespace talvoro {

// What asking the session for fresh tokens after an unauthorized answer came to.
struct UnauthorizedRefreshOutcome {
    // Absent when the refused token was no longer the session's (nothing was asked).
    std::optional<SessionRefreshResult> refresh;
    // Present when the session refreshed and is still signed in with a token.
    std::optional<SessionCredentials> retryWith;
};

// One refresh of the session for an access token the backend refused, joined with
// every other caller for the same token generation. Never throws.
Task<UnauthorizedRefreshOutcome> refreshAfterUnauthorizedAnswer(QPointer<AppSession> session, QString accessToken);

// Thrown by callWithTokenRefresh when the refused call is not retried.
class TokenRefreshDeclined final : public AppError {
public:
    explicit TokenRefreshDeclined(UnauthorizedRefreshOutcome outcome)
        : m_outcome(std::move(outcome))
    { }
    const UnauthorizedRefreshOutcome &outcome() const { return m_outcome; }
    // Whether the refresh failed for a passing reason (the network), so the session goes on.
    bool isTransient() const;
    QString description() const override;

private:
    UnauthorizedRefreshOutcome m_outcome;
};

bool isUnauthorized(const std::exception_ptr &error);

// Runs `operation(credentials)`. When it fails with an unauthorized answer and a
// session is given, asks the session for one refresh of that token and runs the
// operation once more with the new credentials; a failure of that second run passes
// on unchanged (no second refresh). When the session does not refresh, throws
// TokenRefreshDeclined. Without a session the unauthorized answer passes on.
// `operation` is a plain callable returning a Task (not a coroutine lambda).
template<typename Operation>
auto callWithTokenRefresh(QPointer<AppSession> session, SessionCredentials credentials, Operation operation)
    -> decltype(operation(credentials))
{
    std::exception_ptr refused;
    try {
        co_return co_await operation(credentials);
    } catch (...) {
        refused = std::current_exception();
    }
    if (!session || !isUnauthorized(refused))
        std::rethrow_exception(refused);
    UnauthorizedRefreshOutcome outcome = co_await refreshAfterUnauthorizedAnswer(session, credentials.accessToken);
    if (!outcome.retryWith)
        throw TokenRefreshDeclined(std::move(outcome));
    const SessionCredentials renewed = *outcome.retryWith;
    co_return co_await operation(renewed);
}

} // namespace talvoro
