#include "LexiconTesting.h"
#include "TestRegistry.h"

#include "Lexicons/UserLexiconDetailModel.h"
#include "Playback/PlaybackViewModel.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QTest>

using namespace lexicontesting;

namespace {

const QString orderPath = QStringLiteral("/api/v1/user/lexicons/5/words/order");

QString deletePath(qint64 wordId)
{
    return QStringLiteral("/api/v1/user/lexicons/5/words/%1").arg(wordId);
}

QByteArray lexiconsAnswer(qint64 version)
{
    return envelope(QJsonArray {lexicon(4, QStringLiteral("别的")).toJson(),
        lexicon(5, QStringLiteral("每日核心词"), version).toJson()});
}

// The backend's receipt of an order: the items as sent, under a new version.
ScriptedResponse receiptAnswer(const RecordedRequest &request, qint64 version)
{
    return ScriptedResponse::json(200,
        envelope(QJsonObject {{"lexiconId", 5}, {"version", version}, {"items", bodyOf(request)["items"]}}));
}

// Lexicon 5 as the list handed it over, over a backend that answers every read.
struct Detail {
    LexiconFixture &f;
    // The speech cache: everything or nothing, but for the missing texts.
    bool cachesAll = false;
    QSet<QString> missingTexts;
    GlobalPlaybackSession playback {[] { return std::unique_ptr<PlaybackViewModel>(); },
        [this](const QString &text, const TTSVoice &) { return cachesAll && !missingTexts.contains(text); }};
    std::unique_ptr<UserLexiconDetailModel> model;
    std::unique_ptr<QAbstractItemModelTester> tester;

    explicit Detail(LexiconFixture &fixture, const QList<ORVWord> &served = words({1, 2, 3}), qint64 version = 3)
        : f(fixture)
    {
        serve(served);
        f.server().route("GET", lexiconsPath, ScriptedResponse::json(200, lexiconsAnswer(version)));
        f.server().route("GET", preferencesPath, ScriptedResponse::json(200, envelope(PlaybackPreference().toJson())));
        model = std::make_unique<UserLexiconDetailModel>(lexicon(5, QStringLiteral("每日核心词"), 1), f.services(),
            playback, UserLexiconDetailModel::PlaylistSheetFactory());
        tester = std::make_unique<QAbstractItemModelTester>(
            model->rowsModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    }
    void serve(const QList<ORVWord> &served)
    {
        f.server().route("GET", wordsPath, ScriptedResponse::json(200, envelope(wordsJson(served))));
    }
    void load() { awaitResult(model->loadWords()); }
    QList<qint64> snapshotIds() { return idsOf(awaitResult(f.snapshots->readSnapshot(f.owner, 5))); }
    QList<qint64> shownIds() const { return idsOf(model->rowsModel()->rows()); }
};

} // namespace

class UserLexiconDetailTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // What a load shows, by what the device holds and what the backend answers.
    void loadOutcomes_data()
    {
        QTest::addColumn<QList<qint64>>("snapshot");
        QTest::addColumn<int>("status");
        QTest::addColumn<QList<qint64>>("shown");
        QTest::addColumn<QString>("loadError");
        QTest::addColumn<QString>("banner");
        QTest::addColumn<bool>("versionLoaded");

        const QList<qint64> none;
        QTest::newRow("empty lexicon, no snapshot") << none << 200 << none << QString() << QString() << true;
        QTest::newRow("server list replaces snapshot")
            << QList<qint64> {9} << 200 << QList<qint64> {1, 2, 3} << QString() << QString() << true;
        QTest::newRow("offline with snapshot")
            << QList<qint64> {3, 1} << 503 << QList<qint64> {3, 1} << QString()
            << QStringLiteral("当前处于离线状态，已显示上次同步的词库内容") << false;
        QTest::newRow("offline without snapshot") << none << 503 << none << QStringLiteral("*") << QString() << false;
    }
    void loadOutcomes()
    {
        QFETCH(QList<qint64>, snapshot);
        QFETCH(int, status);
        QFETCH(QList<qint64>, shown);
        QFETCH(QString, loadError);
        QFETCH(QString, banner);
        QFETCH(bool, versionLoaded);
        LexiconFixture f;
        if (!snapshot.isEmpty())
            awaitResult(f.snapshots->writeSnapshot(words(snapshot), f.owner, 5));
        Detail d(f, status == 200 && !shown.isEmpty() ? words(shown) : QList<ORVWord>());
        if (status != 200)
            f.server().route("GET", wordsPath, ScriptedResponse::json(status, errorAnswer(QStringLiteral("DOWN"))));
        d.load();
        QCOMPARE(d.shownIds(), shown);
        QVERIFY(!d.model->isLoading());
        if (loadError == QStringLiteral("*"))
            QVERIFY(!d.model->loadErrorMessageText().isEmpty());
        else
            QCOMPARE(d.model->loadErrorMessageText(), loadError);
        QCOMPARE(d.model->operationErrorMessageText(), banner);
        QCOMPARE(d.model->hasLoadedLexiconVersion(), versionLoaded);
        if (versionLoaded)
            QCOMPARE(d.model->lexiconVersion(), 3);
        if (status == 200)
            QCOMPARE(d.snapshotIds(), shown);
    }

    // Signed out: the text full-screen while nothing is shown, else in the banner.
    void signedOutLoad()
    {
        LexiconFixture f;
        Detail d(f);
        d.load();
        f.signOut();
        d.load();
        QCOMPARE(d.model->operationErrorMessageText(), QStringLiteral("登录状态已失效，请重新登录"));
        QCOMPARE(d.shownIds(), (QList<qint64> {1, 2, 3}));

        Detail fresh(f);
        fresh.load();
        QCOMPARE(fresh.model->loadErrorMessageText(), QStringLiteral("登录状态已失效，请重新登录"));
    }

    // A snapshot that cannot be written is only logged: the fetched words show as
    // current, and the version and the preference still load.
    void snapshotWriteFailureIsNotOffline()
    {
        LexiconFixture f;
        const QString blocked = f.dir.filePath(QStringLiteral("blocked"));
        QFile file(blocked);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        f.snapshots = std::make_unique<UserLexiconWordSnapshotStore>(blocked);
        Detail d(f);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("写入词库单词快照失败")));
        d.load();
        QCOMPARE(d.shownIds(), (QList<qint64> {1, 2, 3}));
        QCOMPARE(d.model->operationErrorMessageText(), QString());
        QCOMPARE(d.model->loadErrorMessageText(), QString());
        QVERIFY(d.model->hasLoadedLexiconVersion());
        QVERIFY(d.model->hasLoadedPlaybackPreference());
        QVERIFY(!d.model->isLoading());
    }

    // Of two overlapping loads only the later applies, snapshots and ends the
    // loading state, whichever answer comes last.
    void overtakenLoadIsDropped()
    {
        LexiconFixture f;
        Detail d(f);
        int calls = 0;
        f.server().route("GET", wordsPath, [&calls](const RecordedRequest &) {
            const bool first = ++calls == 1;
            const ScriptedResponse answer
                = ScriptedResponse::json(200, envelope(wordsJson(first ? words({1}) : words({1, 2}))));
            return first ? ScriptedResponse::heldBack(answer) : answer;
        });
        auto older = startAwaiting(d.model->loadWords());
        QTRY_COMPARE(f.server().heldCount(), 1);
        d.load();
        QCOMPARE(d.shownIds(), (QList<qint64> {1, 2}));
        QVERIFY(!d.model->isLoading());
        f.server().releaseHeld(0);
        QTRY_VERIFY(older->finished);
        QCOMPARE(d.shownIds(), (QList<qint64> {1, 2}));
        QCOMPARE(d.snapshotIds(), (QList<qint64> {1, 2}));
        QVERIFY(!d.model->isLoading());
    }

    // A word is marked when every unit it would speak is cached; nothing is marked
    // without the server's preference.
    void fullyCachedProbe_data()
    {
        QTest::addColumn<bool>("cachesAll");
        QTest::addColumn<QString>("missing");
        QTest::addColumn<bool>("preferenceFails");
        QTest::addColumn<QList<qint64>>("marked");
        QTest::newRow("everything cached") << true << QString() << false << QList<qint64> {1, 2};
        QTest::newRow("one unit missing") << true << QStringLiteral("义1") << false << QList<qint64> {2};
        QTest::newRow("nothing cached") << false << QString() << false << QList<qint64> {};
        QTest::newRow("no preference") << true << QString() << true << QList<qint64> {};
    }
    void fullyCachedProbe()
    {
        QFETCH(bool, cachesAll);
        QFETCH(QString, missing);
        QFETCH(bool, preferenceFails);
        QFETCH(QList<qint64>, marked);
        LexiconFixture f;
        Detail d(f, words({1, 2}));
        d.cachesAll = cachesAll;
        d.missingTexts = {missing};
        if (preferenceFails)
            f.server().route("GET", preferencesPath, ScriptedResponse::json(500, errorAnswer(QStringLiteral("X"))));
        d.load();
        QList<qint64> ids = d.model->fullyCachedWordIds().values();
        std::sort(ids.begin(), ids.end());
        QCOMPARE(ids, marked);
        if (preferenceFails)
            QVERIFY(d.model->operationErrorMessageText().startsWith(QStringLiteral("离线状态暂不可用：")));
    }

    // A second confirmation while the first deletion runs sends nothing; the end of
    // that deletion leaves another word's pending confirmation alone.
    void deletion()
    {
        LexiconFixture f;
        Detail d(f);
        d.load();
        d.model->enterSelectionMode();
        d.model->toggleSelectAll();
        f.server().route("DELETE", deletePath(1),
            ScriptedResponse::heldBack(ScriptedResponse::json(
                200, envelope(QJsonObject {{"lexiconId", 5}, {"wordId", 1}, {"removed", true}}))));
        d.model->perform(UserLexiconDetailModel::WordAction::Delete, 1);
        QCOMPARE(d.model->wordToDeleteDisplay(), QStringLiteral("w1"));
        auto first = startAwaiting(d.model->deleteWord(*d.model->wordToDelete()));
        QTRY_COMPARE(f.server().heldCount(), 1);
        d.model->confirmDelete();
        d.model->perform(UserLexiconDetailModel::WordAction::Delete, 2);
        f.server().releaseHeld(0);
        QTRY_VERIFY(first->finished);
        QCOMPARE(f.sent("DELETE", deletePath(1)).size(), 1);
        QCOMPARE(d.shownIds(), (QList<qint64> {2, 3}));
        QCOMPARE(d.model->selectedCount(), 2);
        QCOMPARE(d.model->wordToDeleteDisplay(), QStringLiteral("w2"));
        QCOMPARE(d.model->toast()->message(), QStringLiteral("单词已删除"));
        QTRY_COMPARE(d.snapshotIds(), (QList<qint64> {2, 3}));
    }

    void deletionFailure()
    {
        LexiconFixture f;
        Detail d(f);
        d.load();
        f.server().route("DELETE", deletePath(2), ScriptedResponse::json(500, errorAnswer(QStringLiteral("X"), "坏了")));
        awaitResult(d.model->deleteWord(word(2, QStringLiteral("w2"))));
        QCOMPARE(d.shownIds(), (QList<qint64> {1, 2, 3}));
        QVERIFY(d.model->operationErrorMessageText().startsWith(QStringLiteral("删除单词失败：")));
        QVERIFY(d.model->deletingWordIds().isEmpty());
    }

    // A saved order is adopted with the receipt's version, leaves the mode and is
    // what the device shows offline too. A second press while it runs sends nothing.
    void saveOrder()
    {
        LexiconFixture f;
        Detail d(f);
        d.load();
        d.model->startReordering();
        QVERIFY(d.model->isReordering());
        QVERIFY(!d.model->canSaveOrder());
        d.model->moveDraftRow(2, 0);
        QCOMPARE(d.shownIds(), (QList<qint64> {3, 1, 2}));
        QCOMPARE(idsOf(d.model->words()), (QList<qint64> {1, 2, 3}));
        QVERIFY(d.model->canSaveOrder());
        f.server().route("PUT", orderPath,
            [](const RecordedRequest &request) { return ScriptedResponse::heldBack(receiptAnswer(request, 4)); });
        auto save = startAwaiting(d.model->saveOrder());
        d.model->startSaveOrder();
        QTRY_COMPARE(f.server().heldCount(), 1);
        f.server().releaseHeld(0);
        QTRY_VERIFY(save->finished);
        const auto puts = f.sent("PUT", orderPath);
        QCOMPARE(puts.size(), 1);
        const QJsonObject body = bodyOf(puts[0]);
        QCOMPARE(body["baseVersion"].toInteger(), 3);
        QCOMPARE(body["items"].toArray().at(0).toObject(), (QJsonObject {{"wordId", 3}, {"position", 1}}));
        QCOMPARE(body["items"].toArray().at(2).toObject(), (QJsonObject {{"wordId", 2}, {"position", 3}}));
        QVERIFY(!d.model->isReordering());
        QCOMPARE(idsOf(d.model->words()), (QList<qint64> {3, 1, 2}));
        QCOMPARE(d.model->lexiconVersion(), 4);
        QCOMPARE(d.model->toast()->message(), QStringLiteral("词项顺序已保存"));
        QTRY_COMPARE(d.snapshotIds(), (QList<qint64> {3, 1, 2}));
    }

    // A refused save reloads the server's order and leaves the mode; a conflict
    // (status 409, or the code "DATA_CONFLICT") says so.
    void refusedOrder_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("conflict");
        QTest::newRow("409 without code") << 409 << QStringLiteral("OTHER") << true;
        QTest::newRow("code with another status") << 400 << QStringLiteral("DATA_CONFLICT") << true;
        QTest::newRow("other failure") << 500 << QStringLiteral("INTERNAL") << false;
    }
    void refusedOrder()
    {
        QFETCH(int, status);
        QFETCH(QString, code);
        QFETCH(bool, conflict);
        LexiconFixture f;
        Detail d(f);
        d.load();
        d.model->startReordering();
        d.model->moveDraftRow(0, 2);
        d.serve(words({2, 3, 1}));
        f.server().route("PUT", orderPath, ScriptedResponse::json(status, errorAnswer(code, "被拒绝")));
        awaitResult(d.model->saveOrder());
        QVERIFY(!d.model->isReordering());
        QVERIFY(!d.model->isSavingOrder());
        QCOMPARE(d.shownIds(), (QList<qint64> {2, 3, 1}));
        const QString message = d.model->operationErrorMessageText();
        if (conflict)
            QCOMPARE(message, QStringLiteral("词库已在其他位置更新，已刷新列表，请重新调整顺序"));
        else
            QVERIFY2(message.startsWith(QStringLiteral("保存顺序失败，已恢复服务端顺序：")), qPrintable(message));
    }

    // Reordering needs two words and a confirmed version; without the version a
    // save sends nothing.
    void reorderGuards()
    {
        LexiconFixture f;
        Detail d(f);
        f.server().route("GET", lexiconsPath, ScriptedResponse::json(200, envelope(QJsonArray())));
        d.load();
        QVERIFY(!d.model->hasLoadedLexiconVersion());
        d.model->startReordering();
        QVERIFY(!d.model->isReordering());
        awaitResult(d.model->saveOrder());
        QCOMPARE(d.model->operationErrorMessageText(), QStringLiteral("当前无法保存顺序，请刷新后重试"));
        QVERIFY(f.sent("PUT", orderPath).isEmpty());
    }

    // With selection mode on, a reload keeps the selected words that still exist;
    // the sheet gets them in list order.
    void selectionAcrossReload()
    {
        LexiconFixture f;
        Detail d(f);
        d.load();
        d.model->enterSelectionMode();
        d.model->toggleSelection(3);
        d.model->toggleSelection(1);
        QCOMPARE(idsOf(d.model->selectedWords()), (QList<qint64> {1, 3}));
        d.model->toggleSelectAll();
        QVERIFY(d.model->areAllWordsSelected());
        d.model->toggleSelectAll();
        QCOMPARE(d.model->selectedCount(), 0);
        d.model->toggleSelection(2);
        d.model->toggleSelection(3);
        d.serve(words({3, 4}));
        d.load();
        QCOMPARE(idsOf(d.model->selectedWords()), (QList<qint64> {3}));
        d.model->exitSelectionMode();
        d.model->enterSelectionMode();
        QCOMPARE(d.model->selectedCount(), 0);
    }

    // A saved word replaces its row, the playing list and the snapshot entry; a
    // word no longer listed is not added back. A move drops the word everywhere.
    void sheetResults()
    {
        LexiconFixture f;
        Detail d(f);
        d.load();
        ORVWord edited = word(2, QStringLiteral("w2"));
        edited.translationsZh = {QStringLiteral("新义")};
        d.model->onWordDetailsSaved(edited);
        QCOMPARE(d.model->words().at(1).translationsZh, (QList<QString> {QStringLiteral("新义")}));
        QCOMPARE(d.model->toast()->message(), QStringLiteral("已成功更新单词内容"));
        QTRY_COMPARE(awaitResult(f.snapshots->readSnapshot(f.owner, 5)).at(1).translationsZh,
            (QList<QString> {QStringLiteral("新义")}));
        d.model->onPlaybackSaved(word(8, QStringLiteral("w8")));
        QCOMPARE(d.shownIds(), (QList<qint64> {1, 2, 3}));
        QCOMPARE(d.model->toast()->message(), QStringLiteral("已保存播放设置"));

        d.model->onWordMoved(1);
        QCOMPARE(d.shownIds(), (QList<qint64> {2, 3}));
        QCOMPARE(d.model->toast()->message(), QStringLiteral("已移动至目标词库"));
        QTRY_COMPARE(d.snapshotIds(), (QList<qint64> {2, 3}));
    }

    // A details save abandoned with "取消" that succeeds later still reaches the
    // list, and leaves the sheet opened since alone; once the screen is gone it
    // reaches nothing.
    void abandonedSaveStillApplies_data()
    {
        QTest::addColumn<bool>("screenGone");
        QTest::newRow("screen still shown") << false;
        QTest::newRow("screen gone") << true;
    }
    void abandonedSaveStillApplies()
    {
        QFETCH(bool, screenGone);
        LexiconFixture f;
        Detail d(f);
        d.load();
        ORVWord saved = word(2, QStringLiteral("w2"));
        saved.translationsZh = {QStringLiteral("新义")};
        saved.version = 2;
        f.server().route("PUT", wordsPath + QStringLiteral("/2"),
            ScriptedResponse::heldBack(ScriptedResponse::json(200, envelope(saved.toJson()))));
        d.model->perform(UserLexiconDetailModel::WordAction::EditDetails, 2);
        auto page = std::make_unique<QObject>();
        EditWordDetailsSheetModel *sheet = d.model->makeEditWordDetailsModel(page.get());
        QVERIFY(sheet);
        QCOMPARE(sheet->wordDisplay(), QStringLiteral("w2"));
        sheet->setTranslationText(QStringLiteral("新义"));
        sheet->requestSave();
        QTRY_COMPARE(f.server().heldCount(), 1);
        sheet->cancel();
        page.reset();
        d.model->dismissWordSheet(UserLexiconDetailModel::WordAction::EditDetails);
        d.model->perform(UserLexiconDetailModel::WordAction::Move, 3);
        if (screenGone)
            d.model.reset();
        f.server().releaseHeld(0);
        QTRY_COMPARE(f.sent("PUT", wordsPath + QStringLiteral("/2")).size(), 1);
        QTest::qWait(100);
        if (screenGone)
            return;
        QTRY_COMPARE(d.model->words().at(1).translationsZh, (QList<QString> {QStringLiteral("新义")}));
        QVERIFY(d.model->isMovingWord());
        QCOMPARE(d.model->movingWord()->id, 3);
    }
};

TALVORO_TEST(UserLexiconDetailTest)
#include "tst_userlexicondetail.moc"
