#include "DesignSystem/ToastController.h"

#include "Platform/Text.h"

#include <QTimer>

namespace talvoro {

void ToastController::setDuration(int milliseconds)
{
    if (m_duration == milliseconds)
        return;
    m_duration = qMax(0, milliseconds);
    Q_EMIT durationChanged();
}

void ToastController::show(const QString &message)
{
    m_message = message;
    m_id = text::newUuidText();
    Q_EMIT changed();
    QTimer::singleShot(m_duration, this, [this, id = m_id] {
        if (m_id == id)
            clear();
    });
}

void ToastController::clear()
{
    if (m_id.isEmpty())
        return;
    m_message.clear();
    m_id.clear();
    Q_EMIT changed();
}

} // namespace talvoro
