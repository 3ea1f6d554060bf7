#include "DesignSystem/ORVRefreshScrollCoordinator.h"

#include <QEasingCurve>

namespace talvoro {

QString ORVRefreshScrollCoordinator::title() const
{
    switch (m_state) {
    case Pulling:
        return m_pullingTitle;
    case Armed:
        return m_armedTitle;
    case Refreshing:
        return m_refreshingTitle;
    case Idle:
        break;
    }
    return {};
}

QString ORVRefreshScrollCoordinator::detail() const
{
    switch (m_state) {
    case Pulling:
        return m_pullingDetail;
    case Armed:
        return m_armedDetail;
    case Refreshing:
        return m_refreshingDetail;
    case Idle:
        break;
    }
    return {};
}

void ORVRefreshScrollCoordinator::setHaptics(Haptics *haptics)
{
    if (m_haptics == haptics)
        return;
    m_haptics = haptics;
    Q_EMIT hapticsChanged();
}

void ORVRefreshScrollCoordinator::setRestingContentInsetTop(qreal inset)
{
    if (m_restingContentInsetTop == inset)
        return;
    m_restingContentInsetTop = inset;
    if (!m_isRefreshing && !m_isCompleting)
        m_contentInsetTop = inset;
    Q_EMIT contentInsetTopChanged();
}

void ORVRefreshScrollCoordinator::didScroll(qreal pull, bool isDragging)
{
    if (m_dismantled || m_isRefreshing)
        return;
    if (m_isCompleting) {
        // The content is still springing back; it must not show "pulling" again.
        if (!isDragging && pull <= 1) {
            setIsCompleting(false);
            m_didEmitThresholdHaptic = false;
        }
        return;
    }
    if (pull > 1 && pull < threshold) {
        m_didEmitThresholdHaptic = false;
        apply(Pulling, qMin(pull / threshold, 1.0));
    } else if (pull >= threshold) {
        if (!m_didEmitThresholdHaptic) {
            if (m_haptics)
                m_haptics->lightImpact();
            m_didEmitThresholdHaptic = true;
        }
        apply(Armed);
    } else {
        m_didEmitThresholdHaptic = false;
        apply(Idle);
    }
}

void ORVRefreshScrollCoordinator::didEndDragging(qreal pull)
{
    if (m_dismantled || m_isRefreshing || m_isCompleting || pull < threshold)
        return;
    apply(Refreshing);
    // Holds the status capsule in view while the refresh runs.
    setContentInsetTop(m_restingContentInsetTop + statusHeight + statusGap, 220, QEasingCurve::OutQuad);
    setIsRefreshing(true);
    Q_EMIT refreshRequested();
}

void ORVRefreshScrollCoordinator::finishRefresh()
{
    if (m_dismantled || !m_isRefreshing)
        return;
    setIsRefreshing(false);
    setIsCompleting(true);
    apply(Idle);
    setContentInsetTop(m_restingContentInsetTop, 280, QEasingCurve::InOutQuad);
}

void ORVRefreshScrollCoordinator::insetAnimationFinished(qreal pull, bool isDragging)
{
    if (m_dismantled || !m_isCompleting || isDragging || pull > 1)
        return;
    setIsCompleting(false);
    m_didEmitThresholdHaptic = false;
}

void ORVRefreshScrollCoordinator::dismantle()
{
    m_dismantled = true;
    setIsRefreshing(false);
}

void ORVRefreshScrollCoordinator::apply(State state, qreal progress)
{
    if (m_state == state && (state != Pulling || m_progress == progress))
        return;
    m_state = state;
    m_progress = state == Pulling ? progress : 0;
    Q_EMIT presentationChanged();
}

void ORVRefreshScrollCoordinator::setContentInsetTop(qreal inset, int duration, int easing)
{
    m_contentInsetTop = inset;
    m_insetAnimationDuration = duration;
    m_insetAnimationEasing = easing;
    Q_EMIT contentInsetTopChanged();
}

void ORVRefreshScrollCoordinator::setIsRefreshing(bool on)
{
    if (m_isRefreshing == on)
        return;
    m_isRefreshing = on;
    Q_EMIT isRefreshingChanged();
}

void ORVRefreshScrollCoordinator::setIsCompleting(bool on)
{
    if (m_isCompleting == on)
        return;
    m_isCompleting = on;
    Q_EMIT isCompletingChanged();
}

} // namespace talvoro
