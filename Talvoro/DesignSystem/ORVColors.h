#pragma once

#include <QColor>

#include <array>
#include <optional>

namespace talvoro {

enum class UserInterfaceStyle { unspecified, light, dark };
enum class AccessibilityContrast { unspecified, normal, high };

// The traits a colour is resolved for.
struct TraitCollection {
    UserInterfaceStyle userInterfaceStyle = UserInterfaceStyle::unspecified;
    AccessibilityContrast accessibilityContrast = AccessibilityContrast::unspecified;
};

// A colour with a value per trait collection; the high-contrast variants are optional.
struct DynamicColor {
    QColor light;
    QColor dark;
    std::optional<QColor> highContrastLight;
    std::optional<QColor> highContrastDark;

    QColor resolved(const TraitCollection &traits) const;
};

namespace ORVColors {

// The semantic colours every screen draws with, in their declared order.
enum class Role {
    accent,
    accentPressed,
    secondaryAccent,
    background,
    surface,
    textPrimary,
    textSecondary,
    success,
    warning,
    danger,
    separator,
    mutedFill,
    textTertiary,
    textOnAccent,
    shadow,
    shimmerBase,
    shimmerGlow,
    shimmerHighlight,
};
inline constexpr int roleCount = 18;

DynamicColor makeDynamicColor(QColor light, QColor dark, std::optional<QColor> highContrastLight = std::nullopt,
    std::optional<QColor> highContrastDark = std::nullopt);

// High contrast picks its variant where one exists; otherwise dark picks dark and
// every other style (light or unspecified) picks light.
QColor dynamicColor(const TraitCollection &traits, const QColor &light, const QColor &dark,
    const std::optional<QColor> &highContrastLight, const std::optional<QColor> &highContrastDark);

const DynamicColor &color(Role role);

} // namespace ORVColors
} // namespace talvoro
