#include "ModelTesting.h"
#include "TestRegistry.h"

#include "Models/Playlist.h"
#include "Models/Word.h"

#include <QTest>

using namespace talvoro;
using modeltesting::edited;

namespace {

const char *profileJson
    = R"({"wordId":9,"version":2,"units":[)"
      R"({"unit":"WORD","enabled":true,"position":1,"version":1},)"
      R"({"unit":"SPELLING","enabled":true,"position":2,"speechRate":1.5,"version":1},)"
      R"({"unit":"TRANSLATION_ZH","enabled":false,"position":3,"version":1},)"
      R"({"unit":"EXPLANATION","enabled":true,"position":4,"voiceId":"zh-CN-YunxiNeural","version":1}],)"
      R"("updatedAt":"2024-05-06T07:08:09Z"})";

const QByteArray fullWord
    = QByteArray(R"({"id":9,"wordDisplay":"Résumé","wordNormalized":"resume",)"
                 R"("ipa":"ˈrezəmeɪ","syllables":"ré-su-mé","translationsZh":["简历","摘要"],)"
                 R"("explanation":"求职时提交的个人经历概要。","usageScenario":"面试前请准备一份简历。",)"
                 R"("playbackProfile":)")
    + profileJson
    + R"(,"version":4,"repeatCount":3,"voiceEn":"en-GB-RyanNeural","voiceZh":"zh-CN-YunxiNeural",)"
      R"("playbackItems":["WORD","TRANSLATION_ZH"],"speechRate":0.8,"accent":"uk"})";

const char *minimalWord = R"({"id":1,"wordDisplay":"ok","wordNormalized":"ok","translationsZh":[]})";
const char *minimalWordWithDefaults
    = R"({"id":1,"wordDisplay":"ok","wordNormalized":"ok","translationsZh":[],"version":1,"repeatCount":1})";

const QByteArray fullItem
    = QByteArray(R"({"wordId":7,"wordDisplay":"apple","ipa":"ˈæpəl","syllables":"ap-ple","position":2,)"
                 R"("repeatCount":2,"translationsZh":["苹果"],"explanation":"一种水果","usageScenario":"我买了苹果。",)"
                 R"("playbackProfile":)")
    + profileJson + "}";

const char *minimalItem = R"({"wordId":7,"wordDisplay":"apple","position":1})";

ORVWord decodedWord(const QByteArray &text)
{
    return ORVWord::fromJson(json::parse(text));
}

using VKind = UserWordUpdateValidationError::Kind;
using F = ORVWordOptionalField;

UserWordUpdateRequest request(qint64 baseVersion, const std::function<void(UserWordUpdateRequest &)> &edit = {})
{
    UserWordUpdateRequest r;
    r.baseVersion = baseVersion;
    if (edit)
        edit(r);
    return r;
}

} // namespace

Q_DECLARE_METATYPE(UserWordUpdateRequest)

class WordModelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void wordDecoding_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("reencoded");
        const QByteArray refused;
        const char *full = fullWord.constData();
        QTest::newRow("every field") << fullWord << fullWord;
        QTest::newRow("defaults are written back") << edited(minimalWord) << edited(minimalWordWithDefaults);
        QTest::newRow("null version and repeat count")
            << edited(minimalWord, {{"[]}", R"([],"version":null,"repeatCount":null})"}})
            << edited(minimalWordWithDefaults);
        QTest::newRow("nulls are absent and never written") << edited(minimalWord,
            {{"[]}",
                R"([],"ipa":null,"syllables":null,"explanation":null,"usageScenario":null,)"
                R"("playbackProfile":null,"voiceEn":null,"voiceZh":null,"playbackItems":null,)"
                R"("speechRate":null,"accent":null})"}}) << edited(minimalWordWithDefaults);
        QTest::newRow("unknown keys ignored")
            << edited(minimalWord, {{"[]}", R"([],"lexiconId":3})"}}) << edited(minimalWordWithDefaults);
        QTest::newRow("no translations") << edited(minimalWord, {{R"(,"translationsZh":[])", ""}}) << refused;
        QTest::newRow("translation not text") << edited(full, {{R"("摘要")", "2"}}) << refused;
        QTest::newRow("no normalized form") << edited(full, {{R"("wordNormalized":"resume",)", ""}}) << refused;
        QTest::newRow("id as text") << edited(full, {{R"("id":9)", R"("id":"9")"}}) << refused;
        QTest::newRow("optional ipa of the wrong type") << edited(full, {{R"("ˈrezəmeɪ")", "1"}}) << refused;
        QTest::newRow("rate as text") << edited(full, {{"0.8", R"("0.8")"}}) << refused;
        QTest::newRow("items not a list") << edited(full, {{R"(["WORD","TRANSLATION_ZH"])", R"("WORD")"}}) << refused;
        QTest::newRow("fractional version") << edited(full, {{R"("version":4)", R"("version":4.5)"}}) << refused;
        QTest::newRow("profile its own decoding refuses")
            << edited(full, {{R"("updatedAt":"2024-05-06T07:08:09Z")", R"("updatedAt":null)"}}) << refused;
        QTest::newRow("profile unit in lower case")
            << edited(full, {{R"("unit":"SPELLING")", R"("unit":"spelling")"}}) << refused;
    }
    void wordDecoding()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, reencoded);
        modeltesting::checkDecoding<ORVWord>(text, reencoded);
    }

    void wordsEqualOnlyWhenEveryFieldIs()
    {
        const ORVWord word = decodedWord(fullWord);
        QCOMPARE(word.playbackProfile->units.at(3).voiceId, QStringLiteral("zh-CN-YunxiNeural"));
        QCOMPARE(decodedWord(fullWord), word);
        ORVWord noRate = word;
        noRate.speechRate.reset();
        ORVWord normalRate = word;
        normalRate.speechRate = 1.0;
        QVERIFY(noRate != normalRate);
        ORVWord otherProfile = word;
        otherProfile.playbackProfile->units[0].enabled = false;
        QVERIFY(otherProfile != word);
        QCOMPARE(qHash(decodedWord(fullWord), 3), qHash(word, 3));
        QCOMPARE((QSet<ORVWord> {word, noRate, normalRate, otherProfile, decodedWord(fullWord)}).size(), 4);
    }

    void updateRequestValidation_data()
    {
        QTest::addColumn<UserWordUpdateRequest>("request");
        QTest::addColumn<std::optional<VKind>>("failure");
        const std::optional<VKind> valid;
        QTest::newRow("version 0 and nothing else") << request(0) << std::optional(VKind::invalidVersion);
        QTest::newRow("bad version before an ambiguous clear") << request(-1, [](auto &r) {
            r.ipa = QString();
            r.clearFields = {F::ipa};
        }) << std::optional(VKind::invalidVersion);
        QTest::newRow("nothing to do") << request(3) << std::optional(VKind::emptyUpdate);
        QTest::newRow("display form only")
            << request(3, [](auto &r) { r.wordDisplay = QStringLiteral("apple"); }) << valid;
        QTest::newRow("empty display form counts as set")
            << request(3, [](auto &r) { r.wordDisplay = QString(); }) << valid;
        QTest::newRow("empty translation list counts as set")
            << request(3, [](auto &r) { r.translationsZh = QList<QString>(); }) << valid;
        QTest::newRow("clears only") << request(3, [](auto &r) {
            r.clearFields = {F::usageScenario, F::ipa};
        }) << valid;
        QTest::newRow("empty ipa and clear ipa") << request(3, [](auto &r) {
            r.ipa = QString();
            r.clearFields = {F::ipa};
        }) << std::optional(VKind::ambiguousClear);
        QTest::newRow("usage scenario set and cleared") << request(3, [](auto &r) {
            r.usageScenario = QStringLiteral("例句");
            r.clearFields = {F::syllables, F::usageScenario};
        }) << std::optional(VKind::ambiguousClear);
        QTest::newRow("set one, clear another") << request(3, [](auto &r) {
            r.explanation = QStringLiteral("解释");
            r.clearFields = {F::ipa};
        }) << valid;
    }
    void updateRequestValidation()
    {
        QFETCH(UserWordUpdateRequest, request);
        QFETCH(std::optional<VKind>, failure);
        try {
            QCOMPARE(request.validated(), request);
            QCOMPARE(std::optional<VKind>(), failure);
        } catch (const UserWordUpdateValidationError &error) {
            QCOMPARE(std::optional(error.kind()), failure);
        }
    }

    void updateErrorsDescribeThemselves()
    {
        QCOMPARE(UserWordUpdateValidationError(VKind::invalidVersion).description(),
            QStringLiteral("单词版本无效，请刷新后重试"));
        QCOMPARE(
            UserWordUpdateValidationError(VKind::emptyUpdate).description(), QStringLiteral("没有需要保存的单词内容"));
        QCOMPARE(UserWordUpdateValidationError(VKind::ambiguousClear).description(),
            QStringLiteral("同一字段不能同时更新和清空"));
    }

    void optionalFieldsHaveWireValues()
    {
        QStringList wires;
        for (const F field : allWordOptionalFields) {
            wires.append(rawValue(field));
            QCOMPARE(wordOptionalFieldFromRawValue(rawValue(field)), field);
        }
        QCOMPARE(wires, QStringList({"IPA", "SYLLABLES", "EXPLANATION", "USAGE_SCENARIO"}));
        QCOMPARE(wordOptionalFieldFromRawValue(QStringLiteral("ipa")), std::nullopt);
        QCOMPARE(wordOptionalFieldFromRawValue(QStringLiteral("WORD_DISPLAY")), std::nullopt);
    }

    void playlistItemDecoding_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("reencoded");
        const QByteArray refused;
        const QByteArray withRepeat = edited(minimalItem, {{"}", R"(,"repeatCount":1})"}});
        QTest::newRow("every field") << fullItem << fullItem;
        QTest::newRow("no repeat count") << edited(minimalItem) << withRepeat;
        QTest::newRow("null repeat count, null translations")
            << edited(minimalItem, {{"}", R"(,"repeatCount":null,"translationsZh":null})"}}) << withRepeat;
        QTest::newRow("no position") << edited(minimalItem, {{R"(,"position":1)", ""}}) << refused;
        QTest::newRow("translations not a list")
            << edited(fullItem.constData(), {{R"(["苹果"])", R"("苹果")"}}) << refused;
        QTest::newRow("profile refused") << edited(fullItem.constData(), {{R"("wordId":9)", R"("wordId":null)"}})
                                         << refused;
    }
    void playlistItemDecoding()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, reencoded);
        modeltesting::checkDecoding<ORVPlaylistItem>(text, reencoded);
    }

    void playlistDecoding_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("reencoded");
        const QByteArray refused;
        const QByteArray full = R"({"id":3,"name":"每日单词","loopMode":"ONCE","loopCount":2,"items":[)" + fullItem
            + R"(,{"wordId":7,"wordDisplay":"apple","position":3,"repeatCount":1}],"version":5})";
        QTest::newRow("every field") << full << full;
        QTest::newRow("no loop count") << edited(full.constData(), {{R"("loopCount":2,)", ""}})
                                       << edited(full.constData(), {{R"("loopCount":2,)", ""}});
        QTest::newRow("any loop mode text")
            << edited(full.constData(), {{"ONCE", "forever"}}) << edited(full.constData(), {{"ONCE", "forever"}});
        QTest::newRow("no items is not empty items")
            << edited(full.constData(), {{R"("items")", R"("entries")"}}) << refused;
        QTest::newRow("no version") << edited(full.constData(), {{R"(,"version":5)", ""}}) << refused;
        QTest::newRow("one item without position spoils all")
            << edited(full.constData(), {{R"("position":3,)", ""}}) << refused;
        QTest::newRow("loop mode as number") << edited(full.constData(), {{R"("ONCE")", "1"}}) << refused;
    }
    void playlistDecoding()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, reencoded);
        modeltesting::checkDecoding<ORVPlaylist>(text, reencoded);
    }

    void playlistItemsAreIdentifiedByWordAndPosition()
    {
        ORVPlaylistItem first = ORVPlaylistItem::fromJson(json::parse(minimalItem));
        ORVPlaylistItem second = first;
        second.position = 2;
        QCOMPARE(first.id(), QStringLiteral("7_1"));
        QCOMPARE(second.id(), QStringLiteral("7_2"));
        QVERIFY(first != second);
        second.position = 1;
        QCOMPARE(second, first);
        QCOMPARE(qHash(second), qHash(first));
    }

    void deletionReceiptsAreTakenAsSent()
    {
        const char *receipt = R"({"id":3,"deleted":false,"deletedAt":"yesterday","version":0})";
        modeltesting::checkDecoding<ORVPlaylistDeletionReceipt>(receipt, receipt);
        modeltesting::checkDecoding<ORVPlaylistDeletionReceipt>(edited(receipt, {{R"(,"version":0)", ""}}), {});
        modeltesting::checkDecoding<ORVPlaylistDeletionReceipt>(edited(receipt, {{"false", "null"}}), {});
        const auto decoded = ORVPlaylistDeletionReceipt::fromJson(json::parse(receipt));
        QCOMPARE(decoded, (ORVPlaylistDeletionReceipt {3, false, QStringLiteral("yesterday"), 0}));
    }

    void pendingDeletionsCompareEveryField()
    {
        const QDateTime created = QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC);
        const PendingPlaylistDeletion queued {QStringLiteral("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"), 4,
            QStringLiteral("env-sha256:ab|user:1"), created, 0, std::nullopt};
        PendingPlaylistDeletion retried = queued;
        retried.nextAttemptAt = created.addSecs(2);
        QVERIFY(queued != retried);
        retried.nextAttemptAt.reset();
        QCOMPARE(retried, queued);
    }
};

TALVORO_TEST(WordModelTest)
#include "tst_words.moc"
