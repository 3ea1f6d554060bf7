#include "BackendChecks.h"
#include "BackendProcess.h"
#include "TestRegistry.h"

#include <QDateTime>
#include <QJsonArray>
#include <QTest>

using namespace backendtest;

namespace {

// A valid profile's four units, explanation off; `word` adds keys to the word's unit.
QJsonArray profileUnits(const QJsonObject &word = {})
{
    QJsonArray units;
    int position = 4;
    for (const char *name : {"EXPLANATION", "TRANSLATION_ZH", "SPELLING", "WORD"}) {
        QJsonObject unit {{"unit", name}, {"enabled", position != 4}, {"position", position}};
        if (position-- == 1)
            for (auto it = word.begin(); it != word.end(); ++it)
                unit.insert(it.key(), it.value());
        units.append(unit);
    }
    return units;
}

const QJsonObject preference {{"playbackItems", QJsonArray {"WORD", "TRANSLATION_ZH"}}, {"voiceEn", "en-GB-RyanNeural"},
    {"voiceZh", "zh-CN-YunxiNeural"}, {"speechRate", 1.5}, {"speechRateEn", 1.5}, {"speechRateZh", 0.75},
    {"spellingRate", 2.0}};

const QString preferencePath = QStringLiteral("/api/v1/user/playback-preferences");

} // namespace

// Content endpoints: what each answers, versions, conflicts, and the walls between accounts.
class BackendContentTest : public QObject {
    Q_OBJECT

    BackendProcess m_backend;
    Account m_owner;

    struct Records {
        qint64 lexicon = 0;
        qint64 otherLexicon = 0;
        QList<qint64> words;
        qint64 playlist = 0;
        qint64 legacyWord = 0;
    };
    Records m_records; // the owner's, left alone by every request below that should fail

    QJsonValue ok(const Answer &answer)
    {
        if (answer.status != 200 || !answer.json().value("success").toBool())
            qWarning("unexpected answer %d: %s", answer.status, answer.body.constData());
        return answer.status == 200 ? answer.data() : QJsonValue();
    }

    Records makeRecords(const Account &account)
    {
        Records records;
        const auto create = [&](const QString &path, const QJsonObject &body) {
            return ok(m_backend.call("POST", path, body, account.accessToken))["id"].toInteger();
        };
        records.lexicon = create(QStringLiteral("/api/v1/user/lexicons"), {{"name", "我的词库"}});
        records.otherLexicon = create(QStringLiteral("/api/v1/user/lexicons"), {{"name", "复习"}});
        for (const char *word : {"harbor", "lantern", "meadow"})
            records.words.append(create(QStringLiteral("/api/v1/user/words"),
                {{"word", word}, {"translationsZh", QJsonArray {"词"}}, {"lexiconId", records.lexicon}}));
        records.playlist = create(QStringLiteral("/api/v1/user/playlists"),
            {{"name", "晨读"}, {"loopMode", "ONCE"},
                {"items",
                    QJsonArray {QJsonObject {{"wordId", records.words[0]}, {"position", 1}, {"repeatCount", 2}}}}});
        records.legacyWord = m_backend // the older envelope: no "success"
                                 .call("POST", QStringLiteral("/api/v1/words"),
                                     QJsonObject {{"wordText", "ember"}, {"clientId", QUuid::createUuid().toString()}},
                                     account.accessToken)
                                 .data()["id"]
                                 .toInteger();
        return records;
    }

    qint64 lexiconVersion(const Account &account, qint64 lexiconId)
    {
        for (const QJsonValue &lexicon :
            ok(m_backend.call("GET", QStringLiteral("/api/v1/user/lexicons"), account.accessToken)).toArray()) {
            if (lexicon["id"].toInteger() == lexiconId)
                return lexicon["version"].toInteger();
        }
        return 0;
    }

    QList<qint64> wordsOf(qint64 lexicon)
    {
        QList<qint64> ids;
        for (const QJsonValue &word :
            ok(m_backend.call(
                   "GET", QStringLiteral("/api/v1/user/words?lexiconId=%1").arg(lexicon), m_owner.accessToken))
                .toArray())
            ids.append(word["id"].toInteger());
        return ids;
    }

    QJsonValue ownersPlaylist(qint64 id)
    {
        for (const QJsonValue &playlist :
            ok(m_backend.call("GET", QStringLiteral("/api/v1/user/playlists"), m_owner.accessToken)).toArray()) {
            if (playlist["id"].toInteger() == id)
                return playlist;
        }
        return {};
    }

    // Everything the owner can list, to compare before and after a request that should change nothing.
    QByteArray ownersState()
    {
        QByteArray state;
        for (const QString &path : {QStringLiteral("/api/v1/user/lexicons"),
                 QStringLiteral("/api/v1/user/words?lexiconId=%1").arg(m_records.lexicon),
                 QStringLiteral("/api/v1/user/playlists"), QStringLiteral("/api/v1/words")})
            state += QJsonDocument(m_backend.call("GET", path, m_owner.accessToken).data().toArray()).toJson();
        return state;
    }

    // Rows of requests on the owner's records: method, path, body.
    void addRequestColumns()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("body");
    }
    void request(const char *name, const QByteArray &method, const QString &path, const QByteArray &body = {})
    {
        QTest::newRow(name) << method << path << body;
    }
    QString word(const QString &rest = {}) const
    {
        return QStringLiteral("/api/v1/user/words/%1").arg(m_records.words[0]) + rest;
    }
    QString lexicon(const QString &rest = {}) const
    {
        return QStringLiteral("/api/v1/user/lexicons/%1").arg(m_records.lexicon) + rest;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_backend.start());
        m_owner = m_backend.registerAccount();
        m_records = makeRecords(m_owner);
    }

    void wordsMoveBetweenLexiconsInOrder()
    {
        const Records records = makeRecords(m_owner);
        const QString token = m_owner.accessToken;
        QCOMPARE(wordsOf(records.lexicon), records.words);

        const QJsonValue moved
            = ok(m_backend.call("PUT", QStringLiteral("/api/v1/user/words/%1/move").arg(records.words[1]),
                QJsonObject {{"sourceLexiconId", records.lexicon}, {"targetLexiconId", records.otherLexicon}}, token));
        QCOMPARE(moved["moved"].toBool(), true);
        QCOMPARE(wordsOf(records.lexicon), (QList<qint64> {records.words[0], records.words[2]}));
        QCOMPARE(wordsOf(records.otherLexicon), QList<qint64> {records.words[1]});

        const qint64 base = lexiconVersion(m_owner, records.lexicon);
        const QJsonValue receipt
            = ok(m_backend.call("PUT", QStringLiteral("/api/v1/user/lexicons/%1/words/order").arg(records.lexicon),
                QJsonObject {{"baseVersion", base},
                    {"items",
                        QJsonArray {QJsonObject {{"wordId", records.words[0]}, {"position", 2}},
                            QJsonObject {{"wordId", records.words[2]}, {"position", 1}}}}},
                token));
        QVERIFY(receipt["version"].toInteger() > base);
        QCOMPARE(receipt["items"][0]["wordId"].toInteger(), records.words[2]);
        QCOMPARE(wordsOf(records.lexicon), (QList<qint64> {records.words[2], records.words[0]}));

        const QString membership
            = QStringLiteral("/api/v1/user/lexicons/%1/words/%2").arg(records.lexicon).arg(records.words[2]);
        QCOMPARE(ok(m_backend.call("DELETE", membership, token))["removed"].toBool(), true);
        QCOMPARE(wordsOf(records.lexicon), QList<qint64> {records.words[0]});
        QCOMPARE(ok(m_backend.call("DELETE", membership, token))["removed"].toBool(), false);

        // Deleting a word takes it out of its lexicons and playlists, and changes their versions.
        const QJsonValue before = ownersPlaylist(records.playlist);
        QCOMPARE(before["items"].toArray().size(), 1);
        const QJsonValue deleted
            = ok(m_backend.call("DELETE", QStringLiteral("/api/v1/user/words/%1").arg(records.words[0]), token));
        QCOMPARE(deleted["deleted"].toBool(), true);
        QVERIFY(wordsOf(records.lexicon).isEmpty());
        const QJsonValue after = ownersPlaylist(records.playlist);
        QVERIFY(after["items"].toArray().isEmpty());
        QVERIFY(after["version"].toInteger() > before["version"].toInteger());
    }

    void wordEditsSetAndClearFields()
    {
        const QString token = m_owner.accessToken;
        const QJsonValue created = ok(m_backend.call("POST", QStringLiteral("/api/v1/user/words"),
            QJsonObject {{"word", "  Ice  Cream "}, {"ipa", "/aɪs kriːm/"}, {"syllables", "ice cream"},
                {"translationsZh", QJsonArray()}, {"explanation", "冰淇淋"}},
            token));
        QCOMPARE(created["wordDisplay"].toString(), QStringLiteral("Ice  Cream"));
        QCOMPARE(created["wordNormalized"].toString(), QStringLiteral("ice cream"));
        QCOMPARE(created["version"].toInteger(), 1);
        QVERIFY(!created.toObject().contains("usageScenario"));

        const QJsonValue edited
            = ok(m_backend.call("PUT", QStringLiteral("/api/v1/user/words/%1").arg(created["id"].toInteger()),
                QJsonObject {{"baseVersion", 1}, {"usageScenario", "夏天"}, {"translationsZh", QJsonArray {"冰淇淋"}},
                    {"clearFields", QJsonArray {"IPA", "SYLLABLES"}}},
                token));
        QCOMPARE(edited["version"].toInteger(), 2);
        QCOMPARE(edited["usageScenario"].toString(), QStringLiteral("夏天"));
        QCOMPARE(edited["explanation"].toString(), QStringLiteral("冰淇淋"));
        QCOMPARE(edited["translationsZh"].toArray(), QJsonArray {"冰淇淋"});
        QVERIFY(!edited.toObject().contains("ipa"));
        QVERIFY(!edited.toObject().contains("syllables"));
    }

    void staleBaseVersionsAreConflicts_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QJsonObject>("body");
        QTest::addColumn<qint64>("base");
        const Records records = makeRecords(m_owner);
        QJsonArray order;
        for (qsizetype i = 0; i < records.words.size(); ++i)
            order.append(QJsonObject {{"wordId", records.words[i]}, {"position", records.words.size() - i}});
        const QString wordPath = QStringLiteral("/api/v1/user/words/%1").arg(records.words[0]);
        QTest::newRow("word") << wordPath << QJsonObject {{"explanation", "新的解释"}, {"clearFields", QJsonArray()}}
                              << qint64(1);
        QTest::newRow("word order") << QStringLiteral("/api/v1/user/lexicons/%1/words/order").arg(records.lexicon)
                                    << QJsonObject {{"items", order}} << lexiconVersion(m_owner, records.lexicon);
        QTest::newRow("playlist") << QStringLiteral("/api/v1/user/playlists/%1").arg(records.playlist)
                                  << QJsonObject {{"name", "新名字"}, {"loopMode", "ONCE"}, {"items", QJsonArray()}}
                                  << qint64(1);
        QTest::newRow("playback profile") << wordPath + QStringLiteral("/playback-profile")
                                          << QJsonObject {{"repeatCount", 3}, {"units", profileUnits()}} << qint64(1);
        QTest::newRow("playback preference")
            << preferencePath << preference
            << ok(m_backend.call("GET", preferencePath, m_owner.accessToken))["version"].toInteger();
    }
    void staleBaseVersionsAreConflicts()
    {
        QFETCH(QString, path);
        QFETCH(QJsonObject, body);
        QFETCH(qint64, base);
        const auto put = [&](qint64 version) {
            return m_backend.call("PUT", path, with(body, "baseVersion", version), m_owner.accessToken);
        };
        qint64 version = base;
        for (int write = 0; write < 2; ++write) {
            const Answer answer = put(version);
            QCOMPARE(answer.status, 200);
            const qint64 next = answer.data()["version"].toInteger();
            QVERIFY2(next > version, qPrintable(QStringLiteral("%1 after %2").arg(next).arg(version)));
            version = next;
        }
        const Answer stale = put(version - 1);
        QCOMPARE(outcome(stale), QStringLiteral("409 DATA_CONFLICT"));
        QVERIFY(isChinese(stale.errorMessage()));
        QCOMPARE(put(version).status, 200);
    }

    void anotherUsersRecordsAreNotFound_data()
    {
        addRequestColumns();
        const QByteArray lexiconId = QByteArray::number(m_records.lexicon);
        const QString playlist = QStringLiteral("/api/v1/user/playlists/%1").arg(m_records.playlist);
        const QString legacyWord = QStringLiteral("/api/v1/words/%1").arg(m_records.legacyWord);
        request("list words of a lexicon", "GET", QStringLiteral("/api/v1/user/words?lexiconId=") + lexiconId);
        request("add a word to a lexicon", "POST", QStringLiteral("/api/v1/user/words"),
            R"({"word":"x","translationsZh":[],"lexiconId":)" + lexiconId + '}');
        request("edit a word", "PUT", word(), R"({"baseVersion":1,"wordDisplay":"x","clearFields":[]})");
        request("delete a word", "DELETE", word());
        request("move a word", "PUT", word("/move"),
            R"({"sourceLexiconId":)" + lexiconId + R"(,"targetLexiconId":)" + lexiconId + '}');
        request("reorder", "PUT", lexicon("/words/order"), R"({"baseVersion":1,"items":[]})");
        request("remove from lexicon", "DELETE", lexicon(QStringLiteral("/words/%1").arg(m_records.words[0])));
        request("read a profile", "GET", word("/playback-profile"));
        request("save a profile", "PUT", word("/playback-profile"),
            compact({{"baseVersion", 1}, {"repeatCount", 1}, {"units", profileUnits()}}));
        request("playlist with the word", "POST", QStringLiteral("/api/v1/user/playlists"),
            compact({{"name", "x"}, {"loopMode", "ONCE"},
                {"items",
                    QJsonArray {QJsonObject {{"wordId", m_records.words[0]}, {"position", 1}, {"repeatCount", 1}}}}}));
        request("update a playlist", "PUT", playlist, R"({"name":"x","loopMode":"ONCE","items":[],"baseVersion":1})");
        request("delete a playlist", "DELETE", playlist);
        request("older word edit", "PUT", legacyWord,
            R"({"wordText":"x","clientId":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F"})");
        request("older word delete", "DELETE", legacyWord);
    }
    void anotherUsersRecordsAreNotFound()
    {
        QFETCH(QByteArray, method);
        QFETCH(QString, path);
        QFETCH(QByteArray, body);
        const Account stranger = m_backend.registerAccount();
        const QByteArray before = ownersState();
        const Answer answer
            = m_backend.send(method, m_backend.baseUrl().resolved(QUrl(path)), body, stranger.accessToken);
        QCOMPARE(outcome(answer), QStringLiteral("404 RESOURCE_NOT_FOUND"));

        QCOMPARE(ownersState(), before); // the owner's records are as they were
    }

    void playlistsCarryTheirWordsUntilDeleted()
    {
        const Records records = makeRecords(m_owner);
        const qint64 publicWord
            = ok(m_backend.call("GET", QStringLiteral("/api/v1/public/lexicons/1")))["words"][0]["id"].toInteger();
        const QJsonValue playlist = ok(m_backend.call("POST", QStringLiteral("/api/v1/user/playlists"),
            QJsonObject {{"name", "混合"}, {"loopMode", "ONCE"}, {"loopCount", 3},
                {"items",
                    QJsonArray {QJsonObject {{"wordId", records.words[1]}, {"position", 2}, {"repeatCount", 1}},
                        QJsonObject {{"wordId", publicWord}, {"position", 1}, {"repeatCount", 4}}}}},
            m_owner.accessToken));
        QCOMPARE(playlist["version"].toInteger(), 1);
        QCOMPARE(playlist["loopCount"].toInteger(), 3);
        const QJsonArray items = playlist["items"].toArray();
        QCOMPARE(items.size(), 2);
        QCOMPARE(items[0]["wordId"].toInteger(), publicWord);
        QCOMPARE(items[0]["repeatCount"].toInteger(), 4);
        QVERIFY(isChinese(items[0]["usageScenario"].toString()));
        QCOMPARE(items[1]["wordDisplay"].toString(), QStringLiteral("lantern"));
        QCOMPARE(items[1]["translationsZh"].toArray(), QJsonArray {"词"});

        const QString path = QStringLiteral("/api/v1/user/playlists/%1").arg(playlist["id"].toInteger());
        const QJsonValue receipt = ok(m_backend.call("DELETE", path, m_owner.accessToken));
        QCOMPARE(receipt["deleted"].toBool(), true);
        QVERIFY(receipt["version"].toInteger() >= 2);
        QCOMPARE(QDateTime::fromString(receipt["deletedAt"].toString(), Qt::ISODateWithMs).timeSpec(), Qt::UTC);
        QVERIFY(!ownersPlaylist(playlist["id"].toInteger()).isObject());
        QCOMPARE(
            outcome(m_backend.call("DELETE", path, m_owner.accessToken)), QStringLiteral("404 RESOURCE_NOT_FOUND"));
    }

    void aWordWithoutProfileGetsAValidDefault()
    {
        const QString path = QStringLiteral("/api/v1/user/words/%1/playback-profile").arg(m_records.words[2]);
        const QJsonValue profile = ok(m_backend.call("GET", path, m_owner.accessToken));
        QCOMPARE(profile["wordId"].toInteger(), m_records.words[2]);
        QCOMPARE(profile["version"].toInteger(), 1);
        QVERIFY(profile["updatedAt"].isString());
        const QJsonArray units = profile["units"].toArray();
        QCOMPARE(units.size(), 4);
        const char *order[] = {"WORD", "SPELLING", "TRANSLATION_ZH", "EXPLANATION"};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(units[i]["unit"].toString(), QLatin1String(order[i]));
            QCOMPARE(units[i]["position"].toInteger(), i + 1);
            QCOMPARE(units[i]["enabled"].toBool(), true);
        }

        const QJsonValue saved = ok(m_backend.call("PUT", path,
            QJsonObject {
                {"baseVersion", 1}, {"repeatCount", 5}, {"units", profileUnits({{"voiceId", "en-GB-SoniaNeural"}})}},
            m_owner.accessToken));
        QCOMPARE(saved["version"].toInteger(), 2);
        QCOMPARE(saved["units"][0]["voiceId"].toString(), QStringLiteral("en-GB-SoniaNeural"));
        QCOMPARE(saved["units"][3]["enabled"].toBool(), false);
        const QJsonValue listed = ok(m_backend.call(
            "GET", QStringLiteral("/api/v1/user/words?lexiconId=%1").arg(m_records.lexicon), m_owner.accessToken))[2];
        QCOMPARE(listed["repeatCount"].toInteger(), 5);
        QCOMPARE(listed["playbackProfile"]["version"].toInteger(), 2);
    }

    void thePreferenceStartsAtItsDefaultAndKeepsWhatWasSaved()
    {
        const Account account = m_backend.registerAccount();
        const QJsonValue initial = ok(m_backend.call("GET", preferencePath, account.accessToken));
        QCOMPARE(initial["version"].toInteger(), 1);
        QCOMPARE(initial["voiceEn"].toString(), QStringLiteral("en-US-JennyNeural"));
        QCOMPARE(initial["playbackItems"].toArray().size(), 4);

        QCOMPARE(ok(m_backend.call(
                     "PUT", preferencePath, with(preference, "baseVersion", 1), account.accessToken))["version"]
                     .toInteger(),
            2);
        const QJsonValue read = ok(m_backend.call("GET", preferencePath, account.accessToken));
        QCOMPARE(read["version"].toInteger(), 2);
        QCOMPARE(read["voiceEn"].toString(), QStringLiteral("en-GB-RyanNeural"));
        QCOMPARE(read["speechRateZh"].toDouble(), 0.75);
        QCOMPARE(read["playbackItems"].toArray(), (QJsonArray {"WORD", "TRANSLATION_ZH"}));
    }

    void theOlderEndpointsKeepTheirOwnEnvelope()
    {
        const QString token = m_owner.accessToken;
        const Answer config = m_backend.call("GET", QStringLiteral("/api/v1/system/config"), token);
        QCOMPARE(config.status, 200);
        QVERIFY(config.json()["code"].isDouble());
        QVERIFY(config.data()["server_cache_enabled"].isBool());
        QVERIFY(!config.data()["default_preview_words"].toArray().isEmpty());

        const Account account = m_backend.registerAccount();
        const QJsonObject body {
            {"wordText", "orbit"}, {"meaning", "轨道"}, {"clientId", "e621e1f8-c36c-495a-93fc-0c247a3e6e5f"}};
        const Answer created = m_backend.call("POST", QStringLiteral("/api/v1/words"), body, account.accessToken);
        QCOMPARE(created.status, 200);
        QCOMPARE(created.data()["word_text"].toString(), QStringLiteral("orbit"));
        QVERIFY(!created.data().toObject().contains("context"));
        // The same create sent again does not make a second word.
        const Answer resent = m_backend.call("POST", QStringLiteral("/api/v1/words"), body, account.accessToken);
        QCOMPARE(resent.data()["id"], created.data()["id"]);
        QCOMPARE(
            m_backend.call("GET", QStringLiteral("/api/v1/words"), account.accessToken).data().toArray().size(), 1);

        const QString wordPath = QStringLiteral("/api/v1/words/%1").arg(created.data()["id"].toInteger());
        QJsonObject edited = body;
        edited["context"] = QStringLiteral("卫星绕地球运行");
        QCOMPARE(m_backend.call("PUT", wordPath, edited, account.accessToken).data()["context"].toString(),
            QStringLiteral("卫星绕地球运行"));
        QCOMPARE(m_backend.call("DELETE", wordPath, account.accessToken).status, 204);
        const Answer gone = m_backend.call("DELETE", wordPath, account.accessToken);
        QCOMPARE(gone.status, 404);
        QVERIFY(isChinese(gone.message()));

        QCOMPARE(m_backend
                     .call("PUT", QStringLiteral("/api/v1/preferences"),
                         QJsonObject {{"voice_id", "en-US-GuyNeural"}, {"cycle_count", 3}}, account.accessToken)
                     .status,
            200);
        QCOMPARE(m_backend.call("GET", QStringLiteral("/api/v1/words")).status, 401);
    }

    void badBodiesAreRefusedWithAChineseMessage_data()
    {
        addRequestColumns();
        const QString words = QStringLiteral("/api/v1/user/words");
        const QString profile = word("/playback-profile");
        const auto profileBody = [](const QJsonArray &units) {
            return compact({{"baseVersion", 1}, {"repeatCount", 1}, {"units", units}});
        };
        QJsonArray threeUnits = profileUnits();
        threeUnits.removeFirst();
        QJsonArray allOff;
        for (const QJsonValue &unit : profileUnits())
            allOff.append(with(unit.toObject(), "enabled", false));
        const auto badPreference = [](const char *key, const QJsonValue &value) {
            return compact(with(with(preference, "baseVersion", 1), key, value));
        };
        request("not JSON", "POST", words, "{\"word\":");
        request("an array", "POST", words, "[]");
        request("empty body", "POST", words);
        request("missing key", "POST", words, R"({"word":"x"})");
        request("number as text", "POST", words, R"({"word":7,"translationsZh":[]})");
        request("translation not text", "POST", words, R"({"word":"x","translationsZh":[1]})");
        request("blank word", "POST", words, R"({"word":"  ","translationsZh":[]})");
        request("fractional id", "POST", words, R"({"word":"x","translationsZh":[],"lexiconId":1.5})");
        request("version as text", "PUT", word(), R"({"baseVersion":"1","wordDisplay":"x","clearFields":[]})");
        request("nothing to change", "PUT", word(), R"({"baseVersion":1,"clearFields":[]})");
        request("set and clear", "PUT", word(), R"({"baseVersion":1,"ipa":"/x/","clearFields":["IPA"]})");
        request("clear the display", "PUT", word(), R"({"baseVersion":1,"clearFields":["WORD_DISPLAY"]})");
        request("order with a gap", "PUT", lexicon("/words/order"),
            compact({{"baseVersion", lexiconVersion(m_owner, m_records.lexicon)},
                {"items", QJsonArray {QJsonObject {{"wordId", m_records.words[0]}, {"position", 2}}}}}));
        request("three units", "PUT", profile, profileBody(threeUnits));
        request("Chinese voice for the word", "PUT", profile,
            profileBody(profileUnits({{"voiceId", "zh-CN-XiaoxiaoNeural"}})));
        request("rate too fast", "PUT", profile, profileBody(profileUnits({{"speechRate", 2.01}})));
        request("all units off", "PUT", profile, profileBody(allOff));
        request("repeat 21 times", "PUT", profile, R"({"baseVersion":1,"repeatCount":21,"units":[]})");
        request("English voice as Chinese", "PUT", preferencePath, badPreference("voiceZh", "en-US-GuyNeural"));
        request("no playback items", "PUT", preferencePath, badPreference("playbackItems", QJsonArray()));
        request("spelling rate 0.4", "PUT", preferencePath, badPreference("spellingRate", 0.4));
        request("playlist without name", "POST", QStringLiteral("/api/v1/user/playlists"),
            R"({"loopMode":"ONCE","items":[]})");
        request("older word without client id", "POST", QStringLiteral("/api/v1/words"),
            R"({"wordText":"x","clientId":"abc"})");
        const QString longText(2001, u'长');
        const QString clientId = QStringLiteral("0F5E2B4A-7C1D-4E8F-9A3B-6D2C1E0F4A5B");
        request("loop mode of 33 letters", "POST", QStringLiteral("/api/v1/user/playlists"),
            compact({{"name", "n"}, {"loopMode", QString(33, u'A')}, {"items", QJsonArray()}}));
        request("older word of 201 letters", "POST", QStringLiteral("/api/v1/words"),
            compact({{"wordText", QString(201, u'a')}, {"clientId", clientId}}));
        request("older word's meaning too long", "POST", QStringLiteral("/api/v1/words"),
            compact({{"wordText", "a"}, {"meaning", longText}, {"clientId", clientId}}));
        request("older voice id of 65 letters", "PUT", QStringLiteral("/api/v1/preferences"),
            compact({{"voice_id", QString(65, u'v')}, {"cycle_count", 1}}));
        request("explanation too long", "PUT", word(),
            compact({{"baseVersion", 1}, {"explanation", longText}, {"clearFields", QJsonArray()}}));
        request(
            "translation too long", "POST", words, compact({{"word", "w"}, {"translationsZh", QJsonArray {longText}}}));
    }
    void badBodiesAreRefusedWithAChineseMessage()
    {
        QFETCH(QByteArray, method);
        QFETCH(QString, path);
        QFETCH(QByteArray, body);
        const QByteArray before = ownersState();
        const Answer answer
            = m_backend.send(method, m_backend.baseUrl().resolved(QUrl(path)), body, m_owner.accessToken);
        QCOMPARE(answer.status, 400);
        // A body that is no JSON object is malformed; any other refusal is a failed validation.
        const bool object = QJsonDocument::fromJson(body).isObject();
        QCOMPARE(answer.errorCode(), object ? QStringLiteral("VALIDATION_FAILED") : QStringLiteral("INVALID_JSON"));
        QVERIFY(isChinese(answer.errorMessage()));
        QCOMPARE(answer.message(), answer.errorMessage());
        QCOMPARE(ownersState(), before); // nothing was changed on the way
    }

    // Sent on a connection of their own, byte for byte: the app's transfer would
    // neither send them nor leave a percent-encoded digit as it is.
    void requestsOutsideTheRulesAreRefusedAndTheirConnectionClosed_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("status");
        const QByteArray host = "Host: 127.0.0.1\r\nContent-Type: application/json\r\n";
        // Before the refusal, the server would wait for all 8 GB.
        QTest::newRow("declared 8 GB body") << "POST /api/v1/auth/login HTTP/1.1\r\n" + host
                + "Content-Length: 8589934592\r\n\r\n"
                + QByteArray(64 * 1024, '{') << QByteArray("413");
        QTest::newRow("head over 16 KB") << "GET /api/v1/public/lexicons HTTP/1.1\r\n" + host
                + "X-Filler: " + QByteArray(20000, 'a')
                + "\r\n\r\n" << QByteArray("431");
        QTest::newRow("body of unknown length") << "POST /api/v1/auth/login HTTP/1.1\r\n" + host
                + "Transfer-Encoding: chunked\r\n\r\n10000\r\n"
                + QByteArray(64 * 1024, '{') << QByteArray("411");
        QTest::newRow("percent-encoded id")
            << "GET /api/v1/public/lexicons/%31 HTTP/1.1\r\n" + host + "Connection: close\r\n\r\n"
            << QByteArray("400");
    }
    void requestsOutsideTheRulesAreRefusedAndTheirConnectionClosed()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, status);
        const RawExchange exchange = m_backend.exchange(bytes);
        QCOMPARE(exchange.statusLine().split(' ').value(1), status);
        QVERIFY(exchange.closedByServer);
        QCOMPARE(m_backend.call("GET", QStringLiteral("/api/v1/public/lexicons")).status, 200);
    }

    void nothingARequestSendsBringsTheServerDown_data()
    {
        addRequestColumns();
        QTest::addColumn<int>("status");
        const auto row
            = [](const char *name, const QByteArray &method, const char *path, const QByteArray &body, int status) {
                  QTest::newRow(name) << method << QString::fromLatin1(path) << body << status;
              };
        row("over 1 MB", "POST", "/api/v1/user/lexicons", "{\"name\":\"" + QByteArray(1024 * 1024, 'a') + "\"}", 413);
        row("id beyond 64 bits", "DELETE", "/api/v1/user/words/99999999999999999999", {}, 400);
        row("negative id", "DELETE", "/api/v1/user/playlists/-5", {}, 404);
        row("id with letters", "GET", "/api/v1/public/lexicons/1x", {}, 400);
        row("id with a leading zero", "GET", "/api/v1/public/lexicons/01", {}, 400);
        row("id with leading zeros", "DELETE", "/api/v1/user/words/0001", {}, 400);
        row("id with a plus", "DELETE", "/api/v1/user/playlists/+1", {}, 400);
        row("lexicon query with a leading zero", "GET", "/api/v1/user/words?lexiconId=01", {}, 400);
        row("fault route without its switch", "POST", "/__admin/faults", R"({"drop":true})", 404);
        row("unknown path", "GET", "/api/v2/anything", {}, 404);
        row("wrong method", "PATCH", "/api/v1/user/lexicons", "{}", 405);
        row("deep JSON", "POST", "/api/v1/user/lexicons", QByteArray(100000, '[') + QByteArray(100000, ']'), 400);
        row("binary", "POST", "/api/v1/auth/login", QByteArray::fromHex("00ff10fe7b227573"), 400);
        row("lexicon query not a number", "GET", "/api/v1/user/words?lexiconId=a%27--", {}, 400);
    }
    void nothingARequestSendsBringsTheServerDown()
    {
        QFETCH(QByteArray, method);
        QFETCH(QString, path);
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        const Answer answer
            = m_backend.send(method, m_backend.baseUrl().resolved(QUrl(path)), body, m_owner.accessToken);
        QCOMPARE(answer.status, status);
        QVERIFY(isChinese(answer.errorMessage()));
        QCOMPARE(m_backend.call("GET", QStringLiteral("/api/v1/user/lexicons"), m_owner.accessToken).status, 200);
    }
};

TALVORO_TEST(BackendContentTest)
#include "tst_backend_content.moc"
