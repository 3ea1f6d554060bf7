#include "AwaitTask.h"
#include "TestHttpServer.h"
#include "TestRegistry.h"

#include "Models/MobileAPIError.h"
#include "Networking/BackendConfiguration.h"
#include "Networking/ORVMobileAPIClient.h"

#include <QDir>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>

using namespace talvoro;
using namespace testsupport;

namespace {

// A payload decoder for tests: "data" is {"name": "..."}.
QString decodeName(const QJsonValue &value, const QString &path)
{
    return json::ObjectReader(value, path).string(QStringLiteral("name"));
}

QByteArray envelope(const QString &name)
{
    return "{\"success\":true,\"data\":{\"name\":\"" + name.toUtf8() + "\"},\"traceId\":\"t\"}";
}

// base64url without padding of a JSON payload, between a header and a signature.
QString jwt(const QByteArray &payload)
{
    return QStringLiteral("eyJhbGciOiJub25lIn0.")
        + QString::fromLatin1(payload.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals))
        + QStringLiteral(".sig");
}

struct Fixture {
    TestHttpServer server;
    QTemporaryDir dir;
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    APICacheManager cache {dir.filePath(QStringLiteral("APICacheV2")), {}, clock};
    NetworkTransfer transfer;
    QList<ORVMobileAPIClient::RequestInspection> inspected;
    std::optional<QUrl> baseURL;
    ORVMobileAPIClient client;

    explicit Fixture(std::chrono::milliseconds timeout = 5s)
        : client(
            transfer, cache, [this] { return baseURL; },
            [this](const ORVMobileAPIClient::RequestInspection &r) { inspected.append(r); }, timeout)
    {
        if (!server.listen())
            throw std::runtime_error("no port");
        baseURL = server.baseUrl();
    }

    Task<QString> get(QString path, std::optional<QString> token = std::nullopt,
        std::optional<APIRequestCachePolicy> policy = std::nullopt, CancellationToken cancel = {})
    {
        return client.send<QString>(path, QStringLiteral("GET"), std::nullopt, token, policy, &decodeName, cancel);
    }
    int cacheFiles() const { return int(QDir(cache.directory()).entryList(QDir::Files).size()); }
};

const auto publicRead = APIRequestCachePolicy::cacheFirst(300, 604800);

std::exception_ptr failureOf(Task<QString> task)
{
    auto outcome = awaitOutcome(std::move(task));
    return outcome.error;
}

template<typename E>
std::optional<E> as(const std::exception_ptr &error)
{
    try {
        if (error)
            std::rethrow_exception(error);
    } catch (const E &e) {
        return e;
    } catch (...) { }
    return std::nullopt;
}

} // namespace

Q_DECLARE_METATYPE(std::optional<QString>)

class ORVMobileAPIClientTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void requestsCarryJsonHeadersTheTokenRuleAndCompactBodies()
    {
        Fixture f;
        f.baseURL = f.server.url(QStringLiteral("/base/path"));
        f.server.route(
            "GET", QStringLiteral("/api/v1/user/words"), ScriptedResponse::json(200, envelope(QStringLiteral("w"))));
        f.server.route("POST", QStringLiteral("/api/v1/user/lexicons"),
            ScriptedResponse::json(201, envelope(QStringLiteral("l"))));

        QCOMPARE(awaitResult(f.get(QStringLiteral("/api/v1/user/words?lexiconId=7"), QString())), QStringLiteral("w"));
        QCOMPARE(awaitResult(f.get(QStringLiteral("/api/v1/user/words"))), QStringLiteral("w"));
        const ORVMobileAPIClient::Body body {{QStringLiteral("name"), QJsonValue(QStringLiteral("新词库"))},
            {QStringLiteral("description"), std::nullopt}};
        QCOMPARE(awaitResult(f.client.send<QString>(QStringLiteral("/api/v1/user/lexicons"), QStringLiteral("POST"),
                     body, QStringLiteral("tok"), publicRead, &decodeName)),
            QStringLiteral("l"));
        const ORVMobileAPIClient::Body allAbsent {{QStringLiteral("description"), std::nullopt}};
        awaitResult(f.client.send<QString>(QStringLiteral("/api/v1/user/lexicons"), QStringLiteral("POST"), allAbsent,
            QStringLiteral("tok"), std::nullopt, &decodeName));

        const auto requests = f.server.requests();
        QCOMPARE(requests.size(), 4);
        // the base URL's own path is replaced; the query stays
        QCOMPARE(requests[0].path, QStringLiteral("/api/v1/user/words"));
        QCOMPARE(requests[0].query, QStringLiteral("lexiconId=7"));
        for (const RecordedRequest &r : requests) {
            QCOMPARE(r.header("Content-Type"), QByteArray("application/json"));
            QCOMPARE(r.header("Accept"), QByteArray("application/json"));
        }
        QVERIFY(requests[0].hasHeader("Authorization"));
        QCOMPARE(requests[0].header("Authorization"), QByteArray("Bearer ")); // an empty token still goes
        QVERIFY(!requests[1].hasHeader("Authorization"));
        QVERIFY(requests[1].body.isEmpty());
        QCOMPARE(requests[2].header("Authorization"), QByteArray("Bearer tok"));
        QCOMPARE(QJsonDocument::fromJson(requests[2].body).object(),
            QJsonObject({{QStringLiteral("name"), QStringLiteral("新词库")}}));
        QCOMPARE(requests[3].body, QByteArray("{}"));
        QCOMPARE(f.cacheFiles(), 0); // a POST ignores the policy it was given

        QCOMPARE(f.inspected.size(), 4);
        QCOMPARE(f.inspected[0].path, QStringLiteral("/api/v1/user/words"));
        QCOMPARE(f.inspected[0].method, QStringLiteral("GET"));
        QVERIFY(!f.inspected[0].body);
        QCOMPARE(f.inspected[3].body.value_or(QByteArray()), QByteArray("{}"));
    }

    void noBaseURLSendsNothing()
    {
        Fixture f;
        f.baseURL.reset();
        const auto error
            = as<MobileAPIError>(failureOf(f.get(QStringLiteral("/api/v1/public/lexicons"), std::nullopt, publicRead)));
        QVERIFY(error);
        QCOMPARE(error->kind(), MobileAPIError::Kind::invalidEndpoint);
        QVERIFY(f.inspected.isEmpty());
        QCOMPARE(f.server.requestCount(), 0);
        QCOMPARE(f.cacheFiles(), 0);
    }

    void answersMapToPayloadsOrErrors_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("kind"); // -1: success
        QTest::addColumn<int>("errorStatus");
        QTest::addColumn<std::optional<QString>>("code");
        QTest::addColumn<QString>("message");
        const int server = int(MobileAPIError::Kind::server);
        const int invalid = int(MobileAPIError::Kind::invalidResponse);
        const int unauthorized = int(MobileAPIError::Kind::unauthorized);
        const std::optional<QString> none;
        QTest::newRow("200 payload") << 200 << envelope(QStringLiteral("ok")) << -1 << 0 << none << QString();
        QTest::newRow("204 empty") << 204 << QByteArray() << invalid << 0 << none << QString();
        QTest::newRow("200 success false")
            << 200
            << QByteArray("{\"success\":false,\"data\":{\"name\":\"x\"},\"error\":{\"code\":\"E\",\"message\":\"m\"}}")
            << invalid << 0 << none << QString();
        QTest::newRow("200 null data") << 200 << QByteArray("{\"success\":true,\"data\":null}") << invalid << 0 << none
                                       << QString();
        QTest::newRow("200 wrong data") << 200 << QByteArray("{\"success\":true,\"data\":{\"name\":3}}") << invalid << 0
                                        << none << QString();
        QTest::newRow("401 whatever the body") << 401 << QByteArray("{\"error\":{\"code\":\"X\",\"message\":\"y\"}}")
                                               << unauthorized << 0 << none << QString();
        QTest::newRow("409 error object")
            << 409 << QByteArray("{\"success\":false,\"error\":{\"code\":\"DATA_CONFLICT\",\"message\":\"版本冲突\"}}")
            << server << 409 << std::optional<QString>(QStringLiteral("DATA_CONFLICT")) << QStringLiteral("版本冲突");
        QTest::newRow("409 top level") << 409 << QByteArray("{\"code\":\"DATA_CONFLICT\",\"message\":\"版本冲突\"}")
                                       << server << 409 << std::optional<QString>(QStringLiteral("DATA_CONFLICT"))
                                       << QStringLiteral("版本冲突");
        QTest::newRow("error string ignored") << 400 << QByteArray("{\"error\":\"bad\",\"message\":\"top\"}") << server
                                              << 400 << none << QStringLiteral("top");
        QTest::newRow("numeric code ignored")
            << 400 << QByteArray("{\"code\":7,\"message\":\"m\"}") << server << 400 << none << QStringLiteral("m");
        QTest::newRow("502 not json") << 502 << QByteArray("<html>Bad Gateway</html>") << server << 502 << none
                                      << QString();
        QTest::newRow("302 is an error status") << 302 << QByteArray() << server << 302 << none << QString();
    }
    void answersMapToPayloadsOrErrors()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(int, kind);
        QFETCH(int, errorStatus);
        QFETCH(std::optional<QString>, code);
        QFETCH(QString, message);
        Fixture f;
        f.server.route("GET", QStringLiteral("/api/v1/x"), ScriptedResponse::json(status, body));
        auto outcome = awaitOutcome(f.get(QStringLiteral("/api/v1/x"), QStringLiteral("t")));
        if (kind < 0) {
            QVERIFY(!outcome.error);
            QCOMPARE(*outcome.value, QStringLiteral("ok"));
            return;
        }
        const auto error = as<MobileAPIError>(outcome.error);
        QVERIFY(error);
        QCOMPARE(int(error->kind()), kind);
        if (error->kind() == MobileAPIError::Kind::server) {
            QCOMPARE(error->statusCode(), errorStatus);
            QCOMPARE(error->code(), code);
            QCOMPARE(error->message(), message);
            if (message.isEmpty())
                QCOMPARE(error->description(), QStringLiteral("服务端请求失败（HTTP %1）").arg(errorStatus));
        }
    }

    void aHangingServerTimesOutAsAConnectivityFailureAndACancelIsACancellation()
    {
        Fixture f(300ms);
        f.server.route("GET", QStringLiteral("/api/v1/slow"), ScriptedResponse::never());
        const std::exception_ptr timedOut = failureOf(f.get(QStringLiteral("/api/v1/slow")));
        const auto error = as<MobileAPIError>(timedOut);
        QVERIFY(error);
        QCOMPARE(error->kind(), MobileAPIError::Kind::networkError);
        QVERIFY(isConnectivityFailure(timedOut));
        QVERIFY(!isCancellation(timedOut));

        Fixture g(60s);
        g.server.route("GET", QStringLiteral("/api/v1/slow"), ScriptedResponse::never());
        CancellationSource cancel;
        connect(&g.server, &TestHttpServer::requestReceived, this, [&cancel] { cancel.cancel(); });
        QVERIFY(as<CancellationError>(
            failureOf(g.get(QStringLiteral("/api/v1/slow"), std::nullopt, std::nullopt, cancel.token()))));
    }

    void aFreshEntryAnswersWithoutARequest()
    {
        Fixture f;
        f.server.route("GET", QStringLiteral("/api/v1/public/lexicons"),
            ScriptedResponse::json(200, envelope(QStringLiteral("v1"))));
        QCOMPARE(awaitResult(f.get(QStringLiteral("/api/v1/public/lexicons"), std::nullopt, publicRead)),
            QStringLiteral("v1"));
        f.clock->advance(300'000); // exactly at freshUntil: still fresh
        QCOMPARE(
            awaitResult(f.get(QStringLiteral("/api/v1/public/lexicons"), QString(), publicRead)), QStringLiteral("v1"));
        QCOMPARE(f.server.requestCount(), 1);
        QCOMPARE(f.inspected.size(), 2); // inspected all the same
    }

    void aStaleEntryAnswersOnlyEligibleFailures_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<bool>("servedStale");
        QTest::newRow("503") << QStringLiteral("503") << true;
        QTest::newRow("500") << QStringLiteral("500") << true;
        QTest::newRow("429") << QStringLiteral("429") << true;
        QTest::newRow("408") << QStringLiteral("408") << true;
        QTest::newRow("transport failure") << QStringLiteral("drop") << true;
        QTest::newRow("undecodable 2xx") << QStringLiteral("garbage") << true;
        QTest::newRow("401") << QStringLiteral("401") << false;
        QTest::newRow("403") << QStringLiteral("403") << false;
        QTest::newRow("404") << QStringLiteral("404") << false;
    }
    void aStaleEntryAnswersOnlyEligibleFailures()
    {
        QFETCH(QString, failure);
        QFETCH(bool, servedStale);
        for (const bool haveEntry : {true, false}) {
            Fixture f;
            const QString path = QStringLiteral("/api/v1/public/lexicons/3");
            if (haveEntry) {
                f.server.route("GET", path, ScriptedResponse::json(200, envelope(QStringLiteral("old"))));
                awaitResult(f.get(path, std::nullopt, publicRead));
                f.clock->advance(301'000); // stale, within stale-if-error
            }
            ScriptedResponse answer;
            if (failure == QLatin1String("drop"))
                answer = ScriptedResponse::dropped();
            else if (failure == QLatin1String("garbage"))
                answer = ScriptedResponse::json(200, "not json");
            else
                answer = ScriptedResponse::json(failure.toInt(), "{}");
            f.server.route("GET", path, answer);
            auto outcome = awaitOutcome(f.get(path, std::nullopt, publicRead));
            if (haveEntry && servedStale) {
                QVERIFY(!outcome.error);
                QCOMPARE(*outcome.value, QStringLiteral("old"));
            } else {
                QVERIFY(outcome.error);
            }
        }
    }

    void anUndecodableEntryIsDroppedAndTheNetworkDecides()
    {
        Fixture f;
        const QString path = QStringLiteral("/api/v1/public/lexicons");
        f.server.route("GET", path, ScriptedResponse::json(200, envelope(QStringLiteral("v1"))));
        awaitResult(f.get(path, std::nullopt, publicRead));
        // plant an entry whose envelope says success false
        const CacheIdentity identity = f.client.requestContext(path, std::nullopt);
        const auto token = awaitResult(f.cache.beginRequest(identity.key, identity.scope));
        awaitResult(f.cache.store("{\"success\":false}", token, 300, 600));
        f.server.route("GET", path, ScriptedResponse::json(503, "{}"));
        QVERIFY(as<MobileAPIError>(failureOf(f.get(path, std::nullopt, publicRead)))); // no fallback is kept
        QCOMPARE(f.cacheFiles(), 0);
    }

    void aNetworkOnlyReadNeverLeavesAFile_data()
    {
        QTest::addColumn<int>("status");
        QTest::newRow("success") << 200;
        QTest::newRow("failure") << 500;
    }
    void aNetworkOnlyReadNeverLeavesAFile()
    {
        QFETCH(int, status);
        Fixture f;
        const QString path = QStringLiteral("/api/v1/user/lexicons");
        const QString token = jwt("{\"sub\":42}");
        // files under both scope forms, as older versions may have left
        for (const QString &scope :
            {f.client.requestContext(path, token).scope, ORVMobileAPIClient::credentialScope(token)}) {
            const auto t = awaitResult(f.cache.beginRequest(QStringLiteral("GET_") + path, scope));
            awaitResult(f.cache.store(envelope(QStringLiteral("cached")), t, 300, 600));
        }
        QCOMPARE(f.cacheFiles(), 2);
        f.server.route("GET", path,
            ScriptedResponse::json(status, status == 200 ? envelope(QStringLiteral("live")) : QByteArray("{}")));
        auto outcome = awaitOutcome(f.get(path, token, APIRequestCachePolicy::networkOnly()));
        QCOMPARE(bool(outcome.error), status != 200);
        QCOMPARE(f.cacheFiles(), 0);
    }

    void ofTwoOverlappingReadsOnlyTheNewerIsDelivered_data()
    {
        QTest::addColumn<bool>("networkOnly");
        QTest::addColumn<bool>("olderAnswersFirst");
        QTest::newRow("cache first, older answers last") << false << false;
        QTest::newRow("network only, older answers last") << true << false;
        QTest::newRow("network only, older answers first") << true << true;
    }
    void ofTwoOverlappingReadsOnlyTheNewerIsDelivered()
    {
        QFETCH(bool, networkOnly);
        QFETCH(bool, olderAnswersFirst);
        Fixture f;
        const QString path = QStringLiteral("/api/v1/user/words");
        int calls = 0;
        f.server.route("GET", path, [&calls](const RecordedRequest &) {
            const QString name = ++calls == 1 ? QStringLiteral("older") : QStringLiteral("newer");
            return ScriptedResponse::heldBack(ScriptedResponse::json(200, envelope(name)));
        });
        const auto policy = networkOnly ? APIRequestCachePolicy::networkOnly() : publicRead;
        auto older = startAwaiting(f.get(path, QStringLiteral("tok"), policy));
        QTRY_COMPARE(f.server.heldCount(), 1); // the older has its token before the newer begins
        auto newer = startAwaiting(f.get(path, QStringLiteral("tok"), policy));
        QTRY_COMPARE(f.server.heldCount(), 2);
        f.server.releaseHeld(olderAnswersFirst ? 0 : 1);
        f.server.releaseHeld(olderAnswersFirst ? 1 : 0);
        QTRY_VERIFY(older->finished && newer->finished);
        QCOMPARE(newer->value.value_or(QString()), QStringLiteral("newer"));
        QVERIFY(as<SupersededNetworkResponseError>(older->error));
    }

    void aWordWriteSupersedesAWordListReadInFlight()
    {
        Fixture f;
        const QString path = QStringLiteral("/api/v1/user/words?lexiconId=7");
        f.server.route("GET", QStringLiteral("/api/v1/user/words"),
            ScriptedResponse::delayed(300, ScriptedResponse::json(200, envelope(QStringLiteral("w")))));
        const QString token = QStringLiteral("opaque-token");
        auto read = f.get(path, token, APIRequestCachePolicy::networkOnly());
        QTRY_COMPARE(f.server.requestCount(), 1);
        const QStringList scopes = f.client.userWordsCacheScopes(token);
        QCOMPARE(scopes.size(), 2);
        QVERIFY(scopes[0].endsWith(u'|' + scopes[1]));
        awaitResult(f.client.invalidateUserWordsCache(scopes));
        QVERIFY(as<SupersededNetworkResponseError>(failureOf(std::move(read))));
    }

    void tokenSubjectsPickTheScope_data()
    {
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("scope");
        const QString hashed = QStringLiteral("credential-sha256:");
        QTest::newRow("no token") << QString() << QStringLiteral("public");
        QTest::newRow("string sub") << jwt("{\"sub\":\"42\"}") << QStringLiteral("user:42");
        QTest::newRow("number sub") << jwt("{\"sub\":42}") << QStringLiteral("user:42");
        QTest::newRow("leading zeros kept") << jwt("{\"sub\":\"0042\"}") << QStringLiteral("user:0042");
        QTest::newRow("32 digits") << jwt("{\"sub\":\"12345678901234567890123456789012\"}")
                                   << QStringLiteral("user:12345678901234567890123456789012");
        QTest::newRow("other script digits")
            << jwt("{\"sub\":\"\u0664\u0662\"}") << QStringLiteral("user:\u0664\u0662");
        QTest::newRow("payload length rem 2") << QStringLiteral("h.eyJzdWIiOjd9.s") << QStringLiteral("user:7");
        QTest::newRow("payload length rem 3") << QStringLiteral("h.eyJzdWIiOjc3fQ.s") << QStringLiteral("user:77");
        QTest::newRow("33 digits") << jwt("{\"sub\":\"123456789012345678901234567890123\"}") << hashed;
        QTest::newRow("letter") << jwt("{\"sub\":\"4a\"}") << hashed;
        QTest::newRow("minus") << jwt("{\"sub\":-1}") << hashed;
        QTest::newRow("fraction") << jwt("{\"sub\":1.5}") << hashed;
        QTest::newRow("empty sub") << jwt("{\"sub\":\"\"}") << hashed;
        QTest::newRow("missing sub") << jwt("{\"name\":\"x\"}") << hashed;
        QTest::newRow("payload not json") << jwt("not json") << hashed;
        QTest::newRow("no dot") << QStringLiteral("opaque") << hashed;
        QTest::newRow("payload length rem 1") << QStringLiteral("h.eyJzdWIiOjd9A.s") << hashed;
    }
    void tokenSubjectsPickTheScope()
    {
        QFETCH(QString, token);
        QFETCH(QString, scope);
        const std::optional<QString> t = token.isNull() ? std::nullopt : std::optional(token);
        const QString bare = ORVMobileAPIClient::credentialScope(t);
        if (scope.endsWith(u':'))
            QCOMPARE(bare, scope + ORVMobileAPIClient::credentialDigest(token));
        else
            QCOMPARE(bare, scope);
        const QString environment = QStringLiteral("env-sha256:") + QString(64, u'a');
        QCOMPARE(ORVMobileAPIClient::cacheScope(t, environment), environment + u'|' + bare);
    }

    // The failures the stale-entry test above cannot provoke through the server.
    void staleIfErrorEligibilityOfLocalFailures_data()
    {
        QTest::addColumn<int>("which");
        QTest::newRow("unauthorized") << 0;
        QTest::newRow("invalid endpoint") << 1;
        QTest::newRow("cancellation") << 2;
        QTest::newRow("superseded") << 3;
    }
    void staleIfErrorEligibilityOfLocalFailures()
    {
        QFETCH(int, which);
        const std::exception_ptr errors[] = {std::make_exception_ptr(MobileAPIError::unauthorized()),
                                             std::make_exception_ptr(MobileAPIError::invalidEndpoint()),
                                             std::make_exception_ptr(CancellationError()),
                                             std::make_exception_ptr(SupersededNetworkResponseError())};
        QVERIFY(!ORVMobileAPIClient::isStaleIfErrorEligible(errors[which]));
    }
};

TALVORO_TEST(ORVMobileAPIClientTest)
#include "tst_mobileapiclient.moc"
