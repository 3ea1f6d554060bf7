#include "TestRegistry.h"

#include "Models/WordPlaybackProfile.h"

#include <QSet>
#include <QTest>

#include <functional>
#include <limits>

using namespace talvoro;

namespace {

using Kind = WordPlaybackProfileValidationError::Kind;
using U = ORVPlaybackUnit;

// A valid profile changed by `edit`.
WordPlaybackProfile profile(const std::function<void(WordPlaybackProfile &)> &edit = {})
{
    WordPlaybackProfile p = WordPlaybackProfile::makeDefault(42);
    if (edit)
        edit(p);
    return p;
}

WordPlaybackProfile withPositions(QList<qint64> positions)
{
    return profile([&](WordPlaybackProfile &p) {
        for (qsizetype i = 0; i < p.units.size(); ++i)
            p.units[i].position = positions.at(i);
    });
}

WordPlaybackProfile withUnit(qsizetype index, const std::function<void(WordPlaybackUnit &)> &edit)
{
    return profile([&](WordPlaybackProfile &p) { edit(p.units[index]); });
}

WordPlaybackProfile withRate(qsizetype index, double rate)
{
    return withUnit(index, [=](WordPlaybackUnit &u) { u.speechRate = rate; });
}

WordPlaybackProfile withVoice(qsizetype index, const QString &voice)
{
    return withUnit(index, [=](WordPlaybackUnit &u) { u.voiceId = voice; });
}

std::optional<Kind> failureOf(const WordPlaybackProfile &p)
{
    try {
        p.validated();
        return std::nullopt;
    } catch (const WordPlaybackProfileValidationError &error) {
        return error.kind();
    }
}

const QString fullProfile = QStringLiteral(
    R"({"wordId":7,"version":3,"repeatCount":2,"updatedAt":"2024-05-06T07:08:09Z","units":[)"
    R"({"unit":"WORD","enabled":true,"position":1,"voiceId":"en-GB-SoniaNeural","speechRate":0.75,"version":2},)"
    R"({"unit":"SPELLING","enabled":false,"position":2,"version":1},)"
    R"({"unit":"TRANSLATION_ZH","enabled":true,"position":3,"voiceId":null,"speechRate":null,"version":1},)"
    R"({"unit":"EXPLANATION","enabled":true,"position":4,"version":1}]})");

// The full profile with each (from, to) replacement made.
QByteArray edited(std::initializer_list<std::pair<const char *, const char *>> edits = {})
{
    QString text = fullProfile;
    for (const auto &[from, to] : edits) {
        Q_ASSERT(text.contains(QString::fromUtf8(from)));
        text.replace(QString::fromUtf8(from), QString::fromUtf8(to));
    }
    return text.toUtf8();
}

} // namespace

Q_DECLARE_METATYPE(WordPlaybackProfile)

class PlaybackProfileTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void validationFindsTheFirstBrokenRule_data()
    {
        QTest::addColumn<WordPlaybackProfile>("profile");
        QTest::addColumn<std::optional<Kind>>("failure");
        const std::optional<Kind> valid;
        QTest::newRow("default") << profile() << valid;
        QTest::newRow("version 0 before everything") << profile([](auto &p) {
            p.version = 0;
            p.repeatCount = 99;
            p.units.clear();
        }) << std::optional(Kind::invalidVersion);
        QTest::newRow("word id 0") << profile([](auto &p) { p.wordId = 0; }) << std::optional(Kind::invalidVersion);
        QTest::newRow("negative word id")
            << profile([](auto &p) { p.wordId = -5; }) << std::optional(Kind::invalidVersion);
        QTest::newRow("repeat 0") << profile([](auto &p) { p.repeatCount = 0; })
                                  << std::optional(Kind::invalidRepeatCount);
        QTest::newRow("repeat 21") << profile([](auto &p) { p.repeatCount = 21; })
                                   << std::optional(Kind::invalidRepeatCount);
        QTest::newRow("repeat 1") << profile([](auto &p) { p.repeatCount = 1; }) << valid;
        QTest::newRow("repeat 20") << profile([](auto &p) { p.repeatCount = 20; }) << valid;
        QTest::newRow("repeat absent") << profile([](auto &p) { p.repeatCount.reset(); }) << valid;
        QTest::newRow("three units") << profile([](auto &p) { p.units.removeLast(); })
                                     << std::optional(Kind::invalidUnitSet);
        QTest::newRow("five units") << profile([](auto &p) { p.units.append(p.units.first()); })
                                    << std::optional(Kind::invalidUnitSet);
        QTest::newRow("word twice, even with bad positions") << profile([](auto &p) {
            p.units[1].unit = U::word;
            p.units[1].position = 9;
        }) << std::optional(Kind::invalidUnitSet);
        QTest::newRow("positions 1 2 2 4") << withPositions({1, 2, 2, 4}) << std::optional(Kind::invalidPositions);
        QTest::newRow("positions 0 1 2 3") << withPositions({0, 1, 2, 3}) << std::optional(Kind::invalidPositions);
        QTest::newRow("positions 2 3 4 5") << withPositions({2, 3, 4, 5}) << std::optional(Kind::invalidPositions);
        QTest::newRow("positions 4 3 2 1") << withPositions({4, 3, 2, 1}) << valid;
        QTest::newRow("all disabled, with bad rates and voices") << profile([](auto &p) {
            for (auto &u : p.units) {
                u.enabled = false;
                u.speechRate = 9.0;
                u.voiceId = QString();
            }
        }) << std::optional(Kind::allUnitsDisabled);
        QTest::newRow("rate 0.5") << withRate(0, 0.5) << valid;
        QTest::newRow("rate 2.0") << withRate(3, 2.0) << valid;
        QTest::newRow("rate 0.49") << withRate(0, 0.49) << std::optional(Kind::invalidSpeechRate);
        QTest::newRow("rate 2.01") << withRate(2, 2.01) << std::optional(Kind::invalidSpeechRate);
        QTest::newRow("rate not a number")
            << withRate(1, std::numeric_limits<double>::quiet_NaN()) << std::optional(Kind::invalidSpeechRate);
        QTest::newRow("bad rate on a disabled unit") << profile([](auto &p) {
            p.units[3].enabled = false;
            p.units[3].speechRate = 0.1;
        }) << std::optional(Kind::invalidSpeechRate);
        QTest::newRow("word read by a Chinese voice")
            << withVoice(0, QStringLiteral("zh-CN-XiaoxiaoNeural")) << std::optional(Kind::invalidVoice);
        QTest::newRow("spelling read by an English voice")
            << withVoice(1, QStringLiteral("en-US-JennyNeural")) << std::optional(Kind::invalidVoice);
        QTest::newRow("spelling read by a Chinese voice") << withVoice(1, QStringLiteral("zh-CN-YunxiNeural")) << valid;
        QTest::newRow("word read by a British voice") << withVoice(0, QStringLiteral("en-GB-SoniaNeural")) << valid;
        QTest::newRow("multilingual English voice for the word")
            << withVoice(0, QStringLiteral("en-US-JennyMultilingualNeural")) << valid;
        QTest::newRow("empty voice") << withVoice(2, QString()) << std::optional(Kind::invalidVoice);
        QTest::newRow("unknown voice") << withVoice(3, QStringLiteral("zh-CN-NobodyNeural"))
                                       << std::optional(Kind::invalidVoice);
        QTest::newRow("bad voice before a bad rate") << profile([](auto &p) {
            p.units[0].voiceId = QStringLiteral("zh-CN-YunxiNeural");
            p.units[1].speechRate = 3.0;
        }) << std::optional(Kind::invalidVoice);
        QTest::newRow("rate before voice in one unit") << profile([](auto &p) {
            p.units[2].voiceId = QStringLiteral("en-US-GuyNeural");
            p.units[2].speechRate = 3.0;
        }) << std::optional(Kind::invalidSpeechRate);
        QTest::newRow("unit versions and change time ignored") << profile([](auto &p) {
            p.updatedAt = QStringLiteral("garbage");
            for (auto &u : p.units)
                u.version = -3;
        }) << valid;
    }
    void validationFindsTheFirstBrokenRule()
    {
        QFETCH(WordPlaybackProfile, profile);
        QFETCH(std::optional<Kind>, failure);
        QCOMPARE(failureOf(profile), failure);
    }

    void validationOrdersUnitsByPositionAndKeepsTheRest()
    {
        WordPlaybackProfile input = withPositions({4, 3, 2, 1});
        input.units[1].voiceId = QStringLiteral("zh-HK-HiuMaanNeural");
        input.units[2].enabled = false;
        input.updatedAt = QStringLiteral("2024-01-01T00:00:00Z");
        const WordPlaybackProfile output = input.validated();
        QList<WordPlaybackUnit> expected = input.units;
        std::reverse(expected.begin(), expected.end());
        QCOMPARE(output.units, expected);
        QCOMPARE(output.updatedAt, input.updatedAt);
        QCOMPARE(output.repeatCount, input.repeatCount);
        QCOMPARE(withPositions({4, 3, 2, 1}).units.first().unit, U::word); // input untouched
    }

    void describesEveryFailure_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("description");
        QTest::newRow("version") << Kind::invalidVersion << QStringLiteral("播放设置版本无效，请刷新后重试");
        QTest::newRow("repeat") << Kind::invalidRepeatCount << QStringLiteral("单词播放次数必须在 1 到 20 次之间");
        QTest::newRow("unit set") << Kind::invalidUnitSet << QStringLiteral("播放设置必须完整包含四个播放单元");
        QTest::newRow("positions") << Kind::invalidPositions << QStringLiteral("播放顺序必须连续且不能重复");
        QTest::newRow("disabled") << Kind::allUnitsDisabled << QStringLiteral("至少需要开启一个播放单元");
        QTest::newRow("rate") << Kind::invalidSpeechRate << QStringLiteral("语速必须在 0.5 到 2.0 倍之间");
        QTest::newRow("voice") << Kind::invalidVoice << QStringLiteral("所选音色与播放单元语言不匹配");
    }
    void describesEveryFailure()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, description);
        QCOMPARE(WordPlaybackProfileValidationError(kind).description(), description);
    }

    void theDefaultProfile()
    {
        const WordPlaybackProfile p = WordPlaybackProfile::makeDefault(5);
        QCOMPARE(p.toJson(),
            json::parseObject(R"({"wordId":5,"version":1,"repeatCount":1,"updatedAt":"","units":[)"
                              R"({"unit":"WORD","enabled":true,"position":1,"version":1},)"
                              R"({"unit":"SPELLING","enabled":true,"position":2,"version":1},)"
                              R"({"unit":"TRANSLATION_ZH","enabled":true,"position":3,"version":1},)"
                              R"({"unit":"EXPLANATION","enabled":true,"position":4,"version":1}]})"));
        QCOMPARE(p.validated(), p);
    }

    // `reencoded`: empty when the text must not decode; "same" when it comes back unchanged
    // apart from the nulls, which are never written.
    void decodesStrictlyAndWritesNoNull_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("reencoded");
        const auto nulls = std::pair {R"("voiceId":null,"speechRate":null,)", ""};
        const auto noRepeat = std::pair {R"("repeatCount":2,)", ""};
        const QByteArray refused;
        QTest::newRow("everything") << edited() << edited({nulls});
        QTest::newRow("no repeat count") << edited({noRepeat}) << edited({noRepeat, nulls});
        QTest::newRow("repeat count null")
            << edited({{R"("repeatCount":2)", R"("repeatCount":null)"}}) << edited({noRepeat, nulls});
        QTest::newRow("unit in lower case") << edited({{R"("unit":"WORD")", R"("unit":"word")"}}) << refused;
        QTest::newRow("unknown unit") << edited({{R"("unit":"WORD")", R"("unit":"PHONETIC")"}}) << refused;
        QTest::newRow("no change time") << edited({{R"("updatedAt":"2024-05-06T07:08:09Z",)", ""}}) << refused;
        QTest::newRow("rate as text") << edited({{"0.75", R"("0.75")"}}) << refused;
        QTest::newRow("fractional position") << edited({{R"("position":2)", R"("position":2.5)"}}) << refused;
        QTest::newRow("enabled as number") << edited({{R"("enabled":false)", R"("enabled":0)"}}) << refused;
        QTest::newRow("unit without version") << edited({{R"(,"version":2})", "}"}}) << refused;
        QTest::newRow("units missing") << edited({{R"("units":[)", R"("unitz":[)"}}) << refused;
    }
    void decodesStrictlyAndWritesNoNull()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, reencoded);
        try {
            const WordPlaybackProfile p = WordPlaybackProfile::fromJson(json::parse(text));
            QVERIFY2(!reencoded.isEmpty(), "decoded a profile that must be refused");
            QCOMPARE(p.toJson(), json::parseObject(reencoded));
            QCOMPARE(WordPlaybackProfile::fromJson(json::parse(json::serialize(p.toJson()))), p);
        } catch (const json::DecodingError &error) {
            QVERIFY2(reencoded.isEmpty(), qPrintable(error.description()));
        }
    }

    void equalProfilesHashAlike()
    {
        const WordPlaybackProfile a = withRate(1, 1.5);
        WordPlaybackProfile b = withRate(1, 1.5);
        QCOMPARE(qHash(a, 7), qHash(b, 7));
        b.units[1].speechRate.reset();
        QVERIFY(a != b);
        QCOMPARE((QSet<WordPlaybackProfile> {a, b, withRate(1, 1.5)}).size(), 2);
    }
};

TALVORO_TEST(PlaybackProfileTest)
#include "tst_playbackprofile.moc"
