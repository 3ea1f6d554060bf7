#pragma once

#include "Platform/AppError.h"

#include <optional>

namespace talvoro {

// The one error of backend calls. Screens show description() behind their own
// prefix; callers decide by kind() and by the tests below.
class MobileAPIError final : public AppError {
public:
    enum class Kind { server, networkError, invalidEndpoint, unauthorized, invalidResponse };

    // An error answer: its HTTP status and the code and message of its body
    // (message empty when the body has none).
    static MobileAPIError server(int statusCode, std::optional<QString> code, QString message);
    // The transport failed for a reason other than our own cancellation.
    static MobileAPIError networkError(std::exception_ptr underlying);
    static MobileAPIError invalidEndpoint();
    static MobileAPIError unauthorized();
    static MobileAPIError invalidResponse();

    Kind kind() const { return m_kind; }
    // Meaningful for `server` only.
    int statusCode() const { return m_statusCode; }
    const std::optional<QString> &code() const { return m_code; }
    const QString &message() const { return m_message; }
    // Meaningful for `networkError` only.
    const std::exception_ptr &underlying() const { return m_underlying; }

    QString description() const override;

private:
    explicit MobileAPIError(Kind kind);

    Kind m_kind;
    int m_statusCode = 0;
    std::optional<QString> m_code;
    QString m_message;
    std::exception_ptr m_underlying;
};

// Whether a failure was a cancellation (ours, or a cancelled transfer), looking
// through any nesting of networkError. Such failures are dropped without a word.
bool isCancellation(const std::exception &error);
bool isCancellation(const std::exception_ptr &error);

// Whether a failure means the network is unreachable (no connection, connection
// lost, host not found or not answering, name lookup failed, roaming or mobile data
// off, timed out), looking through any nesting of networkError.
bool isConnectivityFailure(const std::exception &error);
bool isConnectivityFailure(const std::exception_ptr &error);

// Whether the backend said that the resource is gone: status 404 with the code
// "RESOURCE_NOT_FOUND"; a 404 without that code is not enough.
bool isResourceNotFound(const std::exception &error);
bool isResourceNotFound(const std::exception_ptr &error);

} // namespace talvoro
