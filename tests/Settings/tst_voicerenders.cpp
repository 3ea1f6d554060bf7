#include "ScreenRender.h"
#include "SettingsTesting.h"
#include "TestRegistry.h"

#include "Settings/VoiceSelectionModel.h"

#include <QQuickItem>
#include <QTest>

using namespace settingstesting;
using namespace scenetest;

// Renders the voice sheet in its main states, in every look, into
// test-output/screens/; each state is checked by what it shows.
namespace {

void addVariants(const std::initializer_list<const char *> &states)
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<int>("look");
    for (const char *state : states) {
        for (int v = 0; v < int(std::size(looks)); ++v)
            QTest::addRow("%s-%s", state, looks[v].suffix) << QString::fromLatin1(state) << v;
    }
}

// Scrolls the sheet's form so that the item sits near the top.
void scrollTo(Screen &screen, const char *objectName)
{
    auto *scroll = qobject_cast<QQuickItem *>(screen.item("voiceSelection.scroll"));
    QQuickItem *target = screen.item(objectName);
    QVERIFY(scroll && target);
    const QPointF at = target->mapToItem(scroll->property("contentItem").value<QQuickItem *>(), QPointF(0, 0));
    scroll->setProperty("contentY", std::max(0.0, at.y() - 16));
}

} // namespace

class VoiceRenderTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { apply(looks[0]); }

    void voiceStates_data() { addVariants({"loaded", "offline-pending", "first-setup", "previewing", "list", "alert"}); }
    void voiceStates()
    {
        QFETCH(QString, state);
        QFETCH(int, look);
        apply(looks[look]);
        SettingsFixture f;
        f.signIn();
        if (state != "first-setup")
            f.storeConfirmed();
        f.setOnline(state != "offline-pending" && state != "first-setup");
        f.cachedVoices = {QStringLiteral("en-GB-RyanNeural"), QStringLiteral("en-GB-SoniaNeural")};
        f.playback.speech.holdAnswers = true;
        f.client.reads.append(FakePreferenceClient::answer(serverPreference()));
        if (state == "alert")
            f.client.writes.append(FakePreferenceClient::failure(MobileAPIError::unauthorized()));
        VoiceSelectionModel model(f.services());
        Screen screen;
        QVERIFY(screen.show(&model,
            "Sheet { presented: true; page: Component { VoiceSelectionView { model: screenModel } } }"));
        QTRY_VERIFY(f.client.reads.isEmpty() || state == "offline-pending" || state == "first-setup");
        QTRY_VERIFY(screen.isShown("voiceSelection.listHeader"));

        if (state == "offline-pending")
            awaitResult(model.setGlobalVoice(TTSVoice::catalogVoice(QStringLiteral("en-US-GuyNeural")).value()));
        if (state == "previewing" || state == "list") {
            model.setSelectedCategory(TTSVoiceCategory::englishUnitedKingdom);
            model.previewVoice(TTSVoice::catalogVoice(QStringLiteral("en-GB-SoniaNeural")).value());
        }
        if (state == "alert")
            awaitResult(model.setGlobalVoice(TTSVoice::catalogVoice(QStringLiteral("en-US-GuyNeural")).value()));
        if (state == "previewing")
            scrollTo(screen, "voiceSelection.rate.spelling");
        if (state == "list")
            scrollTo(screen, "voiceSelection.listHeader");
        screen.save(QStringLiteral("voice-selection-%1-%2").arg(state, QString::fromLatin1(looks[look].suffix)));

        QCOMPARE(screen.isShown("voiceSelection.banner"), state == "offline-pending" || state == "first-setup" || state == "alert");
        if (state == "offline-pending") {
            QCOMPARE(screen.text("voiceSelection.bannerTitle"), QStringLiteral("已离线保存"));
            QQuickItem *guy = screen.item("voiceSelection.setGlobal.en-US-GuyNeural");
            QVERIFY(guy);
            QCOMPARE(guy->property("enabled").toBool(), false);
        }
        if (state == "first-setup")
            QCOMPARE(screen.text("voiceSelection.bannerTitle"), QStringLiteral("首次设置需要联网"));
        if (state == "loaded") {
            QCOMPARE(screen.text("voiceSelection.rate.english.value"), QStringLiteral("0.8x"));
            QCOMPARE(screen.text("voiceSelection.rate.spelling.value"), QStringLiteral("1.5x"));
        }
        if (state == "previewing" || state == "list") {
            QCOMPARE(screen.text("voiceSelection.listHeader"), QStringLiteral("英式英语"));
            QQuickItem *sonia = screen.item("voiceSelection.preview.en-GB-SoniaNeural");
            QQuickItem *ryan = screen.item("voiceSelection.preview.en-GB-RyanNeural");
            QVERIFY(sonia && ryan);
            QCOMPARE(sonia->property("statusText").toString(), QStringLiteral("正在加载"));
            QCOMPARE(ryan->property("statusText").toString(), QStringLiteral("可试听"));
            QVERIFY(screen.isShown("voiceSelection.offline.en-GB-RyanNeural"));
        }
        const QStringList overlaps = overlappingTexts(screen.window);
        QVERIFY2(overlaps.isEmpty(), qPrintable(overlaps.join(QStringLiteral("; "))));
        if (state == "alert")
            QCOMPARE(model.operationErrorMessage(), QStringLiteral("登录状态已失效，请重新登录"));
        QVERIFY(f.playback.drained());
    }
};

TALVORO_TEST(VoiceRenderTest)
#include "tst_voicerenders.moc"
