#pragma once

#include <QString>

#include <exception>
#include <memory>

namespace talvoro {

// Every failure the app reports is an AppError thrown through the coroutine that
// produced it. description() is the text a user may be shown, in Chinese.
class AppError : public std::exception {
public:
    ~AppError() override = default;
    virtual QString description() const = 0;
    const char *what() const noexcept override;

private:
    mutable QByteArray m_what;
};

// Our own cancellation: a token was cancelled or a shared run was cancelled.
// Screens ignore it; it never counts as a connectivity failure.
class CancellationError final : public AppError {
public:
    QString description() const override;
};

// A failure below HTTP: no answer with a status line came back. The codes are the
// URL-loading error codes that callers test (cancelled is -999, timed out -1001 ...).
class TransportError final : public AppError {
public:
    enum class Code : int {
        unknown = -1,
        cancelled = -999,
        badURL = -1000,
        timedOut = -1001,
        unsupportedURL = -1002,
        cannotFindHost = -1003,
        cannotConnectToHost = -1004,
        networkConnectionLost = -1005,
        dnsLookupFailed = -1006,
        httpTooManyRedirects = -1007,
        resourceUnavailable = -1008,
        notConnectedToInternet = -1009,
        badServerResponse = -1011,
        internationalRoamingOff = -1018,
        dataNotAllowed = -1020,
        secureConnectionFailed = -1200,
        serverCertificateUntrusted = -1202,
    };

    explicit TransportError(Code code, QString detail = {});

    Code code() const { return m_code; }
    int urlErrorCode() const { return static_cast<int>(m_code); }
    // What the transport itself said, for logs only (English, from Qt).
    QString detail() const { return m_detail; }
    QString description() const override;

    static QString descriptionFor(Code code);

private:
    Code m_code;
    QString m_detail;
};

// A local file could not be read or written.
class FileError final : public AppError {
public:
    FileError(QString path, QString reason);
    QString path() const { return m_path; }
    QString description() const override;

private:
    QString m_path;
    QString m_reason;
};

// Rethrows `error` when it holds an AppError and returns its description; any other
// exception is described generically. Handy for logging a caught exception_ptr.
QString describe(const std::exception_ptr &error);

} // namespace talvoro
