#pragma once

#include <QObject>
#include <QQmlEngine>
#include <QQuickItem>

namespace talvoro {

// Hides the on-screen keyboard: the focused field loses focus, then the input
// method is told to hide.
class Keyboard : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    using QObject::QObject;
    // `context` names the window; without one, the focused window.
    Q_INVOKABLE static void dismiss(QQuickItem *context = nullptr);
};

} // namespace talvoro
