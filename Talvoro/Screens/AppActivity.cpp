#include "Screens/AppActivity.h"

#include <QGuiApplication>

namespace talvoro {

AppActivity::AppActivity(QObject *parent)
    : QObject(parent)
{
    if (auto *application = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        connect(application, &QGuiApplication::applicationStateChanged, this, &AppActivity::applicationStateChanged);
        m_active = QGuiApplication::applicationState() == Qt::ApplicationActive;
    }
}

void AppActivity::applicationStateChanged(Qt::ApplicationState state)
{
    const bool active = state == Qt::ApplicationActive;
    if (active == m_active)
        return;
    m_active = active;
    Q_EMIT activeChanged(active);
}

} // namespace talvoro
