#include "Platform/NotificationCenter.h"

namespace talvoro {

NotificationCenter &NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

void NotificationCenter::post(const QString &name, const QVariant &object)
{
    Q_EMIT posted(name, object);
}

QMetaObject::Connection NotificationCenter::addObserver(const QString &name, const QObject *context, Handler handler)
{
    return connect(this, &NotificationCenter::posted, context,
        [name, handler = std::move(handler)](const QString &postedName, const QVariant &object) {
            if (postedName == name)
                handler(object);
        });
}

void NotificationCenter::removeObserver(const QMetaObject::Connection &observation)
{
    QObject::disconnect(observation);
}

} // namespace talvoro
