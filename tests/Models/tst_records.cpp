#include "ModelTesting.h"
#include "TestRegistry.h"

#include "Models/Account.h"
#include "Models/LegacyModels.h"
#include "Models/Lexicon.h"
#include "Models/WordItem.h"

#include <QTest>

using namespace talvoro;
using namespace modeltesting;

namespace {

const char *tokenAnswer = R"({"accessToken":"a.b.c","expiresIn":900,"refreshToken":"r-1","refreshExpiresIn":2592000,)"
                          R"("user":{"id":42,"username":"小明"}})";
const char *summary = R"({"id":1,"name":"四级核心词","description":"高频","category":"考试","wordCount":2,)"
                      R"("updatedAt":"2024-05-06T07:08:09Z"})";
const char *userLexicon
    = R"({"id":5,"name":"我的生词","description":"课外","version":3,"wordCount":0,"updatedAt":"x"})";
const char *detail = R"({"id":1,"name":"四级","category":"考试","words":[{"id":3,"wordDisplay":"go",)"
                     R"("wordNormalized":"go","translationsZh":["去"],"version":2,"repeatCount":1}]})";
const char *receipt = R"({"lexiconId":5,"version":4,"items":[{"wordId":8,"position":1},{"wordId":9,"position":2}]})";
const char *config
    = R"({"server_cache_enabled":true,"default_preview_words":[{"text":"hi","meaning":"你好"},{"text":"ok"}]})";
const char *wordItem = R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","remoteID":12,"text":"apple","meaning":"苹果",)"
                       R"("context":"an apple a day","createdAt":700000000.5,"updatedAt":700000100,)"
                       R"("syncState":"pendingUpdate","repeatCount":3,"voiceEn":"en-US-GuyNeural",)"
                       R"("voiceZh":"zh-CN-YunxiNeural","playbackItems":["WORD"],"speechRate":1.2,"accent":"us"})";
const char *minimalWordItem = R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","text":"apple","createdAt":0,)"
                              R"("updatedAt":-1.25,"syncState":"synchronized","repeatCount":1})";

} // namespace

class RecordModelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void decoding_data()
    {
        decodingColumns();
        const QByteArray refused;
        decodingRow<AuthTokenResponse>("token answer", tokenAnswer, tokenAnswer);
        decodingRow<AuthTokenResponse>(
            "user without name", edited(tokenAnswer, {{R"(,"username":"小明")", ""}}), refused);

        const QByteArray bareSummary = edited(summary, {{R"("description":"高频","category":"考试",)", ""}});
        decodingRow<PublicLexiconSummary>("summary", summary, summary);
        decodingRow<PublicLexiconSummary>("summary without description and category", bareSummary, bareSummary);
        decodingRow<PublicLexiconSummary>(
            "summary without update time", edited(summary, {{R"(,"updatedAt":"2024-05-06T07:08:09Z")", ""}}), refused);
        decodingRow<PublicLexiconDetail>("detail", detail, detail);
        decodingRow<PublicLexiconDetail>(
            "detail without words", edited(detail, {{R"("words")", R"("items")"}}), refused);
        const QByteArray noDescription = edited(userLexicon, {{R"("description":"课外",)", ""}});
        decodingRow<UserLexicon>("own lexicon", userLexicon, userLexicon);
        decodingRow<UserLexicon>("own lexicon without description", noDescription, noDescription);
        decodingRow<UserLexicon>(
            "own lexicon without version", edited(userLexicon, {{R"("version":3,)", ""}}), refused);
        decodingRow<UserLexiconReorderReceipt>("reorder receipt", receipt, receipt);
        decodingRow<UserLexiconReorderReceipt>(
            "reorder receipt, null position", edited(receipt, {{R"("position":2)", R"("position":null)"}}), refused);

        decodingRow<WordItem>("local word", wordItem, wordItem);
        decodingRow<WordItem>("local word, optional keys absent", minimalWordItem, minimalWordItem);
        decodingRow<WordItem>("lower-case id is written in upper case",
            edited(minimalWordItem, {{"E621E1F8-C36C-495A-93FC-0C247A3E6E5F", "e621e1f8-c36c-495a-93fc-0c247a3e6e5f"}}),
            minimalWordItem);
        decodingRow<WordItem>("id not a UUID", edited(minimalWordItem, {{"E621E1F8-", "E621E1F8"}}), refused);
        decodingRow<WordItem>(
            "no sync state", edited(minimalWordItem, {{R"("syncState":"synchronized",)", ""}}), refused);
        decodingRow<WordItem>("unknown sync state", edited(minimalWordItem, {{"synchronized", "synced"}}), refused);
        decodingRow<WordItem>(
            "date beyond reach", edited(minimalWordItem, {{R"("createdAt":0)", R"("createdAt":1e300)"}}), refused);

        decodingRow<SystemConfiguration>("configuration", config, config);
        decodingRow<SystemConfiguration>(
            "configuration without words", edited(config, {{R"(,"default_preview_words")", R"(,"words")"}}), refused);
        decodingRow<SystemConfiguration>(
            "configuration in camel case", edited(config, {{"server_cache_enabled", "serverCacheEnabled"}}), refused);
    }
    void decoding() { runDecodingRow(); }

    void localWordDatesCountFrom2001()
    {
        const WordItem item = WordItem::fromJson(json::parse(wordItem));
        QCOMPARE(item.createdAt, QDateTime::fromString(QStringLiteral("2023-03-08T20:26:40.500Z"), Qt::ISODateWithMs));
        QCOMPARE(item.syncState, WordSyncState::pendingUpdate);
    }

    // The older endpoints read snake_case and write camelCase or snake_case by endpoint.
    void olderEndpointKeys()
    {
        const RemoteWord remote = RemoteWord::fromJson(json::parse(R"({"id":4,"word_text":"hi","context":null})"));
        QCOMPARE(remote.wordText, QStringLiteral("hi"));
        QVERIFY(!remote.context);
        QVERIFY_THROWS_EXCEPTION(json::DecodingError, RemoteWord::fromJson(json::parse(R"({"id":4,"wordText":"hi"})")));
        const QString client = QStringLiteral("E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
        QCOMPARE((WordWriteRequest {QStringLiteral("hi"), std::nullopt, std::nullopt, client}).toJson(),
            json::parseObject(R"({"wordText":"hi","clientId":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F"})"));
        QCOMPARE((PreferenceWriteRequest {QStringLiteral("en-US-GuyNeural"), 3}).toJson(),
            json::parseObject(R"({"voice_id":"en-US-GuyNeural","cycle_count":3})"));
    }
};

TALVORO_TEST(RecordModelTest)
#include "tst_records.moc"
