#include "Server.h"

#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonObject>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

namespace standin {
namespace {

QByteArray methodName(QHttpServerRequest::Method method)
{
    switch (method) {
    case QHttpServerRequest::Method::Get:
        return "GET";
    case QHttpServerRequest::Method::Put:
        return "PUT";
    case QHttpServerRequest::Method::Delete:
        return "DELETE";
    case QHttpServerRequest::Method::Post:
        return "POST";
    case QHttpServerRequest::Method::Head:
        return "HEAD";
    case QHttpServerRequest::Method::Options:
        return "OPTIONS";
    case QHttpServerRequest::Method::Patch:
        return "PATCH";
    default:
        return "OTHER";
    }
}

} // namespace

Server::Server(Api &api, QObject *parent)
    : QAbstractHttpServer(parent)
    , m_api(api)
{ }

bool Server::handleRequest(const QHttpServerRequest &httpRequest, QTcpSocket *socket)
{
    // The request object is reused for the connection's next request, so the
    // handlers get a copy they may keep while they work.
    Request request {methodName(httpRequest.method()), httpRequest.url().path(), httpRequest.url().query(),
        httpRequest.headers(), httpRequest.body(), httpRequest.remoteAddress()};
    auto responder = std::make_shared<QHttpServerResponder>(makeResponder(httpRequest, socket));
    QPointer<QTcpSocket> connection(socket);
    const auto respond = [responder, connection](const Reply &reply) {
        if (!connection) // the client went away while the answer was being made
            return;
        const auto status = static_cast<QHttpServerResponder::StatusCode>(reply.status);
        if (reply.contentType.isEmpty())
            responder->write(status);
        else
            responder->write(reply.body, reply.contentType, status);
    };

    if (request.path == QLatin1String("/__admin/faults")) {
        respond(administer(request));
        return true;
    }
    const std::optional<Fault> fault = takeFault(request);
    const auto proceed = [this, request, fault, respond, connection] {
        if (!connection)
            return;
        if (fault && fault->drop)
            connection->abort();
        else if (fault && fault->status != 0)
            respond(errorReply({fault->status, "INJECTED_FAULT", QStringLiteral("服务器暂时无法处理请求")}));
        else
            m_api.handle(request, respond);
    };
    if (fault && fault->delayMs > 0)
        QTimer::singleShot(fault->delayMs, this, proceed);
    else
        proceed();
    return true;
}

Reply Server::administer(const Request &request)
{
    if (!request.peer.isLoopback())
        return errorReply({403, "FORBIDDEN", QStringLiteral("仅限本机访问")});
    try {
        if (request.method == "DELETE") {
            m_faults.clear();
        } else if (request.method == "POST") {
            const BodyReader body = BodyReader::parse(request.body);
            Fault fault;
            fault.path = body.optionalString("path").value_or(QString());
            fault.method = body.optionalString("method").value_or(QString()).toUpper().toLatin1();
            fault.status = int(body.optionalInteger("status").value_or(0));
            fault.delayMs = int(body.optionalInteger("delayMs").value_or(0));
            fault.drop = body.has("drop") && body.boolean("drop");
            fault.remaining = body.optionalInteger("times").value_or(-1);
            if ((fault.status != 0 && (fault.status < 200 || fault.status > 599)) || fault.delayMs < 0
                || fault.delayMs > 600000 || fault.remaining == 0 || fault.remaining < -1)
                throw ApiError::badRequest(QStringLiteral("故障设置无效"));
            m_faults.append(fault);
        } else {
            throw ApiError {405, "METHOD_NOT_ALLOWED", QStringLiteral("接口不支持该请求方法")};
        }
    } catch (const ApiError &error) {
        return errorReply(error);
    }
    return Reply::json(200, QJsonObject {{"faults", m_faults.size()}});
}

std::optional<Server::Fault> Server::takeFault(const Request &request)
{
    for (qsizetype i = 0; i < m_faults.size(); ++i) {
        Fault &fault = m_faults[i];
        if ((!fault.path.isEmpty() && fault.path != request.path)
            || (!fault.method.isEmpty() && fault.method != request.method))
            continue;
        const Fault taken = fault;
        if (fault.remaining > 0 && --fault.remaining == 0)
            m_faults.removeAt(i);
        return taken;
    }
    return std::nullopt;
}

} // namespace standin
