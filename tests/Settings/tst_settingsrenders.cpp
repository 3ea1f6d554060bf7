#include "../Player/ManualScheduler.h"
#include "SettingsTesting.h"
#include "ScreenRender.h"
#include "TestRegistry.h"

#include "Playback/AudioCacheManager.h"
#include "Settings/AccountSettingsModel.h"
#include "Settings/CacheManagementModel.h"
#include "Settings/PlaybackSettingsModel.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace scenetest;
using namespace settingstesting;
using talvoro::Theme;

// Renders the settings screens in their main states, in every look, into
// test-output/screens/; each state is checked by what it shows, and at the
// accessibility size no text may lie over another.
namespace {

void addLooks(const std::initializer_list<const char *> &states)
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<int>("look");
    for (const char *state : states) {
        for (int v = 0; v < int(std::size(looks)); ++v)
            QTest::addRow("%s-%s", state, looks[v].suffix) << QString::fromLatin1(state) << v;
    }
}

// Whether a text is on screen, also inside an alert (which no objectName reaches).
bool showsText(const Screen &screen, const QString &text)
{
    QList<QQuickItem *> texts;
    scenetest::detail::collectTexts(screen.window->contentItem(), texts);
    return std::any_of(texts.begin(), texts.end(), [&](QQuickItem *t) { return t->property("text") == text; });
}

void saveAndCheck(const Screen &screen, const QString &name, int look)
{
    screen.save(name + QLatin1Char('-') + QString::fromLatin1(looks[look].suffix));
    QCOMPARE(overlappingTexts(screen.window), QStringList());
}

} // namespace

class SettingsRenderTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { apply(looks[0]); }

    void accountStates_data() { addLooks({"content", "logout"}); }
    void accountStates()
    {
        QFETCH(QString, state);
        QFETCH(int, look);
        apply(looks[look]);
        SessionFixture f;
        f.signIn();
        AccountSettingsModel model(*f.session, {});
        Screen screen;
        QVERIFY(screen.show(&model,
            "NavStack { anchors.fill: parent; initialPage: Component { AccountSettingsView { model: screenModel } } }"));
        if (state == "logout")
            model.setShowLogoutConfirmation(true);
        saveAndCheck(screen, QStringLiteral("account-settings-") + state, look);
        QCOMPARE(screen.text("accountSettings.accountLine"), QStringLiteral("已登录账号: alice"));
        // The chevron of "退出登录" is hidden but keeps its place: the rows line up.
        if (!Theme::shared()->isAccessibilitySize())
            QCOMPARE(screen.item("accountSettings.logout")->height(), screen.item("accountSettings.voices")->height());
        QVERIFY(screen.item("accountSettings.cache")->height() >= 56);
        QCOMPARE(showsText(screen, QStringLiteral("确认退出登录？")), state == "logout");
    }

    void cacheStates_data() { addLooks({"content", "confirm", "cleared"}); }
    void cacheStates()
    {
        QFETCH(QString, state);
        QFETCH(int, look);
        apply(looks[look]);
        QTemporaryDir root;
        AudioCacheManager cache(AppDirectories::under(root.path()));
        QVERIFY(QDir().mkpath(cache.cacheDirectory()));
        QFile clip(QDir(cache.cacheDirectory()).filePath(QStringLiteral("a.mp3")));
        QVERIFY(clip.open(QIODevice::WriteOnly) && clip.resize(qint64(200) * 1'048'576));
        ManualScheduler scheduler;
        CacheManagementModel model(cache, scheduler);
        Screen screen;
        QVERIFY(screen.show(&model,
            "NavStack { anchors.fill: parent; initialPage: Component { CacheManagementView { model: screenModel } } }"));
        if (state == "confirm")
            model.setShowingClearAlert(true);
        if (state == "cleared")
            model.clearCache();
        saveAndCheck(screen, QStringLiteral("cache-management-") + state, look);
        QCOMPARE(screen.text("cacheManagement.usage"),
            state == "cleared" ? QStringLiteral("已占用 0.0 MB / 1 GB") : QStringLiteral("已占用 200.0 MB / 1 GB"));
        QCOMPARE(screen.isShown("cacheManagement.toast"), state == "cleared");
        QCOMPARE(showsText(screen, QStringLiteral("清理本地音频缓存？")), state == "confirm");
    }

    void playbackSettingsStates_data() { addLooks({"content", "saved", "firstSetup"}); }
    void playbackSettingsStates()
    {
        QFETCH(QString, state);
        QFETCH(int, look);
        apply(looks[look]);
        SettingsFixture f;
        f.signIn();
        if (state != "firstSetup")
            f.storeConfirmed();
        f.setOnline(false);
        QTRY_COMPARE(f.connectivity.availability(), ORVNetworkAvailability::unavailable);
        PlaybackSettingsModel model(f.services(), {});
        Screen screen;
        QVERIFY(screen.show(&model,
            "NavStack { anchors.fill: parent; initialPage: Component { PlaybackSettingsView { model: screenModel } } }"));
        QTRY_VERIFY(model.loadedOwnerKey() && !model.isLoading());
        model.setItemEnabled(QStringLiteral("SPELLING"), false);
        if (state == "saved")
            awaitResult(model.save());
        saveAndCheck(screen, QStringLiteral("playback-settings-") + state, look);
        QVERIFY(!screen.item("playbackSettings.item.SPELLING")->property("checked").toBool());
        QVERIFY(screen.item("playbackSettings.item.WORD")->property("checked").toBool());
        QCOMPARE(showsText(screen, QStringLiteral("设置已在本机生效，将在网络恢复后自动同步")), state == "saved");
        QCOMPARE(showsText(screen, QStringLiteral("首次设置需要联网获取账号当前配置")), state == "firstSetup");
    }
};

TALVORO_TEST(SettingsRenderTest)
#include "tst_settingsrenders.moc"
