#include "ItemAccessibility.h"

#include <QCoreApplication>
#include <QMetaMethod>
#include <QQuickWindow>

namespace talvoro {

QObject *accessibleAttached(const QQuickItem *item)
{
    for (QObject *child : item->children()) {
        if (qstrcmp(child->metaObject()->className(), "QQuickAccessibleAttached") == 0)
            return child;
    }
    return nullptr;
}

ItemAccessibility::ItemAccessibility(QQuickItem *item)
    : QAccessibleObject(item)
{
}

QWindow *ItemAccessibility::window() const
{
    return item()->window();
}

QAccessibleInterface *ItemAccessibility::parent() const
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

namespace {

// The accessible items under `item`, each one that is not replaced by its own.
void collectAccessible(const QQuickItem *item, QList<QQuickItem *> &found)
{
    for (QQuickItem *child : item->childItems()) {
        if (QAccessible::queryAccessibleInterface(child))
            found.append(child);
        else
            collectAccessible(child, found);
    }
}

} // namespace

QList<QQuickItem *> ItemAccessibility::children() const
{
    QList<QQuickItem *> found;
    collectAccessible(item(), found);
    return found;
}

int ItemAccessibility::childCount() const
{
    return int(children().size());
}

QAccessibleInterface *ItemAccessibility::child(int index) const
{
    const QList<QQuickItem *> items = children();
    return index >= 0 && index < items.size() ? QAccessible::queryAccessibleInterface(items.at(index)) : nullptr;
}

int ItemAccessibility::indexOfChild(const QAccessibleInterface *child) const
{
    return child ? int(children().indexOf(qobject_cast<QQuickItem *>(child->object()))) : -1;
}

QAccessibleInterface *ItemAccessibility::childAt(int x, int y) const
{
    const QList<QQuickItem *> items = children();
    for (auto it = items.crbegin(); it != items.crend(); ++it) {
        QAccessibleInterface *candidate = QAccessible::queryAccessibleInterface(*it);
        if (candidate && !candidate->state().invisible && candidate->rect().contains(x, y))
            return candidate;
    }
    return nullptr;
}

QString ItemAccessibility::text(QAccessible::Text type) const
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

QAccessible::Role ItemAccessibility::role() const
{
    const QObject *attached = accessibleAttached(item());
    const int role = attached ? attached->property("role").toInt() : QAccessible::NoRole;
    return role == QAccessible::NoRole ? QAccessible::Client : QAccessible::Role(role);
}

QAccessible::State ItemAccessibility::state() const
{
    QAccessible::State state;
    const QQuickItem *item = this->item();
    state.invisible
        = !item->window() || !item->window()->isVisible() || !item->isVisible() || qFuzzyIsNull(item->opacity());
    state.disabled = !item->isEnabled();
    state.focusable = item->activeFocusOnTab();
    state.focused = item->hasActiveFocus();
    return state;
}

QRect ItemAccessibility::rect() const
{
    const QQuickItem *item = this->item();
    if (!item->window())
        return {};
    const QPointF origin = item->mapToScene(QPointF(0, 0));
    return QRect(item->window()->mapToGlobal(origin.toPoint()), item->size().toSize());
}

namespace {

// TextInput.Normal: the echo mode that shows what is typed.
constexpr int showsText = 0;

// A text entry whose echo mode hides what is typed. Qt Quick's own interface
// hands the entry's text to whoever asks, so a password would reach every
// assistive tool on the bus in clear: this one says what the screen shows.
class HiddenTextEntry final : public ItemAccessibility {
public:
    using ItemAccessibility::ItemAccessibility;

    bool hides() const { return item()->property("echoMode").toInt() != showsText; }

    QString text(QAccessible::Text type) const override
    {
        if (type != QAccessible::Value)
            return ItemAccessibility::text(type);
        return item()->property(hides() ? "displayText" : "text").toString();
    }
    QAccessible::Role role() const override { return QAccessible::EditableText; }
    QAccessible::State state() const override
    {
        QAccessible::State state = ItemAccessibility::state();
        state.editable = true;
        state.focusable = true;
        state.passwordEdit = hides();
        return state;
    }
};

// Qt Quick builds an entry's interface while the entry is being made, before its
// echo mode is set. When the mode comes to hide the text, the interface built
// meanwhile is dropped, and the next one asked for is a hidden entry's.
class EchoModeWatcher final : public QObject {
    Q_OBJECT

public:
    explicit EchoModeWatcher(QObject *input)
        : QObject(input)
    {
        const QMetaObject *meta = input->metaObject();
        const QMetaMethod changed = meta->property(meta->indexOfProperty("echoMode")).notifySignal();
        connect(input, changed, this, metaObject()->method(metaObject()->indexOfSlot("rebuild()")));
    }

public Q_SLOTS:
    void rebuild()
    {
        QAccessibleInterface *current = QAccessible::queryAccessibleInterface(parent());
        if (current && !dynamic_cast<HiddenTextEntry *>(current))
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(current));
    }
};

// Asked for each class of an object, most derived first: TextInput comes before
// QQuickItem, for which Qt Quick's factory answers.
QAccessibleInterface *interfaceForHiddenTextEntry(const QString &className, QObject *object)
{
    if (className != QLatin1String("QQuickTextInput"))
        return nullptr;
    if (object->property("echoMode").toInt() == showsText) {
        if (!object->findChild<EchoModeWatcher *>(QString(), Qt::FindDirectChildrenOnly))
            new EchoModeWatcher(object);
        return nullptr;
    }
    auto *item = qobject_cast<QQuickItem *>(object);
    return item && accessibleAttached(item) ? new HiddenTextEntry(item) : nullptr;
}

} // namespace

} // namespace talvoro

namespace {

// Before any window is built, so the first entry asked about is answered here.
void installHiddenTextEntries()
{
    QAccessible::installFactory(talvoro::interfaceForHiddenTextEntry);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installHiddenTextEntries)

#include "ItemAccessibility.moc"
