#pragma once

#include <QObject>
#include <QQmlEngine>
#include <QString>

namespace talvoro {

// A short confirmation. Each toast carries a fresh identifier; it is cleared after
// `duration` unless a newer toast has replaced it by then.
class ToastController : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString message READ message NOTIFY changed)
    Q_PROPERTY(QString toastId READ toastId NOTIFY changed)
    Q_PROPERTY(bool visible READ visible NOTIFY changed)
    Q_PROPERTY(int duration READ duration WRITE setDuration NOTIFY durationChanged)

public:
    using QObject::QObject;

    QString message() const { return m_message; }
    QString toastId() const { return m_id; }
    bool visible() const { return !m_id.isEmpty(); }
    int duration() const { return m_duration; }
    void setDuration(int milliseconds);

    Q_INVOKABLE void show(const QString &message);
    Q_INVOKABLE void clear();

Q_SIGNALS:
    void changed();
    void durationChanged();

private:
    QString m_message;
    QString m_id;
    int m_duration = 2500;
};

} // namespace talvoro
