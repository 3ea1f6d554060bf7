#include "Player/PlayerMorph.h"

#include <QVariantMap>

#include <algorithm>

namespace talvoro::playermorph {

namespace {

qreal clamp01(qreal value)
{
    return std::clamp<qreal>(value, 0, 1);
}

} // namespace

qreal smoothstep(qreal t)
{
    const qreal x = clamp01(t);
    return x * x * (3 - 2 * x);
}

qreal compactWidth(qreal availableWidth)
{
    return std::max<qreal>(availableWidth - 24, 0);
}

SurfaceGeometry surface(qreal progress, QSizeF available)
{
    const qreal p = clamp01(progress);
    const qreal w = available.width();
    const qreal h = available.height();
    const qreal cw = compactWidth(w);
    const qreal ch = compactHeight;
    const qreal restingY = h - compactBottomMargin - ch / 2;
    return {
        cw + (w - cw) * p,
        ch + (h - ch) * p,
        QPointF(w / 2, restingY + p * (h / 2 - restingY)),
        16 * (1 - p),
        smoothstep((p - 0.12) / 0.6),
        1 - smoothstep(p / 0.46),
    };
}

QRectF fallbackRect(Role role, QSizeF available)
{
    const qreal w = available.width();
    const qreal h = available.height();
    const qreal cw = compactWidth(w);
    const qreal barTop = h - compactBottomMargin - compactHeight;
    switch (role) {
    case Role::compactActivityIcon:
        return {(w - cw) / 2 + 16, barTop + 10, 44, 44};
    case Role::compactTitle:
        return {(w - cw) / 2 + 68, barTop + 8, std::max<qreal>(cw - 132, 80), 22};
    case Role::compactControl:
        return {(w + cw) / 2 - 52, barTop + 10, 44, 44};
    case Role::expandedActivityIcon:
        return {w / 2 - 10, 0.3 * h, 20, 20};
    case Role::expandedTitle:
        return {0.15 * w, 0.36 * h, 0.7 * w, 52};
    case Role::expandedControl:
        break;
    }
    return {w / 2 - 36, h - 112, 72, 72};
}

QRectF interpolate(const QRectF &from, const QRectF &to, qreal progress)
{
    const qreal p = clamp01(progress);
    return {from.x() + p * (to.x() - from.x()), from.y() + p * (to.y() - from.y()),
        from.width() + p * (to.width() - from.width()), from.height() + p * (to.height() - from.height())};
}

ChromeMetrics chrome(qreal progress)
{
    const qreal p = clamp01(progress);
    return {
        18 - 6 * p,
        10 - 6 * p,
        0.1 * (1 - p),
        15 + 25 * p,
        17 + 47 * p,
        1 - smoothstep(p / 0.58),
        smoothstep((p - 0.2) / 0.8),
    };
}

bool fitsSideBySide(qreal first, qreal second, qreal spacing, qreal available)
{
    return first + spacing + second <= available;
}

} // namespace talvoro::playermorph

namespace talvoro {

QVariantMap PlayerMorph::surface(qreal progress, qreal width, qreal height)
{
    const auto geometry = playermorph::surface(progress, QSizeF(width, height));
    return {
        {QStringLiteral("width"), geometry.width},
        {QStringLiteral("height"), geometry.height},
        {QStringLiteral("centerX"), geometry.center.x()},
        {QStringLiteral("centerY"), geometry.center.y()},
        {QStringLiteral("cornerRadius"), geometry.cornerRadius},
        {QStringLiteral("pageOpacity"), geometry.pageOpacity},
        {QStringLiteral("barOpacity"), geometry.barOpacity},
    };
}

QVariantMap PlayerMorph::chrome(qreal progress)
{
    const auto metrics = playermorph::chrome(progress);
    return {
        {QStringLiteral("iconSize"), metrics.iconSize},
        {QStringLiteral("iconCornerRadius"), metrics.iconCornerRadius},
        {QStringLiteral("iconTintOpacity"), metrics.iconTintOpacity},
        {QStringLiteral("titleSize"), metrics.titleSize},
        {QStringLiteral("controlSize"), metrics.controlSize},
        {QStringLiteral("compactGlyphOpacity"), metrics.compactGlyphOpacity},
        {QStringLiteral("expandedGlyphOpacity"), metrics.expandedGlyphOpacity},
    };
}

} // namespace talvoro
