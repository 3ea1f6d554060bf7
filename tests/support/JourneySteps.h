#pragma once

#include "SceneDriver.h"

#include "Lexicons/UserLexiconDetailModel.h"
#include "Lexicons/UserLexiconListModel.h"

#include <QJSValue>
#include <QJsonObject>
#include <QQuickItem>
#include <QTest>

// Steps that journeys through the real app share: the demo account, a token of
// its own to look at what the backend holds, waiting for transitions, taps on the
// buttons of alerts and confirmation dialogs, and the way to a private lexicon.
namespace scenetest {

inline const QString demoUser = QStringLiteral("demo");
inline const QString demoPassword = QStringLiteral("listen2learn");

inline QString textOf(QQuickItem *item)
{
    return item ? item->property("text").toString() : QString();
}

// Lets a push or a sheet finish moving into place before it is touched.
inline void settle()
{
    QTest::qWait(450);
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
