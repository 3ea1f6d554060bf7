#include "Server.h"

#include <QJsonObject>
#include <QPointer>
#include <QSslServer>
#include <QTcpSocket>
#include <QTimer>

namespace standin {
namespace {

// Request line and headers together, and the body.
constexpr qsizetype maximumHeadSize = 16 * 1024;
constexpr qint64 maximumBodySize = 1024 * 1024;
// What a client may leave unread in the socket while its request is being answered.
constexpr qint64 socketBufferSize = 64 * 1024;
// A connection with no request under way is closed after this long without a byte.
constexpr int idleTimeoutMs = 60000;
// How long, and for how many bytes, the rest of a refused request is read and
// thrown away before its connection is cut.
constexpr int lingerMs = 1000;
constexpr qint64 maximumDiscarded = 16 * 1024 * 1024;

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 409:
        return "Conflict";
    case 411:
        return "Length Required";
    case 413:
        return "Content Too Large";
    case 429:
        return "Too Many Requests";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

bool isToken(const QByteArray &text)
{
    static const QByteArray allowed("!#$%&'*+-.^_`|~");
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || allowed.contains(c);
    });
}

} // namespace

// One client connection: reads one request at a time, hands it to the server, and
// reads the next only after the answer is written, so at most one head, one body
// and the socket's small buffer are held per connection.
class Connection : public QObject {
public:
    Connection(Server &server, QTcpSocket *socket)
        : m_server(server)
        , m_socket(socket)
    {
        m_socket->setParent(this);
        m_socket->setReadBufferSize(socketBufferSize);
        connect(m_socket, &QTcpSocket::readyRead, this, [this] {
            m_idle.start();
            readRequests();
        });
        connect(m_socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
        m_idle.setSingleShot(true);
        m_idle.setInterval(idleTimeoutMs);
        connect(&m_idle, &QTimer::timeout, this, [this] {
            if (m_busy)
                m_idle.start();
            else
                close(false);
        });
        m_idle.start();
        readRequests();
    }

private:
    void readRequests()
    {
        if (m_closing) {
            discard();
            return;
        }
        while (!m_busy && !m_closing) {
            if (!m_headRead) {
                const qsizetype end = m_buffer.indexOf("\r\n\r\n");
                if (end < 0) {
                    if (m_buffer.size() >= maximumHeadSize) {
                        refuse({431, "HEADERS_TOO_LARGE", QStringLiteral("请求头过大")});
                        return;
                    }
                    if (!readMore(maximumHeadSize))
                        return;
                    continue;
                }
                const QByteArray head = m_buffer.left(end);
                m_buffer.remove(0, end + 4);
                if (!readHead(head))
                    return;
                m_headRead = true;
                if (m_expectsContinue && m_buffer.size() < m_bodyLength)
                    m_socket->write("HTTP/1.1 100 Continue\r\n\r\n");
            }
            if (m_buffer.size() < m_bodyLength) {
                if (!readMore(m_bodyLength))
                    return;
                continue;
            }
            m_request.body = m_buffer.left(m_bodyLength);
            m_buffer.remove(0, m_bodyLength);
            m_headRead = false;
            m_busy = true;
            QPointer<Connection> self(this);
            const bool headOnly = m_request.method == "HEAD";
            m_server.dispatch(
                m_request,
                [self, headOnly](const Reply &reply) {
                    if (self)
                        self->answer(reply, headOnly);
                },
                [self] {
                    if (self)
                        self->m_socket->abort();
                });
            return;
        }
    }

    // Appends what the socket holds, up to limit bytes in the buffer; false when
    // nothing came.
    bool readMore(qsizetype limit)
    {
        const QByteArray more = m_socket->read(limit - m_buffer.size());
        m_buffer += more;
        return !more.isEmpty();
    }

    // False when the request was refused.
    bool readHead(const QByteArray &head)
    {
        const QList<QByteArray> lines = head.split('\n');
        const QList<QByteArray> start
            = lines.constFirst().chopped(lines.constFirst().endsWith('\r') ? 1 : 0).split(' ');
        if (start.size() != 3 || !isToken(start[0]) || !start[1].startsWith('/')
            || (start[2] != "HTTP/1.1" && start[2] != "HTTP/1.0")) {
            refuse({400, "BAD_REQUEST", QStringLiteral("请求格式无效")});
            return false;
        }
        m_request = Request {};
        m_request.method = start[0];
        const qsizetype query = start[1].indexOf('?');
        m_request.path = QString::fromLatin1(query < 0 ? start[1] : start[1].left(query));
        m_request.query = query < 0 ? QString() : QString::fromLatin1(start[1].mid(query + 1));
        m_request.peer = m_socket->peerAddress();
        m_bodyLength = 0;
        m_expectsContinue = false;
        m_closeAfter = start[2] == "HTTP/1.0";
        std::optional<QByteArray> declaredLength;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines[i].endsWith('\r') ? lines[i].chopped(1) : lines[i];
            const qsizetype colon = line.indexOf(':');
            const QByteArray name = line.left(colon);
            if (colon <= 0 || !isToken(name)) {
                refuse({400, "BAD_REQUEST", QStringLiteral("请求头格式无效")});
                return false;
            }
            const QByteArray value = line.mid(colon + 1).trimmed();
            m_request.headers.append({name, value});
            const QByteArray lower = name.toLower();
            if (lower == "content-length") {
                if ((declaredLength && *declaredLength != value) || value.isEmpty() || value.size() > 18
                    || !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
                    refuse({400, "BAD_REQUEST", QStringLiteral("请求内容长度无效")});
                    return false;
                }
                declaredLength = value;
            } else if (lower == "transfer-encoding") {
                // Every client of this server sends a Content-Length; a body without
                // one could only be bounded after reading it.
                refuse({411, "LENGTH_REQUIRED", QStringLiteral("请求必须注明内容长度")});
                return false;
            } else if (lower == "connection") {
                const QByteArray option = value.toLower();
                if (option.contains("close"))
                    m_closeAfter = true;
                else if (option.contains("keep-alive"))
                    m_closeAfter = false;
            } else if (lower == "expect") {
                m_expectsContinue = value.toLower() == "100-continue";
            }
        }
        if (declaredLength)
            m_bodyLength = declaredLength->toLongLong();
        if (m_bodyLength > maximumBodySize) {
            refuse({413, "PAYLOAD_TOO_LARGE", QStringLiteral("请求内容过大，不能超过 1 MB")});
            return false;
        }
        return true;
    }

    void answer(const Reply &reply, bool headOnly)
    {
        QByteArray message = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reasonPhrase(reply.status) + "\r\n";
        const bool hasBody = reply.status != 204;
        if (!reply.contentType.isEmpty())
            message += "Content-Type: " + reply.contentType + "\r\n";
        if (hasBody)
            message += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
        if (m_closeAfter)
            message += "Connection: close\r\n";
        message += "\r\n";
        if (hasBody && !headOnly)
            message += reply.body;
        m_socket->write(message);
        m_busy = false;
        m_idle.start();
        if (m_closeAfter)
            close(m_refused || !m_buffer.isEmpty() || m_socket->bytesAvailable() > 0);
        else // the next request may already be waiting
            QTimer::singleShot(0, this, [this] { readRequests(); });
    }

    // Answers and closes: what follows on the connection is never read.
    void refuse(const ApiError &error)
    {
        m_closeAfter = true;
        m_refused = true;
        answer(errorReply(error), false);
    }

    // Closes once the answer is written. A client may still be sending what was
    // refused; closing with its bytes unread would reset the connection, and it
    // might lose the answer with it, so it first gets a moment to read the answer
    // while its bytes are thrown away.
    void close(bool linger)
    {
        m_closing = true;
        if (!linger) {
            m_socket->disconnectFromHost();
            return;
        }
        QTimer::singleShot(lingerMs, this, [this] { m_socket->disconnectFromHost(); });
        discard();
    }

    void discard()
    {
        m_discarded += m_socket->skip(m_socket->bytesAvailable());
        if (m_discarded > maximumDiscarded)
            m_socket->disconnectFromHost();
    }

    Server &m_server;
    QTcpSocket *m_socket;
    QTimer m_idle;
    QByteArray m_buffer;
    Request m_request;
    qint64 m_bodyLength = 0;
    qint64 m_discarded = 0;
    bool m_headRead = false;
    bool m_expectsContinue = false;
    bool m_closeAfter = false;
    bool m_refused = false;
    bool m_busy = false;
    bool m_closing = false;
};

Server::Server(Api &api, bool faultsAllowed, QObject *parent)
    : QObject(parent)
    , m_api(api)
    , m_faultsAllowed(faultsAllowed)
    , m_listener(std::make_unique<QTcpServer>())
{ }

Server::~Server() = default;

void Server::useTls(const QSslConfiguration &configuration)
{
    auto listener = std::make_unique<QSslServer>();
    listener->setSslConfiguration(configuration);
    m_listener = std::move(listener);
}

quint16 Server::listen(const QHostAddress &address, quint16 port)
{
    connect(m_listener.get(), &QTcpServer::pendingConnectionAvailable, this, &Server::acceptConnections);
    return m_listener->listen(address, port) ? m_listener->serverPort() : 0;
}

void Server::acceptConnections()
{
    while (QTcpSocket *socket = m_listener->nextPendingConnection())
        new Connection(*this, socket); // deletes itself when the socket disconnects
}

void Server::dispatch(const Request &request, const Api::Respond &respond, const std::function<void()> &drop)
{
    if (m_faultsAllowed && request.path == QLatin1String("/__admin/faults")) {
        respond(administer(request));
        return;
    }
    const std::optional<Fault> fault = m_faultsAllowed ? takeFault(request) : std::nullopt;
    const auto proceed = [this, request, fault, respond, drop] {
        if (fault && fault->drop)
            drop();
        else if (fault && fault->status != 0)
            respond(errorReply({fault->status, "INJECTED_FAULT", QStringLiteral("服务器暂时无法处理请求")}));
        else
            m_api.handle(request, respond);
    };
    if (fault && fault->delayMs > 0)
        QTimer::singleShot(fault->delayMs, this, proceed);
    else
        proceed();
}

Reply Server::administer(const Request &request)
{
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
