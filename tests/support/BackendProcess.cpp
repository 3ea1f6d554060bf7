#include "BackendProcess.h"

#include <csignal>
#include <sys/prctl.h>

#include "AwaitTask.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QJsonDocument>
#include <QSslSocket>
#include <QTest>

namespace backendtest {

QJsonObject Answer::json() const
{
    return QJsonDocument::fromJson(body).object();
}

QJsonValue Answer::data() const
{
    return json().value("data");
}

QString Answer::errorCode() const
{
    return json().value("error").toObject().value("code").toString();
}

QString Answer::errorMessage() const
{
    return json().value("error").toObject().value("message").toString();
}

QString Answer::message() const
{
    return json().value("message").toString();
}

BackendProcess::BackendProcess() = default;

BackendProcess::~BackendProcess()
{
    stop();
}

bool BackendProcess::available()
{
    return !QStringLiteral(TALVORO_BACKEND_EXECUTABLE).isEmpty();
}

bool BackendProcess::start(const QStringList &arguments)
{
    if (!available()) {
        qWarning("this build has no talvoro-backend to start");
        return false;
    }
    m_process = std::make_unique<QProcess>();
    // The server dies with the test, even when the test aborts: an orphan would keep
    // the test's output pipe open and hang whoever reads it.
    m_process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process->start(
        QStringLiteral(TALVORO_BACKEND_EXECUTABLE), QStringList {QStringLiteral("--data"), m_data.path()} + arguments);
    const QDeadlineTimer limit(30000);
    while (!m_process->canReadLine() && !limit.hasExpired() && m_process->state() != QProcess::NotRunning)
        m_process->waitForReadyRead(int(limit.remainingTime()));
    if (!m_process->canReadLine()) {
        qWarning("talvoro-backend printed no base URL (state %d, exit code %d)", int(m_process->state()),
            m_process->exitCode());
        return false;
    }
    m_baseUrl = QUrl(QString::fromUtf8(m_process->readLine().trimmed()));
    m_transfer.setAdditionalCertificateAuthorities(authority());
    return m_baseUrl.isValid();
}

void BackendProcess::stop()
{
    if (!m_process)
        return;
    m_process->kill();
    m_process->waitForFinished(10000);
    m_process.reset();
}

QList<QSslCertificate> BackendProcess::authority() const
{
    return QSslCertificate::fromPath(QDir(m_data.path()).filePath(QStringLiteral("tls/ca.crt")));
}

Answer BackendProcess::send(const QByteArray &method, const QUrl &url, const QByteArray &body, const QString &token)
{
    talvoro::TransferRequest request;
    request.method = method;
    request.url = url;
    request.body = body;
    request.timeout = std::chrono::seconds(20);
    request.headers = {{"Content-Type", "application/json"}, {"Accept", "application/json"}};
    if (!token.isEmpty())
        request.headers.append({"Authorization", "Bearer " + token.toUtf8()});
    const talvoro::TransferResponse response
        = testsupport::awaitResult(m_transfer.send(request), std::chrono::seconds(30));
    return Answer {response.statusCode, response.header("Content-Type"), response.body};
}

Answer BackendProcess::call(
    const QByteArray &method, const QString &path, const QJsonObject &body, const QString &token)
{
    return send(method, m_baseUrl.resolved(QUrl(path)), QJsonDocument(body).toJson(QJsonDocument::Compact), token);
}

Answer BackendProcess::call(const QByteArray &method, const QString &path, const QString &token)
{
    return send(method, m_baseUrl.resolved(QUrl(path)), {}, token);
}

RawExchange BackendProcess::exchange(const QByteArray &bytes)
{
    QSslSocket socket;
    const QDeadlineTimer limit(20000);
    if (m_baseUrl.scheme() == QLatin1String("https")) {
        QSslConfiguration configuration = socket.sslConfiguration();
        configuration.setCaCertificates(authority());
        socket.setSslConfiguration(configuration);
        socket.connectToHostEncrypted(m_baseUrl.host(), quint16(m_baseUrl.port()));
        if (!socket.waitForEncrypted(int(limit.remainingTime())))
            return {};
    } else {
        socket.connectToHost(m_baseUrl.host(), quint16(m_baseUrl.port()));
        if (!socket.waitForConnected(int(limit.remainingTime())))
            return {};
    }
    socket.write(bytes);
    RawExchange result;
    while (socket.state() == QAbstractSocket::ConnectedState && !limit.hasExpired()) {
        socket.waitForReadyRead(int(std::max<qint64>(limit.remainingTime(), 1)));
        result.received += socket.readAll();
    }
    result.received += socket.readAll();
    result.closedByServer = socket.state() != QAbstractSocket::ConnectedState;
    return result;
}

Account BackendProcess::registerAccount()
{
    static int counter = 0;
    Account account;
    account.username = QStringLiteral("learner_%1").arg(++counter);
    account.password = QStringLiteral("secret%1word").arg(counter);
    const Answer answer = call("POST", QStringLiteral("/api/v1/auth/register"),
        QJsonObject {{"username", account.username}, {"password", account.password}});
    const QJsonObject data = answer.data().toObject();
    account.userId = data.value("user").toObject().value("id").toInteger();
    account.accessToken = data.value("accessToken").toString();
    account.refreshToken = data.value("refreshToken").toString();
    if (answer.status != 200 || account.accessToken.isEmpty())
        qWarning("registration failed: %d %s", answer.status, answer.body.constData());
    return account;
}

void BackendProcess::injectFault(const QJsonObject &fault)
{
    const Answer answer = call("POST", QStringLiteral("/__admin/faults"), fault);
    if (answer.status != 200)
        qWarning("the fault was refused: %s", answer.body.constData());
}

} // namespace backendtest
