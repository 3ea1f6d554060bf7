#include "SessionTesting.h"
#include "TestRegistry.h"

#include "Networking/BackendConfiguration.h"
#include "Session/SignedInUser.h"

using namespace sessiontesting;

// Who the lexicon and playlist screens act for: a token only while signed in with
// one, an owner key only for a user whose id and name can be told apart safely.
class SignedInUserTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void credentialsAndOwnerKeyFollowTheSession_data()
    {
        QTest::addColumn<bool>("signedIn");
        QTest::addColumn<QString>("accessToken");
        QTest::addColumn<qint64>("userId");
        QTest::addColumn<QString>("username");
        QTest::addColumn<bool>("hasEnvironment");
        QTest::addColumn<bool>("hasCredentials");
        QTest::addColumn<bool>("hasOwnerKey");

        const QString alice = QStringLiteral("alice");
        QTest::newRow("signed in") << true << QStringLiteral("A1") << qint64(7) << alice << true << true << true;
        QTest::newRow("signed out") << false << QStringLiteral("A1") << qint64(7) << alice << true << false << false;
        QTest::newRow("no token") << true << QString() << qint64(7) << alice << true << false << true;
        QTest::newRow("user id 0") << true << QStringLiteral("A1") << qint64(0) << alice << true << true << false;
        QTest::newRow("blank user name") << true << QStringLiteral("A1") << qint64(7) << QStringLiteral(" \t") << true
                                         << true << false;
        QTest::newRow("no environment") << true << QStringLiteral("A1") << qint64(7) << alice << false << true << false;
    }

    void credentialsAndOwnerKeyFollowTheSession()
    {
        QFETCH(bool, signedIn);
        QFETCH(QString, accessToken);
        QFETCH(qint64, userId);
        QFETCH(QString, username);
        QFETCH(bool, hasEnvironment);
        QFETCH(bool, hasCredentials);
        QFETCH(bool, hasOwnerKey);

        SessionFixture f;
        if (signedIn) {
            StoredSession stored = f.storedSession(3600000, 86400000);
            stored.accessToken = accessToken;
            stored.user = {userId, username};
            f.putStored(stored);
        }
        awaitResult(f.session->restoreSession());
        QCOMPARE(bool(f.session->state().snapshot()), signedIn);

        const std::optional<QString> environmentKey
            = hasEnvironment ? BackendConfiguration::environmentPartitionKey(f.server.baseUrl()) : std::nullopt;
        const std::optional<SessionCredentials> credentials = signedInCredentials(f.session.get());
        QCOMPARE(bool(credentials), hasCredentials);
        QCOMPARE(signedInAccessToken(f.session.get()), credentials ? std::optional(accessToken) : std::nullopt);
        if (credentials)
            QCOMPARE(credentials->user->id, userId);
        const std::optional<QString> ownerKey = signedInOwnerKey(f.session.get(), environmentKey);
        QCOMPARE(ownerKey, hasOwnerKey ? BackendConfiguration::ownerKey(userId, environmentKey) : std::nullopt);
        QCOMPARE(bool(ownerKey), hasOwnerKey);
    }

    void withoutASessionThereIsNobody()
    {
        const std::optional<QString> environmentKey = QStringLiteral("env");
        QVERIFY(!signedInCredentials(nullptr));
        QVERIFY(!signedInAccessToken(nullptr));
        QVERIFY(!signedInOwnerKey(nullptr, environmentKey));
    }
};

TALVORO_TEST(SignedInUserTest)

#include "tst_signedinuser.moc"
