#include "SceneDriver.h"
#include "JourneySteps.h"
#include "SoundServer.h"
#include "TestRegistry.h"

#include "App/DependencyContainer.h"
#include "Settings/VoiceSelectionModel.h"

#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QTest>

using namespace scenetest;
using namespace talvoro;

namespace {

// The voice sheet as its openers present it, over the running app's container.
std::unique_ptr<QQuickItem> openVoiceSheet(SceneDriver &scene)
{
    QQmlEngine *engine = qmlEngine(scene.window());
    auto *context = new QQmlContext(engine->rootContext(), engine);
    context->setContextProperty(QStringLiteral("appContainer"), &scene.application().container());
    QQmlComponent component(engine);
    component.setData("import QtQuick\nimport Talvoro\n"
                      "Item { anchors.fill: parent\n"
                      "  Sheet { presented: true\n"
                      "    page: Component { VoiceSelectionView { model: appContainer.makeVoiceSelectionModel(this) } } } }",
        QUrl(QStringLiteral("qrc:/Talvoro/VoiceJourney.qml")));
    QObject *created = component.beginCreate(context);
    auto *host = qobject_cast<QQuickItem *>(created);
    if (!host) {
        qWarning() << component.errors();
        return nullptr;
    }
    host->setParentItem(scene.window()->contentItem());
    component.completeCreate();
    return std::unique_ptr<QQuickItem>(host);
}

// Scrolls the sheet's form so that the item is on screen, where a tap reaches it.
void reveal(SceneDriver &scene, const QString &objectName)
{
    QQuickItem *scroll = scene.item(QStringLiteral("voiceSelection.scroll"));
    QQuickItem *target = scene.item(objectName);
    QVERIFY(scroll && target);
    auto *content = scroll->property("contentItem").value<QQuickItem *>();
    const QPointF at = target->mapToItem(content, QPointF(0, 0));
    scroll->setProperty("contentY", std::max(0.0, at.y() - 120));
    // A tap right after the jump is taken by the list as the end of a movement.
    settle();
}

} // namespace

class VoiceJourneyTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (!SceneDriver::available())
            QSKIP("needs the backend build and the test run's own Secret Service (scripts/test)");
        if (!hasSoundServer())
            QSKIP("needs a sound server (scripts/test starts one with a null sink)");
    }

    // Audition a voice, make a Chinese voice global, change the English rate and
    // save: the backend ends up holding both, and the sheet closes.
    void auditionChooseAndSave()
    {
        SceneDriver scene;
        QVERIFY(scene.startBackend());
        QVERIFY(scene.signInToHome());
        std::unique_ptr<QQuickItem> sheet = openVoiceSheet(scene);
        QVERIFY(sheet);
        QVERIFY(scene.waitForItem(QStringLiteral("voiceSelection.listHeader")));
        auto *model = scene.item(QStringLiteral("voiceSelection"))->property("model").value<VoiceSelectionModel *>();
        QVERIFY(model);
        QVERIFY(scene.waitFor([model] { return model->hasConfirmedBaseline(); }));

        // The preview control follows the shared player: loading, playing, idle again.
        const QString jenny = QStringLiteral("voiceSelection.preview.en-US-JennyNeural");
        reveal(scene, jenny);
        QStringList seen;
        QQuickItem *control = scene.item(jenny);
        QMetaObject::Connection watch = QObject::connect(model->voiceRows(), &QAbstractItemModel::dataChanged, model,
            [&seen, control] {
                const QString status = control->property("statusText").toString();
                if (seen.isEmpty() || seen.last() != status)
                    seen.append(status);
            });
        QVERIFY(scene.press(jenny));
        QVERIFY(scene.waitFor([&seen] { return seen.contains(QStringLiteral("正在播放")); }, 30s));
        QVERIFY(scene.waitFor([] { return streamCorked() == u"no"; }));
        QVERIFY(scene.waitFor([control] { return control->property("statusText").toString() == u"可试听"; }, 30s));
        QObject::disconnect(watch);
        // Before the tap the control showed the idle look.
        QCOMPARE(seen.mid(seen.indexOf(QStringLiteral("正在加载"))),
            (QStringList {QStringLiteral("正在加载"), QStringLiteral("正在播放"), QStringLiteral("可试听")}));
        QVERIFY(scene.waitForItem(QStringLiteral("voiceSelection.offline.en-US-JennyNeural")));

        // A Chinese voice becomes the account's global one.
        reveal(scene, QStringLiteral("voiceSelection.language.chinese"));
        QVERIFY(scene.press(QStringLiteral("voiceSelection.language.chinese")));
        QVERIFY(scene.waitFor([&] { return scene.item(QStringLiteral("voiceSelection.row.zh-CN-YunxiNeural")); }));
        reveal(scene, QStringLiteral("voiceSelection.setGlobal.zh-CN-YunxiNeural"));
        QVERIFY(scene.press(QStringLiteral("voiceSelection.setGlobal.zh-CN-YunxiNeural")));
        QVERIFY(scene.waitFor([model] {
            return model->preference().voiceZh == u"zh-CN-YunxiNeural" && !model->hasPendingSynchronization();
        }));
        const QString token = scene.application().container().session().state().snapshot()->accessToken;
        const auto stored = [&] {
            return scene.backend().call("GET", QStringLiteral("/api/v1/user/playback-preferences"), token).data();
        };
        QCOMPARE(stored()[QStringLiteral("voiceZh")].toString(), QStringLiteral("zh-CN-YunxiNeural"));
        QVERIFY(!scene.savePng(QStringLiteral("journey-voice-global")).isEmpty());

        // A tap on the English rate's slider moves it; the toolbar save sends it and closes.
        reveal(scene, QStringLiteral("voiceSelection.rate.english"));
        const double before = model->speechRateEn();
        QVERIFY(scene.press(QStringLiteral("voiceSelection.rate.english")));
        QVERIFY(scene.waitFor([model, before] { return model->speechRateEn() != before; }));
        const double rate = model->speechRateEn();
        QVERIFY(scene.press(QStringLiteral("voiceSelection.save")));
        QVERIFY(scene.waitForNoItem(QStringLiteral("voiceSelection")));
        QCOMPARE(stored()[QStringLiteral("speechRateEn")].toDouble(), rate);
        QCOMPARE(stored()[QStringLiteral("voiceZh")].toString(), QStringLiteral("zh-CN-YunxiNeural"));
    }

    // Offline with a confirmed copy, a voice made global is kept on the device and
    // explained by the banner; when the network returns, it reaches the server
    // without another tap.
    void offlineSaveReachesTheServerLater()
    {
        SceneDriver scene;
        scene.useManualNetwork();
        QVERIFY(scene.startBackend());
        QVERIFY(scene.signInToHome());
        scene.reportNetwork(true);
        std::unique_ptr<QQuickItem> sheet = openVoiceSheet(scene);
        QVERIFY(sheet);
        QVERIFY(scene.waitForItem(QStringLiteral("voiceSelection.listHeader")));
        auto *model = scene.item(QStringLiteral("voiceSelection"))->property("model").value<VoiceSelectionModel *>();
        QVERIFY(scene.waitFor([model] { return model->hasConfirmedBaseline(); }));
        const QString token = scene.application().container().session().state().snapshot()->accessToken;

        scene.stopBackend();
        scene.reportNetwork(false);
        QVERIFY(scene.waitFor([&] {
            return textOf(scene.item(QStringLiteral("voiceSelection.bannerTitle"))) == u"离线模式";
        }));
        const QString guy = QStringLiteral("voiceSelection.setGlobal.en-US-GuyNeural");
        reveal(scene, guy);
        QVERIFY(scene.press(guy));
        QVERIFY(scene.waitFor([&] {
            return textOf(scene.item(QStringLiteral("voiceSelection.bannerTitle"))) == u"已离线保存";
        }));
        QVERIFY(model->hasPendingSynchronization());
        QCOMPARE(model->preference().voiceEn, QStringLiteral("en-US-GuyNeural"));
        QVERIFY(!scene.savePng(QStringLiteral("journey-voice-offline-saved")).isEmpty());

        QVERIFY(scene.startBackend());
        scene.reportNetwork(true);
        QVERIFY(scene.waitFor([model] { return !model->hasPendingSynchronization(); }, 30s));
        const QJsonValue stored
            = scene.backend().call("GET", QStringLiteral("/api/v1/user/playback-preferences"), token).data();
        QCOMPARE(stored[QStringLiteral("voiceEn")].toString(), QStringLiteral("en-US-GuyNeural"));
        QVERIFY(!scene.item(QStringLiteral("voiceSelection.banner")));
    }
};

TALVORO_TEST(VoiceJourneyTest)
#include "tst_voicejourney.moc"
