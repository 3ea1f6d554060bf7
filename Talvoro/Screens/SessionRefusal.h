#pragma once

#include "Platform/AppError.h"
#include "Session/AppSession.h"

#include <exception>
#include <optional>

namespace talvoro {

// Why the session would not let a screen's write go on.
class SessionRefused final : public AppError {
public:
    enum class Reason { expired, temporarilyUnavailable, changed };
    explicit SessionRefused(Reason reason)
        : m_reason(reason)
    { }
    Reason reason() const { return m_reason; }
    QString description() const override;
    // The refusal in a screen's words. An expired session and a refresh the network
    // held up read the same on every screen; `changedText` is the screen's own
    // account of a signed-in account that changed under it.
    QString description(const QString &changedText) const;
    // Why a write cannot go on after the session's refresh came to `result`
    // without a usable token.
    static Reason forRefresh(const SessionRefreshResult &result);

private:
    Reason m_reason;
};

// The text for `error` when it is a refusal of the session, in a screen's words
// (see SessionRefused::description); none for any other failure.
std::optional<QString> describeSessionRefusal(const std::exception_ptr &error, const QString &changedText);

} // namespace talvoro
