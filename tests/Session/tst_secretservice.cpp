#include "SessionTesting.h"
#include "TestRegistry.h"

#include <QDirIterator>
#include <QProcess>
#include <QStandardPaths>

using namespace sessiontesting;

namespace {

const QString account = KeychainSessionCredentialStore::defaultAccount;
const QString service = KeychainSessionCredentialStore::defaultService;

// What secret-tool finds for the item; QtKeychain files it under the attributes
// "server" (the service) and "user" (the account) and keeps binary secrets in base64.
std::optional<QByteArray> lookUp(const QString &itemService)
{
    QProcess tool;
    tool.start(QStringLiteral("secret-tool"),
        {QStringLiteral("lookup"), QStringLiteral("server"), itemService, QStringLiteral("user"), account});
    if (!tool.waitForFinished(10000) || tool.exitStatus() != QProcess::NormalExit)
        throw std::runtime_error("secret-tool did not finish");
    if (tool.exitCode() != 0)
        return std::nullopt;
    return QByteArray::fromBase64(tool.readAllStandardOutput().trimmed());
}

// A session over the real secret store, as the app builds it.
void useSecretService(SessionFixture &f)
{
    f.store = std::make_shared<KeychainSessionCredentialStore>(std::make_shared<QtKeychainSecureItemStore>());
    f.session = std::make_unique<AppSession>(f.store, f.transfer, f.server.baseUrl(), f.clock, f.notifications);
}

} // namespace

// Runs against the real Secret Service, which scripts/test starts for the run alone
// (its own session bus, an unlocked keyring, a fresh HOME). Elsewhere it would touch
// the developer's own keyring, so it skips.
class SecretServiceIntegrationTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            QSKIP("no session bus");
        if (qEnvironmentVariableIsEmpty("TALVORO_TEST_SECRET_SERVICE"))
            QSKIP("no keyring of the test run's own (scripts/test provides one)");
        if (QStandardPaths::findExecutable(QStringLiteral("secret-tool")).isEmpty())
            QSKIP("secret-tool is not installed");
    }

    void aSessionIsStoredRestoredAndDeletedThroughTheSecretService()
    {
        SessionFixture f;
        useSecretService(f);
        awaitResult(f.store->remove());
        awaitResult(f.session->restoreSession());
        QCOMPARE(f.session->status(), AppSession::Status::loggedOut);

        // a login stores it, and the next launch restores the new tokens
        f.server.route("POST", AppSession::loginPath, ScriptedResponse::json(200, tokenAnswer("令牌A", "R9")));
        f.server.route("POST", logoutPath, ScriptedResponse::json(200, "{}"));
        awaitResult(f.authenticate());
        QCOMPARE(f.session->errorMessage(), QString());
        QCOMPARE(StoredSession::fromJson(json::parse(lookUp(service).value_or("null"))).accessToken,
            QStringLiteral("令牌A"));
        useSecretService(f); // the next launch
        awaitResult(f.session->restoreSession());
        QCOMPARE(f.snapshot().accessToken, QStringLiteral("令牌A"));
        QCOMPARE(f.snapshot().user, UserSummary({7, QStringLiteral("alice")}));

        // logout removes it
        f.session->logout();
        QTRY_VERIFY(!lookUp(service));
        QVERIFY(!awaitResult(f.store->load()));
        QVERIFY(!plainTextCopyExists());
    }

    // Another client clearing the same item at the same moment (a second copy of the
    // app, a test beside this one) can delete it between our search and our delete;
    // our removal must still succeed, since the item is gone either way.
    void aRemovalRacingAnotherClientsRemovalSucceeds()
    {
        const QString raceService = QStringLiteral("com.brellun.quenbry.removal-race");
        // The other client clears the item over and over while this one writes and
        // removes it, so some of our removals meet theirs half way.
        QProcess other;
        other.start(QStringLiteral("bash"),
            {QStringLiteral("-c"),
                QStringLiteral("while :; do secret-tool clear server %1 user %2; done").arg(raceService, account)});
        QVERIFY(other.waitForStarted(10000));
        QtKeychainSecureItemStore store;
        int failures = 0;
        for (int round = 0; round < 100; ++round) {
            awaitResult(store.write(raceService, account, QByteArray("secret")));
            try {
                awaitResult(store.remove(raceService, account));
            } catch (const SecureItemError &error) {
                ++failures;
                qWarning("round %d: %s", round, qUtf8Printable(error.detail()));
            }
        }
        other.kill();
        other.waitForFinished(10000);
        QCOMPARE(failures, 0);
        QVERIFY(!awaitResult(store.read(raceService, account)));
    }

private:
    // QtKeychain's plaintext fallback would write "<service>.conf" in the config folder.
    static bool plainTextCopyExists()
    {
        QDirIterator files(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation), QDir::Files,
            QDirIterator::Subdirectories);
        while (files.hasNext()) {
            if (files.next().contains(QStringLiteral("mobile-session")))
                return true;
        }
        return false;
    }
};

TALVORO_TEST(SecretServiceIntegrationTest)

#include "tst_secretservice.moc"
