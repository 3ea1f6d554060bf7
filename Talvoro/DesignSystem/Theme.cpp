#include "DesignSystem/Theme.h"

#include "DesignSystem/DesignLogging.h"
#include "Platform/KeyValueStore.h"

#include <QCoreApplication>

#include <array>
#include <optional>

namespace talvoro {

namespace log {
Q_LOGGING_CATEGORY(designSystem, "com.brellun.Talvoro.DesignSystem")
}

namespace {

constexpr int textStyleCount = 11;
constexpr int contentSizeCount = 12;

// Point sizes per text style (rows, in TextStyle order) and text size (columns, in
// ContentSize order), as the platform sets them.
constexpr std::array<std::array<qreal, contentSizeCount>, textStyleCount> fontSizes {{
    {31, 32, 33, 34, 36, 38, 40, 44, 48, 52, 56, 60}, // large title
    {25, 26, 27, 28, 30, 32, 34, 38, 43, 48, 53, 58}, // title 1
    {19, 20, 21, 22, 24, 26, 28, 34, 39, 44, 50, 56}, // title 2
    {17, 18, 19, 20, 22, 24, 26, 31, 37, 43, 49, 55}, // title 3
    {14, 15, 16, 17, 19, 21, 23, 28, 33, 40, 47, 53}, // headline
    {14, 15, 16, 17, 19, 21, 23, 28, 33, 40, 47, 53}, // body
    {13, 14, 15, 16, 18, 20, 22, 26, 32, 38, 44, 51}, // callout
    {12, 13, 14, 15, 17, 19, 21, 25, 30, 36, 42, 49}, // subheadline
    {12, 12, 12, 13, 15, 17, 19, 23, 27, 33, 38, 44}, // footnote
    {11, 11, 11, 12, 14, 16, 18, 22, 26, 32, 37, 43}, // caption 1
    {11, 11, 11, 11, 13, 15, 17, 20, 24, 29, 34, 40}, // caption 2
}};

constexpr std::array<const char *, contentSizeCount> contentSizeNames {"xSmall", "small", "medium", "large", "xLarge",
    "xxLarge", "xxxLarge", "accessibilityMedium", "accessibilityLarge", "accessibilityXLarge", "accessibilityXXLarge",
    "accessibilityXXXLarge"};

std::optional<bool> parseFlag(const QString &text)
{
    const QString t = text.trimmed().toLower();
    if (t == u"1" || t == u"true" || t == u"yes" || t == u"on")
        return true;
    if (t == u"0" || t == u"false" || t == u"no" || t == u"off")
        return false;
    return std::nullopt;
}

// The value of a trait: the environment's when set, else the settings'.
QString traitText(
    const KeyValueStore &settings, const QProcessEnvironment &environment, const QString &key, const QString &variable)
{
    if (environment.contains(variable))
        return environment.value(variable);
    const QVariant stored = settings.value(key);
    return stored.isValid() ? stored.toString() : QString();
}

} // namespace

ORVNavigationBarAppearance::ORVNavigationBarAppearance(Theme *theme)
    : QObject(theme)
    , m_theme(theme)
{
    connect(theme, &Theme::traitsChanged, this, &ORVNavigationBarAppearance::changed);
}

QColor ORVNavigationBarAppearance::backgroundColor() const
{
    return m_configured ? m_theme->background() : QColor(Qt::transparent);
}

QColor ORVNavigationBarAppearance::shadowColor() const
{
    return m_configured ? m_theme->separator() : QColor(Qt::transparent);
}

QColor ORVNavigationBarAppearance::titleColor() const
{
    return m_theme->textPrimary();
}

QColor ORVNavigationBarAppearance::tintColor() const
{
    return m_theme->accent();
}

void ORVNavigationBarAppearance::configure()
{
    if (m_configured)
        return;
    m_configured = true;
    Q_EMIT changed();
}

Theme::Theme(QObject *parent)
    : QObject(parent)
    , m_spacing(new ThemeSpacing(this))
    , m_cornerRadius(new ThemeCornerRadius(this))
    , m_size(new ThemeSize(this))
    , m_animation(new ThemeAnimation(this))
    , m_navigationBarAppearance(new ORVNavigationBarAppearance(this))
{ }

Theme *Theme::shared()
{
    static Theme *const instance = [] {
        auto *theme = new Theme(QCoreApplication::instance());
        theme->loadTraits(SettingsKeyValueStore(), QProcessEnvironment::systemEnvironment());
        return theme;
    }();
    return instance;
}

Theme *Theme::create(QQmlEngine *, QJSEngine *)
{
    Theme *theme = shared();
    QJSEngine::setObjectOwnership(theme, QJSEngine::CppOwnership);
    return theme;
}

void Theme::loadTraits(const KeyValueStore &settings, const QProcessEnvironment &environment)
{
    const QString scheme = traitText(
        settings, environment, QStringLiteral("appearance/colorScheme"), QStringLiteral("TALVORO_COLOR_SCHEME"))
                               .trimmed()
                               .toLower();
    if (scheme == u"light")
        setColorScheme(Light);
    else if (scheme == u"dark")
        setColorScheme(Dark);
    else if (!scheme.isEmpty())
        qCWarning(log::designSystem, "未知的配色方案：%s", qUtf8Printable(scheme));

    const QString contrast = traitText(
        settings, environment, QStringLiteral("appearance/highContrast"), QStringLiteral("TALVORO_HIGH_CONTRAST"));
    if (const auto on = parseFlag(contrast))
        setHighContrast(*on);

    const QString size = traitText(
        settings, environment, QStringLiteral("appearance/contentSize"), QStringLiteral("TALVORO_CONTENT_SIZE"))
                             .trimmed();
    if (!size.isEmpty()) {
        const auto found = std::find_if(contentSizeNames.begin(), contentSizeNames.end(),
            [&](const char *name) { return size.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; });
        if (found != contentSizeNames.end())
            setContentSize(ContentSize(found - contentSizeNames.begin()));
        else
            qCWarning(log::designSystem, "未知的文字大小：%s", qUtf8Printable(size));
    }

    const QString motion = traitText(
        settings, environment, QStringLiteral("appearance/reduceMotion"), QStringLiteral("TALVORO_REDUCE_MOTION"));
    if (const auto on = parseFlag(motion))
        setReduceMotion(*on);
}

void Theme::setColorScheme(ColorScheme scheme)
{
    if (m_colorScheme == scheme)
        return;
    m_colorScheme = scheme;
    Q_EMIT traitsChanged();
}

void Theme::setHighContrast(bool on)
{
    if (m_highContrast == on)
        return;
    m_highContrast = on;
    Q_EMIT traitsChanged();
}

void Theme::setContentSize(ContentSize size)
{
    if (m_contentSize == size || size < ExtraSmall || size > AccessibilityExtraExtraExtraLarge)
        return;
    m_contentSize = size;
    Q_EMIT traitsChanged();
}

void Theme::setReduceMotion(bool on)
{
    if (m_reduceMotion == on)
        return;
    m_reduceMotion = on;
    Q_EMIT traitsChanged();
}

TraitCollection Theme::traits() const
{
    return {m_colorScheme == Dark ? UserInterfaceStyle::dark : UserInterfaceStyle::light,
        m_highContrast ? AccessibilityContrast::high : AccessibilityContrast::normal};
}

QColor Theme::color(ORVColors::Role role) const
{
    return ORVColors::color(role).resolved(traits());
}

qreal Theme::fontSize(TextStyle style) const
{
    if (style < LargeTitle || style > Caption2)
        style = Body;
    return fontSizes[std::size_t(style)][std::size_t(m_contentSize)];
}

QFont Theme::font(TextStyle style, int weight) const
{
    if (weight < 0)
        weight = style == Headline ? QFont::DemiBold : QFont::Normal;
    return fontOfPixelSize(fontSize(style), weight);
}

QFont Theme::systemFont(qreal size, int weight) const
{
    return fontOfPixelSize(size, weight);
}

QFont Theme::fontOfPixelSize(qreal size, int weight)
{
    QFont f;
    f.setPixelSize(qMax(1, qRound(size)));
    f.setWeight(QFont::Weight(weight));
    return f;
}

qreal Theme::scaled(qreal base, TextStyle relativeTo) const
{
    if (relativeTo < LargeTitle || relativeTo > Caption2)
        relativeTo = Body;
    const qreal standard = fontSizes[std::size_t(relativeTo)][std::size_t(Large)];
    return base * fontSize(relativeTo) / standard;
}

void Theme::configureNavigationBarAppearance()
{
    m_navigationBarAppearance->configure();
}

} // namespace talvoro
