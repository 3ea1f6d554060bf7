#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>

namespace talvoro {

// App-wide notifications by name, each with an optional object. An observer is
// called on the thread of its context object: at once when the post comes from
// that thread, through the context's event loop otherwise. It stops when the
// context is destroyed or when the observation is removed.
class NotificationCenter final : public QObject {
    Q_OBJECT

public:
    using Handler = std::function<void(const QVariant &object)>;

    static NotificationCenter &defaultCenter();

    void post(const QString &name, const QVariant &object = {});

    QMetaObject::Connection addObserver(const QString &name, const QObject *context, Handler handler);
    static void removeObserver(const QMetaObject::Connection &observation);

Q_SIGNALS:
    void posted(const QString &name, const QVariant &object);
};

} // namespace talvoro
