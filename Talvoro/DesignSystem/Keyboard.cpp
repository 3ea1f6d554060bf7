#include "DesignSystem/Keyboard.h"

#include <QGuiApplication>
#include <QInputMethod>
#include <QQuickWindow>

namespace talvoro {

void Keyboard::dismiss(QQuickItem *context)
{
    QQuickWindow *window = context ? context->window() : qobject_cast<QQuickWindow *>(QGuiApplication::focusWindow());
    if (window) {
        // Focus goes back to the window's root, so no field keeps it.
        if (QQuickItem *focused = window->activeFocusItem(); focused && focused != window->contentItem())
            window->contentItem()->forceActiveFocus();
    }
    QGuiApplication::inputMethod()->hide();
}

} // namespace talvoro
