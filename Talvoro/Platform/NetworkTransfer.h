#pragma once

#include "Platform/Async.h"
#include "Platform/Cancellation.h"

#include <QByteArray>
#include <QList>
#include <QNetworkAccessManager>
#include <QPair>
#include <QSslCertificate>
#include <QUrl>

#include <chrono>
#include <memory>

namespace talvoro {

using HttpHeaders = QList<QPair<QByteArray, QByteArray>>;

struct TransferRequest {
    QByteArray method = "GET";
    QUrl url;
    HttpHeaders headers;
    QByteArray body;
    std::chrono::milliseconds timeout {8000};
    // A body longer than this ends the transfer with ResponseTooLargeError; 0: no limit.
    qint64 maxResponseBytes = 0;
};

// The answer's body was longer than the request allowed; the transfer was ended.
class ResponseTooLargeError final : public AppError {
public:
    QString description() const override;
};

struct TransferResponse {
    int statusCode = 0;
    HttpHeaders headers;
    QByteArray body;

    // Case-insensitive; empty when absent.
    QByteArray header(const QByteArray &name) const;
};

// The one place where requests leave the app. It follows no redirects (a 3xx comes
// back as it is, so a bearer token never reaches another origin), uses no HTTP
// cache, and ends every transfer after its timeout. Failures below HTTP are thrown
// as TransportError; a cancelled token ends the transfer with CancellationError.
class NetworkTransfer {
public:
    NetworkTransfer();
    ~NetworkTransfer();

    NetworkTransfer(const NetworkTransfer &) = delete;
    NetworkTransfer &operator=(const NetworkTransfer &) = delete;

    // Authorities this transfer trusts besides the system's.
    void setAdditionalCertificateAuthorities(const QList<QSslCertificate> &authorities);
    // Authorities every transfer of the process trusts besides the system's: a local
    // development backend's, handed over at start-up the way a developer trusts it.
    static void trustForProcess(const QList<QSslCertificate> &authorities);
    // The same for the authorities in the PEM file at `path`. The file is read now,
    // but its certificates are parsed with the first request: parsing one loads the
    // TLS library, which the app does not need before it talks to the backend.
    // False, and nothing more trusted, when the file cannot be read or holds no
    // certificate.
    static bool trustForProcessFromFile(const QString &path);

    Task<TransferResponse> send(TransferRequest request, CancellationToken token = {});

    // Transfers sent and not yet answered, failed or cancelled.
    int transfersInFlight() const { return *m_inFlight; }

    // Ends every transfer in flight and every later one with CancellationError: for
    // an owner going away, whose callers must not wait for answers that would resume
    // them into objects already gone.
    void close() { m_closing.cancel(); }

private:
    QNetworkAccessManager m_manager;
    CancellationSource m_closing;
    // Shared with each running send, which may end after this object is gone.
    std::shared_ptr<int> m_inFlight = std::make_shared<int>(0);
    QList<QSslCertificate> m_authorities;
};

} // namespace talvoro
