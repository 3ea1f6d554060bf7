#include "AccessibleActions.h"

#include <QAccessible>
#include <QAccessibleObject>
#include <QQuickItem>
#include <QQuickWindow>

namespace talvoro {

namespace {

// The object behind an item's `Accessible` attached properties; its type is
// private to Qt Quick, its properties are not.
QObject *accessibleAttached(const QQuickItem *item)
{
    for (QObject *child : item->children()) {
        if (qstrcmp(child->metaObject()->className(), "QQuickAccessibleAttached") == 0)
            return child;
    }
    return nullptr;
}

// What Qt Quick's own interface gives an item (its name, role, state, place and
// children, with ignored items passed through), plus the named actions.
class ItemWithActions final : public QAccessibleObject, public QAccessibleActionInterface {
public:
    explicit ItemWithActions(QQuickItem *item)
        : QAccessibleObject(item)
    {
    }

    QQuickItem *item() const { return static_cast<QQuickItem *>(object()); }

    QWindow *window() const override { return item()->window(); }

    QAccessibleInterface *parent() const override
    {
        QQuickWindow *window = item()->window();
        for (QQuickItem *ancestor = item()->parentItem(); ancestor; ancestor = ancestor->parentItem()) {
            if (window && ancestor == window->contentItem())
                return QAccessible::queryAccessibleInterface(window);
            if (QAccessibleInterface *found = QAccessible::queryAccessibleInterface(ancestor))
                return found;
        }
        return nullptr;
    }

    int childCount() const override { return int(children().size()); }
    QAccessibleInterface *child(int index) const override
    {
        const QList<QQuickItem *> items = children();
        return index >= 0 && index < items.size() ? QAccessible::queryAccessibleInterface(items.at(index)) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child ? int(children().indexOf(qobject_cast<QQuickItem *>(child->object()))) : -1;
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        const QList<QQuickItem *> items = children();
        for (auto it = items.crbegin(); it != items.crend(); ++it) {
            QAccessibleInterface *candidate = QAccessible::queryAccessibleInterface(*it);
            if (candidate && !candidate->state().invisible && candidate->rect().contains(x, y))
                return candidate;
        }
        return nullptr;
    }

    QString text(QAccessible::Text type) const override
    {
        const QObject *attached = accessibleAttached(item());
        if (!attached)
            return {};
        switch (type) {
        case QAccessible::Name:
            return attached->property("name").toString();
        case QAccessible::Description:
            return attached->property("description").toString();
        default:
            return {};
        }
    }
    QAccessible::Role role() const override
    {
        const QObject *attached = accessibleAttached(item());
        const int role = attached ? attached->property("role").toInt() : QAccessible::NoRole;
        return role == QAccessible::NoRole ? QAccessible::Client : QAccessible::Role(role);
    }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        const QQuickItem *item = this->item();
        state.invisible = !item->window() || !item->window()->isVisible() || !item->isVisible()
            || qFuzzyIsNull(item->opacity());
        state.disabled = !item->isEnabled();
        state.focusable = item->activeFocusOnTab();
        state.focused = item->hasActiveFocus();
        return state;
    }
    QRect rect() const override
    {
        const QQuickItem *item = this->item();
        if (!item->window())
            return {};
        const QPointF origin = item->mapToScene(QPointF(0, 0));
        return QRect(item->window()->mapToGlobal(origin.toPoint()), item->size().toSize());
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface *>(this);
        return QAccessibleObject::interface_cast(type);
    }
    QStringList actionNames() const override
    {
        QStringList names {QAccessibleActionInterface::pressAction()};
        if (const AccessibleActions *actions = attachedActions())
            names += actions->names();
        return names;
    }
    void doAction(const QString &name) override
    {
        if (name == QAccessibleActionInterface::pressAction()) {
            // A button clicks as a tap would; anything else tells its handler.
            if (item()->metaObject()->indexOfMethod("accessiblePressAction()") >= 0)
                QMetaObject::invokeMethod(item(), "accessiblePressAction");
            else if (QObject *attached = accessibleAttached(item()))
                QMetaObject::invokeMethod(attached, "pressAction");
            return;
        }
        AccessibleActions *actions = attachedActions();
        if (actions && item()->isEnabled() && actions->names().contains(name))
            Q_EMIT actions->triggered(name);
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    AccessibleActions *attachedActions() const
    {
        return qobject_cast<AccessibleActions *>(qmlAttachedPropertiesObject<AccessibleActions>(item(), false));
    }

    // The accessible items under this one, each ignored one replaced by its own.
    static void collect(const QQuickItem *item, QList<QQuickItem *> &found)
    {
        for (QQuickItem *child : item->childItems()) {
            if (QAccessible::queryAccessibleInterface(child))
                found.append(child);
            else
                collect(child, found);
        }
    }
    QList<QQuickItem *> children() const
    {
        QList<QQuickItem *> found;
        collect(item(), found);
        return found;
    }
};

// Asked for each class of an object, most derived first, before Qt Quick's own
// factory answers for QQuickItem. Only an item that is accessible at all (it has
// `Accessible` properties) takes part, as Qt Quick would list it.
QAccessibleInterface *interfaceForItemWithActions(const QString &, QObject *object)
{
    auto *item = qobject_cast<QQuickItem *>(object);
    if (!item || !qmlAttachedPropertiesObject<AccessibleActions>(item, false) || !accessibleAttached(item))
        return nullptr;
    return new ItemWithActions(item);
}

} // namespace

AccessibleActions::AccessibleActions(QObject *parent)
    : QObject(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(interfaceForItemWithActions);
        return true;
    }();
    Q_UNUSED(installed);
}

AccessibleActions *AccessibleActions::qmlAttachedProperties(QObject *object)
{
    return new AccessibleActions(object);
}

void AccessibleActions::setNames(const QStringList &names)
{
    if (m_names == names)
        return;
    m_names = names;
    Q_EMIT namesChanged();
}

} // namespace talvoro
