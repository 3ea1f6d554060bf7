#include "TestRegistry.h"

#include "Models/ApiResponse.h"
#include "Models/MobileAPIError.h"

#include <QTest>

#include <stdexcept>

using namespace talvoro;

Q_DECLARE_METATYPE(std::exception_ptr)

namespace {

using Details = QList<ORVApiErrorDetail>;

ORVApiResponse<Details> decodeEnvelope(const QByteArray &text)
{
    return ORVApiResponse<Details>::fromJson(json::parse(text), &coding::decodeList<ORVApiErrorDetail>);
}

template<typename E>
std::exception_ptr ptr(E error)
{
    return std::make_exception_ptr(std::move(error));
}

std::exception_ptr transport(TransportError::Code code)
{
    return ptr(TransportError(code));
}

std::exception_ptr wrapped(std::exception_ptr inner)
{
    return ptr(MobileAPIError::networkError(std::move(inner)));
}

} // namespace

class EnvelopeTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // `reencoded` is empty when the body must not decode at all.
    void decodesOnlyWholeEnvelopes_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("reencoded");
        QTest::newRow("success without data") << QByteArray(R"({"success":true})") << QByteArray(R"({"success":true})");
        QTest::newRow("data without success") << QByteArray(R"({"data":[]})") << QByteArray();
        QTest::newRow("success as text") << QByteArray(R"({"success":"true","data":[]})") << QByteArray();
        QTest::newRow("success null") << QByteArray(R"({"success":null})") << QByteArray();
        QTest::newRow("error with code only")
            << QByteArray(R"({"success":false,"error":{"code":"X"}})") << QByteArray();
        QTest::newRow("error message not text")
            << QByteArray(R"({"success":false,"error":{"code":"X","message":3}})") << QByteArray();
        QTest::newRow("error not an object") << QByteArray(R"({"success":false,"error":"X"})") << QByteArray();
        QTest::newRow("error with code and message")
            << QByteArray(R"({"success":false,"error":{"code":"DATA_CONFLICT","message":"词库已被修改"},"x":1})")
            << QByteArray(R"({"success":false,"error":{"code":"DATA_CONFLICT","message":"词库已被修改"}})");
        QTest::newRow("nulls are absent")
            << QByteArray(R"({"success":false,"data":null,"error":null,"traceId":null,"timestamp":null})")
            << QByteArray(R"({"success":false})");
        QTest::newRow("everything present")
            << QByteArray(
                   R"({"success":true,"data":[{"code":"a","message":"甲"}],"traceId":"t-1","timestamp":"not a date"})")
            << QByteArray(
                   R"({"success":true,"data":[{"code":"a","message":"甲"}],"traceId":"t-1","timestamp":"not a date"})");
        QTest::newRow("one bad data element")
            << QByteArray(R"({"success":true,"data":[{"code":"a","message":"甲"},{"code":"b"}]})") << QByteArray();
        QTest::newRow("data of the wrong type") << QByteArray(R"({"success":true,"data":{}})") << QByteArray();
        QTest::newRow("traceId a number") << QByteArray(R"({"success":true,"traceId":7})") << QByteArray();
        QTest::newRow("not an object") << QByteArray(R"([{"success":true}])") << QByteArray();
    }
    void decodesOnlyWholeEnvelopes()
    {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, reencoded);
        try {
            const auto envelope = decodeEnvelope(body);
            QVERIFY2(!reencoded.isEmpty(), "an envelope that must be refused was decoded");
            const QJsonObject written
                = envelope.toJson([](const Details &details) { return QJsonValue(coding::encodeList(details)); });
            QCOMPARE(written, json::parseObject(reencoded));
            // what is written reads back the same
            QCOMPARE(decodeEnvelope(json::serialize(written)).toJson([](const Details &details) {
                return QJsonValue(coding::encodeList(details));
            }),
                written);
        } catch (const json::DecodingError &error) {
            QVERIFY2(reencoded.isEmpty(), qPrintable(error.description()));
        }
    }

    void describesAndClassifiesErrors_data()
    {
        QTest::addColumn<std::exception_ptr>("error");
        QTest::addColumn<QString>("description");
        QTest::addColumn<bool>("cancellation");
        QTest::addColumn<bool>("connectivity");
        QTest::addColumn<bool>("notFound");
        using C = TransportError::Code;
        const auto server = [](int status, std::optional<QString> code, QString message) {
            return ptr(MobileAPIError::server(status, std::move(code), std::move(message)));
        };
        QTest::newRow("server 500 without message")
            << server(500, std::nullopt, {}) << QStringLiteral("服务端请求失败（HTTP 500）") << false << false << false;
        QTest::newRow("server 502 with a code but no message")
            << server(502, QStringLiteral("BAD_GATEWAY"), {}) << QStringLiteral("服务端请求失败（HTTP 502）") << false
            << false << false;
        QTest::newRow("server message wins over code")
            << server(409, QStringLiteral("DATA_CONFLICT"), QStringLiteral("版本冲突")) << QStringLiteral("版本冲突")
            << false << false << false;
        QTest::newRow("server message of blanks")
            << server(400, std::nullopt, QStringLiteral("  ")) << QStringLiteral("  ") << false << false << false;
        QTest::newRow("server 503") << server(503, std::nullopt, QStringLiteral("维护中")) << QStringLiteral("维护中")
                                    << false << false << false;
        QTest::newRow("404 resource not found")
            << server(404, QStringLiteral("RESOURCE_NOT_FOUND"), {}) << QStringLiteral("服务端请求失败（HTTP 404）")
            << false << false << true;
        QTest::newRow("404 without the code")
            << server(404, std::nullopt, {}) << QStringLiteral("服务端请求失败（HTTP 404）") << false << false << false;
        QTest::newRow("the code with 410") << server(410, QStringLiteral("RESOURCE_NOT_FOUND"), {})
                                           << QStringLiteral("服务端请求失败（HTTP 410）") << false << false << false;
        QTest::newRow("unauthorized") << ptr(MobileAPIError::unauthorized())
                                      << QStringLiteral("登录状态已失效，请重新登录") << false << false << false;
        QTest::newRow("invalid endpoint")
            << ptr(MobileAPIError::invalidEndpoint()) << QStringLiteral("后端地址配置无效") << false << false << false;
        QTest::newRow("invalid response") << ptr(MobileAPIError::invalidResponse())
                                          << QStringLiteral("服务端返回的数据格式无效") << false << false << false;
        QTest::newRow("wrapped cancelled transfer")
            << wrapped(transport(C::cancelled)) << QStringLiteral("网络连接失败：已取消") << true << false << false;
        QTest::newRow("wrapped timeout") << wrapped(transport(C::timedOut))
                                         << QStringLiteral("网络连接失败：请求超时。") << false << true << false;
        QTest::newRow("innermost of two wrappings decides")
            << wrapped(wrapped(transport(C::notConnectedToInternet)))
            << QStringLiteral("网络连接失败：网络连接失败：似乎已断开与互联网的连接。") << false << true << false;
        QTest::newRow("wrapped wrapped cancellation")
            << wrapped(wrapped(ptr(CancellationError()))) << QStringLiteral("网络连接失败：网络连接失败：已取消")
            << true << false << false;
        QTest::newRow("wrapped TLS failure")
            << wrapped(transport(C::secureConnectionFailed))
            << QStringLiteral("网络连接失败：发生了 SSL 错误，无法建立与该服务器的安全连接。") << false << false
            << false;
        QTest::newRow("wrapped foreign error") << wrapped(ptr(std::runtime_error("boom")))
                                               << QStringLiteral("网络连接失败：boom") << false << false << false;
        QTest::newRow("our cancellation")
            << ptr(CancellationError()) << QStringLiteral("已取消") << true << false << false;
        QTest::newRow("decoding error") << ptr(json::DecodingError(QStringLiteral("$.data"), QStringLiteral("x")))
                                        << QStringLiteral("数据格式无效（$.data：x）") << false << false << false;
        for (const C code :
            {C::notConnectedToInternet, C::networkConnectionLost, C::cannotFindHost, C::cannotConnectToHost,
                C::dnsLookupFailed, C::internationalRoamingOff, C::dataNotAllowed, C::timedOut}) {
            QTest::addRow("offline code %d", int(code))
                << transport(code) << TransportError::descriptionFor(code) << false << true << false;
        }
        for (const C code : {C::cancelled, C::badURL, C::badServerResponse, C::httpTooManyRedirects,
                 C::serverCertificateUntrusted, C::unknown}) {
            QTest::addRow("other code %d", int(code))
                << transport(code) << TransportError::descriptionFor(code) << (code == C::cancelled) << false << false;
        }
    }
    void describesAndClassifiesErrors()
    {
        QFETCH(std::exception_ptr, error);
        QFETCH(QString, description);
        QFETCH(bool, cancellation);
        QFETCH(bool, connectivity);
        QFETCH(bool, notFound);
        QCOMPARE(describe(error), description);
        QCOMPARE(isCancellation(error), cancellation);
        QCOMPARE(isConnectivityFailure(error), connectivity);
        QCOMPARE(isResourceNotFound(error), notFound);
        try {
            std::rethrow_exception(error);
        } catch (const std::exception &e) {
            QCOMPARE(isCancellation(e), cancellation);
            QCOMPARE(isConnectivityFailure(e), connectivity);
            QCOMPARE(isResourceNotFound(e), notFound);
        }
    }

    void anEmptyErrorIsNothing()
    {
        QVERIFY(!isCancellation(std::exception_ptr()));
        QVERIFY(!isConnectivityFailure(std::exception_ptr()));
        QVERIFY(!isCancellation(wrapped(std::exception_ptr())));
    }
};

TALVORO_TEST(EnvelopeTest)
#include "tst_envelope.moc"
