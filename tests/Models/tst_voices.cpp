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

    void mapsOnlyExactLocaleCodes()
    {
        for (const TTSVoiceCategory category : allVoiceCategories)
            QCOMPARE(voiceCategoryFromLocaleCode(localeCode(category)), category);
        QCOMPARE(voiceCategoryFromLocaleCode(QStringLiteral("en-GB")), TTSVoiceCategory::englishUnitedKingdom);
        QCOMPARE(language(TTSVoiceCategory::englishUnitedKingdom), TTSVoiceLanguage::english);
        for (const char *code : {"en-us", "zh-SG", " en-GB", ""})
            QCOMPARE(voiceCategoryFromLocaleCode(QString::fromLatin1(code)), std::nullopt);
    }

    void findsVoicesByExactId()
    {
        QCOMPARE(TTSVoice::catalogVoice(QStringLiteral("en-GB-MiaNeural")), TTSVoice::catalog().at(39));
        QCOMPARE(TTSVoice::catalogVoice(QStringLiteral("en-us-jennyneural")), std::nullopt);
        QCOMPARE(TTSVoice::catalogVoice(std::nullopt), std::nullopt);
        QCOMPARE(TTSVoice::defaultEnglish(), TTSVoice::catalog().at(0));
        QCOMPARE(TTSVoice::defaultChinese().id, QStringLiteral("zh-CN-XiaoxiaoNeural"));
        QCOMPARE(TTSVoice::defaultChinese().displayName, QStringLiteral("晓晓 (中文普通话, 女声)"));
        QCOMPARE(TTSVoice::defaultChinese().category(), TTSVoiceCategory::chineseMandarin);
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
};

TALVORO_TEST(VoiceCatalogTest)
#include "tst_voices.moc"
