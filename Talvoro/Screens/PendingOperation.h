#pragma once

#include <QJSValue>
#include <QList>
#include <QObject>
#include <QtQmlIntegration>

namespace talvoro {

// What a screen model hands QML for work QML waits on (a pull to refresh): a
// thenable whose callbacks run once the work ends. It deletes itself afterwards.
class PendingOperation final : public QObject {
    Q_OBJECT
    QML_ANONYMOUS
    Q_PROPERTY(bool finished READ isFinished NOTIFY finishedChanged)

public:
    explicit PendingOperation(QObject *parent)
        : QObject(parent)
    { }

    bool isFinished() const { return m_finished; }
    // Runs `callback` when the work ends, at once when it has.
    Q_INVOKABLE void then(QJSValue callback);
    void finish();

Q_SIGNALS:
    void finishedChanged();

private:
    bool m_finished = false;
    QList<QJSValue> m_callbacks;
};

} // namespace talvoro
