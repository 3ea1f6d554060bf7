#include "Platform/NetworkTransfer.h"

#include "Platform/AppError.h"
#include "Platform/Logging.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSslConfiguration>

#include <memory>
#include <utility>

namespace talvoro {

QByteArray TransferResponse::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

QString ResponseTooLargeError::description() const
{
    return QStringLiteral("服务器的响应过大。");
}

namespace {

struct ReplyFinished {
    QNetworkReply *reply;

    bool await_ready() const { return reply->isFinished(); }
    void await_suspend(std::coroutine_handle<> handle)
    {
        QObject::connect(
            reply, &QNetworkReply::finished, reply, [handle] { handle.resume(); }, Qt::SingleShotConnection);
    }
    void await_resume() const { }
};

TransportError::Code codeFor(QNetworkReply::NetworkError error)
{
    using E = QNetworkReply::NetworkError;
    using C = TransportError::Code;
    switch (error) {
    case E::OperationCanceledError: // Qt's transfer timeout; our own aborts are told apart earlier
    case E::TimeoutError:
        return C::timedOut;
    case E::HostNotFoundError:
        return C::cannotFindHost;
    case E::ConnectionRefusedError:
        return C::cannotConnectToHost;
    case E::RemoteHostClosedError:
        return C::networkConnectionLost;
    case E::TemporaryNetworkFailureError:
    case E::NetworkSessionFailedError:
        return C::notConnectedToInternet;
    case E::SslHandshakeFailedError:
        return C::secureConnectionFailed;
    case E::TooManyRedirectsError:
        return C::httpTooManyRedirects;
    case E::ProtocolUnknownError:
        return C::unsupportedURL;
    case E::ProtocolFailure:
        return C::badServerResponse;
    default:
        return C::unknown;
    }
}

} // namespace

NetworkTransfer::NetworkTransfer()
{
    m_manager.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    m_manager.setCache(nullptr);
}

NetworkTransfer::~NetworkTransfer() = default;

namespace {

// What every transfer trusts besides its own authorities; the transfers run on the
// main thread, so no lock.
struct ProcessTrust {
    QList<QSslCertificate> authorities;
    // Certificates to add to them at the first request.
    QByteArray pendingPem;
    QString pendingSource;
};

ProcessTrust &processTrust()
{
    static ProcessTrust trust;
    return trust;
}

const QList<QSslCertificate> &processAuthorities()
{
    ProcessTrust &trust = processTrust();
    if (!trust.pendingPem.isEmpty()) {
        trust.authorities = QSslCertificate::fromData(std::exchange(trust.pendingPem, {}), QSsl::Pem);
        if (trust.authorities.isEmpty()) {
            qCWarning(log::network).noquote()
                << QStringLiteral("无法读取 %1 中的证书，未信任其中的证书颁发机构").arg(trust.pendingSource);
        }
    }
    return trust.authorities;
}

} // namespace

void NetworkTransfer::setAdditionalCertificateAuthorities(const QList<QSslCertificate> &authorities)
{
    m_authorities = authorities;
}

void NetworkTransfer::trustForProcess(const QList<QSslCertificate> &authorities)
{
    processTrust() = {authorities, {}, {}};
}

bool NetworkTransfer::trustForProcessFromFile(const QString &path)
{
    // Read as QSslCertificate::fromPath reads one file, and checked as far as is
    // possible without parsing: a wrong path or a file of something else fails here.
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    QByteArray pem = file.readAll();
    const qsizetype begin = pem.indexOf("-----BEGIN CERTIFICATE-----");
    if (begin < 0 || pem.indexOf("-----END CERTIFICATE-----", begin) < 0)
        return false;
    processTrust() = {{}, std::move(pem), path};
    return true;
}

Task<TransferResponse> NetworkTransfer::send(TransferRequest request, CancellationToken token)
{
    token.throwIfCancelled();
    m_closing.token().throwIfCancelled();
    if (!request.url.isValid() || request.url.scheme().isEmpty())
        throw TransportError(TransportError::Code::badURL);

    QNetworkRequest req(request.url);
    req.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    req.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    req.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    req.setTransferTimeout(static_cast<int>(request.timeout.count()));
    for (const auto &[name, value] : request.headers)
        req.setRawHeader(name, value);
    if (request.url.scheme() == QLatin1String("https")) {
        if (const QList<QSslCertificate> authorities = m_authorities + processAuthorities(); !authorities.isEmpty()) {
            QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
            ssl.addCaCertificates(authorities);
            req.setSslConfiguration(ssl);
        }
    }

    QPointer<QNetworkReply> reply = m_manager.sendCustomRequest(req, request.method, request.body);
    struct InFlight {
        std::shared_ptr<int> count;
        explicit InFlight(std::shared_ptr<int> c)
            : count(std::move(c))
        {
            ++*count;
        }
        ~InFlight() { --*count; }
    };
    const InFlight inFlight(m_inFlight);
    bool abortedByUs = false;
    auto abortReply = [&abortedByUs, reply] {
        abortedByUs = true;
        if (reply)
            reply->abort();
    };
    auto registration = token.onCancel(abortReply);
    auto closing = m_closing.token().onCancel(abortReply);

    // Ends the transfer as soon as the body is known to be too long, before it is
    // all held in memory.
    auto tooLarge = std::make_shared<bool>(false);
    if (request.maxResponseBytes > 0) {
        QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
            [tooLarge, reply, limit = request.maxResponseBytes](qint64 received, qint64 total) {
                if (!*tooLarge && reply && (received > limit || total > limit)) {
                    *tooLarge = true;
                    reply->abort();
                }
            });
    }

    co_await ReplyFinished {reply.data()};
    registration.reset();
    closing.reset();
    reply->deleteLater();
    if (*tooLarge)
        throw ResponseTooLargeError();

    // Qt ends a transfer that ran out of time with OperationCanceledError, the same
    // code as an abort: only the abort we asked for is a cancellation.
    if (abortedByUs || token.isCancelled())
        throw CancellationError();

    const QNetworkReply::NetworkError error = reply->error();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const bool transportFailure = error == QNetworkReply::OperationCanceledError
        || (error != QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied) || !status.isValid();
    if (transportFailure)
        throw TransportError(codeFor(error), reply->errorString());

    TransferResponse response;
    response.statusCode = status.toInt();
    response.headers = reply->rawHeaderPairs();
    response.body = reply->readAll();
    co_return response;
}

} // namespace talvoro
