#include "AwaitTask.h"
#include "TestHttpServer.h"
#include "TestRegistry.h"

#include "Models/MobileAPIError.h"
#include "Networking/MobileAPIClient.h"
#include "Networking/ORVMobileAPIClient.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace talvoro;
using namespace testsupport;

namespace {

QByteArray ok(const QJsonValue &data)
{
    return json::serialize(QJsonObject {{QStringLiteral("success"), true}, {QStringLiteral("data"), data}});
}

QJsonObject word(qint64 id, qint64 version)
{
    return QJsonObject {{QStringLiteral("id"), id}, {QStringLiteral("wordDisplay"), QStringLiteral("apple")},
        {QStringLiteral("wordNormalized"), QStringLiteral("apple")},
        {QStringLiteral("translationsZh"), QJsonArray {QStringLiteral("苹果")}}, {QStringLiteral("version"), version}};
}

QJsonObject profile(qint64 wordId, qint64 version)
{
    QJsonArray units;
    const QStringList names {QStringLiteral("WORD"), QStringLiteral("SPELLING"), QStringLiteral("TRANSLATION_ZH"),
        QStringLiteral("EXPLANATION")};
    for (int i = 0; i < names.size(); ++i)
        units.append(QJsonObject {{QStringLiteral("unit"), names[i]}, {QStringLiteral("enabled"), true},
            {QStringLiteral("position"), i + 1}, {QStringLiteral("version"), 1}});
    return QJsonObject {{QStringLiteral("wordId"), wordId}, {QStringLiteral("version"), version},
        {QStringLiteral("units"), units}, {QStringLiteral("updatedAt"), QStringLiteral("2026-01-01T00:00:00Z")}};
}

QJsonObject playlist(qint64 id)
{
    return QJsonObject {{QStringLiteral("id"), id}, {QStringLiteral("name"), QStringLiteral("晨读")},
        {QStringLiteral("loopMode"), QStringLiteral("ONCE")}, {QStringLiteral("items"), QJsonArray()},
        {QStringLiteral("version"), 1}};
}

QJsonObject bodyOf(const RecordedRequest &request)
{
    return QJsonDocument::fromJson(request.body).object();
}

template<typename E, typename T>
bool failsWith(Task<T> task, std::function<bool(const E &)> check = {})
{
    auto outcome = awaitOutcome(std::move(task));
    try {
        if (outcome.error)
            std::rethrow_exception(outcome.error);
    } catch (const E &e) {
        return !check || check(e);
    } catch (...) { }
    return false;
}

bool isKind(const MobileAPIError &e, MobileAPIError::Kind kind)
{
    return e.kind() == kind;
}

struct Fixture {
    TestHttpServer server;
    QTemporaryDir dir;
    APICacheManager cache {dir.filePath(QStringLiteral("APICacheV2"))};
    NetworkTransfer transfer;
    ORVMobileAPIClient client {transfer, cache, [this] { return std::optional(server.baseUrl()); }};
    QString token = QStringLiteral("opaque");

    Fixture()
    {
        if (!server.listen())
            throw std::runtime_error("no port");
    }
    RecordedRequest last() const { return server.requests().constLast(); }
    // Plants a cached answer for a read of `path`, as an older build might have left.
    void plant(const QString &path)
    {
        const CacheIdentity identity = client.requestContext(path, token);
        const auto t = awaitResult(cache.beginRequest(identity.key, identity.scope));
        awaitResult(cache.store(ok(QJsonArray()), t, 300, 600));
    }
    int files() const { return int(QDir(cache.directory()).entryList(QDir::Files).size()); }
};

const auto invalidResponse = [](const MobileAPIError &e) { return isKind(e, MobileAPIError::Kind::invalidResponse); };

} // namespace

class OperationsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void wordBodiesAreExact()
    {
        Fixture f;
        f.server.route("POST", QStringLiteral("/api/v1/user/words"), ScriptedResponse::json(200, ok(word(5, 1))));
        f.server.route("PUT", QStringLiteral("/api/v1/user/words/5"), ScriptedResponse::json(200, ok(word(5, 4))));

        awaitResult(f.client.createUserWord(
            QStringLiteral("apple"), std::nullopt, QStringLiteral("ap·ple"), {}, std::nullopt, 7, f.token));
        QCOMPARE(bodyOf(f.last()),
            (QJsonObject {{QStringLiteral("word"), QStringLiteral("apple")},
                {QStringLiteral("syllables"), QStringLiteral("ap·ple")},
                {QStringLiteral("translationsZh"), QJsonArray()}, {QStringLiteral("lexiconId"), 7}}));

        UserWordUpdateRequest update;
        update.baseVersion = 3;
        update.explanation = QString();
        awaitResult(f.client.updateUserWord(5, update, f.token));
        QCOMPARE(bodyOf(f.last()),
            (QJsonObject {{QStringLiteral("baseVersion"), 3}, {QStringLiteral("explanation"), QString()},
                {QStringLiteral("clearFields"), QJsonArray()}}));

        UserWordUpdateRequest clearing;
        clearing.baseVersion = 3;
        clearing.clearFields = {ORVWordOptionalField::usageScenario, ORVWordOptionalField::ipa};
        awaitResult(f.client.updateUserWord(5, clearing, f.token));
        QCOMPARE(bodyOf(f.last()).value(QStringLiteral("clearFields")).toArray(),
            (QJsonArray {QStringLiteral("IPA"), QStringLiteral("USAGE_SCENARIO")}));
        QCOMPARE(f.last().header("Authorization"), QByteArray("Bearer opaque"));
    }

    void aWordUpdateThatDoesNotValidateSendsNothing()
    {
        Fixture f;
        UserWordUpdateRequest empty;
        empty.baseVersion = 2;
        QVERIFY(failsWith<UserWordUpdateValidationError>(f.client.updateUserWord(5, empty, f.token)));
        QCOMPARE(f.server.requestCount(), 0);
    }

    void answersThatDoNotBelongToTheCallAreRefused_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("update: newer version") << "update" << ok(word(5, 4)) << true;
        QTest::newRow("update: same version") << "update" << ok(word(5, 3)) << false;
        QTest::newRow("update: another word") << "update" << ok(word(6, 4)) << false;
        const auto move = [](qint64 w, qint64 s, qint64 t, bool moved) {
            return ok(QJsonObject {{QStringLiteral("wordId"), w}, {QStringLiteral("sourceLexiconId"), s},
                {QStringLiteral("targetLexiconId"), t}, {QStringLiteral("moved"), moved}});
        };
        QTest::newRow("move: same ids, moved false") << "move" << move(5, 1, 2, false) << true;
        QTest::newRow("move: other target") << "move" << move(5, 1, 3, true) << false;
        const auto receipt = [](qint64 lexicon, qint64 version, QJsonArray items) {
            return ok(QJsonObject {{QStringLiteral("lexiconId"), lexicon}, {QStringLiteral("version"), version},
                {QStringLiteral("items"), items}});
        };
        const auto pair = [](qint64 w, qint64 p) {
            return QJsonObject {{QStringLiteral("wordId"), w}, {QStringLiteral("position"), p}};
        };
        QTest::newRow("reorder: same pairs in another order")
            << "reorder" << receipt(9, 4, {pair(11, 2), pair(10, 1)}) << true;
        QTest::newRow("reorder: same version") << "reorder" << receipt(9, 3, {pair(10, 1), pair(11, 2)}) << false;
        QTest::newRow("reorder: other pairs") << "reorder" << receipt(9, 4, {pair(11, 1), pair(10, 2)}) << false;
        QTest::newRow("reorder: other lexicon") << "reorder" << receipt(8, 4, {pair(10, 1), pair(11, 2)}) << false;
        QTest::newRow("membership: ids echo") << "membership"
                                              << ok(QJsonObject {{QStringLiteral("lexiconId"), 9},
                                                     {QStringLiteral("wordId"), 5}, {QStringLiteral("removed"), false}})
                                              << true;
        QTest::newRow("membership: other lexicon")
            << "membership"
            << ok(QJsonObject {
                   {QStringLiteral("lexiconId"), 8}, {QStringLiteral("wordId"), 5}, {QStringLiteral("removed"), true}})
            << false;
        QTest::newRow("delete: id echoes")
            << "delete" << ok(QJsonObject {{QStringLiteral("wordId"), 5}, {QStringLiteral("deleted"), true}}) << true;
        QTest::newRow("delete: other id")
            << "delete" << ok(QJsonObject {{QStringLiteral("wordId"), 6}, {QStringLiteral("deleted"), true}}) << false;
        QTest::newRow("profile fetch: valid") << "profileFetch" << ok(profile(5, 2)) << true;
        QTest::newRow("profile fetch: other word") << "profileFetch" << ok(profile(6, 2)) << false;
        QJsonObject broken = profile(5, 2);
        broken.insert(QStringLiteral("units"), QJsonArray());
        QTest::newRow("profile fetch: breaks the rules") << "profileFetch" << ok(broken) << false;
        QTest::newRow("profile save: newer") << "profileSave" << ok(profile(5, 3)) << true;
        QTest::newRow("profile save: same version") << "profileSave" << ok(profile(5, 2)) << false;
    }
    void answersThatDoNotBelongToTheCallAreRefused()
    {
        QFETCH(QString, operation);
        QFETCH(QByteArray, answer);
        QFETCH(bool, accepted);
        Fixture f;
        const auto respond = ScriptedResponse::json(200, answer);
        Task<> task;
        if (operation == QLatin1String("update")) {
            f.server.route("PUT", QStringLiteral("/api/v1/user/words/5"), respond);
            UserWordUpdateRequest r;
            r.baseVersion = 3;
            r.ipa = QStringLiteral("ˈæpəl");
            task = discard(f.client.updateUserWord(5, r, f.token));
        } else if (operation == QLatin1String("move")) {
            f.server.route("PUT", QStringLiteral("/api/v1/user/words/5/move"), respond);
            task = f.client.moveUserWord(5, 1, 2, f.token);
        } else if (operation == QLatin1String("reorder")) {
            f.server.route("PUT", QStringLiteral("/api/v1/user/lexicons/9/words/order"), respond);
            task = discard(f.client.reorderLexiconWords(9, 3, {{11, 2}, {10, 1}}, f.token));
        } else if (operation == QLatin1String("membership")) {
            f.server.route("DELETE", QStringLiteral("/api/v1/user/lexicons/9/words/5"), respond);
            task = f.client.deleteUserWord(5, 9, f.token);
        } else if (operation == QLatin1String("delete")) {
            f.server.route("DELETE", QStringLiteral("/api/v1/user/words/5"), respond);
            task = f.client.deleteUserWord(5, std::nullopt, f.token);
        } else if (operation == QLatin1String("profileFetch")) {
            f.server.route("GET", QStringLiteral("/api/v1/user/words/5/playback-profile"), respond);
            task = discard(f.client.fetchWordPlaybackProfile(5, f.token));
        } else {
            f.server.route("PUT", QStringLiteral("/api/v1/user/words/5/playback-profile"), respond);
            task = discard(f.client.updateWordPlaybackProfile(WordPlaybackProfile::fromJson(profile(5, 2)), f.token));
        }
        auto outcome = awaitOutcome(std::move(task));
        QCOMPARE(f.server.requestCount(), 1);
        if (accepted) {
            QVERIFY(!outcome.error);
        } else {
            QVERIFY(outcome.error);
            try {
                std::rethrow_exception(outcome.error);
            } catch (const MobileAPIError &e) {
                QCOMPARE(e.kind(), MobileAPIError::Kind::invalidResponse);
            } catch (...) {
                QFAIL("expected invalidResponse");
            }
        }
    }

    void badWordOrdersAreRefusedBeforeSending_data()
    {
        QTest::addColumn<qint64>("baseVersion");
        QTest::addColumn<QList<UserLexiconReorderItem>>("items");
        QTest::newRow("gap in positions") << qint64(3) << QList<UserLexiconReorderItem> {{10, 1}, {11, 3}};
        QTest::newRow("repeated word") << qint64(3) << QList<UserLexiconReorderItem> {{10, 1}, {10, 2}};
        QTest::newRow("word id 0") << qint64(3) << QList<UserLexiconReorderItem> {{0, 1}};
        QTest::newRow("base version 0") << qint64(0) << QList<UserLexiconReorderItem> {{10, 1}};
        QTest::newRow("empty") << qint64(3) << QList<UserLexiconReorderItem> {};
        QTest::newRow("starts at 0") << qint64(3) << QList<UserLexiconReorderItem> {{10, 0}, {11, 1}};
    }
    void badWordOrdersAreRefusedBeforeSending()
    {
        QFETCH(qint64, baseVersion);
        QFETCH(QList<UserLexiconReorderItem>, items);
        Fixture f;
        f.plant(QStringLiteral("/api/v1/user/words"));
        QVERIFY(failsWith<MobileAPIError>(
            discard(f.client.reorderLexiconWords(9, baseVersion, items, f.token)), invalidResponse));
        QCOMPARE(f.server.requestCount(), 0);
        QCOMPARE(f.files(), 1); // the cache was not touched either
    }

    void aWordOrderIsSentInPositionOrder()
    {
        Fixture f;
        f.server.route("PUT", QStringLiteral("/api/v1/user/lexicons/9/words/order"),
            ScriptedResponse::json(200,
                ok(QJsonObject {{QStringLiteral("lexiconId"), 9}, {QStringLiteral("version"), 4},
                    {QStringLiteral("items"),
                        QJsonArray {QJsonObject {{QStringLiteral("wordId"), 11}, {QStringLiteral("position"), 2}},
                            QJsonObject {{QStringLiteral("wordId"), 10}, {QStringLiteral("position"), 1}}}}})));
        const auto receipt = awaitResult(f.client.reorderLexiconWords(9, 3, {{11, 2}, {10, 1}}, f.token));
        QCOMPARE(receipt.items.first().wordId, qint64(11)); // returned as received
        const QJsonArray sent = bodyOf(f.last()).value(QStringLiteral("items")).toArray();
        QCOMPARE(sent.at(0).toObject().value(QStringLiteral("wordId")).toInteger(), qint64(10));
        QCOMPARE(sent.at(1).toObject().value(QStringLiteral("position")).toInteger(), qint64(2));
        QCOMPARE(bodyOf(f.last()).value(QStringLiteral("baseVersion")).toInteger(), qint64(3));
    }

    void writesClearCachedListsEvenWhenTheyFail_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("listPath");
        QTest::newRow("word creation") << "createWord"
                                       << "/api/v1/user/words?lexiconId=7";
        QTest::newRow("word deletion") << "deleteWord"
                                       << "/api/v1/user/words/5/playback-profile";
        QTest::newRow("lexicon creation") << "createLexicon"
                                          << "/api/v1/user/lexicons";
        QTest::newRow("playlist creation") << "createPlaylist"
                                           << "/api/v1/user/playlists";
        QTest::newRow("playlist deletion") << "deletePlaylist"
                                           << "/api/v1/user/playlists";
        QTest::newRow("preference update") << "updatePreference"
                                           << "/api/v1/user/playback-preferences";
    }
    void writesClearCachedListsEvenWhenTheyFail()
    {
        QFETCH(QString, operation);
        QFETCH(QString, listPath);
        Fixture f; // every route answers 404: the write fails
        f.plant(listPath);
        QCOMPARE(f.files(), 1);
        Task<> task;
        if (operation == QLatin1String("createWord"))
            task
                = discard(f.client.createUserWord(QStringLiteral("a"), {}, {}, {QStringLiteral("一")}, {}, 7, f.token));
        else if (operation == QLatin1String("deleteWord"))
            task = f.client.deleteUserWord(5, std::nullopt, f.token);
        else if (operation == QLatin1String("createLexicon"))
            task = discard(f.client.createUserLexicon(QStringLiteral("我的词库"), std::nullopt, f.token));
        else if (operation == QLatin1String("createPlaylist"))
            task = discard(
                f.client.createPlaylist(QStringLiteral("p"), QStringLiteral("ONCE"), std::nullopt, {}, f.token));
        else if (operation == QLatin1String("deletePlaylist"))
            task = discard(f.client.deletePlaylist(3, f.token));
        else
            task = discard(f.client.updatePlaybackPreferences(PlaybackPreference(), f.token));
        QVERIFY(awaitOutcome(std::move(task)).error);
        QCOMPARE(f.files(), 0);
    }

    void playlistAndPreferenceBodies()
    {
        Fixture f;
        f.server.route("POST", QStringLiteral("/api/v1/user/playlists"), ScriptedResponse::json(200, ok(playlist(3))));
        f.server.route("PUT", QStringLiteral("/api/v1/user/playlists/3"), ScriptedResponse::json(200, ok(playlist(3))));
        f.server.route(
            "PUT", QStringLiteral("/api/v1/user/playback-preferences"), ScriptedResponse::json(200, ok(QJsonObject())));

        awaitResult(f.client.createPlaylist(QStringLiteral("晨读"), QStringLiteral("ONCE"), std::nullopt, {}, f.token));
        QCOMPARE(bodyOf(f.last()),
            (QJsonObject {{QStringLiteral("name"), QStringLiteral("晨读")},
                {QStringLiteral("loopMode"), QStringLiteral("ONCE")}, {QStringLiteral("items"), QJsonArray()}}));

        ORVPlaylistItem second;
        second.wordId = 20;
        second.position = 2;
        second.repeatCount = 3;
        ORVPlaylistItem first;
        first.wordId = 10;
        first.position = 1;
        awaitResult(
            f.client.updatePlaylist(3, QStringLiteral("晨读"), QStringLiteral("ONCE"), 2, {second, first}, 7, f.token));
        const QJsonObject update = bodyOf(f.last());
        QCOMPARE(update.value(QStringLiteral("baseVersion")).toInteger(), qint64(7));
        QCOMPARE(update.value(QStringLiteral("loopCount")).toInteger(), qint64(2));
        QCOMPARE(update.value(QStringLiteral("items")).toArray(), // the given order, whatever the positions
            (QJsonArray {QJsonObject {{QStringLiteral("wordId"), 20}, {QStringLiteral("position"), 2},
                             {QStringLiteral("repeatCount"), 3}},
                QJsonObject {{QStringLiteral("wordId"), 10}, {QStringLiteral("position"), 1},
                    {QStringLiteral("repeatCount"), 1}}}));

        PlaybackPreference preference;
        preference.speechRate = 0.8;
        preference.speechRateEn = 1.5;
        preference.speechRateZh = 0.9;
        preference.version = 6;
        awaitResult(f.client.updatePlaybackPreferences(preference, f.token));
        const QJsonObject sent = bodyOf(f.last());
        QCOMPARE(sent.value(QStringLiteral("speechRate")).toDouble(), 1.5);
        QCOMPARE(sent.value(QStringLiteral("baseVersion")).toInteger(), qint64(6));
        const QStringList keys = sent.keys();
        QCOMPARE(QSet<QString>(keys.begin(), keys.end()),
            (QSet<QString> {QStringLiteral("playbackItems"), QStringLiteral("voiceEn"), QStringLiteral("voiceZh"),
                QStringLiteral("speechRate"), QStringLiteral("speechRateEn"), QStringLiteral("speechRateZh"),
                QStringLiteral("spellingRate"), QStringLiteral("baseVersion")}));
    }

    void profileSaveBody()
    {
        Fixture f;
        f.server.route("PUT", QStringLiteral("/api/v1/user/words/5/playback-profile"),
            ScriptedResponse::json(200, ok(profile(5, 3))));
        WordPlaybackProfile p = WordPlaybackProfile::fromJson(profile(5, 2));
        std::reverse(p.units.begin(), p.units.end());
        p.units[0].speechRate = 0.75; // EXPLANATION, position 4
        awaitResult(f.client.updateWordPlaybackProfile(p, f.token));
        const QJsonObject sent = bodyOf(f.last());
        QCOMPARE(sent.value(QStringLiteral("repeatCount")).toInteger(), qint64(1));
        QCOMPARE(sent.value(QStringLiteral("baseVersion")).toInteger(), qint64(2));
        const QJsonArray units = sent.value(QStringLiteral("units")).toArray();
        QCOMPARE(units.size(), 4);
        QCOMPARE(units.at(0).toObject(),
            (QJsonObject {{QStringLiteral("unit"), QStringLiteral("WORD")}, {QStringLiteral("enabled"), true},
                {QStringLiteral("position"), 1}}));
        QCOMPARE(units.at(3).toObject().value(QStringLiteral("speechRate")).toDouble(), 0.75);

        QVERIFY(failsWith<MobileAPIError>(discard(f.client.fetchWordPlaybackProfile(0, f.token)), invalidResponse));
        QCOMPARE(f.server.requestCount(), 1);
    }

private:
    template<typename T>
    static Task<> discard(Task<T> task)
    {
        co_await task;
    }
};

// ---------------------------------------------------------------------------------

class MobileAPIClientTest : public QObject {
    Q_OBJECT

private:
    struct Fixture {
        TestHttpServer server;
        NetworkTransfer transfer;
        MemoryKeyValueStore defaults;
        MobileAPIClient client {transfer, [this] { return std::optional(server.baseUrl()); }, defaults};
        Fixture()
        {
            if (!server.listen())
                throw std::runtime_error("no port");
        }
    };

private Q_SLOTS:
    // Each client serves the other's endpoints through the client it was given, and
    // without one reaches nothing (no client of the process stands behind it).
    void eachClientServesTheOthersEndpointsOnlyThroughTheOneItIsGiven()
    {
        struct Clients {
            TestHttpServer server;
            NetworkTransfer transfer;
            MemoryKeyValueStore defaults;
            QTemporaryDir dir;
            APICacheManager cache {dir.filePath(QStringLiteral("APICacheV2"))};
            std::function<std::optional<QUrl>()> base = [this] { return std::optional(server.baseUrl()); };
            MobileAPIClient older {transfer, base, defaults, &current};
            ORVMobileAPIClient current {transfer, cache, base, {}, std::chrono::seconds(8), &older};
            MobileAPIClient lonelyOlder {transfer, base, defaults};
            ORVMobileAPIClient lonelyCurrent {transfer, cache, base};
        } c;
        QVERIFY(c.server.listen());
        c.server.route("GET", QStringLiteral("/api/v1/words"), ScriptedResponse::json(200, "{\"code\":0,\"data\":[]}"));
        c.server.route("GET", QStringLiteral("/api/v1/public/lexicons"), ScriptedResponse::json(200, ok(QJsonArray())));
        const auto invalidEndpoint = [](const MobileAPIError &e) {
            return isKind(e, MobileAPIError::Kind::invalidEndpoint);
        };

        QVERIFY(failsWith<MobileAPIError>(c.lonelyOlder.fetchPublicLexicons(), invalidEndpoint));
        QVERIFY(failsWith<MobileAPIError>(c.lonelyCurrent.fetchWords(QStringLiteral("t")), invalidEndpoint));
        QCOMPARE(c.server.requestCount(), 0);

        QVERIFY(awaitResult(c.older.fetchPublicLexicons()).isEmpty());
        QVERIFY(awaitResult(c.current.fetchWords(QStringLiteral("t"))).isEmpty());
        QCOMPARE(c.server.requestCount(), 2);
    }

    void errorMessagePrecedence_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("description");
        QTest::newRow("message wins") << 500 << QByteArray("{\"message\":\"服务繁忙\",\"error\":\"x\"}")
                                      << QStringLiteral("服务繁忙");
        QTest::newRow("error string") << 500 << QByteArray("{\"error\":\"坏请求\"}") << QStringLiteral("坏请求");
        QTest::newRow("numeric message falls through")
            << 500 << QByteArray("{\"message\":3,\"error\":\"e\"}") << QStringLiteral("e");
        QTest::newRow("error object is empty")
            << 500 << QByteArray("{\"error\":{\"message\":\"inner\"}}") << QStringLiteral("服务端请求失败（HTTP 500）");
        QTest::newRow("plain text") << 500 << QByteArray("oops") << QStringLiteral("服务端请求失败（HTTP 500）");
        QTest::newRow("401") << 401 << QByteArray("{\"message\":\"m\"}")
                             << QStringLiteral("登录状态已失效，请重新登录");
    }
    void errorMessagePrecedence()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, description);
        Fixture f;
        f.server.route("GET", QStringLiteral("/api/v1/words"), ScriptedResponse::json(status, body));
        auto outcome = awaitOutcome(f.client.fetchWords(QString()));
        QCOMPARE(describe(outcome.error), description);
        QCOMPARE(f.server.requests().constFirst().header("Authorization"), QByteArray("Bearer "));
    }

    void envelopesAndEmptyAnswers_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("succeeds");
        const QByteArray words = "[{\"id\":1,\"word_text\":\"apple\"}]";
        QTest::newRow("integer code") << 200 << QByteArray("{\"code\":17,\"data\":" + words + "}") << true;
        QTest::newRow("no code") << 200 << QByteArray("{\"data\":" + words + "}") << true;
        QTest::newRow("null code") << 200 << QByteArray("{\"code\":null,\"data\":" + words + "}") << true;
        QTest::newRow("text code") << 200 << QByteArray("{\"code\":\"x\",\"data\":" + words + "}") << false;
        QTest::newRow("null data") << 200 << QByteArray("{\"code\":0,\"data\":null}") << false;
        QTest::newRow("no data") << 200 << QByteArray("{\"code\":0}") << false;
        QTest::newRow("204 on a read") << 204 << QByteArray() << false;
    }
    void envelopesAndEmptyAnswers()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(bool, succeeds);
        Fixture f;
        f.server.route("GET", QStringLiteral("/api/v1/words"), ScriptedResponse::json(status, body));
        auto outcome = awaitOutcome(f.client.fetchWords(QStringLiteral("t")));
        QCOMPARE(!outcome.error, succeeds);
        if (!succeeds)
            QVERIFY(failsWith<MobileAPIError>(f.client.fetchWords(QStringLiteral("t")), invalidResponse));
    }

    void writesAndTheirPaths()
    {
        Fixture f;
        f.server.route("DELETE", QStringLiteral("/api/v1/words/-5"), ScriptedResponse::json(204, QByteArray()));
        f.server.route("POST", QStringLiteral("/api/v1/words"),
            ScriptedResponse::json(200, "{\"data\":{\"id\":9,\"word_text\":\"pear\"}}"));
        awaitResult(f.client.deleteWord(-5, QStringLiteral("t")));

        WordItem item;
        item.id = QUuid::fromString(QStringLiteral("e621e1f8-c36c-495a-93fc-0c247a3e6e5f"));
        item.text = QStringLiteral("pear");
        QCOMPARE(awaitResult(f.client.createWord(item, QStringLiteral("t"))).id, qint64(9));
        const QJsonObject sent = QJsonDocument::fromJson(f.server.requests().constLast().body).object();
        QCOMPARE(
            sent.value(QStringLiteral("clientId")).toString(), QStringLiteral("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"));

        // an item never sent has no remote id: nothing goes out
        const int before = f.server.requestCount();
        QVERIFY(failsWith<MobileAPIError>(f.client.updateWord(item, QStringLiteral("t")), invalidResponse));
        QCOMPARE(f.server.requestCount(), before);
    }

    void transportFailuresComeThroughUnwrapped()
    {
        Fixture f;
        f.server.route("GET", QStringLiteral("/api/v1/system/config"), ScriptedResponse::dropped());
        QVERIFY(failsWith<TransportError>(f.client.fetchSystemConfiguration(QStringLiteral("t"))));
    }

    void legacyStoredPreferences_data()
    {
        QTest::addColumn<QVariant>("cycle");
        QTest::addColumn<qint64>("expected");
        QTest::newRow("0") << QVariant(0) << qint64(0);
        QTest::newRow("1") << QVariant(1) << qint64(1);
        QTest::newRow("99") << QVariant(99) << qint64(99);
        QTest::newRow("100") << QVariant(100) << qint64(3);
        QTest::newRow("-1") << QVariant(-1) << qint64(3);
        QTest::newRow("text 5") << QVariant(QStringLiteral("5")) << qint64(3);
        QTest::newRow("nothing") << QVariant() << qint64(3);
    }
    void legacyStoredPreferences()
    {
        QFETCH(QVariant, cycle);
        QFETCH(qint64, expected);
        Fixture f;
        const QString owner = QStringLiteral("env-sha256:") + QString(64, u'a') + QStringLiteral("|user:7");
        if (cycle.isValid())
            f.defaults.setValue(
                QStringLiteral("com.brellun.quenbry.preferences.") + owner + QStringLiteral(".cycle"), cycle);
        const auto prefs = f.client.legacyStoredPreferences(owner, QStringLiteral("en-US-JennyNeural"));
        QCOMPARE(prefs.cycleCount, expected);
        QCOMPARE(prefs.voice, QStringLiteral("en-US-JennyNeural"));
        f.defaults.setValue(QStringLiteral("com.brellun.quenbry.preferences.") + owner + QStringLiteral(".voice"),
            QStringLiteral("en-GB-SoniaNeural"));
        QCOMPARE(f.client.legacyStoredPreferences(owner, QStringLiteral("en-US-JennyNeural")).voice,
            QStringLiteral("en-GB-SoniaNeural"));
    }
};

TALVORO_TEST(OperationsTest)
TALVORO_TEST(MobileAPIClientTest)
#include "tst_operations.moc"
