#include "ModelTesting.h"
#include "TestRegistry.h"

#include "Models/ApiResponse.h"
#include "Models/MobileAPIError.h"
#include "Models/Playback.h"
#include "Models/PlaybackUnit.h"
#include "Models/Voice.h"
#include "Models/Word.h"
#include "Models/WordPlaybackProfile.h"

#include <QTest>

#include <stdexcept>

using namespace talvoro;

Q_DECLARE_METATYPE(std::exception_ptr)

namespace {

using Details = QList<ORVApiErrorDetail>;

// An envelope whose data is a list of error details.
struct Envelope {
    ORVApiResponse<Details> response;
    static Envelope fromJson(const QJsonValue &value)
    {
        return {ORVApiResponse<Details>::fromJson(value, &coding::decodeList<ORVApiErrorDetail>)};
    }
    QJsonObject toJson() const
    {
        return response.toJson([](const Details &details) { return QJsonValue(coding::encodeList(details)); });
    }
};

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
        modeltesting::decodingColumns();
        const auto row = &modeltesting::decodingRow<Envelope>;
        const QByteArray refused;
        const QByteArray full
            = R"({"success":true,"data":[{"code":"a","message":"甲"}],"traceId":"t-1","timestamp":"not a date"})";
        row("everything present", full, full);
        row("success without data", R"({"success":true})", R"({"success":true})");
        row("data without success", R"({"data":[]})", refused);
        row("success as text", R"({"success":"true","data":[]})", refused);
        row("error with code only", R"({"success":false,"error":{"code":"X"}})", refused);
        row("error message not text", R"({"success":false,"error":{"code":"X","message":3}})", refused);
        row("error not an object", R"({"success":false,"error":"X"})", refused);
        row("error with code and message, unknown key",
            R"({"success":false,"error":{"code":"DATA_CONFLICT","message":"词库已被修改"},"x":1})",
            R"({"success":false,"error":{"code":"DATA_CONFLICT","message":"词库已被修改"}})");
        row("nulls are absent", R"({"success":false,"data":null,"error":null,"traceId":null,"timestamp":null})",
            R"({"success":false})");
        row("one bad data element", R"({"success":true,"data":[{"code":"a","message":"甲"},{"code":"b"}]})", refused);
        row("data of the wrong type", R"({"success":true,"data":{}})", refused);
        row("traceId a number", R"({"success":true,"traceId":7})", refused);
        row("not an object", R"([{"success":true}])", refused);
    }
    void decodesOnlyWholeEnvelopes() { modeltesting::runDecodingRow(); }

    // `kind`: what the error counts as, if anything: "cancellation", "connectivity" or "not found".
    void describesAndClassifiesErrors_data()
    {
        QTest::addColumn<std::exception_ptr>("error");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("kind");
        using C = TransportError::Code;
        const auto server = [](int status, std::optional<QString> code, QString message = {}) {
            return ptr(MobileAPIError::server(status, std::move(code), std::move(message)));
        };
        const QString none, cancellation = QStringLiteral("cancellation"), offline = QStringLiteral("connectivity");
        QTest::newRow("server 500") << server(500, std::nullopt) << QStringLiteral("服务端请求失败（HTTP 500）")
                                    << none;
        QTest::newRow("server 502 with a code")
            << server(502, QStringLiteral("BAD_GATEWAY")) << QStringLiteral("服务端请求失败（HTTP 502）") << none;
        QTest::newRow("server message wins over code")
            << server(409, QStringLiteral("DATA_CONFLICT"), QStringLiteral("版本冲突")) << QStringLiteral("版本冲突")
            << none;
        QTest::newRow("server message of blanks")
            << server(400, std::nullopt, QStringLiteral("  ")) << QStringLiteral("  ") << none;
        QTest::newRow("404 resource not found") << server(404, QStringLiteral("RESOURCE_NOT_FOUND"))
                                                << QStringLiteral("服务端请求失败（HTTP 404）") << "not found";
        QTest::newRow("404 without the code")
            << server(404, std::nullopt) << QStringLiteral("服务端请求失败（HTTP 404）") << none;
        QTest::newRow("the code with 410") << server(410, QStringLiteral("RESOURCE_NOT_FOUND"))
                                           << QStringLiteral("服务端请求失败（HTTP 410）") << none;
        QTest::newRow("unauthorized") << ptr(MobileAPIError::unauthorized())
                                      << QStringLiteral("登录状态已失效，请重新登录") << none;
        QTest::newRow("invalid endpoint")
            << ptr(MobileAPIError::invalidEndpoint()) << QStringLiteral("后端地址配置无效") << none;
        QTest::newRow("invalid response")
            << ptr(MobileAPIError::invalidResponse()) << QStringLiteral("服务端返回的数据格式无效") << none;
        QTest::newRow("innermost of two wrappings decides")
            << wrapped(wrapped(transport(C::notConnectedToInternet)))
            << QStringLiteral("网络连接失败：网络连接失败：似乎已断开与互联网的连接。") << offline;
        QTest::newRow("wrapped wrapped cancellation")
            << wrapped(wrapped(ptr(CancellationError()))) << QStringLiteral("网络连接失败：网络连接失败：已取消")
            << cancellation;
        QTest::newRow("wrapped foreign error")
            << wrapped(ptr(std::runtime_error("boom"))) << QStringLiteral("网络连接失败：boom") << none;
        QTest::newRow("our cancellation") << ptr(CancellationError()) << QStringLiteral("已取消") << cancellation;
        QTest::newRow("decoding error") << ptr(json::DecodingError(QStringLiteral("$.data"), QStringLiteral("x")))
                                        << QStringLiteral("数据格式无效（$.data：x）") << none;
        const QList<C> offlineCodes {C::notConnectedToInternet, C::networkConnectionLost, C::cannotFindHost,
            C::cannotConnectToHost, C::dnsLookupFailed, C::internationalRoamingOff, C::dataNotAllowed, C::timedOut};
        const QList<C> otherCodes {C::cancelled, C::badURL, C::badServerResponse, C::httpTooManyRedirects,
            C::serverCertificateUntrusted, C::unknown};
        for (const C code : offlineCodes + otherCodes) {
            const QString kind = offlineCodes.contains(code) ? offline : code == C::cancelled ? cancellation : none;
            QTest::addRow("code %d", int(code)) << transport(code) << TransportError::descriptionFor(code) << kind;
            QTest::addRow("wrapped code %d", int(code))
                << wrapped(transport(code)) << "网络连接失败：" + TransportError::descriptionFor(code) << kind;
        }
    }
    void describesAndClassifiesErrors()
    {
        QFETCH(std::exception_ptr, error);
        QFETCH(QString, description);
        QFETCH(QString, kind);
        QCOMPARE(describe(error), description);
        QCOMPARE(isCancellation(error), kind == QLatin1String("cancellation"));
        QCOMPARE(isConnectivityFailure(error), kind == QLatin1String("connectivity"));
        QCOMPARE(isResourceNotFound(error), kind == QLatin1String("not found"));
        try {
            std::rethrow_exception(error);
        } catch (const std::exception &e) {
            QCOMPARE(isCancellation(e), kind == QLatin1String("cancellation"));
            QCOMPARE(isConnectivityFailure(e), kind == QLatin1String("connectivity"));
            QCOMPARE(isResourceNotFound(e), kind == QLatin1String("not found"));
        }
    }

    void anEmptyErrorIsNothing()
    {
        QVERIFY(!isCancellation(std::exception_ptr()));
        QVERIFY(!isConnectivityFailure(std::exception_ptr()));
        QVERIFY(!isCancellation(wrapped(std::exception_ptr())));
    }

    // The texts people read, byte for byte.
    void chineseTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        using P = WordPlaybackProfileValidationError;
        using W = UserWordUpdateValidationError;
        using Cat = TTSVoiceCategory;
        const std::pair<QString, const char *> texts[] = {
            {P(P::Kind::invalidVersion).description(), "播放设置版本无效，请刷新后重试"},
            {P(P::Kind::invalidRepeatCount).description(), "单词播放次数必须在 1 到 20 次之间"},
            {P(P::Kind::invalidUnitSet).description(), "播放设置必须完整包含四个播放单元"},
            {P(P::Kind::invalidPositions).description(), "播放顺序必须连续且不能重复"},
            {P(P::Kind::allUnitsDisabled).description(), "至少需要开启一个播放单元"},
            {P(P::Kind::invalidSpeechRate).description(), "语速必须在 0.5 到 2.0 倍之间"},
            {P(P::Kind::invalidVoice).description(), "所选音色与播放单元语言不匹配"},
            {W(W::Kind::invalidVersion).description(), "单词版本无效，请刷新后重试"},
            {W(W::Kind::emptyUpdate).description(), "没有需要保存的单词内容"},
            {W(W::Kind::ambiguousClear).description(), "同一字段不能同时更新和清空"},
            {title(LoopMode::sequential), "顺序播放"},
            {title(LoopMode::shuffle), "随机播放"},
            {title(LoopMode::loop), "循环播放"},
            {title(ORVPlaybackUnit::word), "英文单词"},
            {title(ORVPlaybackUnit::spelling), "逐字母拼写"},
            {title(ORVPlaybackUnit::translation), "中文译文"},
            {title(ORVPlaybackUnit::explanation), "详细解释与场景"},
            {title(Cat::englishAustralia), "澳大利亚英语"},
            {title(Cat::englishCanada), "加拿大英语"},
            {title(Cat::englishUnitedKingdom), "英式英语"},
            {title(Cat::englishIndia), "印度英语"},
            {title(Cat::englishUnitedStates), "美式英语"},
            {title(Cat::chineseMandarin), "中文普通话"},
            {title(Cat::chineseCantonese), "粤语"},
            {title(Cat::chineseTaiwan), "台湾国语"},
        };
        for (const auto &[text, expected] : texts)
            QTest::newRow(expected) << text << QString::fromUtf8(expected);
    }
    void chineseTexts()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(text, expected);
    }
};

TALVORO_TEST(EnvelopeTest)
#include "tst_envelope.moc"
