#pragma once

#include <QObject>
#include <QQmlEngine>

namespace talvoro {

// Where a row sits in its group, which decides whether it draws a separator
// under itself (QML enumeration values start with a capital letter).
class ORVListRowPosition : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    enum Value { Only, First, Middle, Last };
    Q_ENUM(Value)

    using QObject::QObject;

    Q_INVOKABLE static talvoro::ORVListRowPosition::Value forIndex(int index, int count);
    // Only first and middle rows draw one; the last row sits on the group's edge.
    Q_INVOKABLE static bool showsSeparator(talvoro::ORVListRowPosition::Value position);
};

} // namespace talvoro
