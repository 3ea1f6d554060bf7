#include "AccessibleActions.h"

#include "ItemAccessibility.h"

namespace talvoro {

namespace {

// An item as Qt Quick presents it, whose actions are the press and the names of
// its AccessibleActions.
class ItemWithActions final : public ItemAccessibility, public QAccessibleActionInterface {
public:
    using ItemAccessibility::ItemAccessibility;

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface *>(this);
        return ItemAccessibility::interface_cast(type);
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
