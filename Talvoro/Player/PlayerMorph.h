#pragma once

#include <QObject>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QtQmlIntegration>

#include <array>

namespace talvoro {

// The geometry of the morph between the playback bar and the player page, as pure
// functions of the progress p (0 = bar, 1 = page), so every frame of it can be
// computed, and checked, without drawing anything.
namespace playermorph {

inline constexpr qreal compactHeight = 64;
// The bar rests this far above the bottom edge, as far as it stands in from each
// side, so its border and corners show whole.
inline constexpr qreal compactBottomMargin = 12;
inline constexpr qreal minimumControlSize = 44;

// 0 below 0, 1 above 1, and an S-curve between.
qreal smoothstep(qreal t);
// The bar's width: 12 in from each side, never negative.
qreal compactWidth(qreal availableWidth);

struct SurfaceGeometry {
    qreal width = 0;
    qreal height = 0;
    QPointF center;
    qreal cornerRadius = 0;
    qreal pageOpacity = 0; // the page fades in from p 0.12 to p 0.72
    qreal barOpacity = 0; // the bar is gone by p 0.46
};
SurfaceGeometry surface(qreal progress, QSizeF available);

// The travelling elements, in the order of their roles; the bar's roles come first.
enum class Role {
    compactActivityIcon,
    compactTitle,
    compactControl,
    expandedActivityIcon,
    expandedTitle,
    expandedControl
};
inline constexpr int roleCount = 6;

// Where an element stands when its view reported no bounds.
QRectF fallbackRect(Role role, QSizeF available);
// Component by component from `from` (p 0) to `to` (p 1); p is clamped.
QRectF interpolate(const QRectF &from, const QRectF &to, qreal progress);

// What the travelling copies look like at p.
struct ChromeMetrics {
    qreal iconSize = 0;
    qreal iconCornerRadius = 0;
    qreal iconTintOpacity = 0;
    qreal titleSize = 0;
    qreal controlSize = 0;
    qreal compactGlyphOpacity = 0;
    qreal expandedGlyphOpacity = 0;
};
ChromeMetrics chrome(qreal progress);

// The page header's two badges share one row when they fit in it at their ideal
// widths, and stack otherwise.
bool fitsSideBySide(qreal first, qreal second, qreal spacing, qreal available);

} // namespace playermorph

// The same functions for the QML views.
class PlayerMorph : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    // What a screen keeps free at its bottom for the bar: its height and its margin.
    Q_PROPERTY(qreal compactRoom READ compactRoom CONSTANT)

public:
    enum Role {
        CompactActivityIcon = int(playermorph::Role::compactActivityIcon),
        CompactTitle = int(playermorph::Role::compactTitle),
        CompactControl = int(playermorph::Role::compactControl),
        ExpandedActivityIcon = int(playermorph::Role::expandedActivityIcon),
        ExpandedTitle = int(playermorph::Role::expandedTitle),
        ExpandedControl = int(playermorph::Role::expandedControl),
    };
    Q_ENUM(Role)

    using QObject::QObject;

    static qreal compactRoom() { return playermorph::compactHeight + playermorph::compactBottomMargin; }
    Q_INVOKABLE static qreal smoothstep(qreal t) { return playermorph::smoothstep(t); }
    Q_INVOKABLE static qreal compactWidth(qreal availableWidth) { return playermorph::compactWidth(availableWidth); }
    // {width, height, centerX, centerY, cornerRadius, pageOpacity, barOpacity}
    Q_INVOKABLE static QVariantMap surface(qreal progress, qreal width, qreal height);
    // {iconSize, iconCornerRadius, iconTintOpacity, titleSize, controlSize, compactGlyphOpacity, expandedGlyphOpacity}
    Q_INVOKABLE static QVariantMap chrome(qreal progress);
    Q_INVOKABLE static bool fitsSideBySide(qreal first, qreal second, qreal spacing, qreal available)
    {
        return playermorph::fitsSideBySide(first, second, spacing, available);
    }
};

} // namespace talvoro
