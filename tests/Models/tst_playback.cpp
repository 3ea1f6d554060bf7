#include "ModelTesting.h"
#include "TestRegistry.h"

#include "Models/Playback.h"
#include "Models/PlaybackPreference.h"

#include <QTest>

using namespace talvoro;

namespace {

// Answers the scripted draws in turn, each taken modulo the bound.
class ScriptedRandomSource final : public RandomSource {
public:
    explicit ScriptedRandomSource(QList<quint64> draws)
        : m_draws(std::move(draws))
    { }
    quint64 bounded(quint64 bound) override
    {
        if (m_draws.isEmpty())
            qFatal("the script ran out of draws");
        return m_draws.takeFirst() % bound;
    }
    qsizetype remaining() const { return m_draws.size(); }

private:
    QList<quint64> m_draws;
};

// The complete encoding of a preference, with the given values over the defaults.
QByteArray preference(std::initializer_list<std::pair<const char *, const char *>> edits = {})
{
    return modeltesting::edited(
        R"({"playbackItems":["WORD","SPELLING","TRANSLATION_ZH","EXPLANATION"],)"
        R"("voiceEn":"en-US-JennyNeural","voiceZh":"zh-CN-XiaoxiaoNeural","speechRate":1,)"
        R"("version":1,"globalVoiceEnUs":"en-US-JennyNeural","globalVoiceEnGb":"en-GB-SoniaNeural",)"
        R"("globalVoiceZhCn":"zh-CN-XiaoxiaoNeural","speechRateEnUs":1,"speechRateEnGb":1,)"
        R"("speechRateZhCn":1,"speechRateEn":1,"speechRateZh":1,"spellingRate":1.25})",
        edits);
}

} // namespace

class PlaybackModelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void preferenceFillsInWhatIsMissing_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("reencoded");
        QTest::newRow("empty object") << QByteArray("{}") << preference();
        QTest::newRow("English rate over the single rate")
            << QByteArray(R"({"speechRate":1.5,"speechRateEn":0.8})")
            << preference({{R"("speechRate":1,)", R"("speechRate":1.5,)"},
                   {R"("speechRateEnUs":1,"speechRateEnGb":1,"speechRateZhCn":1,"speechRateEn":1,"speechRateZh":1)",
                       R"("speechRateEnUs":0.8,"speechRateEnGb":0.8,"speechRateZhCn":1.5,)"
                       R"("speechRateEn":0.8,"speechRateZh":1.5)"}});
        QTest::newRow("US voice copies the English voice, whatever its locale")
            << QByteArray(R"({"voiceEn":"en-GB-RyanNeural"})")
            << preference({{R"("voiceEn":"en-US-JennyNeural")", R"("voiceEn":"en-GB-RyanNeural")"},
                   {R"("globalVoiceEnUs":"en-US-JennyNeural")", R"("globalVoiceEnUs":"en-GB-RyanNeural")"}});
        QTest::newRow("null Mandarin voice copies the Chinese voice")
            << QByteArray(R"({"voiceZh":"zh-CN-YunxiNeural","globalVoiceZhCn":null})")
            << preference({{R"("voiceZh":"zh-CN-XiaoxiaoNeural")", R"("voiceZh":"zh-CN-YunxiNeural")"},
                   {R"("globalVoiceZhCn":"zh-CN-XiaoxiaoNeural")", R"("globalVoiceZhCn":"zh-CN-YunxiNeural")"}});
        QTest::newRow("empty items stay empty") << QByteArray(
            R"({"playbackItems":[]})") << preference({{R"(["WORD","SPELLING","TRANSLATION_ZH","EXPLANATION"])", "[]"}});
        QTest::newRow("unknown unit names are kept")
            << QByteArray(R"({"playbackItems":["WORD","SING"]})")
            << preference({{R"("SPELLING","TRANSLATION_ZH","EXPLANATION")", R"("SING")"}});
        QTest::newRow("version as text") << QByteArray(R"({"version":"2"})") << QByteArray();
        QTest::newRow("items not texts") << QByteArray(R"({"playbackItems":[1]})") << QByteArray();
    }
    void preferenceFillsInWhatIsMissing()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, reencoded);
        modeltesting::checkDecoding<PlaybackPreference>(text, reencoded);
        if (text == "{}")
            QCOMPARE(PlaybackPreference().toJson(), json::parseObject(reencoded));
    }

    void mirrorsAreDerivedFromTheMainFields()
    {
        PlaybackPreference p = PlaybackPreference::fromJson(json::parse(
            R"({"voiceEn":"en-AU-NatashaNeural","voiceZh":"zh-HK-HiuMaanNeural","speechRate":0.6,)"
            R"("speechRateEn":0.9,"speechRateZh":1.7,"spellingRate":0.5,"version":8,"globalVoiceEnGb":"x"})"));
        QCOMPARE(p.withDerivedMirrorFields().toJson(),
            json::parseObject(
                R"({"playbackItems":["WORD","SPELLING","TRANSLATION_ZH","EXPLANATION"],)"
                R"("voiceEn":"en-AU-NatashaNeural","voiceZh":"zh-HK-HiuMaanNeural","speechRate":0.9,"version":8,)"
                R"("globalVoiceEnUs":"en-AU-NatashaNeural","globalVoiceEnGb":"en-AU-NatashaNeural",)"
                R"("globalVoiceZhCn":"zh-HK-HiuMaanNeural","speechRateEnUs":0.9,"speechRateEnGb":0.9,)"
                R"("speechRateZhCn":1.7,"speechRateEn":0.9,"speechRateZh":1.7,"spellingRate":0.5})"));
    }

    void loopModesCycleAndKeepTheirWireValues()
    {
        LoopMode mode = LoopMode::sequential;
        QStringList seen;
        for (int i = 0; i < 3; ++i) {
            seen.append(rawValue(mode));
            QCOMPARE(loopModeFromRawValue(rawValue(mode)), mode);
            mode = cycled(mode);
        }
        QCOMPARE(seen, QStringList({"sequential", "shuffle", "loop"}));
        QCOMPARE(mode, LoopMode::sequential);
        QCOMPARE(loopModeFromRawValue(QStringLiteral("SHUFFLE")), std::nullopt);
        QCOMPARE(loopModeFromRawValue(QStringLiteral("ONCE")), std::nullopt); // a playlist's text, not a mode
    }

    void nextWord_data()
    {
        QTest::addColumn<LoopMode>("mode");
        QTest::addColumn<qsizetype>("current");
        QTest::addColumn<qsizetype>("count");
        QTest::addColumn<QList<quint64>>("draws");
        QTest::addColumn<std::optional<qsizetype>>("next");
        using M = LoopMode;
        const QList<quint64> none;
        const std::optional<qsizetype> stop;
        QTest::newRow("sequential stops after the last")
            << M::sequential << qsizetype(2) << qsizetype(3) << none << stop;
        QTest::newRow("loop goes on") << M::loop << qsizetype(1) << qsizetype(3) << none << std::optional<qsizetype>(2);
        QTest::newRow("loop wraps after the last")
            << M::loop << qsizetype(2) << qsizetype(3) << none << std::optional<qsizetype>(0);
        QTest::newRow("loop from an index out of range")
            << M::loop << qsizetype(-7) << qsizetype(3) << none << std::optional<qsizetype>(0);
        QTest::newRow("empty list stops") << M::loop << qsizetype(0) << qsizetype(0) << none << stop;
        QTest::newRow("shuffle of one word draws nothing")
            << M::shuffle << qsizetype(0) << qsizetype(1) << none << std::optional<qsizetype>(0);
        QTest::newRow("shuffle of two draws until the other")
            << M::shuffle << qsizetype(1) << qsizetype(2) << QList<quint64> {1, 3, 5, 0} << std::optional<qsizetype>(0);
        QTest::newRow("shuffle redraws the current word")
            << M::shuffle << qsizetype(2) << qsizetype(5) << QList<quint64> {2, 7, 4} << std::optional<qsizetype>(4);
    }
    void nextWord()
    {
        QFETCH(LoopMode, mode);
        QFETCH(qsizetype, current);
        QFETCH(qsizetype, count);
        QFETCH(QList<quint64>, draws);
        QFETCH(std::optional<qsizetype>, next);
        ScriptedRandomSource random(draws);
        QCOMPARE(nextWordIndex(mode, current, count, random), next);
        QCOMPARE(random.remaining(), 0);
    }
};

TALVORO_TEST(PlaybackModelTest)
#include "tst_playback.moc"
