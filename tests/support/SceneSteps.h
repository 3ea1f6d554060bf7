#pragma once

#include "SceneDriver.h"

#include <QJSValue>
#include <QJsonObject>
#include <QTest>

// Steps more than one journey takes, on top of the scene driver.
namespace scenetest {

// The stand-in backend's seeded account.
inline const QString demoUser = QStringLiteral("demo");
inline const QString demoPassword = QStringLiteral("listen2learn");

// A token of the demo account of its own, to look at (and change) what the backend holds.
inline QString backendToken(SceneDriver &scene)
{
    return scene.backend()
        .call("POST", QStringLiteral("/api/v1/auth/login"),
            QJsonObject {{"username", demoUser}, {"password", demoPassword}})
        .data()[QStringLiteral("accessToken")]
        .toString();
}

inline QString textOf(QQuickItem *item)
{
    return item ? item->property("text").toString() : QString();
}

// Lets a push or a sheet finish moving into place before it is touched.
inline void settle()
{
    QTest::qWait(450);
}

// The screen model of the page with this objectName.
template<typename Model>
Model *modelOf(SceneDriver &scene, const QString &page)
{
    QQuickItem *item = scene.item(page);
    return item ? item->property("model").value<Model *>() : nullptr;
}

namespace detail {
inline QString actionText(QQuickItem *item)
{
    const QVariant data = item->property("modelData");
    if (data.canConvert<QJSValue>())
        return data.value<QJSValue>().property(QStringLiteral("text")).toString();
    return data.toMap().value(QStringLiteral("text")).toString();
}

inline QQuickItem *findAction(QQuickItem *root, const QString &text)
{
    for (QQuickItem *child : root->childItems()) {
        if (!child->isVisible())
            continue;
        if (child->inherits("QQuickAbstractButton") && actionText(child) == text)
            return child;
        if (QQuickItem *found = findAction(child, text))
            return found;
    }
    return nullptr;
}
} // namespace detail

// Taps the alert's button with this text.
inline bool pressAlertAction(SceneDriver &scene, const QString &text)
{
    QQuickItem *button = nullptr;
    if (!scene.waitFor([&] { return (button = detail::findAction(scene.window()->contentItem(), text)) != nullptr; }))
        return false;
    settle();
    const QPointF centre = button->mapToScene(QPointF(button->width() / 2, button->height() / 2));
    QTest::mouseClick(scene.window(), Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    return true;
}

} // namespace scenetest
