#include "DesignSystem/Haptics.h"

#include <QCoreApplication>

namespace talvoro {

Haptics::Haptics(QObject *parent)
    : QObject(parent)
{ }

Haptics *Haptics::shared()
{
    static Haptics *const instance = new Haptics(QCoreApplication::instance());
    return instance;
}

Haptics *Haptics::create(QQmlEngine *, QJSEngine *)
{
    Haptics *haptics = shared();
    QJSEngine::setObjectOwnership(haptics, QJSEngine::CppOwnership);
    return haptics;
}

void Haptics::lightImpact()
{
    ++m_lightImpactCount;
    Q_EMIT lightImpactCountChanged();
}

void Haptics::resetCount()
{
    m_lightImpactCount = 0;
    Q_EMIT lightImpactCountChanged();
}

} // namespace talvoro
