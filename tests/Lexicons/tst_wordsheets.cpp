#include "TestRegistry.h"
#include "WordSheetTesting.h"

#include "Lexicons/AddWordSheetModel.h"
#include "Lexicons/EditWordDetailsSheetModel.h"
#include "DesignSystem/ORVListRowPosition.h"
#include "Lexicons/MoveWordToLexiconSheetModel.h"
#include "Models/MobileAPIError.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

using namespace wordsheettesting;

namespace {

ORVWord plainWord()
{
    ORVWord w = word(9, QStringLiteral("hello"));
    w.translationsZh = {QStringLiteral("你好"), QStringLiteral("问候")};
    return w;
}

QStringList keysOf(const QJsonObject &body)
{
    QStringList keys = body.keys();
    keys.sort();
    return keys;
}

QStringList stringsOf(const QJsonValue &value)
{
    QStringList strings;
    for (const QJsonValue &entry : value.toArray())
        strings.append(entry.toString());
    return strings;
}

// One of the three sheets behind the same few handles, for the rules every sheet's
// save keeps: one request per run, and a result that outlives the sheet.
struct AnySheet {
    std::unique_ptr<QObject> model;
    std::unique_ptr<QAbstractItemModelTester> tester;
    std::function<Task<>()> save;
    std::function<void()> cancel;
    QByteArray method;
    QString path;
    int reported = 0;

    static std::unique_ptr<AnySheet> make(const QString &kind, SheetFixture &f)
    {
        auto sheet = std::make_unique<AnySheet>();
        AnySheet *s = sheet.get();
        if (kind == QLatin1String("edit")) {
            f.answerUpdates(9, true);
            auto *m = new EditWordDetailsSheetModel(f.client, f.session(), plainWord(), [s](ORVWord) { ++s->reported; });
            sheet->model.reset(m);
            sheet->save = [m] { return m->save(); };
            sheet->cancel = [m] { m->cancel(); };
            sheet->method = "PUT";
            sheet->path = wordPath(9);
        } else if (kind == QLatin1String("add")) {
            f.server().route("POST", wordsPath,
                ScriptedResponse::heldBack(ScriptedResponse::json(200, envelope(plainWord().toJson()))));
            auto *m = new AddWordSheetModel(f.client, f.session(), 4, [s] { ++s->reported; });
            m->setWordDisplay(QStringLiteral("hello"));
            m->setTranslation(QStringLiteral("你好"));
            sheet->model.reset(m);
            sheet->save = [m] { return m->save(); };
            sheet->cancel = [m] { m->cancel(); };
            sheet->method = "POST";
            sheet->path = wordsPath;
        } else {
            f.server().route("GET", lexiconsPath,
                lexiconsAnswer({lexicon(4, QStringLiteral("当前"), 3), lexicon(5, QStringLiteral("目标"), 0)}));
            f.server().route("PUT", movePath(9), ScriptedResponse::heldBack(moveAnswer(9, 4, 5)));
            auto *m = new MoveWordToLexiconSheetModel(
                f.client, f.session(), plainWord(), 4, [s](qint64, qint64) { ++s->reported; });
            sheet->tester = std::make_unique<QAbstractItemModelTester>(
                m->candidateRows(), QAbstractItemModelTester::FailureReportingMode::QtTest);
            awaitResult(m->loadLexicons());
            sheet->model.reset(m);
            sheet->save = [m] { return m->moveWord(); };
            sheet->cancel = [m] { m->cancel(); };
            sheet->method = "PUT";
            sheet->path = movePath(9);
        }
        return sheet;
    }
};

void addSheetKinds()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("edit") << QStringLiteral("edit");
    QTest::newRow("add") << QStringLiteral("add");
    QTest::newRow("move") << QStringLiteral("move");
}

} // namespace

class WordSheetsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Editing also separates at line breaks; adding keeps a line break inside its
    // meaning. Both trim, drop blanks and keep repeated meanings in order.
    void meaningsSplitting_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("edited");
        QTest::addColumn<QStringList>("added");
        QTest::newRow("all three separators, a repeat")
            << QStringLiteral("你好；问候;招呼\n你好") << QStringList {"你好", "问候", "招呼", "你好"}
            << QStringList {"你好", "问候", "招呼\n你好"};
        QTest::newRow("two full-width in a row") << QStringLiteral("苹果；；果实") << QStringList {"苹果", "果实"}
                                                 << QStringList {"苹果", "果实"};
        QTest::newRow("blanks around and between") << QStringLiteral("  苹果 ； ; 果实  ")
                                                   << QStringList {"苹果", "果实"} << QStringList {"苹果", "果实"};
        QTest::newRow("separators only") << QStringLiteral("； ;") << QStringList {} << QStringList {};
        QTest::newRow("line breaks only") << QStringLiteral("\n \n") << QStringList {} << QStringList {};
    }
    void meaningsSplitting()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, edited);
        QFETCH(QStringList, added);
        QCOMPARE(QStringList(EditWordDetailsSheetModel::meanings(typed)), edited);
        QCOMPARE(QStringList(AddWordSheetModel::meanings(typed)), added);
    }

    void editOpensWithTheWordsValues()
    {
        SheetFixture f;
        ORVWord w = plainWord();
        w.ipa = QStringLiteral("/həˈloʊ/");
        EditWordDetailsSheetModel model(f.client, f.session(), w, {});
        QCOMPARE(model.translationText(), QStringLiteral("你好；问候"));
        QCOMPARE(model.ipa(), QStringLiteral("/həˈloʊ/"));
        QCOMPARE(model.syllables(), QString());
        QVERIFY(model.canSave());
        // A word without meanings cannot be saved until one is typed.
        w.translationsZh.clear();
        EditWordDetailsSheetModel empty(f.client, f.session(), w, {});
        QCOMPARE(empty.translationText(), QString());
        QVERIFY(!empty.canSave());
    }

    // A blank optional field is cleared, never sent as empty text; a filled one is
    // sent trimmed and not cleared.
    void editSendsClearFields_data()
    {
        QTest::addColumn<QString>("ipa");
        QTest::addColumn<QString>("usage");
        QTest::addColumn<QStringList>("cleared");
        QTest::addColumn<QStringList>("keys");
        const QStringList base {"baseVersion", "clearFields", "translationsZh", "wordDisplay"};
        QTest::newRow("nothing typed") << QString() << QString()
                                       << QStringList {"EXPLANATION", "IPA", "SYLLABLES", "USAGE_SCENARIO"} << base;
        QTest::newRow("blanks count as emptied")
            << QStringLiteral("  ") << QStringLiteral("\n")
            << QStringList {"EXPLANATION", "IPA", "SYLLABLES", "USAGE_SCENARIO"} << base;
        QTest::newRow("filled fields are set") << QStringLiteral(" /a/ ") << QStringLiteral(" 打招呼 ")
                                               << QStringList {"EXPLANATION", "SYLLABLES"}
                                               << base + QStringList {"ipa", "usageScenario"};
    }
    void editSendsClearFields()
    {
        QFETCH(QString, ipa);
        QFETCH(QString, usage);
        QFETCH(QStringList, cleared);
        QFETCH(QStringList, keys);
        SheetFixture f;
        f.answerUpdates(9);
        QList<ORVWord> saved;
        EditWordDetailsSheetModel model(f.client, f.session(), plainWord(), [&saved](ORVWord w) { saved.append(w); });
        QSignalSpy dismissed(&model, &EditWordDetailsSheetModel::dismissRequested);
        model.setWordDisplay(QStringLiteral(" hello "));
        model.setTranslationText(QStringLiteral("你好；你好\n问候"));
        model.setIpa(ipa);
        model.setUsageScenario(usage);
        awaitResult(model.save());

        const auto puts = f.sent("PUT", wordPath(9));
        QCOMPARE(puts.size(), 1);
        const QJsonObject body = bodyOf(puts[0]);
        keys.sort();
        QCOMPARE(keysOf(body), keys);
        QCOMPARE(stringsOf(body[QStringLiteral("clearFields")]), cleared);
        QCOMPARE(body[QStringLiteral("baseVersion")].toInteger(), 3);
        QCOMPARE(body[QStringLiteral("wordDisplay")].toString(), QStringLiteral("hello"));
        QCOMPARE(stringsOf(body[QStringLiteral("translationsZh")]), (QStringList {"你好", "你好", "问候"}));
        if (!ipa.trimmed().isEmpty())
            QCOMPARE(body[QStringLiteral("ipa")].toString(), QStringLiteral("/a/"));
        // The caller gets the server's word, with its new version, then the sheet goes.
        QCOMPARE(saved.size(), 1);
        QCOMPARE(saved[0].version, 4);
        QCOMPARE(dismissed.count(), 1);
        QVERIFY(!model.isSaving());
        QCOMPARE(model.errorMessage(), std::nullopt);
    }

    // Refusals before any request: the message shows and nothing is sent.
    void editRefusesBeforeSending_data()
    {
        QTest::addColumn<bool>("signedIn");
        QTest::addColumn<QString>("spelling");
        QTest::addColumn<QString>("meanings");
        QTest::addColumn<QString>("message");
        QTest::newRow("separators only") << true << QStringLiteral("hello") << QStringLiteral("； ;")
                                         << QStringLiteral("单词拼写和中文释义不能为空");
        QTest::newRow("blank spelling") << true << QStringLiteral(" \n") << QStringLiteral("你好")
                                        << QStringLiteral("单词拼写和中文释义不能为空");
        QTest::newRow("signed out") << false << QStringLiteral("hello") << QStringLiteral("你好")
                                    << QStringLiteral("登录状态已失效，请重新登录");
    }
    void editRefusesBeforeSending()
    {
        QFETCH(bool, signedIn);
        QFETCH(QString, spelling);
        QFETCH(QString, meanings);
        QFETCH(QString, message);
        SheetFixture f(signedIn);
        f.answerUpdates(9);
        int saved = 0;
        EditWordDetailsSheetModel model(f.client, f.session(), plainWord(), [&saved](ORVWord) { ++saved; });
        model.setWordDisplay(spelling);
        model.setTranslationText(meanings);
        awaitResult(model.save());
        QCOMPARE(model.errorMessageText(), message);
        QVERIFY(!model.isSaving());
        QCOMPARE(f.sent("PUT", wordPath(9)).size(), 0);
        QCOMPARE(saved, 0);
    }

    void editFailuresCarryTheirPrefix_data()
    {
        QTest::addColumn<qint64>("version");
        QTest::addColumn<int>("sent");
        QTest::addColumn<QString>("message");
        QTest::newRow("server failure") << qint64(3) << 1
                                        << QStringLiteral("保存失败：")
                + MobileAPIError::server(500, QStringLiteral("INTERNAL_ERROR"), QStringLiteral("服务器开小差了"))
                      .description();
        QTest::newRow("version below one") << qint64(0) << 0 << QStringLiteral("保存失败：单词版本无效，请刷新后重试");
    }
    void editFailuresCarryTheirPrefix()
    {
        QFETCH(qint64, version);
        QFETCH(int, sent);
        QFETCH(QString, message);
        SheetFixture f;
        f.server().route("PUT", wordPath(9), serverFailure());
        ORVWord w = plainWord();
        w.version = version;
        int saved = 0;
        EditWordDetailsSheetModel model(f.client, f.session(), w, [&saved](ORVWord) { ++saved; });
        QSignalSpy dismissed(&model, &EditWordDetailsSheetModel::dismissRequested);
        awaitResult(model.save());
        QCOMPARE(model.errorMessageText(), message);
        QCOMPARE(f.sent("PUT", wordPath(9)).size(), sent);
        QVERIFY(!model.isSaving());
        QVERIFY(model.canSave());
        QCOMPARE(saved, 0);
        QCOMPARE(dismissed.count(), 0);
    }

    // What the creation sends: the word trimmed; an untouched optional field absent,
    // one of blanks as empty text.
    void addBuildsTheCreation_data()
    {
        QTest::addColumn<QString>("ipa");
        QTest::addColumn<QString>("explanation");
        QTest::addColumn<QStringList>("keys");
        const QStringList base {"lexiconId", "translationsZh", "word"};
        QTest::newRow("untouched") << QString() << QString() << base;
        QTest::newRow("blanks") << QStringLiteral("  ") << QStringLiteral(" 例句 ")
                                << base + QStringList {"explanation", "ipa"};
    }
    void addBuildsTheCreation()
    {
        QFETCH(QString, ipa);
        QFETCH(QString, explanation);
        QFETCH(QStringList, keys);
        SheetFixture f;
        f.server().route("POST", wordsPath, ScriptedResponse::json(200, envelope(plainWord().toJson())));
        int saved = 0;
        AddWordSheetModel model(f.client, f.session(), 4, [&saved] { ++saved; });
        QSignalSpy dismissed(&model, &AddWordSheetModel::dismissRequested);
        model.setWordDisplay(QStringLiteral("  apple "));
        model.setTranslation(QStringLiteral("苹果；苹果;果实"));
        model.setIpa(ipa);
        model.setExplanation(explanation);
        awaitResult(model.save());

        const auto posts = f.sent("POST", wordsPath);
        QCOMPARE(posts.size(), 1);
        const QJsonObject body = bodyOf(posts[0]);
        keys.sort();
        QCOMPARE(keysOf(body), keys);
        QCOMPARE(body[QStringLiteral("word")].toString(), QStringLiteral("apple"));
        QCOMPARE(body[QStringLiteral("lexiconId")].toInteger(), 4);
        QCOMPARE(stringsOf(body[QStringLiteral("translationsZh")]), (QStringList {"苹果", "苹果", "果实"}));
        if (!ipa.isEmpty()) {
            QCOMPARE(body[QStringLiteral("ipa")].toString(), QString());
            QCOMPARE(body[QStringLiteral("explanation")].toString(), QStringLiteral("例句"));
        }
        QCOMPARE(saved, 1);
        QCOMPARE(dismissed.count(), 1);
        QVERIFY(!model.isSubmitting());
    }

    // Meanings of separators alone pass the button's check but are refused, not
    // stored as the word's translation.
    void addRefusesBeforeSending_data()
    {
        QTest::addColumn<bool>("signedIn");
        QTest::addColumn<QString>("meanings");
        QTest::addColumn<bool>("canSave");
        QTest::addColumn<QString>("message");
        QTest::newRow("separators only") << true << QStringLiteral("；;") << true
                                         << QStringLiteral("单词拼写和中文释义不能为空");
        QTest::newRow("separators and blanks") << true << QStringLiteral(" ； ; ") << true
                                               << QStringLiteral("单词拼写和中文释义不能为空");
        QTest::newRow("signed out") << false << QStringLiteral("苹果") << true << QStringLiteral("未登录或登录已失效");
    }
    void addRefusesBeforeSending()
    {
        QFETCH(bool, signedIn);
        QFETCH(QString, meanings);
        QFETCH(bool, canSave);
        QFETCH(QString, message);
        SheetFixture f(signedIn);
        f.server().route("POST", wordsPath, ScriptedResponse::json(200, envelope(plainWord().toJson())));
        int saved = 0;
        AddWordSheetModel model(f.client, f.session(), 4, [&saved] { ++saved; });
        model.setWordDisplay(QStringLiteral("apple"));
        model.setTranslation(meanings);
        QCOMPARE(model.canSave(), canSave);
        awaitResult(model.save());
        QCOMPARE(model.errorMessageText(), message);
        QCOMPARE(f.sent("POST", wordsPath).size(), 0);
        QVERIFY(!model.isSubmitting());
        QCOMPARE(saved, 0);
    }

    void addShowsTheBareDescription_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("unauthorized") << 401 << MobileAPIError::unauthorized().description();
        QTest::newRow("server failure")
            << 500
            << MobileAPIError::server(500, QStringLiteral("INTERNAL_ERROR"), QStringLiteral("服务器开小差了"))
                   .description();
    }
    void addShowsTheBareDescription()
    {
        QFETCH(int, status);
        QFETCH(QString, message);
        SheetFixture f;
        f.server().route("POST", wordsPath,
            status == 401 ? ScriptedResponse::json(401, errorAnswer(QStringLiteral("AUTH_TOKEN_EXPIRED")))
                          : serverFailure());
        AddWordSheetModel model(f.client, f.session(), 4, {});
        model.setWordDisplay(QStringLiteral("apple"));
        model.setTranslation(QStringLiteral("苹果"));
        awaitResult(model.save());
        QCOMPARE(model.errorMessageText(), message);
        QVERIFY(!model.isSubmitting());
        QCOMPARE(model.wordDisplay(), QStringLiteral("apple"));
    }

    // The current lexicon is never a candidate; the first other one is preselected.
    void moveLoadsTheCandidates()
    {
        SheetFixture f;
        f.server().route("GET", lexiconsPath,
            lexiconsAnswer({lexicon(4, QStringLiteral("当前"), 3), lexicon(5, QStringLiteral("四级"), 0),
                lexicon(6, QStringLiteral("六级"), 12)}));
        MoveWordToLexiconSheetModel model(f.client, f.session(), plainWord(), 4, {});
        QAbstractItemModelTester tester(model.candidateRows(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.phase(), MoveWordToLexiconSheetModel::Empty);
        auto load = startAwaiting(model.loadLexicons());
        QCOMPARE(model.phase(), MoveWordToLexiconSheetModel::Loading);
        QTRY_VERIFY(load->finished);
        QCOMPARE(model.phase(), MoveWordToLexiconSheetModel::Content);
        QCOMPARE(model.lexicons().size(), 3);
        MoveTargetRowsModel *rows = model.candidateRows();
        QCOMPARE(rows->rowCount(), 2);
        QCOMPARE(rows->data(rows->index(0), MoveTargetRowsModel::NameRole).toString(), QStringLiteral("四级"));
        QCOMPARE(rows->data(rows->index(0), MoveTargetRowsModel::WordCountRole).toLongLong(), 0);
        QCOMPARE(rows->data(rows->index(0), MoveTargetRowsModel::RowPositionRole).toInt(), int(ORVListRowPosition::First));
        QCOMPARE(rows->data(rows->index(1), MoveTargetRowsModel::RowPositionRole).toInt(), int(ORVListRowPosition::Last));
        QCOMPARE(model.selectedLexiconId(), std::optional<qint64>(5));
        QVERIFY(rows->data(rows->index(0), MoveTargetRowsModel::SelectedRole).toBool());
        model.select(6);
        QVERIFY(!rows->data(rows->index(0), MoveTargetRowsModel::SelectedRole).toBool());
        QVERIFY(rows->data(rows->index(1), MoveTargetRowsModel::SelectedRole).toBool());
        QVERIFY(model.canConfirm());
    }

    void moveLoadStates_data()
    {
        QTest::addColumn<bool>("signedIn");
        QTest::addColumn<bool>("fails");
        QTest::addColumn<int>("phase");
        QTest::addColumn<QString>("message");
        QTest::newRow("only the current lexicon") << true << false << int(MoveWordToLexiconSheetModel::Empty) << QString();
        QTest::newRow("failed load") << true << true << int(MoveWordToLexiconSheetModel::LoadError)
                                     << QStringLiteral("加载词库列表失败：")
                + MobileAPIError::server(500, QStringLiteral("INTERNAL_ERROR"), QStringLiteral("服务器开小差了"))
                      .description();
        QTest::newRow("signed out") << false << false << int(MoveWordToLexiconSheetModel::LoadError)
                                    << QStringLiteral("登录状态已失效，请重新登录");
    }
    void moveLoadStates()
    {
        QFETCH(bool, signedIn);
        QFETCH(bool, fails);
        QFETCH(int, phase);
        QFETCH(QString, message);
        SheetFixture f(signedIn);
        f.server().route(
            "GET", lexiconsPath, fails ? serverFailure() : lexiconsAnswer({lexicon(4, QStringLiteral("当前"), 3)}));
        MoveWordToLexiconSheetModel model(f.client, f.session(), plainWord(), 4, {});
        const QAbstractItemModelTester tester(model.candidateRows(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        awaitResult(model.loadLexicons());
        QCOMPARE(int(model.phase()), phase);
        QCOMPARE(model.errorMessageText(), message);
        QVERIFY(!model.isLoading());
        QVERIFY(!model.canConfirm());
        QCOMPARE(model.selectedLexiconId(), std::nullopt);

        // A retry that succeeds replaces the error with the choice.
        if (signedIn) {
            f.server().route("GET", lexiconsPath,
                lexiconsAnswer({lexicon(4, QStringLiteral("当前"), 3), lexicon(7, QStringLiteral("新词库"), 1)}));
            awaitResult(model.loadLexicons());
            QCOMPARE(model.phase(), MoveWordToLexiconSheetModel::Content);
            QCOMPARE(model.errorMessage(), std::nullopt);
            QCOMPARE(model.selectedLexiconId(), std::optional<qint64>(7));
        }
    }

    void moveGuards_data()
    {
        QTest::addColumn<QString>("guard");
        QTest::addColumn<QString>("message");
        QTest::newRow("no target") << QStringLiteral("none") << QStringLiteral("请选择目标词库");
        QTest::newRow("target is the source") << QStringLiteral("same") << QStringLiteral("目标词库不能与当前词库相同");
        QTest::newRow("signed out") << QStringLiteral("signedOut") << QStringLiteral("登录状态已失效，请重新登录");
    }
    void moveGuards()
    {
        QFETCH(QString, guard);
        QFETCH(QString, message);
        SheetFixture f;
        f.server().route("GET", lexiconsPath,
            lexiconsAnswer({lexicon(4, QStringLiteral("当前"), 3), lexicon(5, QStringLiteral("目标"), 0)}));
        f.server().route("PUT", movePath(9), moveAnswer(9, 4, 5));
        int moved = 0;
        MoveWordToLexiconSheetModel model(
            f.client, guard == QLatin1String("signedOut") ? nullptr : f.session(), plainWord(), 4,
            [&moved](qint64, qint64) { ++moved; });
        const QAbstractItemModelTester tester(model.candidateRows(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        if (guard != QLatin1String("signedOut"))
            awaitResult(model.loadLexicons());
        if (guard == QLatin1String("none"))
            model.setSelectedLexiconId(std::nullopt);
        else if (guard == QLatin1String("same"))
            model.select(4);
        else
            model.select(5);
        awaitResult(model.moveWord());
        QCOMPARE(model.errorMessageText(), message);
        QCOMPARE(f.sent("PUT", movePath(9)).size(), 0);
        QCOMPARE(moved, 0);
        QVERIFY(!model.isSubmitting());
    }

    void moveReportsItsOutcome_data()
    {
        QTest::addColumn<bool>("fails");
        QTest::newRow("moved") << false;
        QTest::newRow("failed") << true;
    }
    void moveReportsItsOutcome()
    {
        QFETCH(bool, fails);
        SheetFixture f;
        f.server().route("GET", lexiconsPath,
            lexiconsAnswer({lexicon(4, QStringLiteral("当前"), 3), lexicon(5, QStringLiteral("四级"), 0),
                lexicon(6, QStringLiteral("六级"), 2)}));
        f.server().route("PUT", movePath(9), fails ? serverFailure() : moveAnswer(9, 4, 6));
        QList<QPair<qint64, qint64>> moved;
        MoveWordToLexiconSheetModel model(f.client, f.session(), plainWord(), 4,
            [&moved](qint64 wordId, qint64 target) { moved.append({wordId, target}); });
        const QAbstractItemModelTester tester(model.candidateRows(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy dismissed(&model, &MoveWordToLexiconSheetModel::dismissRequested);
        awaitResult(model.loadLexicons());
        model.select(6);
        awaitResult(model.moveWord());

        const auto puts = f.sent("PUT", movePath(9));
        QCOMPARE(puts.size(), 1);
        QCOMPARE(bodyOf(puts[0])[QStringLiteral("sourceLexiconId")].toInteger(), 4);
        QCOMPARE(bodyOf(puts[0])[QStringLiteral("targetLexiconId")].toInteger(), 6);
        QVERIFY(!model.isSubmitting());
        if (fails) {
            // Inline, over the choice that stays as it was.
            QCOMPARE(model.errorMessageText(),
                QStringLiteral("移动词库失败：")
                    + MobileAPIError::server(500, QStringLiteral("INTERNAL_ERROR"), QStringLiteral("服务器开小差了"))
                          .description());
            QCOMPARE(model.phase(), MoveWordToLexiconSheetModel::Content);
            QCOMPARE(model.selectedLexiconId(), std::optional<qint64>(6));
            QVERIFY(model.canConfirm());
            QVERIFY(moved.isEmpty());
            QCOMPARE(dismissed.count(), 0);
        } else {
            QCOMPARE(moved, (QList<QPair<qint64, qint64>> {{9, 6}}));
            QCOMPARE(dismissed.count(), 1);
        }
    }

    // A second press while the request runs sends nothing more.
    void aSecondPressSendsNothing_data() { addSheetKinds(); }
    void aSecondPressSendsNothing()
    {
        QFETCH(QString, kind);
        SheetFixture f;
        auto sheet = AnySheet::make(kind, f);
        auto first = startAwaiting(sheet->save());
        awaitResult(sheet->save());
        QTRY_COMPARE(f.server().heldCount(), 1);
        f.server().releaseHeld(0);
        QTRY_VERIFY(first->finished);
        QCOMPARE(f.sent(sheet->method, sheet->path).size(), 1);
        QCOMPARE(sheet->reported, 1);
    }

    // Closed with "取消", or gone altogether, while the request runs: the result still
    // reaches the caller, and the old sheet asks nothing more of the screen.
    void aResultOutlivesItsSheet_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("destroyed");
        for (const char *kind : {"edit", "add", "move"}) {
            QTest::addRow("%s cancelled", kind) << QString::fromLatin1(kind) << false;
            QTest::addRow("%s destroyed", kind) << QString::fromLatin1(kind) << true;
        }
    }
    void aResultOutlivesItsSheet()
    {
        QFETCH(QString, kind);
        QFETCH(bool, destroyed);
        SheetFixture f;
        auto sheet = AnySheet::make(kind, f);
        QSignalSpy dismissed(sheet->model.get(), SIGNAL(dismissRequested()));
        auto save = startAwaiting(sheet->save());
        QTRY_COMPARE(f.server().heldCount(), 1);
        sheet->cancel();
        QCOMPARE(dismissed.count(), 1);
        if (destroyed)
            sheet->model.reset();
        f.server().releaseHeld(0);
        QTRY_VERIFY(save->finished);
        QVERIFY(!save->error);
        QCOMPARE(sheet->reported, 1);
        QCOMPARE(dismissed.count(), 1);
    }
};

TALVORO_TEST(WordSheetsTest)
#include "tst_wordsheets.moc"
