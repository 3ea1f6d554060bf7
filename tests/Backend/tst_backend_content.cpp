#include "BackendProcess.h"
#include "TestRegistry.h"

#include <QDateTime>
#include <QJsonArray>
#include <QRegularExpression>
#include <QTest>

using namespace backendtest;

namespace {

bool isChinese(const QString &text)
{
    static const QRegularExpression han(QStringLiteral("\\p{Han}"));
    return han.match(text).hasMatch();
}

QJsonArray profileUnits(const QString &wordVoice = {})
{
    QJsonArray units;
    const char *names[] = {"EXPLANATION", "TRANSLATION_ZH", "SPELLING", "WORD"};
    for (int i = 0; i < 4; ++i) {
        QJsonObject unit {{"unit", names[i]}, {"enabled", i != 0}, {"position", 4 - i}};
        if (i == 3 && !wordVoice.isEmpty())
            unit.insert("voiceId", wordVoice);
        units.append(unit);
    }
    return units;
}

QJsonObject preferenceBody(qint64 baseVersion)
{
    return QJsonObject {{"playbackItems", QJsonArray {"WORD", "TRANSLATION_ZH"}}, {"voiceEn", "en-GB-RyanNeural"},
        {"voiceZh", "zh-CN-YunxiNeural"}, {"speechRate", 1.5}, {"speechRateEn", 1.5}, {"speechRateZh", 0.75},
        {"spellingRate", 2.0}, {"baseVersion", baseVersion}};
}

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

    QJsonValue ok(const Answer &answer, int status = 200)
    {
        if (answer.status != status || !answer.json().value("success").toBool())
            qWarning("unexpected answer %d: %s", answer.status, answer.body.constData());
        return answer.status == status ? answer.data() : QJsonValue();
    }

    Records makeRecords(const Account &account)
    {
        Records records;
        const auto createLexicon = [&](const QString &name) {
            return ok(m_backend.call("POST", QStringLiteral("/api/v1/user/lexicons"), QJsonObject {{"name", name}},
                account.accessToken))["id"]
                .toInteger();
        };
        records.lexicon = createLexicon(QStringLiteral("我的词库"));
        records.otherLexicon = createLexicon(QStringLiteral("复习"));
        for (const char *word : {"harbor", "lantern", "meadow"}) {
            records.words.append(ok(m_backend.call("POST", QStringLiteral("/api/v1/user/words"),
                QJsonObject {{"word", word}, {"translationsZh", QJsonArray {"词"}}, {"lexiconId", records.lexicon}},
                account.accessToken))["id"]
                                     .toInteger());
        }
        records.playlist = ok(m_backend.call("POST", QStringLiteral("/api/v1/user/playlists"),
            QJsonObject {{"name", "晨读"}, {"loopMode", "ONCE"},
                {"items",
                    QJsonArray {QJsonObject {{"wordId", records.words[0]}, {"position", 1}, {"repeatCount", 2}}}}},
            account.accessToken))["id"]
                               .toInteger();
        records.legacyWord = m_backend
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

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_backend.start());
        m_owner = m_backend.registerAccount();
    }

    void wordsMoveBetweenLexiconsInOrder()
    {
        const Records records = makeRecords(m_owner);
        const QString token = m_owner.accessToken;
        const auto wordsOf = [&](qint64 lexicon) {
            QList<qint64> ids;
            for (const QJsonValue &word :
                ok(m_backend.call("GET", QStringLiteral("/api/v1/user/words?lexiconId=%1").arg(lexicon), token))
                    .toArray())
                ids.append(word["id"].toInteger());
            return ids;
        };
        QCOMPARE(wordsOf(records.lexicon), records.words);

        const QJsonValue moved
            = ok(m_backend.call("PUT", QStringLiteral("/api/v1/user/words/%1/move").arg(records.words[1]),
                QJsonObject {{"sourceLexiconId", records.lexicon}, {"targetLexiconId", records.otherLexicon}}, token));
        QCOMPARE(moved["wordId"].toInteger(), records.words[1]);
        QCOMPARE(moved["sourceLexiconId"].toInteger(), records.lexicon);
        QCOMPARE(moved["targetLexiconId"].toInteger(), records.otherLexicon);
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
        QCOMPARE(receipt["lexiconId"].toInteger(), records.lexicon);
        QVERIFY(receipt["version"].toInteger() > base);
        QCOMPARE(receipt["items"][0]["wordId"].toInteger(), records.words[2]);
        QCOMPARE(wordsOf(records.lexicon), (QList<qint64> {records.words[2], records.words[0]}));

        const QJsonValue removed = ok(m_backend.call("DELETE",
            QStringLiteral("/api/v1/user/lexicons/%1/words/%2").arg(records.lexicon).arg(records.words[2]), token));
        QCOMPARE(removed["removed"].toBool(), true);
        QCOMPARE(removed["wordId"].toInteger(), records.words[2]);
        QCOMPARE(wordsOf(records.lexicon), QList<qint64> {records.words[0]});
        const QJsonValue again = ok(m_backend.call("DELETE",
            QStringLiteral("/api/v1/user/lexicons/%1/words/%2").arg(records.lexicon).arg(records.words[2]), token));
        QCOMPARE(again["removed"].toBool(), false);

        // Deleting a word takes it out of its lexicons and playlists, and changes their versions.
        const auto playlist = [&] {
            for (const QJsonValue &candidate :
                ok(m_backend.call("GET", QStringLiteral("/api/v1/user/playlists"), token)).toArray()) {
                if (candidate["id"].toInteger() == records.playlist)
                    return candidate;
            }
            return QJsonValue();
        };
        const qint64 playlistVersion = playlist()["version"].toInteger();
        QCOMPARE(playlist()["items"].toArray().size(), 1);
        const QJsonValue deleted
            = ok(m_backend.call("DELETE", QStringLiteral("/api/v1/user/words/%1").arg(records.words[0]), token));
        QCOMPARE(deleted["wordId"].toInteger(), records.words[0]);
        QCOMPARE(deleted["deleted"].toBool(), true);
        QVERIFY(wordsOf(records.lexicon).isEmpty());
        QVERIFY(playlist()["items"].toArray().isEmpty());
        QVERIFY(playlist()["version"].toInteger() > playlistVersion);
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
        QCOMPARE(created["translationsZh"].toArray(), QJsonArray());
        QCOMPARE(created["version"].toInteger(), 1);
        QCOMPARE(created["repeatCount"].toInteger(), 1);
        QVERIFY(!created.toObject().contains("usageScenario"));

        const qint64 id = created["id"].toInteger();
        const QJsonValue edited = ok(m_backend.call("PUT", QStringLiteral("/api/v1/user/words/%1").arg(id),
            QJsonObject {{"baseVersion", 1}, {"usageScenario", "夏天"}, {"translationsZh", QJsonArray {"冰淇淋"}},
                {"clearFields", QJsonArray {"IPA", "SYLLABLES"}}},
            token));
        QCOMPARE(edited["id"].toInteger(), id);
        QCOMPARE(edited["version"].toInteger(), 2);
        QCOMPARE(edited["usageScenario"].toString(), QStringLiteral("夏天"));
        QCOMPARE(edited["explanation"].toString(), QStringLiteral("冰淇淋"));
        QCOMPARE(edited["translationsZh"].toArray(), QJsonArray {"冰淇淋"});
        QVERIFY(!edited.toObject().contains("ipa"));
        QVERIFY(!edited.toObject().contains("syllables"));
    }

    void staleBaseVersionsAreConflicts_data()
    {
        QTest::addColumn<QString>("record");
        for (const char *record : {"word", "word order", "playlist", "playback profile", "playback preference"})
            QTest::newRow(record) << record;
    }
    void staleBaseVersionsAreConflicts()
    {
        QFETCH(QString, record);
        const Account account = m_backend.registerAccount();
        const Records records = makeRecords(account);
        QString path;
        std::function<QJsonObject(qint64)> body;
        qint64 base = 1;
        if (record == QLatin1String("word")) {
            path = QStringLiteral("/api/v1/user/words/%1").arg(records.words[0]);
            body = [](qint64 v) {
                return QJsonObject {{"baseVersion", v}, {"explanation", "新的解释"}, {"clearFields", QJsonArray()}};
            };
        } else if (record == QLatin1String("word order")) {
            path = QStringLiteral("/api/v1/user/lexicons/%1/words/order").arg(records.lexicon);
            body = [&records](qint64 v) {
                QJsonArray items;
                for (qsizetype i = 0; i < records.words.size(); ++i)
                    items.append(QJsonObject {{"wordId", records.words[i]}, {"position", records.words.size() - i}});
                return QJsonObject {{"baseVersion", v}, {"items", items}};
            };
            base = lexiconVersion(account, records.lexicon);
        } else if (record == QLatin1String("playlist")) {
            path = QStringLiteral("/api/v1/user/playlists/%1").arg(records.playlist);
            body = [](qint64 v) {
                return QJsonObject {
                    {"name", "新名字"}, {"loopMode", "ONCE"}, {"items", QJsonArray()}, {"baseVersion", v}};
            };
        } else if (record == QLatin1String("playback profile")) {
            path = QStringLiteral("/api/v1/user/words/%1/playback-profile").arg(records.words[0]);
            body = [](qint64 v) {
                return QJsonObject {{"baseVersion", v}, {"repeatCount", 3}, {"units", profileUnits()}};
            };
        } else {
            path = QStringLiteral("/api/v1/user/playback-preferences");
            body = preferenceBody;
        }

        qint64 version = base;
        for (int write = 0; write < 2; ++write) {
            const Answer answer = m_backend.call("PUT", path, body(version), account.accessToken);
            QCOMPARE(answer.status, 200);
            const qint64 next = answer.data()["version"].toInteger();
            QVERIFY2(next > version, qPrintable(QStringLiteral("%1 after %2").arg(next).arg(version)));
            version = next;
        }
        const Answer stale = m_backend.call("PUT", path, body(version - 1), account.accessToken);
        QCOMPARE(stale.status, 409);
        QCOMPARE(stale.errorCode(), QStringLiteral("DATA_CONFLICT"));
        QVERIFY(isChinese(stale.errorMessage()));
        QCOMPARE(m_backend.call("PUT", path, body(version), account.accessToken).status, 200);
    }

    void anotherUsersRecordsAreNotFound_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QJsonObject>("body");
        const QJsonObject none;
        // %L: the owner's lexicon, %W: a word in it, %P: the playlist, %R: the older-endpoint word.
        QTest::newRow("list words of a lexicon") << QByteArray("GET") << "/api/v1/user/words?lexiconId=%L" << none;
        QTest::newRow("add a word to a lexicon")
            << QByteArray("POST") << "/api/v1/user/words"
            << QJsonObject {{"word", "x"}, {"translationsZh", QJsonArray()}, {"lexiconId", "%L"}};
        QTest::newRow("edit a word") << QByteArray("PUT") << "/api/v1/user/words/%W"
                                     << QJsonObject {
                                            {"baseVersion", 1}, {"wordDisplay", "x"}, {"clearFields", QJsonArray()}};
        QTest::newRow("delete a word") << QByteArray("DELETE") << "/api/v1/user/words/%W" << none;
        QTest::newRow("move a word") << QByteArray("PUT") << "/api/v1/user/words/%W/move"
                                     << QJsonObject {{"sourceLexiconId", "%L"}, {"targetLexiconId", "%L"}};
        QTest::newRow("reorder") << QByteArray("PUT") << "/api/v1/user/lexicons/%L/words/order"
                                 << QJsonObject {{"baseVersion", 1}, {"items", QJsonArray()}};
        QTest::newRow("remove from lexicon") << QByteArray("DELETE") << "/api/v1/user/lexicons/%L/words/%W" << none;
        QTest::newRow("read a profile") << QByteArray("GET") << "/api/v1/user/words/%W/playback-profile" << none;
        QTest::newRow("save a profile") << QByteArray("PUT") << "/api/v1/user/words/%W/playback-profile"
                                        << QJsonObject {
                                               {"baseVersion", 1}, {"repeatCount", 1}, {"units", profileUnits()}};
        QTest::newRow("playlist with the word")
            << QByteArray("POST") << "/api/v1/user/playlists"
            << QJsonObject {{"name", "x"}, {"loopMode", "ONCE"},
                   {"items", QJsonArray {QJsonObject {{"wordId", "%W"}, {"position", 1}, {"repeatCount", 1}}}}};
        QTest::newRow("update a playlist")
            << QByteArray("PUT") << "/api/v1/user/playlists/%P"
            << QJsonObject {{"name", "x"}, {"loopMode", "ONCE"}, {"items", QJsonArray()}, {"baseVersion", 1}};
        QTest::newRow("delete a playlist") << QByteArray("DELETE") << "/api/v1/user/playlists/%P" << none;
        QTest::newRow("older word edit") << QByteArray("PUT") << "/api/v1/words/%R"
                                         << QJsonObject {{"wordText", "x"},
                                                {"clientId", "E621E1F8-C36C-495A-93FC-0C247A3E6E5F"}};
        QTest::newRow("older word delete") << QByteArray("DELETE") << "/api/v1/words/%R" << none;
    }
    void anotherUsersRecordsAreNotFound()
    {
        QFETCH(QByteArray, method);
        QFETCH(QString, path);
        QFETCH(QJsonObject, body);
        const Records records = makeRecords(m_owner);
        const Account stranger = m_backend.registerAccount();
        const QList<std::pair<QString, qint64>> ids {{QStringLiteral("%L"), records.lexicon},
            {QStringLiteral("%W"), records.words[0]}, {QStringLiteral("%P"), records.playlist},
            {QStringLiteral("%R"), records.legacyWord}};
        for (const auto &[placeholder, id] : ids) {
            path.replace(placeholder, QString::number(id));
            for (const QString &key : body.keys()) {
                if (body[key] == placeholder)
                    body[key] = id;
            }
            if (body.contains("items") && !body["items"].toArray().isEmpty()) {
                QJsonObject item = body["items"][0].toObject();
                if (item["wordId"] == placeholder)
                    item["wordId"] = id;
                body["items"] = QJsonArray {item};
            }
        }
        const Answer answer = method == "GET" || method == "DELETE"
            ? m_backend.call(method, path, stranger.accessToken)
            : m_backend.call(method, path, body, stranger.accessToken);
        QCOMPARE(answer.status, 404);
        QCOMPARE(answer.errorCode(), QStringLiteral("RESOURCE_NOT_FOUND"));

        // The owner's records are as they were.
        const QJsonArray words
            = ok(m_backend.call("GET", QStringLiteral("/api/v1/user/words?lexiconId=%1").arg(records.lexicon),
                     m_owner.accessToken))
                  .toArray();
        QCOMPARE(words.size(), 3);
        QCOMPARE(words[0]["version"].toInteger(), 1);
        QVERIFY(!words[0].toObject().contains("playbackProfile"));
        bool legacyWordKept = false;
        for (const QJsonValue &word :
            m_backend.call("GET", QStringLiteral("/api/v1/words"), m_owner.accessToken).data().toArray())
            legacyWordKept = legacyWordKept || word["id"].toInteger() == records.legacyWord;
        QVERIFY(legacyWordKept);
    }

    void aDeletedPlaylistIsGone()
    {
        const Records records = makeRecords(m_owner);
        const QString path = QStringLiteral("/api/v1/user/playlists/%1").arg(records.playlist);
        const QJsonValue receipt = ok(m_backend.call("DELETE", path, m_owner.accessToken));
        QCOMPARE(receipt["id"].toInteger(), records.playlist);
        QCOMPARE(receipt["deleted"].toBool(), true);
        QVERIFY(receipt["version"].toInteger() >= 2);
        const QDateTime deletedAt = QDateTime::fromString(receipt["deletedAt"].toString(), Qt::ISODateWithMs);
        QVERIFY(deletedAt.isValid());
        QCOMPARE(deletedAt.timeSpec(), Qt::UTC);
        QVERIFY(receipt["deletedAt"].toString().contains(u'T'));

        for (const QJsonValue &playlist :
            ok(m_backend.call("GET", QStringLiteral("/api/v1/user/playlists"), m_owner.accessToken)).toArray())
            QVERIFY(playlist["id"].toInteger() != records.playlist);
        const Answer again = m_backend.call("DELETE", path, m_owner.accessToken);
        QCOMPARE(again.status, 404);
        QCOMPARE(again.errorCode(), QStringLiteral("RESOURCE_NOT_FOUND"));
    }

    void playlistItemsCarryTheirWords()
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
    }

    void aWordWithoutProfileGetsAValidDefault()
    {
        const Records records = makeRecords(m_owner);
        const QString path = QStringLiteral("/api/v1/user/words/%1/playback-profile").arg(records.words[2]);
        const QJsonValue profile = ok(m_backend.call("GET", path, m_owner.accessToken));
        QCOMPARE(profile["wordId"].toInteger(), records.words[2]);
        QCOMPARE(profile["version"].toInteger(), 1);
        QCOMPARE(profile["repeatCount"].toInteger(), 1);
        QVERIFY(profile["updatedAt"].isString());
        const QJsonArray units = profile["units"].toArray();
        QCOMPARE(units.size(), 4);
        const char *order[] = {"WORD", "SPELLING", "TRANSLATION_ZH", "EXPLANATION"};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(units[i]["unit"].toString(), QLatin1String(order[i]));
            QCOMPARE(units[i]["position"].toInteger(), i + 1);
            QCOMPARE(units[i]["enabled"].toBool(), true);
            QCOMPARE(units[i]["version"].toInteger(), 1);
        }

        const QJsonValue saved = ok(m_backend.call("PUT", path,
            QJsonObject {{"baseVersion", 1}, {"repeatCount", 5}, {"units", profileUnits("en-GB-SoniaNeural")}},
            m_owner.accessToken));
        QCOMPARE(saved["version"].toInteger(), 2);
        QCOMPARE(saved["units"][0]["unit"].toString(), QStringLiteral("WORD"));
        QCOMPARE(saved["units"][0]["voiceId"].toString(), QStringLiteral("en-GB-SoniaNeural"));
        QCOMPARE(saved["units"][3]["enabled"].toBool(), false);
        const QJsonArray words
            = ok(m_backend.call("GET", QStringLiteral("/api/v1/user/words?lexiconId=%1").arg(records.lexicon),
                     m_owner.accessToken))
                  .toArray();
        QCOMPARE(words[2]["repeatCount"].toInteger(), 5);
        QCOMPARE(words[2]["playbackProfile"]["version"].toInteger(), 2);
    }

    void thePreferenceStartsAtItsDefaultAndKeepsWhatWasSaved()
    {
        const Account account = m_backend.registerAccount();
        const QString path = QStringLiteral("/api/v1/user/playback-preferences");
        const QJsonValue initial = ok(m_backend.call("GET", path, account.accessToken));
        QCOMPARE(initial["version"].toInteger(), 1);
        QCOMPARE(initial["voiceEn"].toString(), QStringLiteral("en-US-JennyNeural"));
        QCOMPARE(initial["voiceZh"].toString(), QStringLiteral("zh-CN-XiaoxiaoNeural"));
        QCOMPARE(initial["playbackItems"].toArray().size(), 4);
        QCOMPARE(initial["spellingRate"].toDouble(), 1.25);

        QCOMPARE(ok(m_backend.call("PUT", path, preferenceBody(1), account.accessToken))["version"].toInteger(), 2);
        const QJsonValue read = ok(m_backend.call("GET", path, account.accessToken));
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
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("code");
        const QString words = QStringLiteral("/api/v1/user/words");
        const QString profile = QStringLiteral("/api/v1/user/words/%W/playback-profile");
        const QString preference = QStringLiteral("/api/v1/user/playback-preferences");
        QTest::newRow("not JSON") << QByteArray("POST") << words << QByteArray("{\"word\":") << "INVALID_JSON";
        QTest::newRow("an array") << QByteArray("POST") << words << QByteArray("[]") << "INVALID_JSON";
        QTest::newRow("empty body") << QByteArray("POST") << words << QByteArray() << "INVALID_JSON";
        QTest::newRow("missing key") << QByteArray("POST") << words << QByteArray(R"({"word":"x"})")
                                     << "VALIDATION_FAILED";
        QTest::newRow("number as text") << QByteArray("POST") << words
                                        << QByteArray(R"({"word":7,"translationsZh":[]})") << "VALIDATION_FAILED";
        QTest::newRow("translation not text")
            << QByteArray("POST") << words << QByteArray(R"({"word":"x","translationsZh":[1]})") << "VALIDATION_FAILED";
        QTest::newRow("blank word") << QByteArray("POST") << words << QByteArray(R"({"word":"  ","translationsZh":[]})")
                                    << "VALIDATION_FAILED";
        QTest::newRow("fractional id") << QByteArray("POST") << words
                                       << QByteArray(R"({"word":"x","translationsZh":[],"lexiconId":1.5})")
                                       << "VALIDATION_FAILED";
        QTest::newRow("version as text") << QByteArray("PUT") << "/api/v1/user/words/%W"
                                         << QByteArray(R"({"baseVersion":"1","wordDisplay":"x","clearFields":[]})")
                                         << "VALIDATION_FAILED";
        QTest::newRow("nothing to change")
            << QByteArray("PUT") << "/api/v1/user/words/%W" << QByteArray(R"({"baseVersion":1,"clearFields":[]})")
            << "VALIDATION_FAILED";
        QTest::newRow("set and clear") << QByteArray("PUT") << "/api/v1/user/words/%W"
                                       << QByteArray(R"({"baseVersion":1,"ipa":"/x/","clearFields":["IPA"]})")
                                       << "VALIDATION_FAILED";
        QTest::newRow("clear the display")
            << QByteArray("PUT") << "/api/v1/user/words/%W"
            << QByteArray(R"({"baseVersion":1,"clearFields":["WORD_DISPLAY"]})") << "VALIDATION_FAILED";
        QTest::newRow("order with a gap")
            << QByteArray("PUT") << "/api/v1/user/lexicons/%L/words/order"
            << QByteArray(R"({"baseVersion":%V,"items":[{"wordId":%W,"position":2}]})") << "VALIDATION_FAILED";
        QTest::newRow("three units")
            << QByteArray("PUT") << profile
            << QByteArray(
                   R"({"baseVersion":1,"units":[{"unit":"WORD","enabled":true,"position":1},)"
                   R"({"unit":"SPELLING","enabled":true,"position":2},{"unit":"EXPLANATION","enabled":true,"position":3}]})")
            << "VALIDATION_FAILED";
        QTest::newRow("Chinese voice for the word")
            << QByteArray("PUT") << profile
            << QByteArray(
                   R"({"baseVersion":1,"units":[{"unit":"WORD","enabled":true,"position":1,"voiceId":"zh-CN-XiaoxiaoNeural"},)"
                   R"({"unit":"SPELLING","enabled":true,"position":2},{"unit":"TRANSLATION_ZH","enabled":true,"position":3},)"
                   R"({"unit":"EXPLANATION","enabled":true,"position":4}]})")
            << "VALIDATION_FAILED";
        QTest::newRow("rate too fast")
            << QByteArray("PUT") << profile
            << QByteArray(
                   R"({"baseVersion":1,"repeatCount":1,"units":[{"unit":"WORD","enabled":true,"position":1,"speechRate":2.01},)"
                   R"({"unit":"SPELLING","enabled":true,"position":2},{"unit":"TRANSLATION_ZH","enabled":true,"position":3},)"
                   R"({"unit":"EXPLANATION","enabled":true,"position":4}]})")
            << "VALIDATION_FAILED";
        QTest::newRow("all units off")
            << QByteArray("PUT") << profile
            << QByteArray(
                   R"({"baseVersion":1,"repeatCount":1,"units":[{"unit":"WORD","enabled":false,"position":1},)"
                   R"({"unit":"SPELLING","enabled":false,"position":2},{"unit":"TRANSLATION_ZH","enabled":false,"position":3},)"
                   R"({"unit":"EXPLANATION","enabled":false,"position":4}]})")
            << "VALIDATION_FAILED";
        QTest::newRow("repeat 21 times") << QByteArray("PUT") << profile
                                         << QByteArray(R"({"baseVersion":1,"repeatCount":21,"units":[]})")
                                         << "VALIDATION_FAILED";
        QTest::newRow("English voice as Chinese")
            << QByteArray("PUT") << preference
            << QByteArray(R"({"playbackItems":["WORD"],"voiceEn":"en-US-JennyNeural","voiceZh":"en-US-GuyNeural",)"
                          R"("speechRate":1,"speechRateEn":1,"speechRateZh":1,"spellingRate":1,"baseVersion":1})")
            << "VALIDATION_FAILED";
        QTest::newRow("no playback items")
            << QByteArray("PUT") << preference
            << QByteArray(R"({"playbackItems":[],"voiceEn":"en-US-JennyNeural","voiceZh":"zh-CN-YunxiNeural",)"
                          R"("speechRate":1,"speechRateEn":1,"speechRateZh":1,"spellingRate":1,"baseVersion":1})")
            << "VALIDATION_FAILED";
        QTest::newRow("spelling rate 0.4")
            << QByteArray("PUT") << preference
            << QByteArray(R"({"playbackItems":["WORD"],"voiceEn":"en-US-JennyNeural","voiceZh":"zh-CN-YunxiNeural",)"
                          R"("speechRate":1,"speechRateEn":1,"speechRateZh":1,"spellingRate":0.4,"baseVersion":1})")
            << "VALIDATION_FAILED";
        QTest::newRow("playlist without name")
            << QByteArray("POST") << "/api/v1/user/playlists" << QByteArray(R"({"loopMode":"ONCE","items":[]})")
            << "VALIDATION_FAILED";
        QTest::newRow("older word without client id")
            << QByteArray("POST") << "/api/v1/words" << QByteArray(R"({"wordText":"x","clientId":"abc"})")
            << "VALIDATION_FAILED";
    }
    void badBodiesAreRefusedWithAChineseMessage()
    {
        QFETCH(QByteArray, method);
        QFETCH(QString, path);
        QFETCH(QByteArray, body);
        QFETCH(QString, code);
        const Account account = m_backend.registerAccount();
        const Records records = makeRecords(account);
        const QByteArray version = QByteArray::number(lexiconVersion(account, records.lexicon));
        path.replace(QStringLiteral("%W"), QString::number(records.words[0]))
            .replace(QStringLiteral("%L"), QString::number(records.lexicon));
        body.replace("%W", QByteArray::number(records.words[0])).replace("%V", version);
        const Answer answer
            = m_backend.send(method, m_backend.baseUrl().resolved(QUrl(path)), body, account.accessToken);
        QCOMPARE(answer.status, 400);
        QCOMPARE(answer.errorCode(), code);
        QVERIFY(isChinese(answer.errorMessage()));
        QCOMPARE(answer.message(), answer.errorMessage());
        // Nothing was changed on the way.
        QCOMPARE(lexiconVersion(account, records.lexicon), version.toLongLong());
    }

    void nothingARequestSendsBringsTheServerDown_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        QTest::newRow("over 1 MB") << QByteArray("POST") << "/api/v1/user/lexicons"
                                   << QByteArray(R"({"name":")") + QByteArray(1024 * 1024, 'a') + QByteArray(R"("})")
                                   << 413;
        QTest::newRow("id beyond 64 bits")
            << QByteArray("DELETE") << "/api/v1/user/words/99999999999999999999" << QByteArray() << 404;
        QTest::newRow("negative id") << QByteArray("DELETE") << "/api/v1/user/playlists/-5" << QByteArray() << 404;
        QTest::newRow("id with letters") << QByteArray("GET") << "/api/v1/public/lexicons/1x" << QByteArray() << 404;
        QTest::newRow("unknown path") << QByteArray("GET") << "/api/v2/anything" << QByteArray() << 404;
        QTest::newRow("wrong method") << QByteArray("PATCH") << "/api/v1/user/lexicons" << QByteArray("{}") << 405;
        QTest::newRow("deep JSON") << QByteArray("POST") << "/api/v1/user/lexicons"
                                   << QByteArray(100000, '[') + QByteArray(100000, ']') << 400;
        QTest::newRow("binary") << QByteArray("POST") << "/api/v1/auth/login" << QByteArray::fromHex("00ff10fe7b227573")
                                << 400;
        QTest::newRow("lexicon query not a number")
            << QByteArray("GET") << "/api/v1/user/words?lexiconId=a%27--" << QByteArray() << 400;
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
