#include "AwaitTask.h"
#include "FakeGate.h"
#include "TestHttpServer.h"
#include "TestRegistry.h"

#include "Lexicons/PublicLexiconDetailModel.h"
#include "Networking/APICacheManager.h"

#include <QAbstractItemModelTester>
#include <QTemporaryDir>
#include <QTest>

using namespace talvoro;
using namespace testsupport;

namespace {

const QString detailPath = QStringLiteral("/api/v1/public/lexicons/5");

QByteArray lexiconAnswer(const QString &name, const QList<qint64> &wordIds)
{
    QStringList words;
    for (qint64 id : wordIds) {
        words.append(QStringLiteral("{\"id\":%1,\"wordDisplay\":\"w%1\",\"wordNormalized\":\"w%1\","
                                    "\"translationsZh\":[\"词%1\",\"义%1\"]}")
                         .arg(id));
    }
    return QStringLiteral("{\"success\":true,\"data\":{\"id\":5,\"name\":\"%1\",\"words\":[%2]}}")
        .arg(name, words.join(QLatin1Char(',')))
        .toUtf8();
}

struct DetailFixture {
    TestHttpServer server;
    QTemporaryDir dir;
    APICacheManager cache {dir.filePath(QStringLiteral("APICacheV2"))};
    NetworkTransfer transfer;
    ORVMobileAPIClient client {transfer, cache, [this] { return std::optional(server.baseUrl()); }};
    std::unique_ptr<PublicLexiconDetailModel> model = std::make_unique<PublicLexiconDetailModel>(client, 5);
    QAbstractItemModelTester tester {model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest};

    DetailFixture()
    {
        if (!server.listen())
            throw std::runtime_error("no port");
    }
    QList<qint64> selectedIds() const
    {
        QList<qint64> ids;
        for (const ORVWord &word : model->selectedWords())
            ids.append(word.id);
        return ids;
    }
};

} // namespace

class PublicLexiconDetailTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyWordIsSelectedAfterALoad()
    {
        DetailFixture f;
        f.server.route(
            "GET", detailPath, ScriptedResponse::json(200, lexiconAnswer(QStringLiteral("雅思"), {1, 2, 3})));
        awaitResult(f.model->loadDetail());
        QCOMPARE(f.model->name(), QStringLiteral("雅思"));
        QCOMPARE(f.model->count(), 3);
        QCOMPARE(f.model->selectedCount(), 3);
        QVERIFY(f.model->allSelected());
        QCOMPARE(f.model->data(f.model->index(1), PublicLexiconDetailModel::TranslationsRole).toString(),
            QStringLiteral("词2；义2"));

        f.model->toggleSelection(3);
        f.model->toggleSelection(1);
        QVERIFY(!f.model->allSelected());
        QCOMPARE(f.selectedIds(), QList<qint64> {2});
        QVERIFY(!f.model->data(f.model->index(0), PublicLexiconDetailModel::SelectedRole).toBool());
        // Selected words keep the list's order, whatever order they were picked in.
        f.model->toggleSelection(3);
        f.model->toggleSelection(1);
        QCOMPARE(f.selectedIds(), (QList<qint64> {1, 2, 3}));

        f.model->toggleAllSelection();
        QCOMPARE(f.model->selectedCount(), 0);
        f.model->toggleSelection(2);
        f.model->toggleAllSelection();
        QVERIFY(f.model->allSelected());

        // A reload selects every word again.
        f.model->toggleSelection(2);
        awaitResult(f.model->loadDetail());
        QCOMPARE(f.model->selectedCount(), 3);
    }

    void aFailedReloadShowsTheBareDescription()
    {
        DetailFixture f;
        f.server.route("GET", detailPath, ScriptedResponse::json(200, lexiconAnswer(QStringLiteral("雅思"), {1})));
        // A fresh cached answer would hide the failure: every load goes to the server.
        awaitResult(f.model->loadDetail());
        const CacheIdentity identity = f.client.requestContext(detailPath, std::nullopt);
        awaitResult(f.cache.invalidateEntry(identity.key, identity.scope));
        f.server.route("GET", detailPath,
            ScriptedResponse::json(
                404, "{\"success\":false,\"error\":{\"code\":\"RESOURCE_NOT_FOUND\",\"message\":\"词库不存在\"}}"));
        awaitResult(f.model->loadDetail());
        QCOMPARE(f.model->errorMessage(), QStringLiteral("词库不存在"));
        QVERIFY(!f.model->loading());
    }

    // Overlapping loads: the answer of the older one, arriving last, is dropped.
    void anOlderAnswerNeverReplacesANewerOne()
    {
        DetailFixture f;
        int calls = 0;
        f.server.route("GET", detailPath, [&calls](const RecordedRequest &) {
            ++calls;
            const QByteArray body
                = calls == 1 ? lexiconAnswer(QStringLiteral("旧"), {1}) : lexiconAnswer(QStringLiteral("新"), {1, 2});
            return ScriptedResponse::heldBack(ScriptedResponse::json(200, body));
        });
        auto older = startAwaiting(f.model->loadDetail());
        QTRY_COMPARE(f.server.heldCount(), 1);
        auto newer = startAwaiting(f.model->loadDetail());
        QTRY_COMPARE(f.server.heldCount(), 2);

        f.server.releaseHeld(1);
        QTRY_VERIFY(newer->finished);
        QVERIFY(!f.model->loading());
        f.server.releaseHeld(0);
        QTRY_VERIFY(older->finished);
        QCOMPARE(f.model->name(), QStringLiteral("新"));
        QCOMPARE(f.model->count(), 2);
        QCOMPARE(f.model->errorMessage(), QString());
        QVERIFY(!f.model->loading());
    }

    void anAnswerAfterTheScreenIsGoneIsDropped()
    {
        DetailFixture f;
        f.server.route("GET", detailPath,
            ScriptedResponse::heldBack(ScriptedResponse::json(200, lexiconAnswer(QStringLiteral("雅思"), {1}))));
        auto load = startAwaiting(f.model->loadDetail());
        QTRY_COMPARE(f.server.heldCount(), 1);
        f.model.reset();
        f.server.releaseHeld(0);
        QTRY_VERIFY(load->finished);
        QVERIFY(!load->error);
    }
};

TALVORO_TEST(PublicLexiconDetailTest)
#include "tst_publiclexicondetail.moc"
