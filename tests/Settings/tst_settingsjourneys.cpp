#include "SceneDriver.h"
#include "JourneySteps.h"
#include "SoundServer.h"
#include "TestRegistry.h"

#include "App/DependencyContainer.h"
#include "Models/Word.h"
#include "Playback/AudioPlayerManager.h"
#include "Playback/PlaybackWordSnapshot.h"
#include "Playback/SpeechCacheKey.h"
#include "Settings/AccountSettingsModel.h"
#include "Settings/CacheManagementModel.h"
#include "Settings/PlaybackSettingsModel.h"
#include "Settings/VoiceSelectionModel.h"

#include <QJsonArray>
#include <QTest>

using namespace scenetest;
using namespace talvoro;

// The settings as a user meets them, against the stand-in backend: voices and
// rates, the default playback items, the audio cache and logging out.
namespace {

const QString preferencesPath = QStringLiteral("/api/v1/user/playback-preferences");
const QString yunxi = QStringLiteral("zh-CN-YunxiNeural");

QJsonObject serverPreference(SceneDriver &scene, const QString &token)
{
    return scene.backend().call("GET", preferencesPath, token).data().toObject();
}

// Scrolls the flickable that holds the item until the item is in the upper part
// of it, as a finger would.
bool scrollIntoView(SceneDriver &scene, const QString &objectName)
{
    QQuickItem *target = scene.item(objectName);
    QQuickItem *flickable = target;
    while (flickable && !flickable->inherits("QQuickFlickable"))
        flickable = flickable->parentItem();
    if (!target || !flickable)
        return false;
    auto *content = flickable->property("contentItem").value<QQuickItem *>();
    const qreal y = target->mapToItem(content, QPointF(0, 0)).y();
    const qreal most = std::max(0.0, flickable->property("contentHeight").toReal() - flickable->height());
    flickable->setProperty("contentY", std::clamp(y - flickable->height() / 4, 0.0, most));
    settle();
    return true;
}

// Taps a slider where `fraction` of its track lies.
bool tapSlider(SceneDriver &scene, const QString &objectName, qreal fraction)
{
    QQuickItem *slider = scene.item(objectName);
    if (!slider)
        return false;
    const qreal left = slider->property("leftPadding").toReal();
    const qreal track = slider->property("availableWidth").toReal();
    const QPointF at = slider->mapToScene(QPointF(left + fraction * track, slider->height() / 2));
    QTest::mouseClick(scene.window(), Qt::LeftButton, Qt::NoModifier, at.toPoint());
    return true;
}

bool popPage(SceneDriver &scene, const QString &page)
{
    QQuickItem *item = scene.item(page);
    QObject *stack = item ? item->property("navStack").value<QObject *>() : nullptr;
    return stack && QMetaObject::invokeMethod(stack, "pop");
}

// Three words of the first public lexicon, each spoken in English and then in
// Chinese over and over, so that the list keeps playing while the journey works.
QList<ORVWord> wordsToPlay(SceneDriver &scene)
{
    const QJsonArray lexicons = scene.backend().call("GET", QStringLiteral("/api/v1/public/lexicons")).data().toArray();
    const QJsonArray served
        = scene.backend()
              .call("GET",
                  QStringLiteral("/api/v1/public/lexicons/%1").arg(lexicons.at(0)[QStringLiteral("id")].toInteger()))
              .data()[QStringLiteral("words")]
              .toArray();
    QList<ORVWord> words;
    for (int i = 0; i < 3 && i < served.size(); ++i) {
        ORVWord word = ORVWord::fromJson(served.at(i));
        word.playbackItems = QList<QString> {QStringLiteral("WORD"), QStringLiteral("TRANSLATION_ZH")};
        word.repeatCount = 50;
        words.append(word);
    }
    return words;
}

bool openAccountSettings(SceneDriver &scene)
{
    return scene.waitForItem(QStringLiteral("home.account")) && scene.press(QStringLiteral("home.account"))
        && scene.waitForItem(QStringLiteral("accountSettings.accountLine"));
}

VoiceSelectionModel *openVoiceSheet(SceneDriver &scene)
{
    settle();
    if (!scene.press(QStringLiteral("accountSettings.voices")) || !scene.waitForItem(QStringLiteral("voiceSelection")))
        return nullptr;
    settle();
    auto *voices = modelOf<VoiceSelectionModel>(scene, QStringLiteral("voiceSelection"));
    if (!voices || !scene.waitFor([voices] { return voices->hasConfirmedBaseline(); }))
        return nullptr;
    return voices;
}

} // namespace

class SettingsJourneyTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Skipped test by test: a skip in initTestCase would also silence the test
    // classes that run after this one in the same executable.
    void init()
    {
        if (!SceneDriver::available())
            QSKIP("needs the backend build and the test run's own Secret Service (scripts/test)");
        if (!hasSoundServer())
            QSKIP("needs a sound server (scripts/test starts one with a null sink)");
    }

    void voicesItemsCacheAndLogout()
    {
        SceneDriver scene;
        QVERIFY(scene.startBackend());
        QVERIFY(scene.signInToHome(demoUser, demoPassword));
        const QString token = backendToken(scene);
        DependencyContainer &container = scene.application().container();

        QVERIFY(openAccountSettings(scene));
        QCOMPARE(textOf(scene.item(QStringLiteral("accountSettings.accountLine"))), QStringLiteral("已登录账号: demo"));
        QVERIFY(!scene.savePng(QStringLiteral("journey-settings-account")).isEmpty());

        // The voice sheet, on the Chinese voices.
        VoiceSelectionModel *voices = openVoiceSheet(scene);
        QVERIFY(voices);
        QVERIFY(scene.press(QStringLiteral("voiceSelection.language.chinese")));
        const QString row = QStringLiteral("voiceSelection.row.") + yunxi;
        QVERIFY(scene.waitForItem(row));
        QVERIFY(scrollIntoView(scene, row));

        // Auditioning: loading, playing (heard on the sound server), then ready again.
        const QString preview = QStringLiteral("voiceSelection.preview.") + yunxi;
        QVERIFY(scene.item(preview));
        QStringList shown;
        const auto follow = [&] {
            const QString status = scene.item(preview)->property("statusText").toString();
            if (shown.isEmpty() || shown.constLast() != status)
                shown.append(status);
        };
        follow();
        QVERIFY(scene.press(preview));
        bool heard = false;
        QVERIFY(scene.waitFor(
            [&] {
                follow();
                if (shown.constLast() == QStringLiteral("正在播放") && !heard)
                    heard = streamCorked() == QStringLiteral("no");
                return heard && shown.constLast() == QStringLiteral("可试听");
            },
            40s));
        QCOMPARE(shown, QStringList({"可试听", "正在加载", "正在播放", "可试听"}));

        // A list plays meanwhile; what it speaks next follows every change below.
        const QList<ORVWord> words = wordsToPlay(scene);
        QCOMPARE(words.size(), 3);
        const auto snapshot = container.session().state().snapshot();
        QVERIFY(snapshot);
        container.playbackSession().play(QStringLiteral("四级核心"), words, snapshot->accessToken, snapshot->user, 0);
        PlaybackViewModel *player = container.playbackSession().playbackViewModel();
        QVERIFY(player);

        // Set as the global Chinese voice: it reaches the server.
        QVERIFY(scrollIntoView(scene, row));
        QVERIFY(scene.press(QStringLiteral("voiceSelection.setGlobal.") + yunxi));
        QVERIFY(scene.waitFor([&] { return serverPreference(scene, token)[QStringLiteral("voiceZh")] == yunxi; }));
        QVERIFY(scene.waitFor([&] { return !voices->hasPendingSynchronization(); }));

        // The English rate to 1.5, then "保存": the server has it, the sheet closes.
        QVERIFY(scrollIntoView(scene, QStringLiteral("voiceSelection.rate.english")));
        QVERIFY(tapSlider(scene, QStringLiteral("voiceSelection.rate.english"), (1.5 - 0.5) / 1.5));
        QVERIFY(scene.waitFor([&] { return qAbs(voices->speechRateEn() - 1.5) < 0.01; }));
        QVERIFY(!scene.savePng(QStringLiteral("journey-settings-voices")).isEmpty());
        QVERIFY(scene.press(QStringLiteral("voiceSelection.save")));
        QVERIFY(scene.waitForNoItem(QStringLiteral("voiceSelection")));
        const QJsonObject saved = serverPreference(scene, token);
        QCOMPARE(saved[QStringLiteral("speechRateEn")].toDouble(), 1.5);
        QCOMPARE(saved[QStringLiteral("voiceZh")].toString(), yunxi);

        // The list's next units speak with them: English at 1.5, Chinese in 云希.
        auto &audio = dynamic_cast<AudioPlayerManager &>(container.audioPlayer());
        QVERIFY(scene.waitFor(
            [&] {
                return player->property("currentUnit").toString() == QStringLiteral("WORD")
                    && player->playbackState() == PlaybackState::playing && audio.currentRate()
                    && qAbs(*audio.currentRate() - 1.5) < 0.01;
            },
            60s));
        const int index = player->property("currentPlayingIndex").toInt();
        const std::optional<QString> translation
            = PlaybackWordSnapshot(words.value(index)).textFor(ORVPlaybackUnit::translation);
        QVERIFY(translation);
        QVERIFY(scene.waitFor(
            [&] { return SpeechCacheKey::isCached(*translation, yunxi, container.audioCache()); }, 60s));

        // The full player's "播放偏好设置": "逐字母拼写" off, saved to the server.
        QVERIFY(scene.press(QStringLiteral("player.bar.open")));
        QVERIFY(scene.waitForItem(QStringLiteral("player.settings")));
        settle();
        QVERIFY(scene.press(QStringLiteral("player.settings")));
        QVERIFY(scene.waitForItem(QStringLiteral("playbackSettings")));
        auto *settings = modelOf<PlaybackSettingsModel>(scene, QStringLiteral("playbackSettings"));
        QVERIFY(settings);
        QVERIFY(scene.waitFor([settings] { return settings->hasConfirmedBaseline() && !settings->isLoading(); }));
        settle();
        QVERIFY(scene.item(QStringLiteral("playbackSettings.item.SPELLING"))->property("checked").toBool());
        QVERIFY(scene.press(QStringLiteral("playbackSettings.item.SPELLING")));
        QVERIFY(!settings->isItemEnabled(QStringLiteral("SPELLING")));
        QVERIFY(scene.press(QStringLiteral("playbackSettings.save")));
        QVERIFY(scene.waitFor([settings] { return settings->isSaved(); }));
        QCOMPARE(settings->saveConfirmationMessage(), QStringLiteral("播放偏好设置已更新"));
        QVERIFY(!scene.item(QStringLiteral("playbackSettings.item.SPELLING"))->property("checked").toBool());
        QVERIFY(!scene.savePng(QStringLiteral("journey-settings-playback-saved")).isEmpty());
        QVERIFY(pressAlertAction(scene, QStringLiteral("确定")));
        const QJsonArray items = serverPreference(scene, token)[QStringLiteral("playbackItems")].toArray();
        QVERIFY(!items.isEmpty());
        QVERIFY(!items.contains(QStringLiteral("SPELLING")));

        // The audio cache, cleared from there.
        QVERIFY(scene.press(QStringLiteral("playbackSettings.cache")));
        QVERIFY(scene.waitForItem(QStringLiteral("cacheManagement.usage")));
        settle();
        QVERIFY(textOf(scene.item(QStringLiteral("cacheManagement.usage"))) != QStringLiteral("已占用 0.0 MB / 1 GB"));
        QVERIFY(scene.press(QStringLiteral("cacheManagement.clear")));
        QVERIFY(pressAlertAction(scene, QStringLiteral("一键清理")));
        QVERIFY(scene.waitFor([&] {
            return textOf(scene.item(QStringLiteral("cacheManagement.usage"))) == QStringLiteral("已占用 0.0 MB / 1 GB");
        }));
        QVERIFY(scene.waitForItem(QStringLiteral("cacheManagement.toast")));
        QVERIFY(!scene.savePng(QStringLiteral("journey-settings-cache-cleared")).isEmpty());

        // Back to the account screen, and out of the account.
        QVERIFY(popPage(scene, QStringLiteral("cacheManagement")));
        QVERIFY(scene.waitForNoItem(QStringLiteral("cacheManagement")));
        QVERIFY(popPage(scene, QStringLiteral("playbackSettings")));
        QVERIFY(scene.waitForItem(QStringLiteral("player.collapse")));
        settle();
        QVERIFY(scene.press(QStringLiteral("player.collapse")));
        QVERIFY(scene.waitForNoItem(QStringLiteral("player.page")));
        settle();
        QVERIFY(scene.press(QStringLiteral("accountSettings.logout")));
        auto *account = modelOf<AccountSettingsModel>(scene, QStringLiteral("accountSettings"));
        QVERIFY(account);
        QVERIFY(scene.waitFor([account] { return account->showLogoutConfirmation(); }));
        QVERIFY(!scene.savePng(QStringLiteral("journey-settings-logout-confirmation")).isEmpty());
        QVERIFY(pressAlertAction(scene, QStringLiteral("退出登录")));
        QVERIFY(scene.waitForItem(QStringLiteral("login.username")));
        QCOMPARE(container.session().status(), AppSession::Status::loggedOut);
        QVERIFY(!scene.savePng(QStringLiteral("journey-settings-logged-out")).isEmpty());
    }
};

TALVORO_TEST(SettingsJourneyTest)
#include "tst_settingsjourneys.moc"
