#pragma once

// Layout and motion tokens, in layout points and milliseconds.
namespace talvoro::ORVTheme {

namespace Spacing {
inline constexpr double xxs = 4;
inline constexpr double xs = 8;
inline constexpr double sm = 12;
inline constexpr double md = 16;
inline constexpr double lg = 20;
inline constexpr double xl = 24;
inline constexpr double xxl = 32;
inline constexpr double xxxl = 40;
inline constexpr double huge = 48;
} // namespace Spacing

namespace CornerRadius {
inline constexpr double medium = 12;
inline constexpr double small = 10;
inline constexpr double large = 16;
} // namespace CornerRadius

namespace Size {
inline constexpr double minTouchTarget = 44;
inline constexpr double iconButton = 44;
} // namespace Size

namespace Animation {
inline constexpr int standardDuration = 200; // ease-in-out
inline constexpr int quickDuration = 180; // ease-out
} // namespace Animation

} // namespace talvoro::ORVTheme
