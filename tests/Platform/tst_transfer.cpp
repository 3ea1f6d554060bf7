#include "AwaitTask.h"
#include "TestHttpServer.h"
#include "TestRegistry.h"

#include "Platform/NetworkTransfer.h"

#include <QDir>
#include <QSaveFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace talvoro;
using namespace testsupport;

Q_DECLARE_METATYPE(ScriptedResponse)

class NetworkTransferTest : public QObject {
    Q_OBJECT

private:
    static TransferRequest request(
        const QUrl &url, QByteArray method = "GET", QByteArray body = {}, std::chrono::milliseconds timeout = 5s)
    {
        TransferRequest r;
        r.method = std::move(method);
        r.url = url;
        r.body = std::move(body);
        r.timeout = timeout;
        return r;
    }

private Q_SLOTS:
    void sendsTheRequestAndReturnsStatusHeadersAndBody_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        QTest::newRow("GET 200") << QByteArray("GET") << QByteArray() << 200;
        QTest::newRow("POST 201 with body") << QByteArray("POST") << QByteArray(R"({"word":"苹果"})") << 201;
        QTest::newRow("PUT 409") << QByteArray("PUT") << QByteArray(R"({"baseVersion":3})") << 409;
        QTest::newRow("DELETE 404") << QByteArray("DELETE") << QByteArray() << 404;
        QTest::newRow("PATCH 500") << QByteArray("PATCH") << QByteArray("{}") << 500;
    }
    void sendsTheRequestAndReturnsStatusHeadersAndBody()
    {
        QFETCH(QByteArray, method);
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        TestHttpServer server;
        QVERIFY(server.listen());
        ScriptedResponse answer = ScriptedResponse::json(status, R"({"ok":"好"})");
        answer.headers.append(qMakePair(QByteArray("X-Trace"), QByteArray("t-1")));
        server.route(method, QStringLiteral("/api/v1/thing"), answer);

        NetworkTransfer transfer;
        TransferRequest r = request(server.url(QStringLiteral("/api/v1/thing?page=2")), method, body);
        r.headers = {{"Authorization", "Bearer secret-token"}, {"Content-Type", "application/json"}};
        const TransferResponse response = awaitResult(transfer.send(r));

        QCOMPARE(response.statusCode, status);
        QCOMPARE(response.body, QByteArray(R"({"ok":"好"})"));
        QCOMPARE(response.header("x-trace"), QByteArray("t-1"));
        QCOMPARE(server.requestCount(), 1);
        const RecordedRequest seen = server.requests().constFirst();
        QCOMPARE(seen.method, method);
        QCOMPARE(seen.path, QStringLiteral("/api/v1/thing"));
        QCOMPARE(seen.query, QStringLiteral("page=2"));
        QCOMPARE(seen.header("authorization"), QByteArray("Bearer secret-token"));
        QCOMPARE(seen.body, body);
    }

    void aRedirectComesBackAndIsNotFollowed()
    {
        TestHttpServer other;
        QVERIFY(other.listen());
        other.route("GET", QStringLiteral("/elsewhere"), ScriptedResponse::json(200, "{}"));
        TestHttpServer server;
        QVERIFY(server.listen());
        server.route(
            "GET", QStringLiteral("/start"), ScriptedResponse::redirect(302, other.url(QStringLiteral("/elsewhere"))));

        NetworkTransfer transfer;
        TransferRequest r = request(server.url(QStringLiteral("/start")));
        r.headers = {{"Authorization", "Bearer secret-token"}};
        const TransferResponse response = awaitResult(transfer.send(r));

        QCOMPARE(response.statusCode, 302);
        QCOMPARE(response.header("Location"), other.url(QStringLiteral("/elsewhere")).toEncoded());
        QTest::qWait(50);
        QCOMPARE(other.requestCount(), 0); // so no bearer token left for another origin
    }

    void aTransferTimeoutIsTimedOutNotACancellation()
    {
        TestHttpServer server;
        QVERIFY(server.listen());
        server.route("GET", QStringLiteral("/slow"), ScriptedResponse::never());
        NetworkTransfer transfer;
        const auto outcome
            = awaitOutcome(transfer.send(request(server.url(QStringLiteral("/slow")), "GET", {}, 200ms)));
        QVERIFY(outcome.error);
        try {
            std::rethrow_exception(outcome.error);
        } catch (const TransportError &error) {
            QCOMPARE(error.urlErrorCode(), -1001);
            QCOMPARE(error.description(), QStringLiteral("请求超时。"));
        } catch (...) {
            QFAIL("a timeout must be a TransportError, never a cancellation");
        }
    }

    void cancellingEndsARequestThatNeverGetsAnAnswer()
    {
        TestHttpServer server;
        QVERIFY(server.listen());
        server.route("GET", QStringLiteral("/never"), ScriptedResponse::never());
        NetworkTransfer transfer;
        CancellationSource source;
        QSignalSpy received(&server, &TestHttpServer::requestReceived);
        auto task = transfer.send(request(server.url(QStringLiteral("/never")), "GET", {}, 60s), source.token());
        connect(&server, &TestHttpServer::requestReceived, this, [&source] { source.cancel(); });
        // The transfer's own timeout is a minute away: only the cancel can end it in time.
        QVERIFY(awaitError<CancellationError>(std::move(task), 5s));
        QCOMPARE(received.count(), 1);
        QTRY_COMPARE(server.openConnections(), 0);
    }

    void anAlreadyCancelledTokenSendsNothing()
    {
        TestHttpServer server;
        QVERIFY(server.listen());
        CancellationSource source;
        source.cancel();
        NetworkTransfer transfer;
        QVERIFY(
            awaitError<CancellationError>(transfer.send(request(server.url(QStringLiteral("/x"))), source.token())));
        QTest::qWait(20);
        QCOMPARE(server.requestCount(), 0);
    }

    void transportFailuresCarryTheirUrlErrorCode()
    {
        NetworkTransfer transfer;

        // Nobody listens on a port that was just released.
        quint16 closedPort = 0;
        {
            TestHttpServer probe;
            QVERIFY(probe.listen());
            closedPort = probe.port();
        }
        auto refused = awaitError<TransportError>(
            transfer.send(request(QUrl(QStringLiteral("http://127.0.0.1:%1/x").arg(closedPort)))));
        QVERIFY(refused);
        QCOMPARE(refused->urlErrorCode(), -1004);

        TestHttpServer server;
        QVERIFY(server.listen());
        server.route("GET", QStringLiteral("/drop"), ScriptedResponse::dropped());
        auto lost = awaitError<TransportError>(transfer.send(request(server.url(QStringLiteral("/drop")))));
        QVERIFY(lost);
        QCOMPARE(lost->urlErrorCode(), -1005);
        QVERIFY(!lost->description().isEmpty());
    }

    void tlsNeedsTheAuthorityToBeTrusted()
    {
        TestHttpServer server(TestHttpServer::Mode::tls);
        QVERIFY(server.listen());
        server.route("GET", QStringLiteral("/secure"), ScriptedResponse::json(200, R"({"secure":true})"));

        NetworkTransfer untrusting;
        auto refused = awaitError<TransportError>(untrusting.send(request(server.url(QStringLiteral("/secure")))));
        QVERIFY(refused);
        QCOMPARE(refused->urlErrorCode(), -1200);

        NetworkTransfer trusting;
        trusting.setAdditionalCertificateAuthorities({TestCertificates::shared().authority});
        const TransferResponse response = awaitResult(trusting.send(request(server.url(QStringLiteral("/secure")))));
        QCOMPARE(response.statusCode, 200);
        QCOMPARE(response.body, QByteArray(R"({"secure":true})"));
    }

    // How a file handed over with --trust-authority is taken: refused at once when it
    // cannot hold a certificate, else trusted by every transfer from its first request.
    void aProcessAuthorityFileIsTrustedFromTheFirstRequest_data()
    {
        QTest::addColumn<QString>("file"); // a name in the test's folder
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<bool>("trusted");
        const QByteArray authority = TestCertificates::shared().authority.toPem();
        QByteArray damaged = authority;
        damaged.replace(damaged.indexOf('\n') + 40, 40, QByteArray(40, '!'));
        QTest::newRow("the authority") << "ca.crt" << authority << true << true;
        QTest::newRow("after other text") << "ca.crt" << "issued for the local backend\n" + authority << true << true;
        QTest::newRow("missing") << "absent.crt" << QByteArray() << false << false;
        QTest::newRow("a folder") << "folder" << QByteArray() << false << false;
        QTest::newRow("empty") << "ca.crt" << QByteArray() << false << false;
        QTest::newRow("a key") << "ca.crt" << TestCertificates::shared().serverKey.toPem() << false << false;
        QTest::newRow("no end") << "ca.crt" << authority.left(authority.indexOf("-----END")) << false << false;
        // Its body is read only with the first request, which then trusts nothing more.
        QTest::newRow("damaged") << "ca.crt" << damaged << true << false;
    }
    void aProcessAuthorityFileIsTrustedFromTheFirstRequest()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, contents);
        QFETCH(bool, accepted);
        QFETCH(bool, trusted);
        QTemporaryDir folder;
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("folder")));
        const QString path = folder.filePath(file);
        if (file == QLatin1String("ca.crt")) {
            QSaveFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly) && out.write(contents) == contents.size() && out.commit());
        }
        TestHttpServer server(TestHttpServer::Mode::tls);
        QVERIFY(server.listen());
        server.route("GET", QStringLiteral("/secure"), ScriptedResponse::json(200, "{}"));

        NetworkTransfer::trustForProcess({});
        const auto forget = qScopeGuard([] { NetworkTransfer::trustForProcess({}); });
        QCOMPARE(NetworkTransfer::trustForProcessFromFile(path), accepted);
        if (accepted && !trusted)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("未信任其中的证书颁发机构")));
        NetworkTransfer transfer;
        const TransferRequest secure = request(server.url(QStringLiteral("/secure")));
        if (trusted) {
            QCOMPARE(awaitResult(transfer.send(secure)).statusCode, 200);
        } else {
            const auto refused = awaitError<TransportError>(transfer.send(secure));
            QVERIFY(refused);
            QCOMPARE(refused->urlErrorCode(), -1200);
        }
    }
};

TALVORO_TEST(NetworkTransferTest)
#include "tst_transfer.moc"
