#include "TestHttpServer.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <stdexcept>

namespace testsupport {

QByteArray RecordedRequest::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

bool RecordedRequest::hasHeader(const QByteArray &name) const
{
    for (const auto &pair : headers) {
        if (pair.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

ScriptedResponse ScriptedResponse::json(int status, const QByteArray &body)
{
    ScriptedResponse response;
    response.status = status;
    response.headers = {{"Content-Type", "application/json"}};
    response.body = body;
    return response;
}

ScriptedResponse ScriptedResponse::redirect(int status, const QUrl &location)
{
    ScriptedResponse response;
    response.status = status;
    response.headers = {{"Location", location.toEncoded()}};
    return response;
}

ScriptedResponse ScriptedResponse::never()
{
    ScriptedResponse response;
    response.neverAnswer = true;
    return response;
}

ScriptedResponse ScriptedResponse::dropped()
{
    ScriptedResponse response;
    response.dropConnection = true;
    return response;
}

ScriptedResponse ScriptedResponse::heldBack(ScriptedResponse response)
{
    response.held = true;
    return response;
}

ScriptedResponse ScriptedResponse::delayed(int delayMs, ScriptedResponse response)
{
    response.delayMs = delayMs;
    return response;
}

namespace {

void runOpenssl(const QString &folder, const QStringList &arguments)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("openssl"), arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        throw std::runtime_error("openssl failed: " + process.readAll().toStdString());
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    return file.readAll();
}

TestCertificates makeCertificates()
{
    QTemporaryDir dir;
    const QString f = dir.path();
    const QStringList ecKey {QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
        QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};
    runOpenssl(f,
        QStringList {QStringLiteral("req"), QStringLiteral("-x509")} + ecKey
            + QStringList {QStringLiteral("-keyout"), QStringLiteral("ca.key"), QStringLiteral("-out"),
                QStringLiteral("ca.crt"), QStringLiteral("-days"), QStringLiteral("30"), QStringLiteral("-subj"),
                QStringLiteral("/CN=Talvoro Test Authority"), QStringLiteral("-addext"),
                QStringLiteral("basicConstraints=critical,CA:TRUE"), QStringLiteral("-addext"),
                QStringLiteral("keyUsage=critical,keyCertSign,cRLSign")});
    runOpenssl(f,
        QStringList {QStringLiteral("req")} + ecKey
            + QStringList {QStringLiteral("-keyout"), QStringLiteral("server.key"), QStringLiteral("-out"),
                QStringLiteral("server.csr"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1")});
    QFile ext(QDir(f).filePath(QStringLiteral("server.ext")));
    if (!ext.open(QIODevice::WriteOnly))
        throw std::runtime_error("cannot write server.ext");
    ext.write("subjectAltName=IP:127.0.0.1,DNS:localhost\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n");
    ext.close();
    runOpenssl(f,
        {QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), QStringLiteral("server.csr"),
            QStringLiteral("-CA"), QStringLiteral("ca.crt"), QStringLiteral("-CAkey"), QStringLiteral("ca.key"),
            QStringLiteral("-CAcreateserial"), QStringLiteral("-out"), QStringLiteral("server.crt"),
            QStringLiteral("-days"), QStringLiteral("30"), QStringLiteral("-extfile"), QStringLiteral("server.ext")});
    TestCertificates result;
    result.authority = QSslCertificate(readFile(QDir(f).filePath(QStringLiteral("ca.crt"))), QSsl::Pem);
    result.server = QSslCertificate(readFile(QDir(f).filePath(QStringLiteral("server.crt"))), QSsl::Pem);
    result.serverKey = QSslKey(readFile(QDir(f).filePath(QStringLiteral("server.key"))), QSsl::Ec, QSsl::Pem);
    if (result.authority.isNull() || result.server.isNull() || result.serverKey.isNull())
        throw std::runtime_error("the generated certificates could not be loaded");
    return result;
}

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 201:
        return "Created";
    case 204:
        return "No Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 304:
        return "Not Modified";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 409:
        return "Conflict";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

} // namespace

const TestCertificates &TestCertificates::shared()
{
    static const TestCertificates certificates = makeCertificates();
    return certificates;
}

class TestHttpServer::Listener : public QTcpServer {
public:
    explicit Listener(TestHttpServer *owner)
        : m_owner(owner)
    { }

protected:
    void incomingConnection(qintptr descriptor) override
    {
        if (m_owner->m_mode == Mode::plain) {
            auto *socket = new QTcpSocket(m_owner);
            socket->setSocketDescriptor(descriptor);
            m_owner->accept(socket);
            return;
        }
        auto *socket = new QSslSocket(m_owner);
        socket->setSocketDescriptor(descriptor);
        const TestCertificates &certificates = TestCertificates::shared();
        socket->setLocalCertificate(certificates.server);
        socket->setPrivateKey(certificates.serverKey);
        socket->setPeerVerifyMode(QSslSocket::VerifyNone);
        m_owner->accept(socket);
        socket->startServerEncryption();
    }

private:
    TestHttpServer *m_owner;
};

struct TestHttpServer::Connection {
    QTcpSocket *socket = nullptr;
    QByteArray buffer;
};

TestHttpServer::TestHttpServer(Mode mode, QObject *parent)
    : QObject(parent)
    , m_mode(mode)
    , m_listener(std::make_unique<Listener>(this))
{
    if (m_mode == Mode::tls)
        TestCertificates::shared(); // fail here, not in the middle of a handshake
}

TestHttpServer::~TestHttpServer()
{
    m_listener->close();
    for (auto &[socket, connection] : m_connections) {
        socket->disconnect(this);
        socket->abort();
    }
}

bool TestHttpServer::listen()
{
    return m_listener->listen(QHostAddress::LocalHost, 0);
}

quint16 TestHttpServer::port() const
{
    return m_listener->serverPort();
}

QUrl TestHttpServer::baseUrl() const
{
    return QUrl(QStringLiteral("%1://127.0.0.1:%2").arg(m_mode == Mode::tls ? u"https" : u"http").arg(port()));
}

QUrl TestHttpServer::url(const QString &pathAndQuery) const
{
    return QUrl(baseUrl().toString() + pathAndQuery);
}

void TestHttpServer::route(const QByteArray &method, const QString &path, ScriptedResponse response)
{
    route(method, path, [response](const RecordedRequest &) { return response; });
}

void TestHttpServer::route(const QByteArray &method, const QString &path, Handler handler)
{
    m_routes[{method, path}] = std::move(handler);
}

void TestHttpServer::releaseHeld(int index)
{
    if (index >= 0 && index < m_held.size())
        m_held.at(index)();
}

int TestHttpServer::openConnections() const
{
    return int(m_connections.size());
}

void TestHttpServer::accept(QTcpSocket *socket)
{
    auto connection = std::make_unique<Connection>();
    connection->socket = socket;
    Connection *raw = connection.get();
    m_connections.emplace(socket, std::move(connection));
    connect(socket, &QTcpSocket::readyRead, this, [this, raw] { readFrom(raw); });
    // Queued: the socket may disconnect while readFrom() still works on it.
    connect(
        socket, &QTcpSocket::disconnected, this,
        [this, socket] {
            m_connections.erase(socket);
            socket->deleteLater();
        },
        Qt::QueuedConnection);
}

void TestHttpServer::readFrom(Connection *connection)
{
    connection->buffer += connection->socket->readAll();
    // Several requests may arrive on one kept-alive connection.
    for (;;) {
        const qsizetype headerEnd = connection->buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return;
        const QList<QByteArray> lines = connection->buffer.left(headerEnd).split('\n');
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        if (requestLine.size() < 3) {
            connection->socket->abort();
            return;
        }
        RecordedRequest request;
        request.method = requestLine.at(0);
        const QByteArray target = requestLine.at(1);
        const qsizetype question = target.indexOf('?');
        request.path = QString::fromUtf8(question < 0 ? target : target.left(question));
        request.query = question < 0 ? QString() : QString::fromUtf8(target.mid(question + 1));
        qsizetype contentLength = 0;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            QByteArray line = lines.at(i);
            if (line.endsWith('\r'))
                line.chop(1);
            const qsizetype colon = line.indexOf(':');
            if (colon <= 0)
                continue;
            const QByteArray name = line.left(colon).trimmed();
            QByteArray value = line.mid(colon + 1);
            while (value.startsWith(' ') || value.startsWith('\t'))
                value.remove(0, 1); // trailing blanks are kept: tests look at them
            request.headers.append({name, value});
            if (name.compare("Content-Length", Qt::CaseInsensitive) == 0)
                contentLength = value.toLongLong();
        }
        const qsizetype total = headerEnd + 4 + contentLength;
        if (connection->buffer.size() < total)
            return;
        request.body = connection->buffer.mid(headerEnd + 4, contentLength);
        connection->buffer.remove(0, total);

        m_requests.append(request);
        Q_EMIT requestReceived(request);
        answer(connection, request);
    }
}

void TestHttpServer::answer(Connection *connection, const RecordedRequest &request)
{
    ScriptedResponse response;
    const auto route = m_routes.find({request.method, request.path});
    if (route != m_routes.end())
        response = route->second(request);
    else
        response
            = ScriptedResponse::json(404, R"({"success":false,"error":{"code":"NOT_ROUTED","message":"no route"}})");
    if (response.neverAnswer)
        return;
    if (response.dropConnection) {
        connection->socket->disconnectFromHost();
        connection->buffer.clear();
        return;
    }

    QByteArray bytes = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reasonPhrase(response.status) + "\r\n";
    bool hasLength = false;
    for (const auto &[name, value] : response.headers) {
        bytes += name + ": " + value + "\r\n";
        hasLength = hasLength || name.compare("Content-Length", Qt::CaseInsensitive) == 0;
    }
    if (!hasLength)
        bytes += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    bytes += "\r\n" + response.body;

    QPointer<QTcpSocket> socket = connection->socket;
    if (response.held) {
        m_held.append([socket, bytes] {
            if (socket)
                socket->write(bytes);
        });
        return;
    }
    if (response.delayMs <= 0) {
        socket->write(bytes);
        return;
    }
    QTimer::singleShot(response.delayMs, this, [socket, bytes] {
        if (socket)
            socket->write(bytes);
    });
}

} // namespace testsupport
