#pragma once

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQmlExtensionPlugin>
#include <QQuickItem>
#include <QQuickWindow>
#include <QStringList>
#include <QTest>

#include <memory>

// Loads QML snippets that import the app's module, and records every warning
// printed meanwhile, so a test can insist that there were none.
class QmlSnippets {
public:
    QmlSnippets();
    ~QmlSnippets();

    QQmlEngine &engine() { return m_engine; }
    // Creates the snippet's root object; null (with the errors recorded) when it fails.
    std::unique_ptr<QObject> create(const QByteArray &qml);
    QStringList warnings() const;
    void clearWarnings();

private:
    QQmlEngine m_engine;
};

// A snippet of QML placed in a phone-sized window that imports the app's module.
QByteArray inWindow(const QByteArray &body);

// One snippet in its window, shown on screen.
struct QmlScene {
    QmlSnippets snippets;
    std::unique_ptr<QObject> root;
    QQuickWindow *window = nullptr;

    // False when the snippet did not load or its window was not shown.
    bool show(const QByteArray &body);
    QQuickItem *item(const char *objectName) const;
};

// The folder the rendered pictures go to.
QString testOutputFolder();
