#pragma once

#include "AwaitTask.h"
#include "TestHttpServer.h"

#include "Networking/APICacheManager.h"
#include "Networking/ORVMobileAPIClient.h"
#include "Platform/Json.h"
#include "Platform/NotificationCenter.h"
#include "Platform/SecureItemStore.h"
#include "Session/AppSession.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <stdexcept>

// An AppSession over an in-memory secret store, a loopback server, a clock that
// moves only when told and a notification hub of its own.
namespace sessiontesting {

using namespace talvoro;
using namespace testsupport;
using Kind = SessionRefreshResult::Kind;

inline const QString refreshPath = QStringLiteral("/api/v1/auth/refresh");
inline const QString logoutPath = QStringLiteral("/api/v1/auth/logout");

inline QByteArray tokenAnswer(
    const QString &accessToken, const QString &refreshToken, qint64 expiresIn = 3600, qint64 refreshExpiresIn = 86400)
{
    return QStringLiteral("{\"success\":true,\"data\":{\"accessToken\":\"%1\",\"expiresIn\":%3,"
                          "\"refreshToken\":\"%2\",\"refreshExpiresIn\":%4,"
                          "\"user\":{\"id\":7,\"username\":\"alice\"}},\"traceId\":\"t\"}")
        .arg(accessToken, refreshToken)
        .arg(expiresIn)
        .arg(refreshExpiresIn)
        .toUtf8();
}

inline QByteArray errorAnswer(const QString &code, const QString &message = QStringLiteral("refused"))
{
    return QStringLiteral("{\"success\":false,\"error\":{\"code\":\"%1\",\"message\":\"%2\"}}")
        .arg(code, message)
        .toUtf8();
}

// A successful answer of the backend carrying `data`.
inline QByteArray envelope(const QJsonValue &data)
{
    const QJsonObject answer {{QStringLiteral("success"), true}, {QStringLiteral("data"), data}};
    return QJsonDocument(answer).toJson(QJsonDocument::Compact);
}

inline QJsonObject bodyOf(const RecordedRequest &request)
{
    return json::parseObject(request.body);
}

struct SessionFixture {
    TestHttpServer server;
    NetworkTransfer transfer;
    NotificationCenter notifications;
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::shared_ptr<MemorySecureItemStore> items = std::make_shared<MemorySecureItemStore>();
    std::shared_ptr<KeychainSessionCredentialStore> store = std::make_shared<KeychainSessionCredentialStore>(items);
    std::unique_ptr<AppSession> session;

    explicit SessionFixture(bool withBaseURL = true, AppSession::RequestTimeouts timeouts = {})
    {
        if (!server.listen())
            throw std::runtime_error("no port for the test server");
        std::optional<QUrl> base;
        if (withBaseURL)
            base = server.baseUrl();
        session = std::make_unique<AppSession>(store, transfer, base, clock, notifications, timeouts);
    }

    // A session stored with the given expiries, in milliseconds from now (none: absent).
    StoredSession storedSession(std::optional<qint64> accessInMs, std::optional<qint64> refreshInMs) const
    {
        const QDateTime now = clock->now();
        StoredSession s {QStringLiteral("A1"), QStringLiteral("R1"), {7, QStringLiteral("alice")}, {}, {}};
        if (accessInMs)
            s.accessTokenExpiresAt = now.addMSecs(*accessInMs);
        if (refreshInMs)
            s.refreshTokenExpiresAt = now.addMSecs(*refreshInMs);
        return s;
    }
    void putStored(const StoredSession &s)
    {
        items->setItem(store->service(), store->account(), json::serialize(s.toJson()));
    }
    std::optional<StoredSession> stored() const
    {
        const auto data = items->item(store->service(), store->account());
        if (!data)
            return std::nullopt;
        return StoredSession::fromJson(json::parse(*data));
    }

    // Restores a stored session with the given expiries.
    void signIn(std::optional<qint64> accessInMs = 3600000, std::optional<qint64> refreshInMs = 86400000)
    {
        putStored(storedSession(accessInMs, refreshInMs));
        awaitResult(session->restoreSession());
        QVERIFY(session->state().snapshot());
    }

    // Signs in (or registers, by path) with a password that keeps every rule.
    Task<> authenticate(const QString &username = QStringLiteral("alice"), const QString &path = AppSession::loginPath)
    {
        const bool registering = path == AppSession::registerPath;
        return session->authenticate(
            path, username, QStringLiteral("passw0rd"), registering ? QStringLiteral("注册") : QStringLiteral("登录"));
    }

    const AuthenticatedSessionSnapshot &snapshot() const { return *session->state().snapshot(); }
    QList<RecordedRequest> sentTo(const QString &path) const
    {
        QList<RecordedRequest> sent;
        for (const RecordedRequest &r : server.requests()) {
            if (r.path == path)
                sent.append(r);
        }
        return sent;
    }
    int requestsTo(const QString &path) const { return int(sentTo(path).size()); }
    // Sends one request after everything the session has sent so far and waits
    // for it, so that earlier requests have reached the server too.
    void settle()
    {
        TransferRequest request;
        request.url = server.url(QStringLiteral("/settle"));
        awaitResult(transfer.send(request));
    }
};

// The session above with the real REST client against its server, caching in a
// folder of its own.
struct ClientFixture {
    SessionFixture sessions;
    QTemporaryDir dir;
    APICacheManager cache {dir.filePath(QStringLiteral("APICacheV2"))};
    ORVMobileAPIClient client {sessions.transfer, cache, [this] { return std::optional(sessions.server.baseUrl()); }};

    TestHttpServer &server() { return sessions.server; }
    QList<RecordedRequest> sent(const QByteArray &method, const QString &path) const
    {
        QList<RecordedRequest> found;
        for (const RecordedRequest &r : sessions.server.requests()) {
            if (r.method == method && r.path == path)
                found.append(r);
        }
        return found;
    }
};

} // namespace sessiontesting

Q_DECLARE_METATYPE(sessiontesting::Kind)
