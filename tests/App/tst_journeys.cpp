#include "JourneySteps.h"
#include "ScreenRender.h"
#include "TestRegistry.h"

#include <QDir>
#include <QQmlComponent>
#include <QTest>
#include <QUuid>

using namespace scenetest;

class AppJourneyTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (!SceneDriver::available())
            QSKIP("needs the backend build and the test run's own Secret Service (scripts/test)");
    }
    void cleanup() { apply(looks[0]); }

    // A newcomer: the cover, the login screen, a wrong password, registration, home;
    // then a restart that goes straight home with the stored session.
    void newcomerSignsUpAndComesBack()
    {
        SceneDriver scene;
        QVERIFY(scene.startBackend());
        QVERIFY(scene.forgetStoredSession());
        const backendtest::Account existing = scene.backend().registerAccount();

        QVERIFY(scene.launch());
        QVERIFY2(scene.item(QStringLiteral("launch.handoff")), "the cover shows while the session restores");
        QVERIFY(scene.waitForItem(QStringLiteral("login.username")));
        QVERIFY(scene.waitForNoItem(QStringLiteral("launch.handoff")));
        QVERIFY(!scene.item(QStringLiteral("login.error")));

        QVERIFY(scene.type(QStringLiteral("login.username"), existing.username));
        QVERIFY(scene.type(QStringLiteral("login.password"), QStringLiteral("wrong-passw0rd")));
        QVERIFY(scene.press(QStringLiteral("login.submit")));
        QVERIFY(scene.waitForItem(QStringLiteral("login.error")));
        const QString message = scene.application().container().session().errorMessage();
        QVERIFY2(message.startsWith(QStringLiteral("登录失败：")), qPrintable(message));
        QCOMPARE(textOf(scene.item(QStringLiteral("login.error"))), message);
        QVERIFY(!scene.savePng(QStringLiteral("login-error")).isEmpty());

        QVERIFY(scene.press(QStringLiteral("login.mode-switch")));
        QVERIFY(scene.waitForItem(QStringLiteral("login.password-rule")));
        QVERIFY(!scene.item(QStringLiteral("login.error")));
        QCOMPARE(textOf(scene.item(QStringLiteral("login.password"))), QString());
        QCOMPARE(textOf(scene.item(QStringLiteral("login.username"))), existing.username);

        const QString newcomer = QStringLiteral("newcomer_") + QUuid::createUuid().toString(QUuid::Id128).left(8);
        QVERIFY(scene.replaceText(QStringLiteral("login.username"), newcomer));
        scene.pressKey(Qt::Key_Return); // Next moves on to the password
        QVERIFY(scene.waitFor([&] { return scene.item(QStringLiteral("login.password"))->hasActiveFocus(); }, 2s));
        scene.typeText(QStringLiteral("listen2learn9"));
        QVERIFY(!scene.savePng(QStringLiteral("login-registering")).isEmpty());
        scene.pressKey(Qt::Key_Return); // Go submits
        QVERIFY(scene.waitForItem(QStringLiteral("home.greeting")));
        QCOMPARE(textOf(scene.item(QStringLiteral("home.greeting"))), QStringLiteral("欢迎回来, ") + newcomer);

        scene.quit();
        QVERIFY(scene.launch());
        bool loginShown = false;
        QVERIFY(scene.waitFor([&] {
            loginShown = loginShown || scene.item(QStringLiteral("login.view"));
            return scene.item(QStringLiteral("home.greeting")) != nullptr;
        }));
        QVERIFY2(!loginShown, "a stored session skips the login screen");
        QCOMPARE(textOf(scene.item(QStringLiteral("home.greeting"))), QStringLiteral("欢迎回来, ") + newcomer);
    }

    // Each look from a fresh start: the text size is the one the app starts with.
    void rendersTheLoginScreen()
    {
        SceneDriver scene;
        QVERIFY(scene.startBackend());
        QVERIFY(scene.forgetStoredSession());
        for (const Look &look : looks) {
            apply(look);
            QVERIFY(scene.launch());
            QVERIFY(scene.waitForItem(QStringLiteral("login.username")));
            QVERIFY(scene.waitForNoItem(QStringLiteral("launch.handoff")));
            const QString name = QStringLiteral("login-%1").arg(QLatin1String(look.suffix));
            QVERIFY(!scene.savePng(name).isEmpty());
            verifyLayout(scene.window(), name);
            if (QTest::currentTestFailed())
                return;
        }
    }

    void rendersTheLaunchCover()
    {
        QQmlEngine engine;
        engine.addImportPath(QStringLiteral("qrc:/"));
        for (const Look &look : looks) {
            apply(look);
            QQmlComponent component(&engine);
            component.setData("import QtQuick\nimport QtQuick.Window\nimport Talvoro\n"
                              "Window { width: 390; height: 844; visible: true; color: Theme.background\n"
                              "LaunchHandoffView { anchors.fill: parent } }",
                QUrl(QStringLiteral("qrc:/tests/Cover.qml")));
            std::unique_ptr<QObject> root(component.create());
            QVERIFY2(root, qPrintable(component.errorString()));
            auto *window = qobject_cast<QQuickWindow *>(root.get());
            QVERIFY(QTest::qWaitForWindowExposed(window));
            const QString name = QStringLiteral("launch-handoff-%1.png").arg(QLatin1String(look.suffix));
            QVERIFY(window->grabWindow().save(QDir(SceneDriver::screensFolder()).filePath(name)));
        }
    }
};

TALVORO_TEST(AppJourneyTest)
#include "tst_journeys.moc"
