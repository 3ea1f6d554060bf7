#include "AwaitTask.h"
#include "JourneySteps.h"
#include "TestRegistry.h"

#include "Lexicons/UserLexiconDetailModel.h"
#include "Playback/PlaybackWordSnapshot.h"

#include <QJsonArray>
#include <QTest>

using namespace scenetest;

namespace {

const QString lexiconsPath = QStringLiteral("/api/v1/user/lexicons");

QJsonObject serverLexicon(SceneDriver &scene, const QString &token, const QString &name)
{
    for (const QJsonValue &lexicon : scene.backend().call("GET", lexiconsPath, token).data().toArray()) {
        if (lexicon[QStringLiteral("name")].toString() == name)
            return lexicon.toObject();
    }
    return {};
}

qint64 createServerLexicon(SceneDriver &scene, const QString &token, const QString &name)
{
    return scene.backend()
        .call("POST", lexiconsPath, QJsonObject {{"name", name}}, token)
        .data()[QStringLiteral("id")]
        .toInteger();
}

// A lexicon on the server with these words (text and meaning) in this order.
qint64 seedLexicon(
    SceneDriver &scene, const QString &token, const QString &name, const QList<QPair<QString, QString>> &words)
{
    const qint64 lexiconId = createServerLexicon(scene, token, name);
    for (const auto &[word, meaning] : words) {
        scene.backend().call("POST", QStringLiteral("/api/v1/user/words"),
            QJsonObject {{"word", word}, {"translationsZh", QJsonArray {meaning}}, {"lexiconId", lexiconId}}, token);
    }
    return lexiconId;
}

// The lexicon's words on the server, in its order.
QJsonArray serverWordList(SceneDriver &scene, const QString &token, qint64 lexiconId)
{
    return scene.backend().call("GET", QStringLiteral("/api/v1/user/words?lexiconId=%1").arg(lexiconId), token).data().toArray();
}

QStringList serverWords(SceneDriver &scene, const QString &token, qint64 lexiconId)
{
    QStringList words;
    for (const QJsonValue &word : serverWordList(scene, token, lexiconId))
        words.append(word[QStringLiteral("wordDisplay")].toString());
    return words;
}

QJsonObject serverWord(SceneDriver &scene, const QString &token, qint64 lexiconId, const QString &display)
{
    for (const QJsonValue &word : serverWordList(scene, token, lexiconId)) {
        if (word[QStringLiteral("wordDisplay")].toString() == display)
            return word.toObject();
    }
    return {};
}

// Opens the add sheet with "+", fills it and presses "保存".
bool addWord(SceneDriver &scene, const QString &word, const QString &meanings, const QString &ipa)
{
    settle();
    if (!scene.press(QStringLiteral("userLexiconDetail.add")) || !scene.waitForItem(QStringLiteral("addWordSheet.word")))
        return false;
    settle();
    return scene.type(QStringLiteral("addWordSheet.word"), word)
        && scene.type(QStringLiteral("addWordSheet.meanings"), meanings)
        && (ipa.isEmpty() || scene.type(QStringLiteral("addWordSheet.ipa"), ipa))
        && scene.press(QStringLiteral("addWordSheet.save"));
}

QStringList shownWords(talvoro::UserLexiconDetailModel *detail)
{
    QStringList words;
    for (const talvoro::ORVWord &word : detail->displayedWords())
        words.append(word.wordDisplay);
    return words;
}

// Drags the handle of one row onto another row, as a finger would.
void dragRow(SceneDriver &scene, int from, int to)
{
    settle();
    QQuickItem *handle = scene.item(QStringLiteral("userLexiconDetail.handle.%1").arg(from));
    QQuickItem *target = scene.item(QStringLiteral("userLexiconDetail.handle.%1").arg(to));
    QVERIFY(handle && target);
    const QPointF start = handle->mapToScene(QPointF(handle->width() / 2, handle->height() / 2));
    const QPointF end = target->mapToScene(QPointF(target->width() / 2, target->height() / 2));
    drag(scene.window(), start, end);
}

talvoro::UserLexiconDetailModel *signInAndOpen(SceneDriver &scene, const QString &name)
{
    if (!scene.signInToHome(demoUser, demoPassword) || !openUserLexicons(scene))
        return nullptr;
    return openLexicon(scene, name);
}

bool waitForToast(SceneDriver &scene, talvoro::UserLexiconDetailModel *detail, const QString &text)
{
    return scene.waitFor([&] { return detail->toast()->message() == text && detail->toast()->visible(); });
}

// The words' speech, fetched into the app's cache the way playback would.
void cacheSpeech(SceneDriver &scene, const talvoro::ORVWord &word, const talvoro::PlaybackPreference &preference)
{
    talvoro::DependencyContainer &container = scene.application().container();
    const QString token = container.session().state().snapshot()->accessToken;
    for (const talvoro::ResolvedPlaybackUnit &unit :
        talvoro::PlaybackWordSnapshot(word).plan(preference, talvoro::TTSVoice::defaultEnglish())) {
        auto fetch = container.ttsService().fetchAudio(unit.text, unit.voice.id, token);
        QVERIFY(!testsupport::awaitResult(std::move(fetch), 60s).isEmpty());
    }
}

} // namespace

class LexiconJourneyTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        if (!SceneDriver::available())
            QSKIP("needs the backend build and the test run's own Secret Service (scripts/test)");
    }

    // A lexicon is created and filled, a word edited, the words put in order, two
    // of them made a playlist, one moved and one deleted. Each step reaches the
    // backend and is confirmed on screen.
    void privateLexiconFromCreationToPlaylist()
    {
        SceneDriver scene;
        QVERIFY(scene.startBackend());
        const QString token = backendToken(scene);
        const qint64 otherLexiconId = createServerLexicon(scene, token, QStringLiteral("备用词库"));
        QVERIFY(scene.signInToHome(demoUser, demoPassword));
        QVERIFY(openUserLexicons(scene));

        // Create.
        settle();
        QVERIFY(scene.press(QStringLiteral("userLexiconList.add")));
        QVERIFY(scene.waitForItem(QStringLiteral("lexiconCreate.name")));
        settle();
        QVERIFY(scene.type(QStringLiteral("lexiconCreate.name"), QStringLiteral("晨间新词")));
        QVERIFY(scene.type(QStringLiteral("lexiconCreate.description"), QStringLiteral("每天早上")));
        QVERIFY(scene.press(QStringLiteral("lexiconCreate.submit")));
        QVERIFY(scene.waitForNoItem(QStringLiteral("lexiconCreate.name")));
        const QJsonObject created = serverLexicon(scene, token, QStringLiteral("晨间新词"));
        QCOMPARE(created[QStringLiteral("description")].toString(), QStringLiteral("每天早上"));
        const qint64 lexiconId = created[QStringLiteral("id")].toInteger();
        auto *detail = openLexicon(scene, QStringLiteral("晨间新词"));
        QVERIFY(detail);
        QVERIFY(scene.waitForItem(QStringLiteral("userLexiconDetail.empty")));

        // Add three words through the sheet; meanings of separators only are refused.
        const QList<QStringList> added {{"river", "河流；江", "/ˈrɪvər/"}, {"mountain", "山", ""}, {"forest", "森林", ""}};
        for (const QStringList &entry : added) {
            QVERIFY(addWord(scene, entry[0], entry[1], entry[2]));
            QVERIFY(scene.waitForNoItem(QStringLiteral("addWordSheet.word")));
            QVERIFY(scene.waitFor([&] { return shownWords(detail).contains(entry[0]) && !detail->isLoading(); }));
        }
        QVERIFY(addWord(scene, QStringLiteral("cloud"), QStringLiteral("；;"), QString()));
        QVERIFY(scene.waitFor([&] {
            return textOf(scene.item(QStringLiteral("addWordSheet.error"))) == QStringLiteral("单词拼写和中文释义不能为空");
        }));
        QVERIFY(!scene.savePng(QStringLiteral("journey-lexicon-add-refused")).isEmpty());
        QVERIFY(scene.press(QStringLiteral("addWordSheet.cancel")));
        QVERIFY(scene.waitForNoItem(QStringLiteral("addWordSheet.word")));
        QCOMPARE(serverWords(scene, token, lexiconId), (QStringList {"river", "mountain", "forest"}));

        // Edit the meanings of "river" and clear its IPA.
        settle();
        QVERIFY(scene.press(QStringLiteral("userLexiconDetail.actions.0")));
        QVERIFY(pressAlertAction(scene, QStringLiteral("编辑单词内容")));
        QVERIFY(scene.waitForItem(QStringLiteral("editWordSheet.meanings")));
        settle();
        QVERIFY(scene.replaceText(QStringLiteral("editWordSheet.meanings"), QStringLiteral("河；溪流")));
        QVERIFY(scene.replaceText(QStringLiteral("editWordSheet.ipa"), QString()));
        QVERIFY(scene.press(QStringLiteral("editWordSheet.save")));
        QVERIFY(waitForToast(scene, detail, QStringLiteral("已成功更新单词内容")));
        QVERIFY(scene.waitForNoItem(QStringLiteral("editWordSheet.meanings")));
        const talvoro::ORVWord river = detail->words().at(0);
        QCOMPARE(river.translationsZh, (QList<QString> {QStringLiteral("河"), QStringLiteral("溪流")}));
        QVERIFY(!river.ipa);
        const QJsonObject riverOnServer = serverWord(scene, token, lexiconId, QStringLiteral("river"));
        QCOMPARE(riverOnServer["translationsZh"].toArray(), (QJsonArray {"河", "溪流"}));
        QVERIFY(riverOnServer["ipa"].isNull() || riverOnServer["ipa"].isUndefined());

        // Reorder: "forest" to the top.
        const qint64 versionBefore = serverLexicon(scene, token, QStringLiteral("晨间新词"))["version"].toInteger();
        QVERIFY(scene.waitFor([&] { return detail->hasLoadedLexiconVersion(); }));
        QVERIFY(scene.press(QStringLiteral("userLexiconDetail.reorder")));
        QVERIFY(scene.waitForItem(QStringLiteral("userLexiconDetail.handle.2")));
        dragRow(scene, 2, 0);
        QCOMPARE(shownWords(detail), (QStringList {"forest", "river", "mountain"}));
        QVERIFY(!scene.savePng(QStringLiteral("journey-lexicon-reorder")).isEmpty());
        QVERIFY(scene.press(QStringLiteral("userLexiconDetail.saveOrder")));
        QVERIFY(waitForToast(scene, detail, QStringLiteral("词项顺序已保存")));
        QVERIFY(!detail->isReordering());
        QCOMPARE(serverWords(scene, token, lexiconId), (QStringList {"forest", "river", "mountain"}));
        QVERIFY(serverLexicon(scene, token, QStringLiteral("晨间新词"))["version"].toInteger() > versionBefore);

        // Select two and add them to a new playlist.
        QVERIFY(scene.press(QStringLiteral("userLexiconDetail.select")));
        QVERIFY(scene.waitForItem(QStringLiteral("userLexiconDetail.addToPlaylist")));
        settle();
        QVERIFY(scene.press(QStringLiteral("userLexiconDetail.wordBody.2")));
        QVERIFY(scene.press(QStringLiteral("userLexiconDetail.wordBody.0")));
        QCOMPARE(textOf(scene.item(QStringLiteral("userLexiconDetail.selectionCount"))), QStringLiteral("已选 2 / 3 词"));
        QVERIFY(scene.press(QStringLiteral("userLexiconDetail.addToPlaylist")));
        QVERIFY(scene.waitForItem(QStringLiteral("playlistPicker.name")));
        settle();
        QCOMPARE(textOf(scene.item(QStringLiteral("playlistPicker.count"))), QStringLiteral("当前已选中 2 个词汇"));
        QVERIFY(scene.type(QStringLiteral("playlistPicker.name"), QStringLiteral("山林")));
        QVERIFY(scene.press(QStringLiteral("playlistPicker.create")));
        QVERIFY(scene.waitFor([&] {
            return textOf(scene.item(QStringLiteral("playlistPicker.toast")))
                == QStringLiteral("列表“山林”创建并保存成功！可继续添加其他列表");
        }));
        const QJsonArray playlists = scene.backend().call("GET", QStringLiteral("/api/v1/user/playlists"), token).data().toArray();
        QCOMPARE(playlists.size(), 1);
        const QJsonArray items = playlists.at(0)[QStringLiteral("items")].toArray();
        QCOMPARE(items.size(), 2);
        QCOMPARE(items.at(0)[QStringLiteral("wordDisplay")].toString(), QStringLiteral("forest"));
        QCOMPARE(items.at(1)[QStringLiteral("wordDisplay")].toString(), QStringLiteral("mountain"));
        QVERIFY(scene.press(QStringLiteral("playlistPicker.done")));
        QVERIFY(scene.waitForNoItem(QStringLiteral("playlistPicker.name")));
        QVERIFY(scene.press(QStringLiteral("userLexiconDetail.doneSelecting")));

        // Move "river" to the other lexicon.
        settle();
        QVERIFY(scene.press(QStringLiteral("userLexiconDetail.actions.1")));
        QVERIFY(pressAlertAction(scene, QStringLiteral("移动到其他词库")));
        QVERIFY(scene.waitForItem(QStringLiteral("moveWordSheet.row.0")));
        settle();
        QVERIFY(scene.press(QStringLiteral("moveWordSheet.row.0")));
        QVERIFY(scene.press(QStringLiteral("moveWordSheet.confirm")));
        QVERIFY(waitForToast(scene, detail, QStringLiteral("已移动至目标词库")));
        QVERIFY(scene.waitForNoItem(QStringLiteral("moveWordSheet.confirm")));
        QCOMPARE(shownWords(detail), (QStringList {"forest", "mountain"}));
        QCOMPARE(serverWords(scene, token, lexiconId), (QStringList {"forest", "mountain"}));
        QCOMPARE(serverWords(scene, token, otherLexiconId), (QStringList {"river"}));

        // Delete "mountain".
        settle();
        QVERIFY(scene.press(QStringLiteral("userLexiconDetail.actions.1")));
        QVERIFY(pressAlertAction(scene, QStringLiteral("删除单词")));
        QVERIFY(scene.waitFor([&] { return detail->showDeleteConfirmAlert(); }));
        QCOMPARE(detail->wordToDeleteDisplay(), QStringLiteral("mountain"));
        QVERIFY(pressAlertAction(scene, QStringLiteral("删除")));
        QVERIFY(waitForToast(scene, detail, QStringLiteral("单词已删除")));
        QVERIFY(!scene.savePng(QStringLiteral("journey-lexicon-deleted")).isEmpty());
        QCOMPARE(shownWords(detail), (QStringList {"forest"}));
        QCOMPARE(serverWords(scene, token, lexiconId), (QStringList {"forest"}));
    }

    // Offline, the lexicon shows from the device in the order last saved, with the
    // offline banner; a word whose speech is all cached carries the badge, online
    // and offline.
    void offlineSnapshot()
    {
        SceneDriver scene;
        QVERIFY(scene.startBackend());
        const QString token = backendToken(scene);
        seedLexicon(scene, token, QStringLiteral("旅途"), {{"ticket", "票"}, {"train", "火车"}, {"hotel", "酒店"}});
        auto *detail = signInAndOpen(scene, QStringLiteral("旅途"));
        QVERIFY(detail);
        QVERIFY(scene.waitFor([&] { return detail->hasLoadedPlaybackPreference(); }));

        cacheSpeech(scene, detail->words().at(1), detail->playbackPreference());
        detail->reload();
        QVERIFY(scene.waitForItem(QStringLiteral("userLexiconDetail.offline.1")));
        QVERIFY(!scene.item(QStringLiteral("userLexiconDetail.offline.0")));

        QVERIFY(scene.press(QStringLiteral("userLexiconDetail.reorder")));
        QVERIFY(scene.waitForItem(QStringLiteral("userLexiconDetail.handle.0")));
        dragRow(scene, 0, 2);
        QVERIFY(scene.press(QStringLiteral("userLexiconDetail.saveOrder")));
        QVERIFY(waitForToast(scene, detail, QStringLiteral("词项顺序已保存")));
        const QStringList saved = shownWords(detail);
        QCOMPARE(saved, (QStringList {"train", "hotel", "ticket"}));

        goBack(scene);
        QVERIFY(scene.waitForNoItem(QStringLiteral("userLexiconDetail")));
        scene.stopBackend();
        detail = openLexicon(scene, QStringLiteral("旅途"));
        QVERIFY(detail);
        QCOMPARE(shownWords(detail), saved);
        QVERIFY(scene.waitForItem(QStringLiteral("userLexiconDetail.banner")));
        QCOMPARE(detail->operationErrorMessageText(), QStringLiteral("当前处于离线状态，已显示上次同步的词库内容"));
        // The word whose speech is cached still says it plays offline: most of all now.
        QVERIFY(scene.waitForItem(QStringLiteral("userLexiconDetail.offline.0")));
        QVERIFY(!scene.item(QStringLiteral("userLexiconDetail.offline.1")));
        QVERIFY(!scene.item(QStringLiteral("userLexiconDetail.offline.2")));
        QVERIFY(!scene.savePng(QStringLiteral("journey-lexicon-offline")).isEmpty());
    }

    // A save against an order changed elsewhere reloads the server's order, leaves
    // the mode and says so.
    void orderConflict()
    {
        SceneDriver scene;
        QVERIFY(scene.startBackend());
        const QString token = backendToken(scene);
        const qint64 lexiconId
            = seedLexicon(scene, token, QStringLiteral("冲突"), {{"one", "一"}, {"two", "二"}, {"three", "三"}});
        auto *detail = signInAndOpen(scene, QStringLiteral("冲突"));
        QVERIFY(detail);
        QVERIFY(scene.waitFor([&] { return detail->hasLoadedLexiconVersion(); }));

        QVERIFY(scene.press(QStringLiteral("userLexiconDetail.reorder")));
        QVERIFY(scene.waitForItem(QStringLiteral("userLexiconDetail.handle.0")));
        dragRow(scene, 0, 1);

        // Elsewhere, "three" goes first.
        const QJsonObject onServer = serverLexicon(scene, token, QStringLiteral("冲突"));
        QJsonArray items;
        const QJsonArray serverList = serverWordList(scene, token, lexiconId);
        for (int i : {2, 0, 1})
            items.append(QJsonObject {{"wordId", serverList.at(i)["id"]}, {"position", items.size() + 1}});
        scene.backend().call("PUT", QStringLiteral("/api/v1/user/lexicons/%1/words/order").arg(lexiconId),
            QJsonObject {{"items", items}, {"baseVersion", onServer["version"]}}, token);

        QVERIFY(scene.press(QStringLiteral("userLexiconDetail.saveOrder")));
        QVERIFY(scene.waitFor([&] {
            return detail->operationErrorMessageText()
                == QStringLiteral("词库已在其他位置更新，已刷新列表，请重新调整顺序");
        }));
        QVERIFY(!detail->isReordering());
        QCOMPARE(shownWords(detail), (QStringList {"three", "one", "two"}));
        QVERIFY(scene.waitForItem(QStringLiteral("userLexiconDetail.banner")));
        QVERIFY(!scene.savePng(QStringLiteral("journey-lexicon-conflict")).isEmpty());
    }
};

TALVORO_TEST(LexiconJourneyTest)
#include "tst_lexiconjourneys.moc"
