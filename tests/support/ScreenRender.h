#pragma once

#include "SceneDriver.h"

#include <QDir>
#include <QMap>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QTest>

#include <memory>

// Renders one screen over a model built on fakes, in a phone-sized window, for a
// person to look at under test-output/screens/ and for a test to read its texts;
// the looks to render in are scenetest::looks.
namespace scenetest {

// A phone-sized window around `body`, which sees `screenModel` from the context.
struct Screen {
    QQmlEngine engine;
    std::unique_ptr<QObject> root;
    QQuickWindow *window = nullptr;

    bool show(QObject *model, const QByteArray &body)
    {
        return show({{QStringLiteral("screenModel"), model}}, body);
    }
    // The same, with each object seen from the context under its own name.
    bool show(const QMap<QString, QObject *> &objects, const QByteArray &body)
    {
        engine.addImportPath(QStringLiteral("qrc:/"));
        for (auto it = objects.begin(); it != objects.end(); ++it)
            engine.rootContext()->setContextProperty(it.key(), it.value());
        QQmlComponent component(&engine);
        component.setData("import QtQuick\nimport QtQuick.Window\nimport Talvoro\n"
                          "Window { width: 390; height: 844; visible: true; color: Theme.background\n"
                + body + "\n}\n",
            QUrl(QStringLiteral("qrc:/tests/Screen.qml")));
        root.reset(component.create());
        if (!root)
            qWarning() << component.errors();
        window = qobject_cast<QQuickWindow *>(root.get());
        return window && QTest::qWaitForWindowExposed(window);
    }
    QQuickItem *item(const char *objectName) const
    {
        return findVisibleItem(window->contentItem(), QString::fromLatin1(objectName));
    }
    QString text(const char *objectName) const
    {
        QQuickItem *found = item(objectName);
        return found ? found->property("text").toString() : QString();
    }
    bool isShown(const char *objectName) const { return item(objectName) != nullptr; }
    void save(const QString &name) const
    {
        QTest::qWait(350); // past the sheet's and the push's transitions
        QVERIFY(window->grabWindow().save(QDir(SceneDriver::screensFolder()).filePath(name + QStringLiteral(".png"))));
    }
};

// Data rows for a render test: each state in the light and the dark look, with
// the columns "state" and "look" (an index into `looks`).
inline void addLookRows(std::initializer_list<const char *> states)
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<int>("look");
    for (const char *state : states) {
        for (int v = 0; v < 2; ++v)
            QTest::addRow("%s-%s", state, looks[v].suffix) << QString::fromLatin1(state) << v;
    }
}

} // namespace scenetest
