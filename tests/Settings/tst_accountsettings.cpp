#include "../Session/SessionTesting.h"
#include "TestRegistry.h"

#include "Settings/AccountSettingsModel.h"

#include <QSignalSpy>
#include <QTest>

using namespace sessiontesting;

// The account screen over the real session against a loopback server.
class AccountSettingsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void accountLineFollowsTheSession_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("line");
        QTest::newRow("signed in") << "authenticated" << QStringLiteral("已登录账号: alice");
        QTest::newRow("restoring") << "restoring" << QStringLiteral("已登录账号: ");
        QTest::newRow("signed out") << "loggedOut" << QStringLiteral("已登录账号: ");
    }
    void accountLineFollowsTheSession()
    {
        QFETCH(QString, state);
        QFETCH(QString, line);
        SessionFixture f;
        if (state != "restoring")
            f.signIn();
        AccountSettingsModel model(*f.session, {});
        QSignalSpy changes(&model, &AccountSettingsModel::accountLineChanged);
        if (state == "loggedOut")
            f.session->logout();
        QCOMPARE(model.accountLine(), line);
        QCOMPARE(changes.size(), state == "loggedOut" ? 1 : 0);
    }

    void confirmationEndsTheSessionOnce_data()
    {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("cancelled") << false;
        QTest::newRow("confirmed") << true;
    }
    void confirmationEndsTheSessionOnce()
    {
        QFETCH(bool, confirm);
        SessionFixture f;
        f.server.route("POST", logoutPath, ScriptedResponse::json(200, "{\"success\":true}"));
        f.signIn();
        AccountSettingsModel model(*f.session, {});
        model.setShowLogoutConfirmation(true);
        if (confirm) {
            model.confirmLogout();
        } else {
            model.setShowLogoutConfirmation(false);
        }
        QVERIFY(!model.showLogoutConfirmation());
        // The session ends before the call returns; the revocation follows on its own.
        QCOMPARE(f.session->status(), confirm ? AppSession::Status::loggedOut : AppSession::Status::authenticated);
        f.settle();
        QTRY_COMPARE(f.requestsTo(logoutPath), confirm ? 1 : 0);
    }
};

TALVORO_TEST(AccountSettingsTest)
#include "tst_accountsettings.moc"
