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
        for (int v = 0; v < 3; ++v)
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

void collectTexts(QQuickItem *item, QList<QQuickItem *> &texts)
{
    if (!item->isVisible() || item->opacity() == 0)
        return;
    if (item->inherits("QQuickText") && !item->property("text").toString().isEmpty() && item->width() > 0)
        texts.append(item);
    for (QQuickItem *child : item->childItems())
        collectTexts(child, texts);
}

// Pairs of visible texts of the sheet that overlap one another (by more than a
// sliver, which antialiased edges may share).
QStringList overlappingTexts(const Screen &screen)
{
    QList<QQuickItem *> texts;
    collectTexts(screen.item("voiceSelection"), texts);
    QStringList overlaps;
    for (qsizetype i = 0; i < texts.size(); ++i) {
        const QRectF a = texts[i]->mapRectToScene(QRectF(0, 0, texts[i]->width(), texts[i]->height()));
        for (qsizetype j = i + 1; j < texts.size(); ++j) {
            const QRectF b = texts[j]->mapRectToScene(QRectF(0, 0, texts[j]->width(), texts[j]->height()));
            if (texts[i]->isAncestorOf(texts[j]) || texts[j]->isAncestorOf(texts[i]))
                continue;
            const QRectF common = a.intersected(b);
            if (common.width() > 2 && common.height() > 2)
                overlaps.append(texts[i]->property("text").toString() + " / " + texts[j]->property("text").toString());
        }
    }
    return overlaps;
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
        const QStringList overlaps = overlappingTexts(screen);
        QVERIFY2(overlaps.isEmpty(), qPrintable(overlaps.join(QStringLiteral("; "))));
        if (state == "alert")
            QCOMPARE(model.operationErrorMessage(), QStringLiteral("登录状态已失效，请重新登录"));
        QVERIFY(f.playback.drained());
    }
};

TALVORO_TEST(VoiceRenderTest)
#include "tst_voicerenders.moc"
