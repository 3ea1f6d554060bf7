#pragma once

#include "Api.h"

#include <QHostAddress>
#include <QObject>
#include <QSslConfiguration>
#include <QTcpServer>

#include <memory>
#include <optional>

// The HTTP/1.1 front of the API. It reads each request within fixed bounds: a head
// of at most 16 KB, a body declared by Content-Length of at most 1 MB. A request
// outside them is answered at once and its connection closed, so what a client
// sends never grows the server's memory (a body is refused before it is read).
//
// With faults switched on (for tests), POST /__admin/faults {"path"?, "method"?,
// "status"?, "delayMs"?, "drop"?, "times"?} adds one (no path: every path; no
// "times": until cleared), DELETE /__admin/faults clears them all. Without the
// switch the route does not exist.
namespace standin {

class Connection;

class Server : public QObject {
    Q_OBJECT
public:
    Server(Api &api, bool faultsAllowed, QObject *parent = nullptr);
    ~Server() override;

    // Serves HTTPS with this configuration; without a call, plain HTTP.
    void useTls(const QSslConfiguration &configuration);
    // The port bound, 0 when listening failed.
    quint16 listen(const QHostAddress &address, quint16 port);

    // Answers a complete request exactly once through respond; drop closes the
    // connection without an answer.
    void dispatch(const Request &request, const Api::Respond &respond, const std::function<void()> &drop);

private:
    struct Fault {
        QString path;
        QByteArray method;
        int status = 0;
        int delayMs = 0;
        bool drop = false;
        qint64 remaining = -1; // -1: until cleared
    };

    void acceptConnections();
    Reply administer(const Request &request);
    std::optional<Fault> takeFault(const Request &request);

    Api &m_api;
    bool m_faultsAllowed;
    std::unique_ptr<QTcpServer> m_listener;
    QList<Fault> m_faults;
};

} // namespace standin
