#include "TestRegistry.h"

#include "DesignSystem/ORVColors.h"
#include "DesignSystem/Theme.h"
#include "Platform/KeyValueStore.h"

#include <QSignalSpy>
#include <QTest>

using namespace talvoro;
using Role = ORVColors::Role;

Q_DECLARE_METATYPE(talvoro::UserInterfaceStyle)
Q_DECLARE_METATYPE(talvoro::AccessibilityContrast)
Q_DECLARE_METATYPE(talvoro::ORVColors::Role)

class ThemeTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void resolvesEachColourForTheTraits_data()
    {
        QTest::addColumn<Role>("role");
        QTest::addColumn<UserInterfaceStyle>("style");
        QTest::addColumn<AccessibilityContrast>("contrast");
        QTest::addColumn<QColor>("expected");

        const auto light = UserInterfaceStyle::light;
        const auto dark = UserInterfaceStyle::dark;
        const auto unspecified = UserInterfaceStyle::unspecified;
        const auto normal = AccessibilityContrast::normal;
        const auto high = AccessibilityContrast::high;
        QTest::newRow("secondary text, light") << Role::textSecondary << light << normal << QColor(0x4B5563);
        QTest::newRow("secondary text, dark") << Role::textSecondary << dark << normal << QColor(0xB8C1CF);
        QTest::newRow("secondary text, light, high contrast")
            << Role::textSecondary << light << high << QColor(0x374151);
        QTest::newRow("secondary text, dark, high contrast") << Role::textSecondary << dark << high << QColor(0xE2E8F0);
        QTest::newRow("secondary text, no style") << Role::textSecondary << unspecified << normal << QColor(0x4B5563);
        QTest::newRow("secondary text, no style, high contrast")
            << Role::textSecondary << unspecified << high << QColor(0x374151);
        QTest::newRow("secondary text, dark, no contrast")
            << Role::textSecondary << dark << AccessibilityContrast::unspecified << QColor(0xB8C1CF);
        QTest::newRow("shadow, dark") << Role::shadow << dark << normal << QColor::fromRgbF(0, 0, 0, 0.46f);
    }

    void resolvesEachColourForTheTraits()
    {
        QFETCH(Role, role);
        QFETCH(UserInterfaceStyle, style);
        QFETCH(AccessibilityContrast, contrast);
        QFETCH(QColor, expected);
        const QColor resolved = ORVColors::color(role).resolved(TraitCollection {style, contrast});
        QCOMPARE(resolved.rgb(), expected.rgb());
        QCOMPARE(resolved.alpha(), expected.alpha());
    }

    void theFixedColoursAreEqualInBothSchemes()
    {
        for (Role role : {Role::accent, Role::accentPressed, Role::textOnAccent}) {
            const DynamicColor &color = ORVColors::color(role);
            for (auto contrast : {AccessibilityContrast::normal, AccessibilityContrast::high})
                QCOMPARE(color.resolved({UserInterfaceStyle::dark, contrast}),
                    color.resolved({UserInterfaceStyle::light, contrast}));
        }
    }

    void theNavigationBarSetUpChangesNothingASecondTime()
    {
        Theme theme(nullptr);
        ORVNavigationBarAppearance *bar = theme.navigationBarAppearance();
        QCOMPARE(bar->backgroundColor(), QColor(Qt::transparent));
        QSignalSpy changed(bar, &ORVNavigationBarAppearance::changed);

        theme.configureNavigationBarAppearance();
        QVERIFY(bar->configured());
        QCOMPARE(bar->backgroundColor(), theme.background());
        QCOMPARE(bar->shadowColor(), theme.separator());
        QCOMPARE(bar->titleColor(), theme.textPrimary());
        QCOMPARE(bar->tintColor(), theme.accent());
        QCOMPARE(changed.size(), 1);

        theme.configureNavigationBarAppearance();
        QCOMPARE(changed.size(), 1);
        QCOMPARE(bar->backgroundColor(), theme.background());

        // The theme and the installed look follow the traits, and say so once per change.
        QSignalSpy traits(&theme, &Theme::traitsChanged);
        theme.setColorScheme(Theme::Dark);
        QCOMPARE(bar->backgroundColor(), QColor(Qt::black));
        QCOMPARE(theme.textSecondary(), QColor(0xB8C1CF));
        theme.setHighContrast(true);
        theme.setHighContrast(true);
        QCOMPARE(theme.textSecondary(), QColor(0xE2E8F0));
        QCOMPARE(traits.size(), 2);
    }

    void readsTraitsFromSettingsAndEnvironment_data()
    {
        QTest::addColumn<QVariantMap>("settings");
        QTest::addColumn<QVariantMap>("environment");
        QTest::addColumn<Theme::ColorScheme>("scheme");
        QTest::addColumn<bool>("highContrast");
        QTest::addColumn<Theme::ContentSize>("size");
        QTest::addColumn<bool>("reduceMotion");

        QTest::newRow("nothing set") << QVariantMap {} << QVariantMap {} << Theme::Light << false << Theme::Large
                                     << false;
        QTest::newRow("settings") << QVariantMap {{"appearance/colorScheme", "dark"}, {"appearance/highContrast", true},
            {"appearance/contentSize", "accessibilityXXXLarge"}, {"appearance/reduceMotion", "true"}}
                                  << QVariantMap {} << Theme::Dark << true << Theme::AccessibilityExtraExtraExtraLarge
                                  << true;
        QTest::newRow("environment wins")
            << QVariantMap {{"appearance/colorScheme", "dark"}, {"appearance/reduceMotion", "1"}}
            << QVariantMap {{"TALVORO_COLOR_SCHEME", "Light"}, {"TALVORO_REDUCE_MOTION", "0"},
                   {"TALVORO_CONTENT_SIZE", "xSmall"}, {"TALVORO_HIGH_CONTRAST", "yes"}}
            << Theme::Light << true << Theme::ExtraSmall << false;
        QTest::newRow("unknown values are ignored")
            << QVariantMap {{"appearance/colorScheme", "sepia"}, {"appearance/contentSize", "huge"}}
            << QVariantMap {{"TALVORO_HIGH_CONTRAST", "maybe"}} << Theme::Light << false << Theme::Large << false;
    }

    void readsTraitsFromSettingsAndEnvironment()
    {
        QFETCH(QVariantMap, settings);
        QFETCH(QVariantMap, environment);
        MemoryKeyValueStore store;
        for (auto it = settings.cbegin(); it != settings.cend(); ++it)
            store.setValue(it.key(), it.value());
        QProcessEnvironment env;
        for (auto it = environment.cbegin(); it != environment.cend(); ++it)
            env.insert(it.key(), it.value().toString());

        Theme theme(nullptr);
        theme.loadTraits(store, env);
        QTEST(theme.colorScheme(), "scheme");
        QTEST(theme.highContrast(), "highContrast");
        QTEST(theme.contentSize(), "size");
        QTEST(theme.reduceMotion(), "reduceMotion");
    }

    void sizesTextByStyleAndTextSize_data()
    {
        QTest::addColumn<Theme::ContentSize>("size");
        QTest::addColumn<Theme::TextStyle>("style");
        QTest::addColumn<qreal>("points");
        QTest::addColumn<bool>("accessibility");

        QTest::newRow("large title") << Theme::Large << Theme::LargeTitle << 34.0 << false;
        QTest::newRow("caption 2") << Theme::Large << Theme::Caption2 << 11.0 << false;
        QTest::newRow("caption 2, extra small") << Theme::ExtraSmall << Theme::Caption2 << 11.0 << false;
        QTest::newRow("body, xxxLarge") << Theme::ExtraExtraExtraLarge << Theme::Body << 23.0 << false;
        QTest::newRow("body, first accessibility size") << Theme::AccessibilityMedium << Theme::Body << 28.0 << true;
        QTest::newRow("body, largest") << Theme::AccessibilityExtraExtraExtraLarge << Theme::Body << 53.0 << true;
    }

    void sizesTextByStyleAndTextSize()
    {
        QFETCH(Theme::ContentSize, size);
        QFETCH(Theme::TextStyle, style);
        QFETCH(qreal, points);
        Theme theme(nullptr);
        theme.setContentSize(size);
        QCOMPARE(theme.fontSize(style), points);
        QCOMPARE(theme.font(style).pixelSize(), qRound(points));
        QTEST(theme.isAccessibilitySize(), "accessibility");
        // A length scaled with a style grows in the same ratio as its font.
        QCOMPARE(theme.scaled(34, style), 34 * points / Theme(nullptr).fontSize(style));
        // A size given in points is that size at every text size.
        QCOMPARE(theme.systemFont(17).pixelSize(), 17);
    }
};

TALVORO_TEST(ThemeTest)
#include "tst_theme.moc"
