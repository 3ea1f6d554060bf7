#pragma once

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQmlExtensionPlugin>
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

// The folder the rendered pictures go to.
QString testOutputFolder();
