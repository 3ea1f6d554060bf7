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

} // namespace

// Runs against the real Secret Service, which scripts/test starts for the run alone
// (its own session bus, an unlocked keyring, a fresh HOME). Elsewhere it would touch
// the developer's own keyring, so it skips.
class SecretServiceIntegrationTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void withoutASessionBusSignInFailsAndNothingIsWritten()
    {
        if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            QSKIP("there is a session bus");
        SessionFixture f;
        f.store = std::make_shared<KeychainSessionCredentialStore>(std::make_shared<QtKeychainSecureItemStore>());
        f.session = std::make_unique<AppSession>(f.store, f.transfer, f.server.baseUrl(), f.clock, f.notifications);
        f.server.route("POST", AppSession::loginPath, ScriptedResponse::json(200, tokenAnswer("A1", "R1")));
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("^Keychain 读取失败，状态码：")));
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("^Keychain 保存失败，状态码：")));
        awaitResult(f.session->restoreSession());
        awaitResult(f.session->authenticate(
            AppSession::loginPath, QStringLiteral("alice"), QStringLiteral("passw0rd"), QStringLiteral("登录")));
        QCOMPARE(f.session->errorMessage(), QStringLiteral("登录失败：无法安全保存登录状态，请重试"));
        QCOMPARE(f.session->status(), AppSession::Status::loggedOut);
        QVERIFY(!plainTextCopyExists());
    }

    void aSessionIsStoredRestoredAndDeletedThroughTheSecretService()
    {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            QSKIP("no session bus");
        if (qEnvironmentVariableIsEmpty("TALVORO_TEST_SECRET_SERVICE"))
            QSKIP("no keyring of the test run's own (scripts/test provides one)");
        if (QStandardPaths::findExecutable(QStringLiteral("secret-tool")).isEmpty())
            QSKIP("secret-tool is not installed");

        SessionFixture f;
        const auto items = std::make_shared<QtKeychainSecureItemStore>();
        f.store = std::make_shared<KeychainSessionCredentialStore>(items);
        const auto newSession = [&] {
            return std::make_unique<AppSession>(f.store, f.transfer, f.server.baseUrl(), f.clock, f.notifications);
        };
        awaitResult(f.store->remove());

        f.session = newSession();
        awaitResult(f.session->restoreSession());
        QCOMPARE(f.session->status(), AppSession::Status::loggedOut);

        // a login stores it, and the next launch restores the new tokens
        f.server.route("POST", AppSession::loginPath, ScriptedResponse::json(200, tokenAnswer("令牌A", "R9")));
        f.server.route("POST", logoutPath, ScriptedResponse::json(200, "{}"));
        awaitResult(f.session->authenticate(
            AppSession::loginPath, QStringLiteral("alice"), QStringLiteral("passw0rd"), QStringLiteral("登录")));
        QCOMPARE(f.session->errorMessage(), QString());
        QCOMPARE(StoredSession::fromJson(json::parse(lookUp(service).value_or("null"))).accessToken,
            QStringLiteral("令牌A"));
        f.session = newSession();
        awaitResult(f.session->restoreSession());
        QCOMPARE(f.snapshot().accessToken, QStringLiteral("令牌A"));
        QCOMPARE(f.snapshot().user, UserSummary({7, QStringLiteral("alice")}));

        // logout removes it
        f.session->logout();
        QTRY_VERIFY(!lookUp(service));
        QVERIFY(!awaitResult(f.store->load()));
        QVERIFY(!plainTextCopyExists());
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
