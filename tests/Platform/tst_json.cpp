#include "TestRegistry.h"

#include "Platform/Json.h"
#include "Platform/Text.h"

#include <QTest>

#include <limits>

using namespace talvoro;

class JsonTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void integersAreExactAndFractionsAreRefused_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("decodes");
        QTest::addColumn<qint64>("expected");
        QTest::newRow("above 2^53 stays exact")
            << QByteArray(R"({"n":9007199254740993})") << true << qint64(9007199254740993LL);
        QTest::newRow("largest 64-bit") << QByteArray(R"({"n":9223372036854775807})") << true
                                        << std::numeric_limits<qint64>::max();
        QTest::newRow("negative") << QByteArray(R"({"n":-42})") << true << qint64(-42);
        QTest::newRow("1.0 is an integer") << QByteArray(R"({"n":1.0})") << true << qint64(1);
        QTest::newRow("1.5 is not") << QByteArray(R"({"n":1.5})") << false << qint64(0);
        QTest::newRow("0.5 is not") << QByteArray(R"({"n":0.5})") << false << qint64(0);
        QTest::newRow("string is not") << QByteArray(R"({"n":"1"})") << false << qint64(0);
        QTest::newRow("bool is not") << QByteArray(R"({"n":true})") << false << qint64(0);
        QTest::newRow("null is missing") << QByteArray(R"({"n":null})") << false << qint64(0);
        QTest::newRow("absent is missing") << QByteArray(R"({"m":1})") << false << qint64(0);
        QTest::newRow("beyond 64 bits") << QByteArray(R"({"n":1e300})") << false << qint64(0);
    }
    void integersAreExactAndFractionsAreRefused()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, decodes);
        QFETCH(qint64, expected);
        const json::ObjectReader reader(json::parseObject(text));
        try {
            const qint64 value = reader.integer(QStringLiteral("n"));
            QVERIFY2(decodes, "decoded a value that must be refused");
            QCOMPARE(value, expected);
            // and it is written back exactly
            const QByteArray written = json::serialize(json::ObjectWriter().set(QStringLiteral("n"), value).object());
            QCOMPARE(json::ObjectReader(json::parseObject(written)).integer(QStringLiteral("n")), expected);
        } catch (const json::DecodingError &error) {
            QVERIFY2(!decodes, qPrintable(error.description()));
            QCOMPARE(error.path(), QStringLiteral("$.n"));
        }
    }

    void optionalKeysAbsentOrNullAreAbsentButWrongTypesFail_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("outcome"); // 0 absent, 1 present, -1 error
        QTest::newRow("absent") << QByteArray(R"({})") << 0;
        QTest::newRow("null") << QByteArray(R"({"s":null})") << 0;
        QTest::newRow("string") << QByteArray(R"({"s":"音标"})") << 1;
        QTest::newRow("empty string is present") << QByteArray(R"({"s":""})") << 1;
        QTest::newRow("number") << QByteArray(R"({"s":3})") << -1;
        QTest::newRow("array") << QByteArray(R"({"s":["a"]})") << -1;
    }
    void optionalKeysAbsentOrNullAreAbsentButWrongTypesFail()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, outcome);
        const json::ObjectReader reader(json::parseObject(text));
        try {
            const auto value = reader.optionalString(QStringLiteral("s"));
            QCOMPARE(value.has_value() ? 1 : 0, outcome);
        } catch (const json::DecodingError &) {
            QCOMPARE(outcome, -1);
        }
    }

    void oneBadElementSpoilsTheWholeList()
    {
        const json::ObjectReader good(json::parseObject(R"({"w":["a","b"]})"));
        QCOMPARE(good.stringList(QStringLiteral("w")), (QList<QString> {QStringLiteral("a"), QStringLiteral("b")}));
        const json::ObjectReader bad(json::parseObject(R"({"w":["a",2,"c"]})"));
        try {
            bad.stringList(QStringLiteral("w"));
            QFAIL("a list with a number in it decoded as strings");
        } catch (const json::DecodingError &error) {
            QCOMPARE(error.path(), QStringLiteral("$.w[1]"));
        }
    }

    void malformedTextIsADecodingError_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("truncated") << QByteArray(R"({"a":)");
        QTest::newRow("not json") << QByteArray("<html>");
        QTest::newRow("array where object expected") << QByteArray("[1,2]");
    }
    void malformedTextIsADecodingError()
    {
        QFETCH(QByteArray, text);
        QVERIFY_THROWS_EXCEPTION(json::DecodingError, json::parseObject(text));
    }

    void writingNeverProducesNullOrNonFiniteNumbers_data()
    {
        QTest::addColumn<double>("number");
        QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("+inf") << std::numeric_limits<double>::infinity();
        QTest::newRow("-inf") << -std::numeric_limits<double>::infinity();
    }
    void writingNeverProducesNullOrNonFiniteNumbers()
    {
        QFETCH(double, number);
        json::ObjectWriter writer;
        QVERIFY_THROWS_EXCEPTION(json::EncodingError, writer.set(QStringLiteral("rate"), number));
        QJsonObject nested {{QStringLiteral("rate"), number}};
        QVERIFY_THROWS_EXCEPTION(json::EncodingError, json::serialize(QJsonObject {{QStringLiteral("x"), nested}}));
        QVERIFY_THROWS_EXCEPTION(
            json::EncodingError, json::serialize(QJsonObject {{QStringLiteral("x"), QJsonValue()}}));
    }

    void absentOptionalsAreLeftOut()
    {
        const QJsonObject object = json::ObjectWriter()
                                       .set(QStringLiteral("ipa"), std::optional<QString>())
                                       .set(QStringLiteral("rate"), std::optional<double>(1.25))
                                       .set(QStringLiteral("word"), "apple")
                                       .object();
        QCOMPARE(json::serialize(object), QByteArray(R"({"rate":1.25,"word":"apple"})"));
    }
};

class TextTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void charactersAreWhatAReaderCounts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qsizetype>("count");
        QTest::newRow("empty") << QString() << qsizetype(0);
        QTest::newRow("ascii") << QStringLiteral("apple") << qsizetype(5);
        QTest::newRow("chinese") << QStringLiteral("苹果") << qsizetype(2);
        QTest::newRow("combining accent") << QStringLiteral("e\u0301") << qsizetype(1);
        QTest::newRow("astral emoji") << QStringLiteral("\U0001F34E") << qsizetype(1);
        QTest::newRow("flag") << QStringLiteral("\U0001F1E8\U0001F1F3") << qsizetype(1);
        QTest::newRow("family") << QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467") << qsizetype(1);
        QTest::newRow("crlf") << QStringLiteral("a\r\nb") << qsizetype(3);
    }
    void charactersAreWhatAReaderCounts()
    {
        QFETCH(QString, text);
        QFETCH(qsizetype, count);
        QCOMPARE(text::characterCount(text), count);
    }

    void trimmingTakesWhiteSpaceAndLineBreaks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("spaces and newlines") << QStringLiteral(" \t\n apple \r\n") << QStringLiteral("apple");
        QTest::newRow("ideographic space") << QStringLiteral("\u3000苹果\u3000") << QStringLiteral("苹果");
        QTest::newRow("no-break space and NEL") << QStringLiteral("\u00A0a b\u0085") << QStringLiteral("a b");
        QTest::newRow("line separator") << QStringLiteral("\u2028x\u2029") << QStringLiteral("x");
        QTest::newRow("zero-width space stays") << QStringLiteral("\u200Bx") << QStringLiteral("\u200Bx");
    }
    void trimmingTakesWhiteSpaceAndLineBreaks()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(text::trimmed(text), expected);
    }

    void hashesAreLowerCaseHex()
    {
        QCOMPARE(text::sha256Hex(QStringLiteral("abc")),
            QStringLiteral("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
        QCOMPARE(text::md5Hex(QStringLiteral("abc")), QStringLiteral("900150983cd24fb0d6963f7d28e17f72"));
    }

    void uuidsAreUpperCase()
    {
        const QString id = text::newUuidText();
        QCOMPARE(id.size(), 36);
        QCOMPARE(id, id.toUpper());
        QCOMPARE(text::uuidText(id.toLower()), id);
        QVERIFY(text::uuidText(QStringLiteral("{") + id + QStringLiteral("}")).isEmpty());
    }

    void referenceSecondsCountFrom2001()
    {
        const QDateTime start(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
        QCOMPARE(text::referenceSeconds(start), 0.0);
        const QDateTime later(QDate(2024, 1, 1), QTime(0, 0, 0, 500), Qt::UTC);
        QCOMPARE(text::referenceSeconds(later), 725760000.5);
        QCOMPARE(text::fromReferenceSeconds(725760000.5), later);
    }

    // Further than 10^14 s from 2001 is no date: a millisecond count there is near overflowing.
    void referenceSecondsFarOutAreNoDate_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<bool>("date");
        QTest::newRow("10^14 s on") << 1e14 << true;
        QTest::newRow("10^14 s back") << -1e14 << true;
        QTest::newRow("just past 10^14 s") << 1.0000000001e14 << false;
        QTest::newRow("9.2233715e15 s: the millisecond count would overflow") << 9.2233715e15 << false;
        QTest::newRow("9.3e15 s: past the millisecond range") << 9.3e15 << false;
        QTest::newRow("-9.3e15 s") << -9.3e15 << false;
        QTest::newRow("infinity") << qInf() << false;
        QTest::newRow("not a number") << qQNaN() << false;
    }
    void referenceSecondsFarOutAreNoDate()
    {
        QFETCH(double, seconds);
        QFETCH(bool, date);
        const std::optional<QDateTime> read = text::fromReferenceSeconds(seconds);
        QCOMPARE(read.has_value(), date);
        if (read)
            QCOMPARE(text::referenceSeconds(*read), seconds);
    }

    void iso8601WithAndWithoutFractions_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("fractional");
        QTest::addColumn<bool>("parses");
        QTest::addColumn<qint64>("msecsSinceEpoch");
        QTest::newRow("plain Z") << QStringLiteral("2024-05-06T07:08:09Z") << false << true << qint64(1714979289000);
        QTest::newRow("offset") << QStringLiteral("2024-05-06T15:08:09+08:00") << false << true
                                << qint64(1714979289000);
        QTest::newRow("fraction") << QStringLiteral("2024-05-06T07:08:09.250Z") << true << true
                                  << qint64(1714979289250);
        QTest::newRow("long fraction") << QStringLiteral("2024-05-06T07:08:09.123456Z") << true << true
                                       << qint64(1714979289123);
        QTest::newRow("fraction refused without")
            << QStringLiteral("2024-05-06T07:08:09.250Z") << false << false << qint64(0);
        QTest::newRow("fraction required with") << QStringLiteral("2024-05-06T07:08:09Z") << true << false << qint64(0);
        QTest::newRow("no zone") << QStringLiteral("2024-05-06T07:08:09") << false << false << qint64(0);
        QTest::newRow("bad month") << QStringLiteral("2024-13-06T07:08:09Z") << false << false << qint64(0);
        QTest::newRow("date only") << QStringLiteral("2024-05-06") << false << false << qint64(0);
    }
    void iso8601WithAndWithoutFractions()
    {
        QFETCH(QString, text);
        QFETCH(bool, fractional);
        QFETCH(bool, parses);
        QFETCH(qint64, msecsSinceEpoch);
        const auto parsed
            = text::parseIso8601(text, fractional ? text::FractionalSeconds::with : text::FractionalSeconds::without);
        QCOMPARE(parsed.has_value(), parses);
        if (parsed) {
            QCOMPARE(parsed->toMSecsSinceEpoch(), msecsSinceEpoch);
            QVERIFY(text::parseIso8601(text).has_value());
        }
    }

    void iso8601Formatting()
    {
        const QDateTime date = QDateTime::fromMSecsSinceEpoch(1714979289250, Qt::UTC);
        QCOMPARE(text::formatIso8601(date), QStringLiteral("2024-05-06T07:08:09Z"));
        QCOMPARE(text::formatIso8601(date, text::FractionalSeconds::with), QStringLiteral("2024-05-06T07:08:09.250Z"));
    }
};

TALVORO_TEST(JsonTest)
TALVORO_TEST(TextTest)
#include "tst_json.moc"
