#pragma once

#include "Platform/NetworkTransfer.h"

#include <QJsonObject>
#include <QProcess>
#include <QSslCertificate>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>

// Runs the real talvoro-backend executable on a free loopback port with a data
// folder of its own, and talks to it over HTTPS through the app's NetworkTransfer,
// trusting only the authority the server generated.
namespace backendtest {

struct Answer {
    int status = 0;
    QByteArray contentType;
    QByteArray body;

    QJsonObject json() const; // empty when the body is no JSON object
    QJsonValue data() const;
    QString errorCode() const;
    QString errorMessage() const;
    QString message() const; // the top-level "message"
};

// What the server sent back on a connection of its own, and whether it closed it.
struct RawExchange {
    QByteArray received;
    bool closedByServer = false;

    QByteArray statusLine() const { return received.left(received.indexOf("\r\n")); }
};

struct Account {
    qint64 userId = 0;
    QString username;
    QString password;
    QString accessToken;
    QString refreshToken;
};

class BackendProcess {
public:
    // The folder survives stop() and start(), so a restart keeps the data.
    BackendProcess();
    ~BackendProcess();

    // Whether this build has a backend to run (the sanitizer build has none).
    static bool available();

    // False (with a warning naming the reason) when the server did not come up.
    bool start(const QStringList &arguments = {});
    void stop();

    QUrl baseUrl() const { return m_baseUrl; }
    QString dataPath() const { return m_data.path(); }
    QList<QSslCertificate> authority() const;

    Answer call(const QByteArray &method, const QString &path, const QJsonObject &body, const QString &token = {});
    Answer call(const QByteArray &method, const QString &path, const QString &token = {});
    Answer send(const QByteArray &method, const QUrl &url, const QByteArray &body, const QString &token = {});

    // Writes bytes as they are on a new connection (TLS when the server speaks it),
    // then reads until the server closes it or 20 s have passed.
    RawExchange exchange(const QByteArray &bytes);

    // A new account with a unique name, signed in.
    Account registerAccount();
    // Sends fault switches to the admin route of a server started with --test-faults.
    void injectFault(const QJsonObject &fault);

private:
    QTemporaryDir m_data;
    std::unique_ptr<QProcess> m_process;
    QUrl m_baseUrl;
    talvoro::NetworkTransfer m_transfer;
};

} // namespace backendtest
