#include "SessionTesting.h"
#include "TestRegistry.h"

using namespace sessiontesting;

namespace {

const QString service = KeychainSessionCredentialStore::defaultService;
const QString account = KeychainSessionCredentialStore::defaultAccount;

const StoredSession sample {QStringLiteral("A1"), QStringLiteral("R1"), {7, QStringLiteral("alice")},
    QDateTime::fromSecsSinceEpoch(1700003600, Qt::UTC), QDateTime::fromMSecsSinceEpoch(1700086400250, Qt::UTC)};

} // namespace

Q_DECLARE_METATYPE(SessionCredentialStoreError::Kind)

class KeychainSessionCredentialStoreTest : public QObject {
    Q_OBJECT

    std::shared_ptr<MemorySecureItemStore> items;
    std::unique_ptr<KeychainSessionCredentialStore> store;

private Q_SLOTS:
    void init()
    {
        items = std::make_shared<MemorySecureItemStore>();
        store = std::make_unique<KeychainSessionCredentialStore>(items);
    }

    void theStoredFormKeepsDatesAsReferenceSecondsAndLeavesAbsentOnesOut()
    {
        const QJsonObject json = sample.toJson();
        QCOMPARE(json.value(QStringLiteral("accessTokenExpiresAt")).toDouble(), 1700003600.0 - 978307200.0);
        QCOMPARE(json.value(QStringLiteral("refreshTokenExpiresAt")).toDouble(), 1700086400.25 - 978307200.0);
        QCOMPARE(StoredSession::fromJson(json), sample);

        StoredSession undated = sample;
        undated.accessTokenExpiresAt.reset();
        undated.refreshTokenExpiresAt.reset();
        QCOMPARE(undated.toJson().keys(),
            QStringList({QStringLiteral("accessToken"), QStringLiteral("refreshToken"), QStringLiteral("user")}));
        const QByteArray withNull
            = "{\"accessToken\":\"A1\",\"refreshToken\":\"R1\",\"user\":{\"id\":7,\"username\":\"alice\"},"
              "\"accessTokenExpiresAt\":null}";
        QCOMPARE(StoredSession::fromJson(json::parse(withNull)), undated);
    }

    // An earlier release kept the item without a service name.
    void anEarlierReleasesItemMovesOnLoadAndGoesOnSave()
    {
        QVERIFY(!awaitResult(store->load()));
        items->setItem(QString(), account, json::serialize(sample.toJson()));
        QCOMPARE(awaitResult(store->load()), sample);
        QVERIFY(!items->item(QString(), account));
        const int writes = items->writeCount();
        QCOMPARE(awaitResult(store->load()), sample); // found under the service, not written again
        QCOMPARE(items->writeCount(), writes);

        items->setItem(QString(), account, "legacy");
        StoredSession next = sample;
        next.accessToken = QStringLiteral("A2");
        awaitResult(store->save(next));
        QCOMPARE(items->itemCount(), 1);
        QCOMPARE(StoredSession::fromJson(json::parse(*items->item(service, account))), next);
    }

    void failuresSurfaceWithoutLosingTheItem_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<int>("readFailure"); // the store's status, 0: reads fine
        using K = SessionCredentialStoreError::Kind;
        QTest::addColumn<K>("kind");
        QTest::newRow("not session JSON") << QByteArray("{\"accessToken\":1}") << 0 << K::corrupted;
        QTest::newRow("not JSON at all") << QByteArray("\xff\xfe") << 0 << K::corrupted;
        QJsonObject farFuture = sample.toJson();
        farFuture[QStringLiteral("refreshTokenExpiresAt")] = 9.2233715e15;
        QTest::newRow("expiry past any readable date") << json::serialize(farFuture) << 0 << K::corrupted;
        QTest::newRow("locked keyring") << json::serialize(sample.toJson()) << 4 << K::keychain;
    }
    void failuresSurfaceWithoutLosingTheItem()
    {
        QFETCH(QByteArray, stored);
        QFETCH(int, readFailure);
        QFETCH(SessionCredentialStoreError::Kind, kind);
        items->setItem(service, account, stored);
        if (readFailure)
            items->setFailure(MemorySecureItemStore::Operation::read, readFailure);
        const auto error = awaitError<SessionCredentialStoreError>(store->load());
        QVERIFY(error);
        QCOMPARE(error->kind(), kind);
        QCOMPARE(error->status(), readFailure);
        QCOMPARE(items->item(service, account), stored);
    }

    void operationsRunWholeInTheOrderTheyWereCalled()
    {
        items->setItem(QString(), account, json::serialize(sample.toJson()));
        items->hold();
        auto loaded = startAwaiting(store->load());
        auto removed = startAwaiting(store->remove());
        auto reloaded = startAwaiting(store->load());
        QTRY_COMPARE(items->heldCount(), 1); // only the first load's read is under way
        items->release();
        QTRY_VERIFY(reloaded->finished);
        QVERIFY(loaded->finished && removed->finished);
        QVERIFY(!loaded->error && !removed->error && !reloaded->error);
        QCOMPARE(*loaded->value, sample);
        QVERIFY(!reloaded->value->has_value());
        QCOMPARE(items->itemCount(), 0);
    }
};

TALVORO_TEST(KeychainSessionCredentialStoreTest)

#include "tst_credentialstore.moc"
