#pragma once

#include <QAccessibleObject>
#include <QQuickItem>

namespace talvoro {

// The object behind an item's `Accessible` attached properties, or null; its type
// is private to Qt Quick, its properties are not.
QObject *accessibleAttached(const QQuickItem *item);

// What Qt Quick's own accessibility interface gives an item: the name,
// description and role of its `Accessible` properties, its state, its place, and
// its accessible children (an ignored item passed through to its own). Qt Quick's
// class is private; interfaces that add to it build on this one.
class ItemAccessibility : public QAccessibleObject {
public:
    explicit ItemAccessibility(QQuickItem *item);

    QQuickItem *item() const { return static_cast<QQuickItem *>(object()); }

    QWindow *window() const override;
    QAccessibleInterface *parent() const override;
    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;
    QString text(QAccessible::Text type) const override;
    QAccessible::Role role() const override;
    QAccessible::State state() const override;
    QRect rect() const override;

private:
    QList<QQuickItem *> children() const;
};

} // namespace talvoro
