#include "LexiconTesting.h"
#include "TestRegistry.h"

#include "Lexicons/UserLexiconListModel.h"

#include <QAbstractItemModelTester>
#include <QTest>

using namespace lexicontesting;

namespace {

struct List {
    LexiconFixture &f;
    std::unique_ptr<UserLexiconListModel> model;
    QAbstractItemModelTester tester;

    explicit List(LexiconFixture &fixture)
        : f(fixture)
        , model(std::make_unique<UserLexiconListModel>(f.services()))
        , tester(model->lexiconRows(), QAbstractItemModelTester::FailureReportingMode::QtTest)
    { }
    QStringList names() const
    {
        QStringList shown;
        for (const UserLexicon &l : model->lexicons())
            shown.append(l.name);
        return shown;
    }
};

QByteArray createdAnswer(const QString &name)
{
    return envelope(lexicon(12, name).toJson());
}

} // namespace

class UserLexiconListTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The device's rows at once, then the rows the sync brought into the store.
    void localFirstThenSynchronized()
    {
        LexiconFixture f;
        f.store.savePrivateLexicons({lexicon(1, QStringLiteral("旧"))}, f.owner);
        List l(f);
        QStringList duringSync;
        f.onSync = [&] {
            duringSync = l.names();
            f.store.savePrivateLexicons({lexicon(1, QStringLiteral("旧")), lexicon(2, QStringLiteral("新"))}, f.owner);
        };
        awaitResult(l.model->loadLocalLexicons());
        QCOMPARE(duringSync, QStringList {QStringLiteral("旧")});
        QStringList names = l.names();
        names.sort();
        QCOMPARE(names, (QStringList {QStringLiteral("新"), QStringLiteral("旧")}));
        QVERIFY(!l.model->isLoading());
        QVERIFY(l.model->errorMessageText().isEmpty());
    }

    void signedOutLoad()
    {
        LexiconFixture f;
        f.signOut();
        List l(f);
        awaitResult(l.model->loadLocalLexicons());
        QCOMPARE(l.model->errorMessageText(), QStringLiteral("当前登录环境无效，无法安全读取私人词库"));
        QCOMPARE(f.syncs, 0);
        QVERIFY(!l.model->isLoading());
    }

    // "创建": the name as typed, an empty description absent, one request however
    // often it is pressed; success closes the sheet, clears the fields and reloads.
    void create_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<bool>("sendsDescription");
        QTest::newRow("no description") << QString() << false;
        QTest::newRow("blank description as typed") << QStringLiteral("  ") << true;
    }
    void create()
    {
        QFETCH(QString, description);
        QFETCH(bool, sendsDescription);
        LexiconFixture f;
        List l(f);
        f.server().route("POST", lexiconsPath,
            ScriptedResponse::heldBack(ScriptedResponse::json(200, createdAnswer(QStringLiteral(" 核心 ")))));
        l.model->setShowCreateSheet(true);
        l.model->setNewLexiconName(QStringLiteral(" 核心 "));
        l.model->setNewLexiconDesc(description);
        QVERIFY(l.model->canCreate());
        auto creation = startAwaiting(l.model->createLexicon());
        l.model->create();
        QVERIFY(!l.model->canCreate());
        QTRY_COMPARE(f.server().heldCount(), 1);
        f.server().releaseHeld(0);
        QTRY_VERIFY(creation->finished);
        const auto posts = f.sent("POST", lexiconsPath);
        QCOMPARE(posts.size(), 1);
        QCOMPARE(bodyOf(posts[0])["name"].toString(), QStringLiteral(" 核心 "));
        QCOMPARE(bodyOf(posts[0]).contains("description"), sendsDescription);
        QVERIFY(!l.model->showCreateSheet());
        QVERIFY(l.model->newLexiconName().isEmpty());
        QVERIFY(l.model->newLexiconDesc().isEmpty());
        QCOMPARE(f.syncs, 1);
    }

    // A failed creation keeps the sheet and its fields and says why; signed out,
    // nothing is sent and the user is told to sign in again.
    void createFailures()
    {
        LexiconFixture f;
        List l(f);
        f.server().route("POST", lexiconsPath, ScriptedResponse::json(400, errorAnswer("BAD", "名称重复")));
        l.model->setShowCreateSheet(true);
        l.model->setNewLexiconName(QStringLiteral("核心"));
        awaitResult(l.model->createLexicon());
        QVERIFY(l.model->errorMessageText().contains(QStringLiteral("名称重复")));
        QVERIFY(l.model->showCreateSheet());
        QCOMPARE(l.model->newLexiconName(), QStringLiteral("核心"));
        QVERIFY(l.model->canCreate());

        f.signOut();
        awaitResult(l.model->createLexicon());
        QCOMPARE(l.model->errorMessageText(), QStringLiteral("登录状态已失效，请重新登录"));
        QCOMPARE(f.sent("POST", lexiconsPath).size(), 1);
    }

    void blankNameCannotBeCreated_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("spaces") << QStringLiteral("   ");
        QTest::newRow("tabs and a line break") << QStringLiteral("\t\n");
    }
    void blankNameCannotBeCreated()
    {
        QFETCH(QString, name);
        LexiconFixture f;
        List l(f);
        l.model->setNewLexiconName(name);
        QVERIFY(!l.model->canCreate());
    }
};

TALVORO_TEST(UserLexiconListTest)
#include "tst_userlexiconlist.moc"
