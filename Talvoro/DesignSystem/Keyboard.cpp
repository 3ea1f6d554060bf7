#include "DesignSystem/Keyboard.h"

#include <QGuiApplication>
#include <QInputMethod>
#include <QQuickWindow>

namespace talvoro {

void Keyboard::dismiss(QQuickItem *context)
{
    QQuickWindow *window = context ? context->window() : qobject_cast<QQuickWindow *>(QGuiApplication::focusWindow());
    if (window) {
        if (QQuickItem *focused = window->activeFocusItem(); focused && focused != window->contentItem())
            focused->setFocus(false);
    }
    QGuiApplication::inputMethod()->hide();
}

} // namespace talvoro
