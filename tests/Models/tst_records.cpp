#include "ModelTesting.h"
#include "TestRegistry.h"

#include "Models/Account.h"
#include "Models/ApiResponse.h"
#include "Models/LegacyModels.h"
#include "Models/Lexicon.h"
#include "Models/WordItem.h"

#include <QTest>

using namespace talvoro;
using modeltesting::checkDecoding;
using modeltesting::edited;

namespace {

const char *tokenAnswer = R"({"accessToken":"a.b.c","expiresIn":900,"refreshToken":"r-1","refreshExpiresIn":2592000,)"
                          R"("user":{"id":42,"username":"小明"}})";
const char *summary = R"({"id":1,"name":"四级核心词","description":"高频","category":"考试","wordCount":2,)"
                      R"("updatedAt":"2024-05-06T07:08:09Z"})";
const char *userLexicon
    = R"({"id":5,"name":"我的生词","description":"课外","version":3,"wordCount":0,"updatedAt":"x"})";
const char *receipt = R"({"lexiconId":5,"version":4,"items":[{"wordId":8,"position":1},{"wordId":9,"position":2}]})";
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
    void tokenAnswers_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("reencoded");
        QTest::newRow("complete") << edited(tokenAnswer) << edited(tokenAnswer);
        QTest::newRow("user without name") << edited(tokenAnswer, {{R"(,"username":"小明")", ""}}) << QByteArray();
        QTest::newRow("lifetime as text") << edited(tokenAnswer, {{"900", R"("900")"}}) << QByteArray();
        QTest::newRow("no user") << edited(tokenAnswer, {{R"(,"user":{"id":42,"username":"小明"})", ""}})
                                 << QByteArray();
    }
    void tokenAnswers()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, reencoded);
        checkDecoding<AuthTokenResponse>(text, reencoded);
    }

    void usersEqualByIdAndName()
    {
        QCOMPARE((UserSummary {42, QStringLiteral("小明")}), (UserSummary {42, QStringLiteral("小明")}));
        QVERIFY((UserSummary {42, QStringLiteral("小明")}) != (UserSummary {42, QStringLiteral("小红")}));
    }

    void lexiconSummaries_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("reencoded");
        const QByteArray bare = edited(summary, {{R"("description":"高频","category":"考试",)", ""}});
        QTest::newRow("complete") << edited(summary) << edited(summary);
        QTest::newRow("without description and category") << bare << bare;
        QTest::newRow("null description and category")
            << edited(summary, {{R"("高频")", "null"}, {R"("考试")", "null"}}) << bare;
        QTest::newRow("no update time") << edited(summary, {{R"(,"updatedAt":"2024-05-06T07:08:09Z")", ""}})
                                        << QByteArray();
        QTest::newRow("word count as text")
            << edited(summary, {{R"("wordCount":2)", R"("wordCount":"2")"}}) << QByteArray();
    }
    void lexiconSummaries()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, reencoded);
        checkDecoding<PublicLexiconSummary>(text, reencoded);
    }

    void oneBadSummarySpoilsTheWholeAnswer()
    {
        const QByteArray good = edited(summary);
        const QByteArray bad = edited(summary, {{R"(,"updatedAt":"2024-05-06T07:08:09Z")", ""}});
        const auto decode = [](const QByteArray &data) {
            return ORVApiResponse<QList<PublicLexiconSummary>>::fromJson(
                json::parse(R"({"success":true,"data":[)" + data + "]}"), &coding::decodeList<PublicLexiconSummary>);
        };
        QCOMPARE(decode(good + "," + good).data->size(), 2);
        QVERIFY_THROWS_EXCEPTION(json::DecodingError, decode(good + "," + bad));
    }

    void publicLexiconDetails_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("reencoded");
        const char *detail = R"({"id":1,"name":"四级","category":"考试","words":[{"id":3,"wordDisplay":"go",)"
                             R"("wordNormalized":"go","translationsZh":["去"],"version":2,"repeatCount":1}]})";
        QTest::newRow("with words") << edited(detail) << edited(detail);
        QTest::newRow("empty words") << QByteArray(R"({"id":1,"name":"四级","words":[]})")
                                     << QByteArray(R"({"id":1,"name":"四级","words":[]})");
        QTest::newRow("no words") << QByteArray(R"({"id":1,"name":"四级"})") << QByteArray();
        QTest::newRow("a word without translations")
            << edited(detail, {{R"("translationsZh":["去"],)", ""}}) << QByteArray();
    }
    void publicLexiconDetails()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, reencoded);
        checkDecoding<PublicLexiconDetail>(text, reencoded);
    }

    void privateLexicons_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("reencoded");
        const QByteArray bare = edited(userLexicon, {{R"("description":"课外",)", ""}});
        QTest::newRow("complete") << edited(userLexicon) << edited(userLexicon);
        QTest::newRow("no description is not written") << bare << bare;
        QTest::newRow("no version") << edited(userLexicon, {{R"("version":3,)", ""}}) << QByteArray();
        QTest::newRow("negative values are taken as sent")
            << edited(userLexicon, {{R"("id":5)", R"("id":-5)"}, {"3", "0"}})
            << edited(userLexicon, {{R"("id":5)", R"("id":-5)"}, {"3", "0"}});
    }
    void privateLexicons()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, reencoded);
        checkDecoding<UserLexicon>(text, reencoded);
    }

    void reorderReceiptsCompareInOrder()
    {
        checkDecoding<UserLexiconReorderReceipt>(receipt, receipt);
        checkDecoding<UserLexiconReorderReceipt>(edited(receipt, {{R"("position":2)", R"("position":null)"}}), {});
        const auto decoded = UserLexiconReorderReceipt::fromJson(json::parse(receipt));
        UserLexiconReorderReceipt swapped = decoded;
        std::swap(swapped.items[0], swapped.items[1]);
        QVERIFY(swapped != decoded);
        QCOMPARE(UserLexiconReorderReceipt::fromJson(json::parse(receipt)), decoded);
    }

    void localWordRecords_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("reencoded");
        const QByteArray refused;
        QTest::newRow("complete") << edited(wordItem) << edited(wordItem);
        QTest::newRow("optional keys absent") << edited(minimalWordItem) << edited(minimalWordItem);
        QTest::newRow("optional keys null") << edited(minimalWordItem,
            {{"}",
                R"(,"remoteID":null,"meaning":null,"context":null,"voiceEn":null,)"
                R"("voiceZh":null,"playbackItems":null,"speechRate":null,"accent":null})"}})
                                            << edited(minimalWordItem);
        QTest::newRow("lower-case id is written in upper case") << edited(
            minimalWordItem, {{"E621E1F8-C36C-495A-93FC-0C247A3E6E5F", "e621e1f8-c36c-495a-93fc-0c247a3e6e5f"}})
                                                                << edited(minimalWordItem);
        QTest::newRow("id not a UUID") << edited(minimalWordItem, {{"E621E1F8-", "E621E1F8"}}) << refused;
        QTest::newRow("no sync state") << edited(minimalWordItem, {{R"("syncState":"synchronized",)", ""}}) << refused;
        QTest::newRow("unknown sync state") << edited(minimalWordItem, {{"synchronized", "synced"}}) << refused;
        QTest::newRow("no repeat count") << edited(minimalWordItem, {{R"(,"repeatCount":1)", ""}}) << refused;
        QTest::newRow("date as text") << edited(minimalWordItem, {{R"("createdAt":0)", R"("createdAt":"0")"}})
                                      << refused;
        QTest::newRow("date beyond reach")
            << edited(minimalWordItem, {{R"("createdAt":0)", R"("createdAt":1e300)"}}) << refused;
    }
    void localWordRecords()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, reencoded);
        checkDecoding<WordItem>(text, reencoded);
    }

    void localWordRecordsCompareTheirDates()
    {
        const WordItem item = WordItem::fromJson(json::parse(wordItem));
        QCOMPARE(item.createdAt, QDateTime::fromString(QStringLiteral("2023-03-08T20:26:40.500Z"), Qt::ISODateWithMs));
        QCOMPARE(item.syncState, WordSyncState::pendingUpdate);
        WordItem touched = item;
        touched.updatedAt = touched.updatedAt.addMSecs(1);
        QVERIFY(touched != item);
    }

    void olderEndpointPayloads()
    {
        const char *config
            = R"({"server_cache_enabled":true,"default_preview_words":[{"text":"hi","meaning":"你好"},{"text":"ok"}]})";
        checkDecoding<SystemConfiguration>(config, config);
        checkDecoding<SystemConfiguration>(R"({"server_cache_enabled":false,"default_preview_words":[]})",
            R"({"server_cache_enabled":false,"default_preview_words":[]})");
        checkDecoding<SystemConfiguration>(R"({"server_cache_enabled":false})", {});
        checkDecoding<SystemConfiguration>(R"({"serverCacheEnabled":false,"default_preview_words":[]})", {});

        const auto words = SystemConfiguration::fromJson(json::parse(config)).defaultPreviewWords;
        QCOMPARE(words.at(0).id(), QStringLiteral("hi\u001F你好"));
        QCOMPARE(words.at(1).id(), QStringLiteral("ok\u001F"));
        QVERIFY(words.at(1) != (PreviewWord {QStringLiteral("ok"), QString()}));

        const RemoteWord remote = RemoteWord::fromJson(json::parse(R"({"id":4,"word_text":"hi","context":null})"));
        QCOMPARE(remote.wordText, QStringLiteral("hi"));
        QVERIFY(!remote.context);
        QVERIFY_THROWS_EXCEPTION(json::DecodingError, RemoteWord::fromJson(json::parse(R"({"id":4,"wordText":"hi"})")));
    }

    void olderEndpointBodies()
    {
        const QString client = QStringLiteral("E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
        QCOMPARE((WordWriteRequest {QStringLiteral("hi"), std::nullopt, std::nullopt, client}).toJson(),
            json::parseObject(R"({"wordText":"hi","clientId":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F"})"));
        QCOMPARE((WordWriteRequest {QStringLiteral("hi"), QStringLiteral("你好"), QString(), client}).toJson(),
            json::parseObject(R"({"wordText":"hi","meaning":"你好","context":"",)"
                              R"("clientId":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F"})"));
        QCOMPARE((PreferenceWriteRequest {QStringLiteral("en-US-GuyNeural"), 3}).toJson(),
            json::parseObject(R"({"voice_id":"en-US-GuyNeural","cycle_count":3})"));
    }
};

TALVORO_TEST(RecordModelTest)
#include "tst_records.moc"
