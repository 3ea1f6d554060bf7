#include "Player/PlayerSharedElementRegistry.h"

namespace talvoro {

void PlayerSharedElementRegistry::report(PlayerMorph::Role role, const QRectF &bounds, const QRectF &shownArea)
{
    auto &slot = m_bounds.at(std::size_t(role));
    auto &area = m_shownAreas.at(std::size_t(role));
    if (slot == bounds && area == shownArea)
        return;
    slot = bounds;
    area = shownArea;
    ++m_revision;
    Q_EMIT framesChanged();
}

void PlayerSharedElementRegistry::withdraw(PlayerMorph::Role role)
{
    auto &slot = m_bounds.at(std::size_t(role));
    if (!slot)
        return;
    slot.reset();
    m_shownAreas.at(std::size_t(role)) = QRectF();
    ++m_revision;
    Q_EMIT framesChanged();
}

QRectF PlayerSharedElementRegistry::frame(PlayerMorph::Role role, qreal width, qreal height) const
{
    const auto &bounds = m_bounds.at(std::size_t(role));
    return bounds ? *bounds : playermorph::fallbackRect(playermorph::Role(role), QSizeF(width, height));
}

QRectF PlayerSharedElementRegistry::travellingFrame(
    PlayerMorph::Role compact, PlayerMorph::Role expanded, qreal width, qreal height) const
{
    return playermorph::interpolate(frame(compact, width, height), frame(expanded, width, height), m_progress);
}

QRectF PlayerSharedElementRegistry::travellingArea(
    PlayerMorph::Role compact, PlayerMorph::Role expanded, qreal width, qreal height) const
{
    const auto shown = [&](PlayerMorph::Role role) {
        const QRectF &area = m_shownAreas.at(std::size_t(role));
        return area.isNull() ? QRectF(0, 0, width, height) : area;
    };
    return playermorph::interpolate(shown(compact), shown(expanded), m_progress);
}

void PlayerSharedElementRegistry::setProgress(qreal progress)
{
    if (qFuzzyCompare(m_progress + 1, progress + 1))
        return;
    m_progress = progress;
    Q_EMIT progressChanged();
}

} // namespace talvoro
