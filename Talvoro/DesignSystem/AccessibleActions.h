#pragma once

#include <QObject>
#include <QQmlEngine>
#include <QStringList>

namespace talvoro {

// Actions a screen reader offers on an item under names of their own, beside the
// press that Qt Quick's Accessible knows: a row that is removed by a swipe can
// then be removed without one. Qt 6.4's QML cannot name an action, so an item
// carrying this attached type gets an accessibility interface built here.
//
//     AccessibleActions.names: ["从播放列表移除"]
//     AccessibleActions.onTriggered: name => ...
class AccessibleActions : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("AccessibleActions is an attached type")
    QML_ATTACHED(talvoro::AccessibleActions)
    Q_PROPERTY(QStringList names READ names WRITE setNames NOTIFY namesChanged)

public:
    explicit AccessibleActions(QObject *parent);
    static AccessibleActions *qmlAttachedProperties(QObject *object);

    QStringList names() const { return m_names; }
    void setNames(const QStringList &names);

Q_SIGNALS:
    void namesChanged();
    void triggered(const QString &name);

private:
    QStringList m_names;
};

} // namespace talvoro
