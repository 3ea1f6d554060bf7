#pragma once

#include <QObject>

namespace talvoro {

// Whether the app is in the foreground. The platform's application state is read
// here and nowhere else; the scene's controller and the screens that reload when
// the app comes back are handed this object.
class AppActivity final : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool active READ isActive NOTIFY activeChanged)

public:
    // Follows the running QGuiApplication; without one the app counts as inactive.
    explicit AppActivity(QObject *parent = nullptr);

    bool isActive() const { return m_active; }
    // What the platform reported; only a change between active and not active is
    // passed on (hidden, inactive and suspended are all "not active").
    void applicationStateChanged(Qt::ApplicationState state);

Q_SIGNALS:
    void activeChanged(bool active);

private:
    bool m_active = false;
};

} // namespace talvoro
