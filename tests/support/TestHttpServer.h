#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QSslCertificate>
#include <QSslKey>
#include <QTcpServer>
#include <QUrl>

#include <functional>
#include <map>
#include <memory>

// A small HTTP/1.1 server on 127.0.0.1, port 0, for tests: each route answers as the
// test scripts it (status, headers, body, a delay, no answer at all, a redirect), and
// every request received is recorded. With Tls it serves HTTPS under a certificate
// authority of its own, which the client under test has to be told to trust.
namespace testsupport {

using Headers = QList<QPair<QByteArray, QByteArray>>;

struct RecordedRequest {
    QByteArray method;
    QString path;
    QString query;
    Headers headers;
    QByteArray body;

    QByteArray header(const QByteArray &name) const; // case-insensitive; empty when absent
    bool hasHeader(const QByteArray &name) const;
};

struct ScriptedResponse {
    int status = 200;
    Headers headers;
    QByteArray body;
    int delayMs = 0;
    bool neverAnswer = false;
    bool dropConnection = false; // close the connection instead of answering
    bool held = false; // answer only when the test calls releaseHeld()

    static ScriptedResponse json(int status, const QByteArray &body);
    static ScriptedResponse redirect(int status, const QUrl &location);
    static ScriptedResponse never();
    static ScriptedResponse dropped();
    static ScriptedResponse delayed(int delayMs, ScriptedResponse response);
    static ScriptedResponse heldBack(ScriptedResponse response);
};

// A local certificate authority and a server certificate for 127.0.0.1/localhost
// that it signed, made once per process with the openssl command.
struct TestCertificates {
    QSslCertificate authority;
    QSslCertificate server;
    QSslKey serverKey;

    static const TestCertificates &shared();
};

class TestHttpServer : public QObject {
    Q_OBJECT
public:
    enum class Mode { plain, tls };
    using Handler = std::function<ScriptedResponse(const RecordedRequest &)>;

    explicit TestHttpServer(Mode mode = Mode::plain, QObject *parent = nullptr);
    ~TestHttpServer() override;

    // Starts listening; false when no port could be bound.
    bool listen();
    quint16 port() const;
    QUrl baseUrl() const; // "http(s)://127.0.0.1:<port>"
    QUrl url(const QString &pathAndQuery) const;

    // Routes match the method and the exact path (no query). Unrouted requests get 404.
    void route(const QByteArray &method, const QString &path, ScriptedResponse response);
    void route(const QByteArray &method, const QString &path, Handler handler);

    // Sends the answer held back for the index-th held request (in order of arrival).
    void releaseHeld(int index);
    int heldCount() const { return int(m_held.size()); }

    QList<RecordedRequest> requests() const { return m_requests; }
    int requestCount() const { return int(m_requests.size()); }
    void clearRequests() { m_requests.clear(); }

    // Connections currently open; a client that gave up closes its own.
    int openConnections() const;

Q_SIGNALS:
    void requestReceived(const testsupport::RecordedRequest &request);

private:
    class Listener;
    struct Connection;

    void accept(QTcpSocket *socket);
    void readFrom(Connection *connection);
    void answer(Connection *connection, const RecordedRequest &request);

    Mode m_mode;
    std::unique_ptr<Listener> m_listener;
    std::map<QPair<QByteArray, QString>, Handler> m_routes;
    QList<RecordedRequest> m_requests;
    std::map<QTcpSocket *, std::unique_ptr<Connection>> m_connections;
    QList<std::function<void()>> m_held;
};

} // namespace testsupport
