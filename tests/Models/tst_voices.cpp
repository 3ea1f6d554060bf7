#include "TestRegistry.h"

#include "Models/PlaybackUnit.h"
#include "Models/Voice.h"

#include <QSet>
#include <QTest>

using namespace talvoro;

namespace {

// Catalog rows are numbered from 1 in the tests, as people count them.
QList<int> rows(int first, int last)
{
    QList<int> result;
    for (int row = first; row <= last; ++row)
        result.append(row);
    return result;
}

QList<int> rowsOf(const QList<TTSVoice> &voices)
{
    QList<int> result;
    for (const TTSVoice &voice : voices)
        result.append(int(TTSVoice::catalog().indexOf(voice)) + 1);
    return result;
}

} // namespace

class VoiceCatalogTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void catalogHasItsVoicesPerLocale_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("count");
        for (const auto &[locale, count] : std::initializer_list<std::pair<const char *, int>> {{"en-US", 27},
                 {"en-GB", 15}, {"en-AU", 2}, {"en-CA", 2}, {"en-IN", 2}, {"zh-CN", 23}, {"zh-HK", 2}, {"zh-TW", 2}})
            QTest::newRow(locale) << QString::fromLatin1(locale) << count;
    }
    void catalogHasItsVoicesPerLocale()
    {
        QFETCH(QString, locale);
        QFETCH(int, count);
        const auto &catalog = TTSVoice::catalog();
        QCOMPARE(catalog.size(), 75);
        QCOMPARE(std::count_if(catalog.begin(), catalog.end(), [&](const TTSVoice &v) { return v.locale == locale; }),
            count);
        QSet<QString> ids;
        for (const TTSVoice &voice : catalog)
            ids.insert(voice.id);
        QCOMPARE(ids.size(), 75);
    }

    void findsVoicesByExactId_data()
    {
        QTest::addColumn<std::optional<QString>>("id");
        QTest::addColumn<int>("row"); // 0: none
        QTest::newRow("absent") << std::optional<QString>() << 0;
        QTest::newRow("empty") << std::optional<QString>(QString()) << 0;
        QTest::newRow("lower case") << std::optional<QString>(QStringLiteral("en-us-jennyneural")) << 0;
        QTest::newRow("trailing blank") << std::optional<QString>(QStringLiteral("en-US-JennyNeural ")) << 0;
        QTest::newRow("first row") << std::optional<QString>(QStringLiteral("en-US-JennyNeural")) << 1;
        QTest::newRow("Mia") << std::optional<QString>(QStringLiteral("en-GB-MiaNeural")) << 40;
        QTest::newRow("last row") << std::optional<QString>(QStringLiteral("zh-TW-YunJheNeural")) << 75;
    }
    void findsVoicesByExactId()
    {
        QFETCH(std::optional<QString>, id);
        QFETCH(int, row);
        const auto voice = TTSVoice::catalogVoice(id);
        QCOMPARE(voice.has_value(), row != 0);
        if (voice)
            QCOMPARE(*voice, TTSVoice::catalog().at(row - 1));
    }

    void listsVoicesByLanguageAndCategory_data()
    {
        QTest::addColumn<TTSVoiceLanguage>("language");
        QTest::addColumn<std::optional<TTSVoiceCategory>>("category");
        QTest::addColumn<QList<int>>("expectedRows");
        using L = TTSVoiceLanguage;
        using C = TTSVoiceCategory;
        const std::optional<C> none;
        QTest::newRow("all English") << L::english << none << rows(1, 48);
        QTest::newRow("all Chinese") << L::chinese << none << rows(49, 75);
        QTest::newRow("US English, multilingual last")
            << L::english << std::optional(C::englishUnitedStates) << (rows(1, 25) << 47 << 48);
        QTest::newRow("British English") << L::english << std::optional(C::englishUnitedKingdom) << rows(26, 40);
        QTest::newRow("Mandarin") << L::chinese << std::optional(C::chineseMandarin) << rows(49, 71);
        QTest::newRow("Cantonese") << L::chinese << std::optional(C::chineseCantonese) << rows(72, 73);
        QTest::newRow("category of the other language")
            << L::chinese << std::optional(C::englishUnitedKingdom) << QList<int>();
    }
    void listsVoicesByLanguageAndCategory()
    {
        QFETCH(TTSVoiceLanguage, language);
        QFETCH(std::optional<TTSVoiceCategory>, category);
        QFETCH(QList<int>, expectedRows);
        QCOMPARE(rowsOf(TTSVoice::voices(language, category)), expectedRows);
    }

    void categoriesBelongToTheirLanguage()
    {
        using C = TTSVoiceCategory;
        QCOMPARE(categories(TTSVoiceLanguage::english),
            (QList<C> {C::englishAustralia, C::englishCanada, C::englishUnitedKingdom, C::englishIndia,
                C::englishUnitedStates}));
        QCOMPARE(categories(TTSVoiceLanguage::chinese),
            (QList<C> {C::chineseMandarin, C::chineseCantonese, C::chineseTaiwan}));
    }

    void mapsLocaleCodesToCategories_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<std::optional<TTSVoiceCategory>>("category");
        QTest::addColumn<QString>("title");
        QTest::addColumn<TTSVoiceLanguage>("language");
        using C = TTSVoiceCategory;
        using L = TTSVoiceLanguage;
        const auto row = [](const char *code, std::optional<C> category, const char *title, L language) {
            QTest::newRow(code) << QString::fromUtf8(code) << category << QString::fromUtf8(title) << language;
        };
        row("en-AU", C::englishAustralia, "澳大利亚英语", L::english);
        row("en-CA", C::englishCanada, "加拿大英语", L::english);
        row("en-GB", C::englishUnitedKingdom, "英式英语", L::english);
        row("en-IN", C::englishIndia, "印度英语", L::english);
        row("en-US", C::englishUnitedStates, "美式英语", L::english);
        row("zh-CN", C::chineseMandarin, "中文普通话", L::chinese);
        row("zh-HK", C::chineseCantonese, "粤语", L::chinese);
        row("zh-TW", C::chineseTaiwan, "台湾国语", L::chinese);
        row("en-us", std::nullopt, "", L::english);
        row("zh-SG", std::nullopt, "", L::english);
        row(" en-GB", std::nullopt, "", L::english);
        row("", std::nullopt, "", L::english);
    }
    void mapsLocaleCodesToCategories()
    {
        QFETCH(QString, code);
        QFETCH(std::optional<TTSVoiceCategory>, category);
        QFETCH(QString, title);
        QFETCH(TTSVoiceLanguage, language);
        QCOMPARE(voiceCategoryFromLocaleCode(code), category);
        if (category) {
            QCOMPARE(localeCode(*category), code);
            QCOMPARE(talvoro::title(*category), title);
            QCOMPARE(talvoro::language(*category), language);
        }
    }

    void defaultsAreCatalogRows()
    {
        QCOMPARE(TTSVoice::defaultEnglish(), TTSVoice::catalog().at(0));
        QCOMPARE(TTSVoice::defaultChinese().id, QStringLiteral("zh-CN-XiaoxiaoNeural"));
        QCOMPARE(TTSVoice::defaultChinese().displayName, QStringLiteral("晓晓 (中文普通话, 女声)"));
        QCOMPARE(TTSVoice::defaultChinese().category(), TTSVoiceCategory::chineseMandarin);
        // the same id under another name is another voice
        TTSVoice renamed = TTSVoice::defaultEnglish();
        renamed.displayName = QStringLiteral("Jenny");
        QVERIFY(renamed != TTSVoice::defaultEnglish());
    }

    void spellsOnlyLetters_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("spoken");
        QTest::addColumn<QString>("display");
        QTest::newRow("apostrophe, hyphen, digit")
            << QStringLiteral("Don't-Stop 2") << QStringLiteral("D O N T S T O P")
            << QStringLiteral("D - o - n - t - S - t - o - p");
        QTest::newRow("digits and blanks") << QStringLiteral(" 12 3 ") << QString() << QString();
        QTest::newRow("empty") << QString() << QString() << QString();
        QTest::newRow("sharp s becomes two letters")
            << QStringLiteral("Straße") << QStringLiteral("S T R A SS E") << QStringLiteral("S - t - r - a - ß - e");
        QTest::newRow("combining accent stays with its letter") << QStringLiteral(
            "cafe\u0301!") << QStringLiteral("C A F E\u0301") << QStringLiteral("c - a - f - e\u0301");
        QTest::newRow("ligature") << QStringLiteral("\uFB01t") << QStringLiteral("FI T")
                                  << QStringLiteral("\uFB01 - t");
        QTest::newRow("roman numeral is alphabetic")
            << QStringLiteral("Ⅻ") << QStringLiteral("Ⅻ") << QStringLiteral("Ⅻ");
        QTest::newRow("Chinese characters are letters")
            << QStringLiteral("词汇1") << QStringLiteral("词 汇") << QStringLiteral("词 - 汇");
        QTest::newRow("emoji and punctuation dropped")
            << QStringLiteral("👍ok.") << QStringLiteral("O K") << QStringLiteral("o - k");
    }
    void spellsOnlyLetters()
    {
        QFETCH(QString, text);
        QFETCH(QString, spoken);
        QFETCH(QString, display);
        QCOMPARE(spokenSpelling(text), spoken);
        QCOMPARE(spellingDisplay(text), display);
    }

    void unitsHaveTheirWireValuesAndVoices_data()
    {
        QTest::addColumn<ORVPlaybackUnit>("unit");
        QTest::addColumn<QString>("wire");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<TTSVoiceLanguage>("language");
        using U = ORVPlaybackUnit;
        QTest::newRow("word") << U::word << "WORD"
                              << "英文单词"
                              << "character.book.closed.fill" << TTSVoiceLanguage::english;
        QTest::newRow("spelling") << U::spelling << "SPELLING"
                                  << "逐字母拼写"
                                  << "textformat.abc" << TTSVoiceLanguage::chinese;
        QTest::newRow("translation") << U::translation << "TRANSLATION_ZH"
                                     << "中文译文"
                                     << "character.bubble.fill" << TTSVoiceLanguage::chinese;
        QTest::newRow("explanation") << U::explanation << "EXPLANATION"
                                     << "详细解释与场景"
                                     << "doc.text.fill" << TTSVoiceLanguage::chinese;
    }
    void unitsHaveTheirWireValuesAndVoices()
    {
        QFETCH(ORVPlaybackUnit, unit);
        QFETCH(QString, wire);
        QFETCH(QString, title);
        QFETCH(QString, symbol);
        QFETCH(TTSVoiceLanguage, language);
        QCOMPARE(rawValue(unit), wire);
        QCOMPARE(playbackUnitFromRawValue(wire), unit);
        QCOMPARE(playbackUnitFromRawValue(wire.toLower()), std::nullopt);
        QCOMPARE(talvoro::title(unit), title);
        QCOMPARE(symbolName(unit), symbol);
        QCOMPARE(voiceLanguage(unit), language);
    }
};

TALVORO_TEST(VoiceCatalogTest)
#include "tst_voices.moc"
