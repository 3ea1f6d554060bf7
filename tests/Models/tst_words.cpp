#include "ModelTesting.h"
#include "TestRegistry.h"

#include "Models/ApiResponse.h"
#include "Models/Playlist.h"
#include "Models/Word.h"

#include <QTest>

using namespace talvoro;
using namespace modeltesting;

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
    void decoding_data()
    {
        decodingColumns();
        const QByteArray refused;
        const char *full = fullWord.constData();
        decodingRow<ORVWord>("word with every field", fullWord, fullWord);
        decodingRow<ORVWord>("word defaults are written back", minimalWord, minimalWordWithDefaults);
        decodingRow<ORVWord>("word nulls are absent and never written",
            edited(minimalWord,
                {{"[]}",
                    R"([],"ipa":null,"syllables":null,"explanation":null,"usageScenario":null,)"
                    R"("playbackProfile":null,"voiceEn":null,"voiceZh":null,"playbackItems":null,)"
                    R"("speechRate":null,"accent":null})"}}),
            minimalWordWithDefaults);
        decodingRow<ORVWord>(
            "word without translations", edited(minimalWord, {{R"(,"translationsZh":[])", ""}}), refused);
        decodingRow<ORVWord>("word id as text", edited(full, {{R"("id":9)", R"("id":"9")"}}), refused);
        decodingRow<ORVWord>("word ipa of the wrong type", edited(full, {{R"("ˈrezəmeɪ")", "1"}}), refused);
        decodingRow<ORVWord>("word rate as text", edited(full, {{"0.8", R"("0.8")"}}), refused);
        decodingRow<ORVWord>("word profile its own decoding refuses",
            edited(full, {{R"("updatedAt":"2024-05-06T07:08:09Z")", R"("updatedAt":null)"}}), refused);

        const QByteArray withRepeat = edited(minimalItem, {{"}", R"(,"repeatCount":1})"}});
        decodingRow<ORVPlaylistItem>("item with every field", fullItem, fullItem);
        decodingRow<ORVPlaylistItem>("item without repeat count", minimalItem, withRepeat);
        decodingRow<ORVPlaylistItem>("item, null repeat count and translations",
            edited(minimalItem, {{"}", R"(,"repeatCount":null,"translationsZh":null})"}}), withRepeat);
        decodingRow<ORVPlaylistItem>("item without position", edited(minimalItem, {{R"(,"position":1)", ""}}), refused);
        decodingRow<ORVPlaylistItem>(
            "item profile refused", edited(fullItem.constData(), {{R"("wordId":9)", R"("wordId":null)"}}), refused);

        const QByteArray playlist = R"({"id":3,"name":"每日单词","loopMode":"ONCE","loopCount":2,"items":[)" + fullItem
            + R"(,{"wordId":7,"wordDisplay":"apple","position":3,"repeatCount":1}],"version":5})";
        const QByteArray noLoopCount = edited(playlist.constData(), {{R"("loopCount":2,)", ""}});
        decodingRow<ORVPlaylist>("playlist", playlist, playlist);
        decodingRow<ORVPlaylist>("playlist without loop count", noLoopCount, noLoopCount);
        decodingRow<ORVPlaylist>(
            "playlist without items", edited(playlist.constData(), {{R"("items")", R"("entries")"}}), refused);
        decodingRow<ORVPlaylist>(
            "playlist without version", edited(playlist.constData(), {{R"(,"version":5)", ""}}), refused);
        decodingRow<ORVPlaylist>("one item without position spoils the playlist",
            edited(playlist.constData(), {{R"("position":3,)", ""}}), refused);

        const char *receipt = R"({"id":3,"deleted":false,"deletedAt":"yesterday","version":0})";
        decodingRow<ORVPlaylistDeletionReceipt>("deletion receipt", receipt, receipt);
        decodingRow<ORVPlaylistDeletionReceipt>(
            "deletion receipt without version", edited(receipt, {{R"(,"version":0)", ""}}), refused);
        decodingRow<ORVPlaylistDeletionReceipt>(
            "deletion receipt, deleted null", edited(receipt, {{"false", "null"}}), refused);
    }
    void decoding() { runDecodingRow(); }

    // Paths are only rendered on failure, from the inside out; they must still name
    // the exact value that failed.
    void failuresNameTheValueThatFailed_data()
    {
        QTest::addColumn<QByteArray>("secondWord");
        QTest::addColumn<QString>("path");
        const char *full = fullWord.constData();
        QTest::newRow("top-level key") << edited(full, {{R"("id":9)", R"("id":true)"}}) << "$.data[1].id";
        QTest::newRow("string list element") << edited(full, {{R"("摘要")", "null"}}) << "$.data[1].translationsZh[1]";
        QTest::newRow("unit of the profile") << edited(full, {{R"("unit":"TRANSLATION_ZH")", R"("unit":"ZH")"}})
                                             << "$.data[1].playbackProfile.units[2].unit";
        QTest::newRow("unit not an object")
            << edited(full, {{R"({"unit":"WORD","enabled":true,"position":1,"version":1})", "7"}})
            << "$.data[1].playbackProfile.units[0]";
    }
    void failuresNameTheValueThatFailed()
    {
        QFETCH(QByteArray, secondWord);
        QFETCH(QString, path);
        try {
            ORVApiResponse<QList<ORVWord>>::fromJson(
                json::parse(R"({"success":true,"data":[)" + fullWord + "," + secondWord + "]}"),
                &coding::decodeList<ORVWord>);
            QFAIL("decoded");
        } catch (const json::DecodingError &error) {
            QCOMPARE(error.path(), path);
        }
    }

    void wordsHashAsTheyCompare()
    {
        const ORVWord word = ORVWord::fromJson(json::parse(fullWord));
        ORVWord noRate = word, normalRate = word, otherProfile = word;
        noRate.speechRate.reset();
        normalRate.speechRate = 1.0;
        otherProfile.playbackProfile->units[0].enabled = false;
        const ORVWord again = ORVWord::fromJson(json::parse(fullWord));
        QCOMPARE(qHash(again, 3), qHash(word, 3));
        QCOMPARE((QSet<ORVWord> {word, noRate, normalRate, otherProfile, again}).size(), 4);
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
        QTest::newRow("empty translation list counts as set")
            << request(3, [](auto &r) { r.translationsZh = QList<QString>(); }) << valid;
        QTest::newRow("clears only") << request(3, [](auto &r) {
            r.clearFields = {F::usageScenario, F::ipa};
        }) << valid;
        QTest::newRow("empty ipa and clear ipa") << request(3, [](auto &r) {
            r.ipa = QString();
            r.clearFields = {F::ipa};
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
};

TALVORO_TEST(WordModelTest)
#include "tst_words.moc"
