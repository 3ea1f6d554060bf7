#pragma once

#include "Api.h"

#include <QAbstractHttpServer>

#include <optional>

// The HTTP(S) front of the API, with faults that tests switch on through a route
// only loopback peers may use: POST /__admin/faults {"path"?, "method"?, "status"?,
// "delayMs"?, "drop"?, "times"?} adds one (no path: every path; no "times": until
// cleared), DELETE /__admin/faults clears them all.
namespace standin {

class Server : public QAbstractHttpServer {
    Q_OBJECT
public:
    explicit Server(Api &api, QObject *parent = nullptr);

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &, QTcpSocket *) override { }

private:
    struct Fault {
        QString path;
        QByteArray method;
        int status = 0;
        int delayMs = 0;
        bool drop = false;
        qint64 remaining = -1; // -1: until cleared
    };

    Reply administer(const Request &request);
    std::optional<Fault> takeFault(const Request &request);

    Api &m_api;
    QList<Fault> m_faults;
};

} // namespace standin
