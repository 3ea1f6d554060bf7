#pragma once

#include "SceneDriver.h"

#include <QJSValue>
#include <QQuickItem>
#include <QTest>

// Steps several journeys take: letting a transition finish, reaching a page's
// model, and tapping a button of an alert or action sheet by its text.
namespace scenetest {

// Lets a push, a sheet or a menu finish moving into place before it is touched.
inline void settleTransition()
{
    QTest::qWait(450);
}

// The model of the page with this objectName.
template<typename Model>
Model *modelOf(SceneDriver &scene, const QString &page)
{
    QQuickItem *item = scene.item(page);
    return item ? item->property("model").value<Model *>() : nullptr;
}

// The text of a dialog button, taken from the action it was built from.
inline QString dialogActionText(QQuickItem *item)
{
    const QVariant data = item->property("modelData");
    if (data.canConvert<QJSValue>())
        return data.value<QJSValue>().property(QStringLiteral("text")).toString();
    return data.toMap().value(QStringLiteral("text")).toString();
}

inline QQuickItem *findDialogAction(QQuickItem *root, const QString &text)
{
    for (QQuickItem *child : root->childItems()) {
        if (!child->isVisible())
            continue;
        if (child->inherits("QQuickAbstractButton") && dialogActionText(child) == text)
            return child;
        if (QQuickItem *found = findDialogAction(child, text))
            return found;
    }
    return nullptr;
}

// Taps the alert's or action sheet's button with this text, once it shows.
inline bool pressDialogAction(SceneDriver &scene, const QString &text)
{
    QQuickItem *button = nullptr;
    if (!scene.waitFor([&] { return (button = findDialogAction(scene.window()->contentItem(), text)) != nullptr; }))
        return false;
    settleTransition();
    const QPointF centre = button->mapToScene(QPointF(button->width() / 2, button->height() / 2));
    QTest::mouseClick(scene.window(), Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    return true;
}

} // namespace scenetest
