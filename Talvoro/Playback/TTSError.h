#pragma once

#include "Platform/AppError.h"

#include <exception>
#include <optional>

namespace talvoro {

// Why the speech client could not deliver a clip.
class TTSError final : public AppError {
public:
    enum class Kind { networkError, httpError, invalidEndpoint, invalidResponse };

    // The transfer failed below HTTP (no connection, time-out, cancellation ...).
    static TTSError networkError(std::exception_ptr underlying);
    // The backend answered with a status other than 200; `message` is its own text.
    static TTSError httpError(int statusCode, std::optional<QString> message);
    static TTSError invalidEndpoint();
    // An unusable text, or an answer that carried no usable audio.
    static TTSError invalidResponse();

    Kind kind() const { return m_kind; }
    int statusCode() const { return m_statusCode; }
    const std::optional<QString> &message() const { return m_message; }
    std::exception_ptr underlying() const { return m_underlying; }
    // A network error that only says the caller cancelled.
    bool isCancellation() const;

    QString description() const override;

private:
    explicit TTSError(Kind kind)
        : m_kind(kind)
    { }

    Kind m_kind;
    int m_statusCode = 0;
    std::optional<QString> m_message;
    std::exception_ptr m_underlying;
};

} // namespace talvoro
