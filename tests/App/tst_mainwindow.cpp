#include "TestRegistry.h"

#include <QDir>
#include <QQmlApplicationEngine>
#include <QQmlExtensionPlugin>
#include <QQuickWindow>
#include <QTest>

Q_IMPORT_QML_PLUGIN(TalvoroPlugin)

class MainWindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void rendersOffscreenToAPng()
    {
        QQmlApplicationEngine engine;
        engine.load(QUrl(QStringLiteral("qrc:/Talvoro/Main.qml")));
        QCOMPARE(engine.rootObjects().size(), 1);
        auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().constFirst());
        QVERIFY(window);
        QCOMPARE(window->title(), QStringLiteral("Talvoro"));
        QVERIFY(QTest::qWaitForWindowExposed(window));

        const QImage image = window->grabWindow();
        QCOMPARE(image.size(), QSize(390, 844));
        const QString folder = qEnvironmentVariable("TALVORO_TEST_OUTPUT", QDir::tempPath());
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(image.save(QDir(folder).filePath(QStringLiteral("main-window.png"))));
    }
};

TALVORO_TEST(MainWindowTest)
#include "tst_mainwindow.moc"
