#pragma once

#include "SceneDriver.h"

#include "Lexicons/UserLexiconDetailModel.h"
#include "Lexicons/UserLexiconListModel.h"

#include <QGuiApplication>
#include <QJSValue>
#include <QJsonObject>
#include <QQuickItem>
#include <QTest>
#include <QtQuickTest/quicktest.h>

// Steps that journeys through the real app share: the demo account, a token of
// its own to look at what the backend holds, waiting for what moves to come to
// rest, a finger's drags, taps on the buttons of alerts and confirmation dialogs,
// and the way to a private lexicon.
namespace scenetest {

inline const QString demoUser = QStringLiteral("demo");
inline const QString demoPassword = QStringLiteral("listen2learn");

inline QString textOf(QQuickItem *item)
{
    return item ? item->property("text").toString() : QString();
}

// Whether something under `object` still moves: a stack view changing pages, a
// sheet or an alert sliding in or out, a list dragged, flicked or springing back,
// or still holding the speed of a jump the journey made it take (it would take the
// next tap as the end of that movement), or an animation that ends. Animations
// that never end (a spinner) do not count.
inline bool isMoving(QObject *object)
{
    if (object->inherits("QQuickStackView") && object->property("busy").toBool())
        return true;
    // A popup is visible from the start of its entrance and opened only once it
    // has finished, until its exit starts.
    if (object->inherits("QQuickPopup") && object->property("visible").toBool() != object->property("opened").toBool())
        return true;
    if (object->inherits("QQuickFlickable")
        && (object->property("moving").toBool() || object->property("verticalVelocity").toReal() != 0
            || object->property("horizontalVelocity").toReal() != 0))
        return true;
    if (object->inherits("QQuickAbstractAnimation") && object->property("running").toBool()
        && object->property("loops").toInt() > 0)
        return true;
    auto *item = qobject_cast<QQuickItem *>(object);
    if (item) {
        for (QQuickItem *child : item->childItems()) {
            if (isMoving(child))
                return true;
        }
    }
    // Child items that are also QObject children were seen above.
    for (QObject *child : object->children()) {
        auto *childItem = qobject_cast<QQuickItem *>(child);
        if ((!item || !childItem || childItem->parentItem() != item) && isMoving(child))
            return true;
    }
    return false;
}

// Waits until nothing in any window moves and every window has laid itself out, so
// that the next tap lands where the item is shown. A scene that never comes to
// rest is reported and the journey goes on, to fail where it shows.
inline void settle()
{
    const auto still = [] {
        for (QWindow *window : QGuiApplication::topLevelWindows()) {
            auto *quick = qobject_cast<QQuickWindow *>(window);
            if (quick && quick->isVisible() && (isMoving(quick) || QQuickTest::qIsPolishScheduled(quick)))
                return false;
        }
        return true;
    };
    if (!QTest::qWaitFor(still, 10000))
        qWarning("The scene is still moving after 10 s");
}

// Drags from `from` to `to` in steps a frame apart, as a finger would, and lets
// go. The steps are a frame apart in the events' own times, which is what a flick
// is measured by; between them the scene lays itself out. A drag that starts with
// a long press holds still until `tookHold` says the press was taken as one.
inline void drag(QQuickWindow *window, QPointF from, QPointF to, int steps = 12,
    const std::function<bool()> &tookHold = nullptr)
{
    constexpr int frame = 16;
    QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, from.toPoint());
    if (tookHold && !QTest::qWaitFor(tookHold, 10000))
        qWarning("The long press was not taken as one");
    for (int step = 1; step <= steps; ++step) {
        QTest::mouseMove(window, (from + (to - from) * step / steps).toPoint(), frame);
        QQuickTest::qWaitForPolish(window);
    }
    QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, to.toPoint(), frame);
}

// Drags the content down by `distance` from the upper third of the window and lets
// go, as a finger pulling to refresh.
inline void pullDown(QQuickWindow *window, qreal distance = 220)
{
    const QPointF start(window->width() / 2, window->height() / 3);
    drag(window, start, start + QPointF(0, distance), 20);
}

// The model of the page with this object name.
template<typename Model>
Model *modelOf(SceneDriver &scene, const QString &page)
{
    QQuickItem *item = scene.item(page);
    return item ? item->property("model").value<Model *>() : nullptr;
}

// A token of the demo account of its own, to look at (and change) what the backend holds.
inline QString backendToken(SceneDriver &scene)
{
    return scene.backend()
        .call("POST", QStringLiteral("/api/v1/auth/login"),
            QJsonObject {{"username", demoUser}, {"password", demoPassword}})
        .data()[QStringLiteral("accessToken")]
        .toString();
}

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

// Taps the button with this text of the alert or confirmation dialog shown.
inline bool pressAlertAction(SceneDriver &scene, const QString &text)
{
    QQuickItem *button = nullptr;
    if (!scene.waitFor([&] { return (button = findDialogAction(scene.window()->contentItem(), text)) != nullptr; }))
        return false;
    settle();
    const QPointF centre = button->mapToScene(QPointF(button->width() / 2, button->height() / 2));
    QTest::mouseClick(scene.window(), Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    return true;
}

// Back one page on the home screen's navigation stack.
inline void goBack(SceneDriver &scene)
{
    QObject *stack = scene.item(QStringLiteral("home.view"))->property("navStack").value<QObject *>();
    QMetaObject::invokeMethod(stack, "pop");
}

// From the home screen to the private lexicon list.
inline bool openUserLexicons(SceneDriver &scene)
{
    settle();
    return scene.waitForItem(QStringLiteral("home.userLexiconsCard.open"))
        && scene.press(QStringLiteral("home.userLexiconsCard.open"))
        && scene.waitForItem(QStringLiteral("userLexiconList"));
}

// Opens the row of the private lexicon list named `name`; returns the detail's
// model once its load ended.
inline talvoro::UserLexiconDetailModel *openLexicon(SceneDriver &scene, const QString &name)
{
    auto *list = modelOf<talvoro::UserLexiconListModel>(scene, QStringLiteral("userLexiconList"));
    int row = -1;
    if (!list || !scene.waitFor([&] {
            for (int i = 0; i < list->lexicons().size(); ++i) {
                if (list->lexicons()[i].name == name)
                    row = i;
            }
            return row >= 0 && !list->isLoading();
        }))
        return nullptr;
    settle();
    if (!scene.press(QStringLiteral("userLexiconList.row.%1").arg(row))
        || !scene.waitForItem(QStringLiteral("userLexiconDetail")))
        return nullptr;
    auto *detail = modelOf<talvoro::UserLexiconDetailModel>(scene, QStringLiteral("userLexiconDetail"));
    if (!detail || !scene.waitFor([detail] { return !detail->isLoading(); }))
        return nullptr;
    settle();
    return detail;
}

} // namespace scenetest
