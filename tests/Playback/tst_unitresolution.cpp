#include "TestRegistry.h"

#include "Playback/PlaybackWordSnapshot.h"

#include <QTest>

using namespace talvoro;

namespace {

const QString jenny = QStringLiteral("en-US-JennyNeural");
const QString sonia = QStringLiteral("en-GB-SoniaNeural");
const QString natasha = QStringLiteral("en-AU-NatashaNeural");
const QString xiaoxiao = QStringLiteral("zh-CN-XiaoxiaoNeural");
const QString yunxi = QStringLiteral("zh-CN-YunxiNeural");

ORVWord baseWord()
{
    ORVWord word;
    word.id = 7;
    word.wordDisplay = QStringLiteral("don't");
    word.translationsZh = {QStringLiteral("不要"), QStringLiteral("别")};
    word.explanation = QStringLiteral("  否定 ");
    word.usageScenario = QStringLiteral("口语");
    return word;
}

WordPlaybackUnit profileUnit(ORVPlaybackUnit unit, qint64 position, bool enabled,
    std::optional<QString> voice = std::nullopt, std::optional<double> rate = std::nullopt)
{
    WordPlaybackUnit entry;
    entry.unit = unit;
    entry.position = position;
    entry.enabled = enabled;
    entry.voiceId = std::move(voice);
    entry.speechRate = rate;
    return entry;
}

ORVWord withProfile(std::optional<double> wordRate)
{
    ORVWord word = baseWord();
    WordPlaybackProfile profile;
    profile.wordId = word.id;
    profile.units = {profileUnit(ORVPlaybackUnit::word, 2, true, sonia, wordRate),
        profileUnit(ORVPlaybackUnit::spelling, 1, true), profileUnit(ORVPlaybackUnit::translation, 3, false),
        profileUnit(ORVPlaybackUnit::explanation, 4, true, yunxi)};
    word.playbackProfile = profile;
    return word;
}

PlaybackPreference preferenceWithItems(QList<QString> items)
{
    PlaybackPreference preference;
    preference.playbackItems = std::move(items);
    return preference;
}

// "UNIT|text|voice|rate" per unit of the plan.
QStringList described(const QList<ResolvedPlaybackUnit> &plan)
{
    QStringList lines;
    for (const ResolvedPlaybackUnit &unit : plan)
        lines.append(QStringLiteral("%1|%2|%3|%4").arg(rawValue(unit.unit), unit.text, unit.voice.id).arg(unit.rate));
    return lines;
}

const QString wordLine = QStringLiteral("WORD|don't|en-US-JennyNeural|1");
const QString spellingLine = QStringLiteral("SPELLING|D O N T|zh-CN-XiaoxiaoNeural|1.25");
const QString translationLine = QStringLiteral("TRANSLATION_ZH|不要；别|zh-CN-XiaoxiaoNeural|1");
const QString explanationLine = QStringLiteral("EXPLANATION|否定。口语|zh-CN-XiaoxiaoNeural|1");
const QStringList allFour {wordLine, spellingLine, translationLine, explanationLine};

} // namespace

class PlaybackUnitResolutionTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void plansTheWord_data()
    {
        QTest::addColumn<ORVWord>("word");
        QTest::addColumn<PlaybackPreference>("preference");
        QTest::addColumn<TTSVoice>("fallbackEnglish");
        QTest::addColumn<QStringList>("plan");
        const PlaybackPreference standard;
        const TTSVoice defaultVoice = TTSVoice::defaultEnglish();
        ORVWord word;

        QTest::newRow("default preference") << baseWord() << standard << defaultVoice << allFour;

        QTest::newRow("profile: its order, voices and rates, disabled unit left out")
            << withProfile(1.5) << preferenceWithItems({"WORD"}) << defaultVoice
            << QStringList {spellingLine, QStringLiteral("WORD|don't|en-GB-SoniaNeural|1.5"),
                   QStringLiteral("EXPLANATION|否定。口语|zh-CN-YunxiNeural|1")};
        QTest::newRow("invalid profile plays nothing")
            << withProfile(2.5) << standard << defaultVoice << QStringList {};

        word = baseWord();
        word.playbackItems = QList<QString> {};
        QTest::newRow("empty word items: all four, whatever the preference")
            << word << preferenceWithItems({"WORD"}) << defaultVoice << allFour;
        word.playbackItems = QList<QString> {"SPELLING", "WORD", "SPELLING", "word"};
        QTest::newRow("word items: repeats and other cases ignored")
            << word << standard << defaultVoice << QStringList {spellingLine, wordLine};
        QTest::newRow("preference of unknown items: all four")
            << baseWord() << preferenceWithItems({"word", " WORD", "NOTE"}) << defaultVoice << allFour;

        word = baseWord();
        word.wordDisplay = QStringLiteral(" 42 ");
        QTest::newRow("no letters: no spelling")
            << word << standard << defaultVoice
            << QStringList {QStringLiteral("WORD|42|en-US-JennyNeural|1"), translationLine, explanationLine};
        word = baseWord();
        word.explanation = QStringLiteral(" \n");
        word.translationsZh = {};
        QTest::newRow("blank explanation, no translations")
            << word << standard << defaultVoice
            << QStringList {wordLine, spellingLine, QStringLiteral("EXPLANATION|口语|zh-CN-XiaoxiaoNeural|1")};
        word.usageScenario = std::nullopt;
        QTest::newRow("neither explanation nor scenario")
            << word << standard << defaultVoice << QStringList {wordLine, spellingLine};

        word = baseWord();
        word.voiceEn = xiaoxiao; // a Chinese voice for the English unit
        word.voiceZh = yunxi;
        PlaybackPreference british = standard;
        british.voiceEn = sonia;
        QTest::newRow("legacy voices of the right language only")
            << word << british << defaultVoice
            << QStringList {QStringLiteral("WORD|don't|en-GB-SoniaNeural|1"),
                   QStringLiteral("SPELLING|D O N T|zh-CN-YunxiNeural|1.25"),
                   QStringLiteral("TRANSLATION_ZH|不要；别|zh-CN-YunxiNeural|1"),
                   QStringLiteral("EXPLANATION|否定。口语|zh-CN-YunxiNeural|1")};

        PlaybackPreference unknownVoices = preferenceWithItems({"WORD", "SPELLING"});
        unknownVoices.voiceEn = QStringLiteral("en-US-Nobody");
        unknownVoices.voiceZh = sonia; // English voice for the Chinese units
        QTest::newRow("no usable voice: English fallback kept")
            << baseWord() << unknownVoices << *TTSVoice::catalogVoice(natasha)
            << QStringList {QStringLiteral("WORD|don't|en-AU-NatashaNeural|1"), spellingLine};
        QTest::newRow("no usable voice: Chinese fallback replaced by the default")
            << baseWord() << unknownVoices << *TTSVoice::catalogVoice(xiaoxiao) << QStringList {wordLine, spellingLine};

        PlaybackPreference rates = preferenceWithItems({"WORD", "SPELLING", "TRANSLATION_ZH"});
        rates.speechRateEn = 0.5;
        rates.spellingRate = 2.0;
        rates.speechRateZh = 1.75;
        QTest::newRow("preference rates per unit, bounds kept")
            << baseWord() << rates << defaultVoice
            << QStringList {QStringLiteral("WORD|don't|en-US-JennyNeural|0.5"),
                   QStringLiteral("SPELLING|D O N T|zh-CN-XiaoxiaoNeural|2"),
                   QStringLiteral("TRANSLATION_ZH|不要；别|zh-CN-XiaoxiaoNeural|1.75")};
        for (const auto &[legacy, played] : {std::pair {0.3, 0.5}, std::pair {2.5, 2.0}, std::pair {1.5, 1.5}}) {
            word = baseWord();
            word.speechRate = legacy;
            word.playbackItems = QList<QString> {"WORD", "SPELLING"};
            const QString rate = QString::number(played);
            QTest::addRow("legacy rate %g applies to every unit", legacy)
                << word << rates << defaultVoice
                << QStringList {QStringLiteral("WORD|don't|en-US-JennyNeural|") + rate,
                       QStringLiteral("SPELLING|D O N T|zh-CN-XiaoxiaoNeural|") + rate};
        }
    }
    void plansTheWord()
    {
        QFETCH(ORVWord, word);
        QFETCH(PlaybackPreference, preference);
        QFETCH(TTSVoice, fallbackEnglish);
        QFETCH(QStringList, plan);

        QCOMPARE(described(PlaybackWordSnapshot(word).plan(preference, fallbackEnglish)), plan);
    }

    void unlistedUnitsFollowDisabledInTheirNaturalOrder()
    {
        ORVWord word = baseWord();
        word.playbackItems = QList<QString> {"EXPLANATION", "WORD"};
        QStringList units;
        for (const WordPlaybackUnit &unit : PlaybackWordSnapshot(word).effectiveUnits(PlaybackPreference()))
            units.append(
                QStringLiteral("%1@%2%3").arg(rawValue(unit.unit)).arg(unit.position).arg(unit.enabled ? "" : " off"));
        QCOMPARE(units, (QStringList {"EXPLANATION@1", "WORD@2", "SPELLING@6 off", "TRANSLATION_ZH@7 off"}));
    }

    void snapshotTakesTheProfilesRepeatCountWhenSet()
    {
        ORVWord word = withProfile(std::nullopt);
        word.repeatCount = 4;
        QCOMPARE(PlaybackWordSnapshot(word).repeatCount, 4);
        word.playbackProfile->repeatCount = 2;
        QCOMPARE(PlaybackWordSnapshot(word).repeatCount, 2);
    }
};

TALVORO_TEST(PlaybackUnitResolutionTest)
#include "tst_unitresolution.moc"
