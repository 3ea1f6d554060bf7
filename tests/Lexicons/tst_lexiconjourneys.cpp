#include "AwaitTask.h"
#include "SceneDriver.h"
#include "TestRegistry.h"

#include "Lexicons/UserLexiconDetailModel.h"
#include "Lexicons/UserLexiconListModel.h"
#include "Playback/PlaybackWordSnapshot.h"

#include <QJSValue>
#include <QJsonArray>
#include <QTest>

using namespace scenetest;

namespace {

const QString demoUser = QStringLiteral("demo");
const QString demoPassword = QStringLiteral("listen2learn");
const QString lexiconsPath = QStringLiteral("/api/v1/user/lexicons");

QString textOf(QQuickItem *item)
{
    return item ? item->property("text").toString() : QString();
}

// Lets a push or a sheet finish moving into place before it is touched.
void settle()
{
    QTest::qWait(450);
}

template<typename Model>
Model *modelOf(SceneDriver &scene, const QString &page)
{
    QQuickItem *item = scene.item(page);
    return item ? item->property("model").value<Model *>() : nullptr;
}

// A token of the demo account of its own, to look at (and change) what the backend holds.
QString backendToken(SceneDriver &scene)
{
    return scene.backend()
        .call("POST", QStringLiteral("/api/v1/auth/login"),
            QJsonObject {{"username", demoUser}, {"password", demoPassword}})
        .data()[QStringLiteral("accessToken")]
        .toString();
}

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

void createServerWord(SceneDriver &scene, const QString &token, qint64 lexiconId, const QString &word,
    const QString &meaning)
{
    scene.backend().call("POST", QStringLiteral("/api/v1/user/words"),
        QJsonObject {{"word", word}, {"translationsZh", QJsonArray {meaning}}, {"lexiconId", lexiconId}}, token);
}

QStringList serverWords(SceneDriver &scene, const QString &token, qint64 lexiconId)
{
    QStringList words;
    const QJsonArray list
        = scene.backend().call("GET", QStringLiteral("/api/v1/user/words?lexiconId=%1").arg(lexiconId), token).data().toArray();
    for (const QJsonValue &word : list)
        words.append(word[QStringLiteral("wordDisplay")].toString());
    return words;
}

QStringList shownWords(talvoro::UserLexiconDetailModel *detail)
{
    QStringList words;
    for (const talvoro::ORVWord &word : detail->displayedWords())
        words.append(word.wordDisplay);
    return words;
}

QString actionText(QQuickItem *item)
{
    const QVariant data = item->property("modelData");
    if (data.canConvert<QJSValue>())
        return data.value<QJSValue>().property(QStringLiteral("text")).toString();
    return data.toMap().value(QStringLiteral("text")).toString();
}

QQuickItem *findAction(QQuickItem *root, const QString &text)
{
    for (QQuickItem *child : root->childItems()) {
        if (!child->isVisible())
            continue;
        if (child->inherits("QQuickAbstractButton") && actionText(child) == text)
            return child;
        if (QQuickItem *found = findAction(child, text))
            return found;
    }
    return nullptr;
}

// Taps the dialog's button with this text.
bool pressAction(SceneDriver &scene, const QString &text)
{
    QQuickItem *button = nullptr;
    if (!scene.waitFor([&] { return (button = findAction(scene.window()->contentItem(), text)) != nullptr; }))
        return false;
    settle();
    const QPointF centre = button->mapToScene(QPointF(button->width() / 2, button->height() / 2));
    QTest::mouseClick(scene.window(), Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    return true;
}

void goBack(SceneDriver &scene)
{
    QObject *stack = scene.item(QStringLiteral("home.view"))->property("navStack").value<QObject *>();
    QMetaObject::invokeMethod(stack, "pop");
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
    QTest::mousePress(scene.window(), Qt::LeftButton, Qt::NoModifier, start.toPoint());
    for (int step = 1; step <= 12; ++step) {
        QTest::qWait(16);
        QTest::mouseMove(scene.window(), (start + (end - start) * step / 12.0).toPoint());
    }
    QTest::mouseRelease(scene.window(), Qt::LeftButton, Qt::NoModifier, end.toPoint());
}

bool openUserLexicons(SceneDriver &scene)
{
    settle();
    return scene.waitForItem(QStringLiteral("home.userLexiconsCard.open"))
        && scene.press(QStringLiteral("home.userLexiconsCard.open"))
        && scene.waitForItem(QStringLiteral("userLexiconList"));
}

// Opens the row of the list named `name`; returns the detail's model once its load ended.
talvoro::UserLexiconDetailModel *openLexicon(SceneDriver &scene, const QString &name)
{
    auto *list = modelOf<talvoro::UserLexiconListModel>(scene, QStringLiteral("userLexiconList"));
    int row = -1;
    if (!list || !scene.waitFor([&] {
            for (int i = 0; i < list->lexicons().size(); ++i) {
                if (list->lexicons()[i].name == name)
                    row = i;
            }
            return row >= 0 && !list->isLoading();
        }))
        return nullptr;
    settle();
    if (!scene.press(QStringLiteral("userLexiconList.row.%1").arg(row))
        || !scene.waitForItem(QStringLiteral("userLexiconDetail")))
        return nullptr;
    auto *detail = modelOf<talvoro::UserLexiconDetailModel>(scene, QStringLiteral("userLexiconDetail"));
    if (!detail || !scene.waitFor([detail] { return !detail->isLoading(); }))
        return nullptr;
    settle();
    return detail;
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

    // A lexicon is created, filled, put in order, and two of its words become a
    // playlist; a word is deleted. Each step reaches the backend.
    void privateLexiconFromCreationToPlaylist()
    {
        SceneDriver scene;
        QVERIFY(scene.startBackend());
        const QString token = backendToken(scene);
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

        // Fill.
        for (const auto &[word, meaning] : {std::pair {"river", "河流"}, {"mountain", "山"}, {"forest", "森林"}})
            createServerWord(scene, token, lexiconId, QString::fromUtf8(word), QString::fromUtf8(meaning));
        detail->reload();
        QVERIFY(scene.waitFor([&] { return detail->wordCount() == 3 && !detail->isLoading(); }));
        QVERIFY(scene.waitForItem(QStringLiteral("userLexiconDetail.word.2")));

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

        // Delete "river".
        settle();
        QVERIFY(scene.press(QStringLiteral("userLexiconDetail.actions.1")));
        QVERIFY(pressAction(scene, QStringLiteral("删除单词")));
        QVERIFY(scene.waitFor([&] { return detail->showDeleteConfirmAlert(); }));
        QCOMPARE(detail->wordToDeleteDisplay(), QStringLiteral("river"));
        QVERIFY(pressAction(scene, QStringLiteral("删除")));
        QVERIFY(waitForToast(scene, detail, QStringLiteral("单词已删除")));
        QVERIFY(!scene.savePng(QStringLiteral("journey-lexicon-deleted")).isEmpty());
        QCOMPARE(shownWords(detail), (QStringList {"forest", "mountain"}));
        QCOMPARE(serverWords(scene, token, lexiconId), (QStringList {"forest", "mountain"}));
    }

    // Offline, the lexicon shows from the device in the order last saved, with the
    // offline banner; online, a word whose speech is all cached carries the badge.
    void offlineSnapshot()
    {
        SceneDriver scene;
        QVERIFY(scene.startBackend());
        const QString token = backendToken(scene);
        const qint64 lexiconId = createServerLexicon(scene, token, QStringLiteral("旅途"));
        createServerWord(scene, token, lexiconId, QStringLiteral("ticket"), QStringLiteral("票"));
        createServerWord(scene, token, lexiconId, QStringLiteral("train"), QStringLiteral("火车"));
        createServerWord(scene, token, lexiconId, QStringLiteral("hotel"), QStringLiteral("酒店"));
        QVERIFY(scene.signInToHome(demoUser, demoPassword));
        QVERIFY(openUserLexicons(scene));
        auto *detail = openLexicon(scene, QStringLiteral("旅途"));
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
        QVERIFY(!scene.savePng(QStringLiteral("journey-lexicon-offline")).isEmpty());
    }

    // A save against an order changed elsewhere reloads the server's order, leaves
    // the mode and says so.
    void orderConflict()
    {
        SceneDriver scene;
        QVERIFY(scene.startBackend());
        const QString token = backendToken(scene);
        const qint64 lexiconId = createServerLexicon(scene, token, QStringLiteral("冲突"));
        createServerWord(scene, token, lexiconId, QStringLiteral("one"), QStringLiteral("一"));
        createServerWord(scene, token, lexiconId, QStringLiteral("two"), QStringLiteral("二"));
        createServerWord(scene, token, lexiconId, QStringLiteral("three"), QStringLiteral("三"));
        QVERIFY(scene.signInToHome(demoUser, demoPassword));
        QVERIFY(openUserLexicons(scene));
        auto *detail = openLexicon(scene, QStringLiteral("冲突"));
        QVERIFY(detail);
        QVERIFY(scene.waitFor([&] { return detail->hasLoadedLexiconVersion(); }));

        QVERIFY(scene.press(QStringLiteral("userLexiconDetail.reorder")));
        QVERIFY(scene.waitForItem(QStringLiteral("userLexiconDetail.handle.0")));
        dragRow(scene, 0, 1);

        // Elsewhere, "three" goes first.
        const QJsonObject onServer = serverLexicon(scene, token, QStringLiteral("冲突"));
        QJsonArray items;
        const QJsonArray serverList
            = scene.backend().call("GET", QStringLiteral("/api/v1/user/words?lexiconId=%1").arg(lexiconId), token).data().toArray();
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
