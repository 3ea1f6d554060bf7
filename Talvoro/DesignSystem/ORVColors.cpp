#include "DesignSystem/ORVColors.h"

namespace talvoro {

QColor DynamicColor::resolved(const TraitCollection &traits) const
{
    return ORVColors::dynamicColor(traits, light, dark, highContrastLight, highContrastDark);
}

namespace ORVColors {

DynamicColor makeDynamicColor(
    QColor light, QColor dark, std::optional<QColor> highContrastLight, std::optional<QColor> highContrastDark)
{
    return DynamicColor {std::move(light), std::move(dark), std::move(highContrastLight), std::move(highContrastDark)};
}

QColor dynamicColor(const TraitCollection &traits, const QColor &light, const QColor &dark,
    const std::optional<QColor> &highContrastLight, const std::optional<QColor> &highContrastDark)
{
    const bool isDark = traits.userInterfaceStyle == UserInterfaceStyle::dark;
    if (traits.accessibilityContrast == AccessibilityContrast::high) {
        if (isDark)
            return highContrastDark.value_or(dark);
        return highContrastLight.value_or(light);
    }
    return isDark ? dark : light;
}

namespace {

QColor rgba(int r, int g, int b, double alpha)
{
    QColor c(r, g, b);
    c.setAlphaF(float(alpha));
    return c;
}

QColor hex(QRgb rgb)
{
    return QColor::fromRgb(rgb);
}

DynamicColor fixed(const QColor &c)
{
    return makeDynamicColor(c, c);
}

// The six colours that follow the platform's own semantic colours get values of
// our own, close to the platform's light and dark ones.
const std::array<DynamicColor, roleCount> &table()
{
    static const std::array<DynamicColor, roleCount> colors {
        fixed(hex(0x0A67FF)), // accent
        fixed(hex(0x084FCC)), // accentPressed
        makeDynamicColor(hex(0x00796B), hex(0x5BD8C8)), // secondaryAccent
        makeDynamicColor(hex(0xF2F2F7), hex(0x000000)), // background: grouped background
        makeDynamicColor(hex(0xFFFFFF), hex(0x1C1C1E)), // surface: secondary grouped background
        makeDynamicColor(hex(0x000000), hex(0xFFFFFF)), // textPrimary: label
        makeDynamicColor(hex(0x4B5563), hex(0xB8C1CF), hex(0x374151), hex(0xE2E8F0)), // textSecondary
        makeDynamicColor(hex(0x16723B), hex(0x5BD98A)), // success
        makeDynamicColor(hex(0x9A6700), hex(0xFFD166)), // warning
        makeDynamicColor(hex(0xB42318), hex(0xFF837A)), // danger
        makeDynamicColor(rgba(60, 60, 67, 0.29), rgba(84, 84, 88, 0.6)), // separator
        makeDynamicColor(rgba(118, 118, 128, 0.12), rgba(118, 118, 128, 0.24)), // mutedFill: tertiary fill
        makeDynamicColor(rgba(60, 60, 67, 0.3), rgba(235, 235, 245, 0.3)), // textTertiary: tertiary label
        fixed(hex(0xFFFFFF)), // textOnAccent
        makeDynamicColor(rgba(0, 0, 0, 0.08), rgba(0, 0, 0, 0.46)), // shadow
        makeDynamicColor(hex(0xE5E7EB), hex(0x2B3442)), // shimmerBase
        makeDynamicColor(hex(0xF3F4F6), hex(0x364152)), // shimmerGlow
        makeDynamicColor(hex(0xFFFFFF), hex(0x465268)), // shimmerHighlight
    };
    return colors;
}

} // namespace

const DynamicColor &color(Role role)
{
    return table()[std::size_t(role)];
}

} // namespace ORVColors
} // namespace talvoro
