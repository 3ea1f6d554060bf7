#include "ModelTesting.h"
#include "TestRegistry.h"

#include "Models/WordPlaybackProfile.h"

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

WordPlaybackProfile withRate(qsizetype index, double rate)
{
    return profile([=](WordPlaybackProfile &p) { p.units[index].speechRate = rate; });
}

WordPlaybackProfile withVoice(qsizetype index, const QString &voice)
{
    return profile([=](WordPlaybackProfile &p) { p.units[index].voiceId = voice; });
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

const char *fullProfile
    = R"({"wordId":7,"version":3,"repeatCount":2,"updatedAt":"2024-05-06T07:08:09Z","units":[)"
      R"({"unit":"WORD","enabled":true,"position":1,"voiceId":"en-GB-SoniaNeural","speechRate":0.75,"version":2},)"
      R"({"unit":"SPELLING","enabled":false,"position":2,"version":1},)"
      R"({"unit":"TRANSLATION_ZH","enabled":true,"position":3,"voiceId":null,"speechRate":null,"version":1},)"
      R"({"unit":"EXPLANATION","enabled":true,"position":4,"version":1}]})";

QByteArray edited(std::initializer_list<std::pair<const char *, const char *>> edits = {})
{
    return modeltesting::edited(fullProfile, edits);
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
        QTest::newRow("repeat 0") << profile([](auto &p) { p.repeatCount = 0; })
                                  << std::optional(Kind::invalidRepeatCount);
        QTest::newRow("repeat 21") << profile([](auto &p) { p.repeatCount = 21; })
                                   << std::optional(Kind::invalidRepeatCount);
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
        QTest::newRow("empty voice") << withVoice(2, QString()) << std::optional(Kind::invalidVoice);
        QTest::newRow("bad voice before a bad rate") << profile([](auto &p) {
            p.units[0].voiceId = QStringLiteral("zh-CN-YunxiNeural");
            p.units[1].speechRate = 3.0;
        }) << std::optional(Kind::invalidVoice);
        QTest::newRow("rate before voice in one unit") << profile([](auto &p) {
            p.units[2].voiceId = QStringLiteral("en-US-GuyNeural");
            p.units[2].speechRate = 3.0;
        }) << std::optional(Kind::invalidSpeechRate);
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

    // Nulls are never written.
    void decodesStrictlyAndWritesNoNull_data()
    {
        modeltesting::decodingColumns();
        const auto nulls = std::pair {R"("voiceId":null,"speechRate":null,)", ""};
        const auto noRepeat = std::pair {R"("repeatCount":2,)", ""};
        const QByteArray refused;
        const auto row = &modeltesting::decodingRow<WordPlaybackProfile>;
        row("everything", edited(), edited({nulls}));
        row("no repeat count", edited({noRepeat}), edited({noRepeat, nulls}));
        row("unit in lower case", edited({{R"("unit":"WORD")", R"("unit":"word")"}}), refused);
        row("rate as text", edited({{"0.75", R"("0.75")"}}), refused);
        row("fractional position", edited({{R"("position":2)", R"("position":2.5)"}}), refused);
        row("unit without version", edited({{R"(,"version":2})", "}"}}), refused);
    }
    void decodesStrictlyAndWritesNoNull() { modeltesting::runDecodingRow(); }
};

TALVORO_TEST(PlaybackProfileTest)
#include "tst_playbackprofile.moc"
