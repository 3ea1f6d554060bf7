#pragma once

#include "DesignSystem/ORVColors.h"
#include "DesignSystem/ORVTheme.h"

#include <QEasingCurve>
#include <QFont>
#include <QObject>
#include <QProcessEnvironment>
#include <QQmlEngine>

namespace talvoro {

class KeyValueStore;
class Theme;

class ThemeSpacing : public QObject {
    Q_OBJECT
    QML_ANONYMOUS
    Q_PROPERTY(qreal xxs READ xxs CONSTANT)
    Q_PROPERTY(qreal xs READ xs CONSTANT)
    Q_PROPERTY(qreal sm READ sm CONSTANT)
    Q_PROPERTY(qreal md READ md CONSTANT)
    Q_PROPERTY(qreal lg READ lg CONSTANT)
    Q_PROPERTY(qreal xl READ xl CONSTANT)
    Q_PROPERTY(qreal xxl READ xxl CONSTANT)
    Q_PROPERTY(qreal xxxl READ xxxl CONSTANT)
    Q_PROPERTY(qreal huge READ huge CONSTANT)
public:
    using QObject::QObject;
    qreal xxs() const { return ORVTheme::Spacing::xxs; }
    qreal xs() const { return ORVTheme::Spacing::xs; }
    qreal sm() const { return ORVTheme::Spacing::sm; }
    qreal md() const { return ORVTheme::Spacing::md; }
    qreal lg() const { return ORVTheme::Spacing::lg; }
    qreal xl() const { return ORVTheme::Spacing::xl; }
    qreal xxl() const { return ORVTheme::Spacing::xxl; }
    qreal xxxl() const { return ORVTheme::Spacing::xxxl; }
    qreal huge() const { return ORVTheme::Spacing::huge; }
};

class ThemeCornerRadius : public QObject {
    Q_OBJECT
    QML_ANONYMOUS
    Q_PROPERTY(qreal medium READ medium CONSTANT)
    Q_PROPERTY(qreal small READ small CONSTANT)
    Q_PROPERTY(qreal large READ large CONSTANT)
public:
    using QObject::QObject;
    qreal medium() const { return ORVTheme::CornerRadius::medium; }
    qreal small() const { return ORVTheme::CornerRadius::small; }
    qreal large() const { return ORVTheme::CornerRadius::large; }
};

class ThemeSize : public QObject {
    Q_OBJECT
    QML_ANONYMOUS
    Q_PROPERTY(qreal minTouchTarget READ minTouchTarget CONSTANT)
    Q_PROPERTY(qreal iconButton READ iconButton CONSTANT)
public:
    using QObject::QObject;
    qreal minTouchTarget() const { return ORVTheme::Size::minTouchTarget; }
    qreal iconButton() const { return ORVTheme::Size::iconButton; }
};

// Durations in milliseconds; with Reduce Motion every animation of ours is off.
class ThemeAnimation : public QObject {
    Q_OBJECT
    QML_ANONYMOUS
    Q_PROPERTY(int standardDuration READ standardDuration CONSTANT)
    Q_PROPERTY(int standardEasing READ standardEasing CONSTANT)
    Q_PROPERTY(int quickDuration READ quickDuration CONSTANT)
    Q_PROPERTY(int quickEasing READ quickEasing CONSTANT)
public:
    using QObject::QObject;
    int standardDuration() const { return ORVTheme::Animation::standardDuration; }
    int standardEasing() const { return QEasingCurve::InOutQuad; }
    int quickDuration() const { return ORVTheme::Animation::quickDuration; }
    int quickEasing() const { return QEasingCurve::OutQuad; }
};

// The look of every navigation bar, installed once per process. Until then a bar
// has no background or hairline of its own.
class ORVNavigationBarAppearance : public QObject {
    Q_OBJECT
    QML_ANONYMOUS
    Q_PROPERTY(bool configured READ configured NOTIFY changed)
    Q_PROPERTY(QColor backgroundColor READ backgroundColor NOTIFY changed)
    Q_PROPERTY(QColor shadowColor READ shadowColor NOTIFY changed)
    Q_PROPERTY(QColor titleColor READ titleColor NOTIFY changed)
    Q_PROPERTY(QColor tintColor READ tintColor NOTIFY changed)
    Q_PROPERTY(QColor barButtonTintColor READ barButtonTintColor NOTIFY changed)
public:
    explicit ORVNavigationBarAppearance(Theme *theme);

    bool configured() const { return m_configured; }
    QColor backgroundColor() const;
    QColor shadowColor() const;
    QColor titleColor() const;
    QColor tintColor() const;
    QColor barButtonTintColor() const { return tintColor(); }

    void configure();

Q_SIGNALS:
    void changed();

private:
    Theme *m_theme;
    bool m_configured = false;
};

// The traits every component reads (colour scheme, contrast, text size, motion),
// the semantic colours resolved for them, the layout tokens and the text styles.
// One instance per process, shared by every QML engine.
class Theme : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

    Q_PROPERTY(ColorScheme colorScheme READ colorScheme WRITE setColorScheme NOTIFY traitsChanged)
    Q_PROPERTY(bool highContrast READ highContrast WRITE setHighContrast NOTIFY traitsChanged)
    Q_PROPERTY(ContentSize contentSize READ contentSize WRITE setContentSize NOTIFY traitsChanged)
    Q_PROPERTY(bool isAccessibilitySize READ isAccessibilitySize NOTIFY traitsChanged)
    Q_PROPERTY(bool reduceMotion READ reduceMotion WRITE setReduceMotion NOTIFY traitsChanged)

    Q_PROPERTY(QColor accent READ accent NOTIFY traitsChanged)
    Q_PROPERTY(QColor accentPressed READ accentPressed NOTIFY traitsChanged)
    Q_PROPERTY(QColor secondaryAccent READ secondaryAccent NOTIFY traitsChanged)
    Q_PROPERTY(QColor background READ background NOTIFY traitsChanged)
    Q_PROPERTY(QColor surface READ surface NOTIFY traitsChanged)
    Q_PROPERTY(QColor textPrimary READ textPrimary NOTIFY traitsChanged)
    Q_PROPERTY(QColor textSecondary READ textSecondary NOTIFY traitsChanged)
    Q_PROPERTY(QColor success READ success NOTIFY traitsChanged)
    Q_PROPERTY(QColor warning READ warning NOTIFY traitsChanged)
    Q_PROPERTY(QColor danger READ danger NOTIFY traitsChanged)
    Q_PROPERTY(QColor separator READ separator NOTIFY traitsChanged)
    Q_PROPERTY(QColor mutedFill READ mutedFill NOTIFY traitsChanged)
    Q_PROPERTY(QColor textTertiary READ textTertiary NOTIFY traitsChanged)
    Q_PROPERTY(QColor textOnAccent READ textOnAccent NOTIFY traitsChanged)
    Q_PROPERTY(QColor shadow READ shadow NOTIFY traitsChanged)
    Q_PROPERTY(QColor shimmerBase READ shimmerBase NOTIFY traitsChanged)
    Q_PROPERTY(QColor shimmerGlow READ shimmerGlow NOTIFY traitsChanged)
    Q_PROPERTY(QColor shimmerHighlight READ shimmerHighlight NOTIFY traitsChanged)

    Q_PROPERTY(talvoro::ThemeSpacing *spacing READ spacing CONSTANT)
    Q_PROPERTY(talvoro::ThemeCornerRadius *cornerRadius READ cornerRadius CONSTANT)
    Q_PROPERTY(talvoro::ThemeSize *size READ size CONSTANT)
    Q_PROPERTY(talvoro::ThemeAnimation *animation READ animation CONSTANT)
    Q_PROPERTY(talvoro::ORVNavigationBarAppearance *navigationBarAppearance READ navigationBarAppearance CONSTANT)

public:
    enum ColorScheme { Light, Dark };
    Q_ENUM(ColorScheme)

    // The platform's text sizes, from the smallest to the largest accessibility size.
    enum ContentSize {
        ExtraSmall,
        Small,
        Medium,
        Large, // the default
        ExtraLarge,
        ExtraExtraLarge,
        ExtraExtraExtraLarge,
        AccessibilityMedium,
        AccessibilityLarge,
        AccessibilityExtraLarge,
        AccessibilityExtraExtraLarge,
        AccessibilityExtraExtraExtraLarge,
    };
    Q_ENUM(ContentSize)

    enum TextStyle {
        LargeTitle,
        Title1,
        Title2,
        Title3,
        Headline,
        Body,
        Callout,
        Subheadline,
        Footnote,
        Caption1,
        Caption2
    };
    Q_ENUM(TextStyle)

    // Not default-constructible, so that QML takes the shared instance from create().
    explicit Theme(QObject *parent);

    // The process's instance, its traits read from the app's settings and the environment.
    static Theme *shared();
    static Theme *create(QQmlEngine *, QJSEngine *);

    // Settings keys "appearance/colorScheme" ("light", "dark"), "appearance/highContrast",
    // "appearance/contentSize" ("xSmall" ... "large" ... "accessibilityXXXLarge") and
    // "appearance/reduceMotion"; the environment variables TALVORO_COLOR_SCHEME,
    // TALVORO_HIGH_CONTRAST, TALVORO_CONTENT_SIZE and TALVORO_REDUCE_MOTION win over them.
    void loadTraits(const KeyValueStore &settings, const QProcessEnvironment &environment);

    ColorScheme colorScheme() const { return m_colorScheme; }
    void setColorScheme(ColorScheme scheme);
    bool highContrast() const { return m_highContrast; }
    void setHighContrast(bool on);
    ContentSize contentSize() const { return m_contentSize; }
    void setContentSize(ContentSize size);
    bool isAccessibilitySize() const { return m_contentSize >= AccessibilityMedium; }
    bool reduceMotion() const { return m_reduceMotion; }
    void setReduceMotion(bool on);

    TraitCollection traits() const;
    QColor color(ORVColors::Role role) const;

    QColor accent() const { return color(ORVColors::Role::accent); }
    QColor accentPressed() const { return color(ORVColors::Role::accentPressed); }
    QColor secondaryAccent() const { return color(ORVColors::Role::secondaryAccent); }
    QColor background() const { return color(ORVColors::Role::background); }
    QColor surface() const { return color(ORVColors::Role::surface); }
    QColor textPrimary() const { return color(ORVColors::Role::textPrimary); }
    QColor textSecondary() const { return color(ORVColors::Role::textSecondary); }
    QColor success() const { return color(ORVColors::Role::success); }
    QColor warning() const { return color(ORVColors::Role::warning); }
    QColor danger() const { return color(ORVColors::Role::danger); }
    QColor separator() const { return color(ORVColors::Role::separator); }
    QColor mutedFill() const { return color(ORVColors::Role::mutedFill); }
    QColor textTertiary() const { return color(ORVColors::Role::textTertiary); }
    QColor textOnAccent() const { return color(ORVColors::Role::textOnAccent); }
    QColor shadow() const { return color(ORVColors::Role::shadow); }
    QColor shimmerBase() const { return color(ORVColors::Role::shimmerBase); }
    QColor shimmerGlow() const { return color(ORVColors::Role::shimmerGlow); }
    QColor shimmerHighlight() const { return color(ORVColors::Role::shimmerHighlight); }

    ThemeSpacing *spacing() const { return m_spacing; }
    ThemeCornerRadius *cornerRadius() const { return m_cornerRadius; }
    ThemeSize *size() const { return m_size; }
    ThemeAnimation *animation() const { return m_animation; }
    ORVNavigationBarAppearance *navigationBarAppearance() const { return m_navigationBarAppearance; }

    // The point size of a text style at the current text size.
    Q_INVOKABLE qreal fontSize(talvoro::Theme::TextStyle style) const;
    // A text style's font; weight -1 keeps the style's own (headline is semibold).
    Q_INVOKABLE QFont font(talvoro::Theme::TextStyle style, int weight = -1) const;
    // A font of `size` points at every text size: only text styles and lengths
    // made by scaled() follow the text size.
    Q_INVOKABLE QFont systemFont(qreal size, int weight = QFont::Normal) const;
    // A length that grows and shrinks with a text style, like the style's font.
    Q_INVOKABLE qreal scaled(qreal base, talvoro::Theme::TextStyle relativeTo) const;

    // Installs the navigation-bar look; later calls change nothing.
    Q_INVOKABLE void configureNavigationBarAppearance();

Q_SIGNALS:
    void traitsChanged();

private:
    static QFont fontOfPixelSize(qreal size, int weight);
    ColorScheme m_colorScheme = Light;
    bool m_highContrast = false;
    ContentSize m_contentSize = Large;
    bool m_reduceMotion = false;
    ThemeSpacing *m_spacing;
    ThemeCornerRadius *m_cornerRadius;
    ThemeSize *m_size;
    ThemeAnimation *m_animation;
    ORVNavigationBarAppearance *m_navigationBarAppearance;
};

} // namespace talvoro
