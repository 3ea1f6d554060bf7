#include "AwaitTask.h"
#include "JourneySteps.h"
#include "TestRegistry.h"

#include "Lexicons/UserLexiconDetailModel.h"
#include "Playback/PlaybackWordSnapshot.h"
#include "Settings/EditWordPlaybackSheetModel.h"

#include <QJsonArray>
#include <QTest>
#include <QSignalSpy>

using namespace scenetest;
using namespace talvoro;

namespace {

QString profilePath(qint64 wordId)
{
    return QStringLiteral("/api/v1/user/words/%1/playback-profile").arg(wordId);
}

// The first visible item under `root` whose text is `text`.
QQuickItem *findText(QQuickItem *root, const QString &text)
{
    for (QQuickItem *child : root->childItems()) {
        if (!child->isVisible())
            continue;
        if (child->property("text").toString() == text)
            return child;
        if (QQuickItem *found = findText(child, text))
            return found;
    }
    return nullptr;
}

// Scrolls the sheet's form so that the item is in view, then taps it.
bool pressInForm(SceneDriver &scene, const QString &objectName)
{
    QQuickItem *form = scene.item(QStringLiteral("wordPlayback.form"));
    QQuickItem *target = scene.item(objectName);
    if (!form || !target)
        return false;
    auto *content = form->property("contentItem").value<QQuickItem *>();
    const qreal top = target->mapToItem(content, QPointF(0, 0)).y();
    const qreal most = std::max<qreal>(0, form->property("contentHeight").toReal() - form->height());
    form->setProperty("contentY", std::clamp<qreal>(top - form->height() / 3, 0, most));
    settle();
    return scene.press(objectName);
}

// Long-presses one unit's title and drops it on another unit's row.
void dragUnit(SceneDriver &scene, const QString &dragged, const QString &target)
{
    QQuickItem *handle = scene.item(QStringLiteral("wordPlayback.title.") + dragged);
    QQuickItem *row = scene.item(QStringLiteral("wordPlayback.title.") + target);
    QVERIFY(handle && row);
    const QPointF start = handle->mapToScene(QPointF(20, handle->height() / 2));
    const QPointF end = row->mapToScene(QPointF(20, row->height() / 2));
    drag(scene.window(), start, end, 12,
        [&] { return scene.item(QStringLiteral("wordPlayback.dragged.") + dragged) != nullptr; });
}

// Opens "设置播放方式" of the lexicon's first word; the sheet's model once its
// load ended.
EditWordPlaybackSheetModel *openPlaybackSheet(SceneDriver &scene)
{
    settle();
    if (!scene.press(QStringLiteral("userLexiconDetail.actions.0")) || !pressAlertAction(scene, QStringLiteral("设置播放方式"))
        || !scene.waitForItem(QStringLiteral("wordPlayback")))
        return nullptr;
    auto *sheet = modelOf<EditWordPlaybackSheetModel>(scene, QStringLiteral("wordPlayback"));
    if (!sheet || !scene.waitFor([sheet] { return sheet->canSave(); }))
        return nullptr;
    settle();
    return sheet;
}

QStringList unitsOf(const QJsonValue &profile, bool enabledOnly)
{
    QStringList units;
    for (const QJsonValue &unit : profile[QStringLiteral("units")].toArray()) {
        if (!enabledOnly || unit[QStringLiteral("enabled")].toBool())
            units.append(unit[QStringLiteral("unit")].toString());
    }
    return units;
}

} // namespace

class WordPlaybackJourneyTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        if (!SceneDriver::available())
            QSKIP("needs the backend build and the test run's own Secret Service (scripts/test)");
    }

    // A word gets its own plan in the sheet: three repeats, no explanation, the
    // spelling first, its own voice and rate for the word. It is auditioned, saved,
    // held by the backend and planned that way by the playback engine.
    void aWordGetsItsOwnPlan()
    {
        SceneDriver scene;
        QVERIFY(scene.startBackend());
        const QString token = backendToken(scene);
        const qint64 lexiconId = scene.backend()
                                     .call("POST", QStringLiteral("/api/v1/user/lexicons"),
                                         QJsonObject {{"name", QStringLiteral("港口词汇")}}, token)
                                     .data()[QStringLiteral("id")]
                                     .toInteger();
        const qint64 wordId = scene.backend()
                                  .call("POST", QStringLiteral("/api/v1/user/words"),
                                      QJsonObject {{"word", "harbor"}, {"translationsZh", QJsonArray {"港口"}},
                                          {"explanation", "a sheltered place for ships"}, {"lexiconId", lexiconId}},
                                      token)
                                  .data()[QStringLiteral("id")]
                                  .toInteger();
        QVERIFY(wordId > 0);
        QVERIFY(scene.signInToHome(demoUser, demoPassword));
        QVERIFY(openUserLexicons(scene));
        UserLexiconDetailModel *detail = openLexicon(scene, QStringLiteral("港口词汇"));
        QVERIFY(detail);
        QVERIFY(scene.waitFor([detail] { return detail->wordCount() == 1; }));
        EditWordPlaybackSheetModel *sheet = openPlaybackSheet(scene);
        QVERIFY(sheet);
        WordPlaybackProfileEditorViewModel &editor = sheet->editor();

        QVERIFY(scene.press(QStringLiteral("wordPlayback.stepper.increment")));
        QVERIFY(scene.press(QStringLiteral("wordPlayback.stepper.increment")));
        QCOMPARE(editor.repeatCount(), 3);
        QVERIFY(pressInForm(scene, QStringLiteral("wordPlayback.switch.EXPLANATION")));
        QVERIFY(scene.waitFor([&] { return !editor.entry(ORVPlaybackUnit::explanation)->enabled; }));
        QVERIFY(pressInForm(scene, QStringLiteral("wordPlayback.title.WORD")));
        dragUnit(scene, QStringLiteral("SPELLING"), QStringLiteral("WORD"));
        QVERIFY(scene.waitFor([&] { return editor.unitOrder().first() == QLatin1String("SPELLING"); }));
        QCOMPARE(editor.unitOrder(), (QStringList {"SPELLING", "WORD", "TRANSLATION_ZH", "EXPLANATION"}));

        QVERIFY(pressInForm(scene, QStringLiteral("wordPlayback.voice.WORD")));
        QVERIFY(scene.waitForItem(QStringLiteral("wordPlayback.voiceItem.en-GB-SoniaNeural")));
        settle();
        QVERIFY(scene.press(QStringLiteral("wordPlayback.voiceItem.en-GB-SoniaNeural")));
        QVERIFY(scene.waitFor([&] {
            return editor.entry(ORVPlaybackUnit::word)->voiceId == QStringLiteral("en-GB-SoniaNeural");
        }));
        settle();
        QVERIFY(pressInForm(scene, QStringLiteral("wordPlayback.rate.WORD")));
        QVERIFY(scene.waitForItem(QStringLiteral("wordPlayback.ownRate.WORD")));
        settle();
        QVERIFY(scene.press(QStringLiteral("wordPlayback.ownRate.WORD")));
        QVERIFY(scene.waitForItem(QStringLiteral("wordPlayback.slider.WORD")));
        settle();
        QQuickItem *slider = scene.item(QStringLiteral("wordPlayback.slider.WORD"));
        slider->forceActiveFocus();
        for (int i = 0; i < 4; ++i)
            scene.pressKey(Qt::Key_Left);
        QVERIFY(scene.waitFor([&] { return editor.entry(ORVPlaybackUnit::word)->speechRate == 0.8; }));
        QCOMPARE(scene.item(QStringLiteral("wordPlayback.ownRateText.WORD"))->property("text").toString(),
            QStringLiteral("0.80 倍"));

        // The audition is fetched, played through the shared player and cached.
        // Waited for in an event loop of its own: the speech request does not
        // finish while the scene driver polls (see the closing note).
        QVERIFY(pressInForm(scene, QStringLiteral("wordPlayback.audition.WORD")));
        QVERIFY(scene.waitForItem(QStringLiteral("wordPlayback.offline.WORD"), 60s));
        GlobalPlaybackSession &playback = scene.application().container().playbackSession();
        QVERIFY(playback.playbackViewModel());
        QVERIFY(scene.waitFor([&] {
            return playback.playbackViewModel()->transientPlaybackStatus().kind
                != TransientPlaybackStatus::Kind::loading;
        }));
        QVERIFY(!scene.savePng(QStringLiteral("journey-word-playback-edited")).isEmpty());

        QVERIFY(scene.press(QStringLiteral("wordPlayback.save")));
        QVERIFY(scene.waitForNoItem(QStringLiteral("wordPlayback")));
        QVERIFY(scene.waitFor([&] { return detail->words().first().repeatCount == 3; }));
        QVERIFY(scene.waitForItem(QStringLiteral("userLexiconDetail.repeat.0")));
        QVERIFY(findText(scene.item(QStringLiteral("userLexiconDetail.repeat.0")), QStringLiteral("3次")));
        QVERIFY(!scene.savePng(QStringLiteral("journey-word-playback-saved")).isEmpty());

        const QJsonValue held = scene.backend().call("GET", profilePath(wordId), token).data();
        QCOMPARE(held[QStringLiteral("repeatCount")].toInteger(), 3);
        QCOMPARE(unitsOf(held, false), (QStringList {"SPELLING", "WORD", "TRANSLATION_ZH", "EXPLANATION"}));
        QCOMPARE(unitsOf(held, true), (QStringList {"SPELLING", "WORD", "TRANSLATION_ZH"}));
        QCOMPARE(held[QStringLiteral("units")][1][QStringLiteral("voiceId")].toString(),
            QStringLiteral("en-GB-SoniaNeural"));
        QCOMPARE(held[QStringLiteral("units")][1][QStringLiteral("speechRate")].toDouble(), 0.8);

        const PlaybackWordSnapshot snapshot(detail->words().first());
        QCOMPARE(snapshot.repeatCount, 3);
        QStringList planned;
        for (const ResolvedPlaybackUnit &unit : snapshot.plan(PlaybackPreference(), TTSVoice::defaultEnglish()))
            planned.append(rawValue(unit.unit));
        QCOMPARE(planned, (QStringList {"SPELLING", "WORD", "TRANSLATION_ZH"}));

        // The last enabled unit cannot be switched off.
        sheet = openPlaybackSheet(scene);
        QVERIFY(sheet);
        QVERIFY(pressInForm(scene, QStringLiteral("wordPlayback.switch.SPELLING")));
        QVERIFY(pressInForm(scene, QStringLiteral("wordPlayback.switch.TRANSLATION_ZH")));
        QVERIFY(pressInForm(scene, QStringLiteral("wordPlayback.switch.WORD")));
        QVERIFY(scene.waitFor([&] { return sheet->editor().errorMessage().has_value(); }));
        QCOMPARE(*sheet->editor().errorMessage(), QStringLiteral("至少需要开启一个播放单元"));
        QVERIFY(sheet->editor().entry(ORVPlaybackUnit::word)->enabled);
        QVERIFY(scene.item(QStringLiteral("wordPlayback.switch.WORD"))->property("checked").toBool());
        QVERIFY(!scene.savePng(QStringLiteral("journey-word-playback-last-unit")).isEmpty());
        QVERIFY(pressAlertAction(scene, QStringLiteral("知道了")));
        QVERIFY(scene.waitFor([&] { return !sheet->editor().errorMessage(); }));

        // Another device saves first: the stale version is refused with the
        // server's message, and the reload brings the latest version back.
        QJsonArray units;
        for (const char *name : {"WORD", "SPELLING", "TRANSLATION_ZH", "EXPLANATION"})
            units.append(QJsonObject {{"unit", name}, {"enabled", true}, {"position", units.size() + 1}});
        QVERIFY(scene.backend()
                    .call("PUT", profilePath(wordId), QJsonObject {{"baseVersion", 2}, {"repeatCount", 5}, {"units", units}},
                        token)
                    .data()
                    .isObject());
        QVERIFY(scene.press(QStringLiteral("wordPlayback.save")));
        QVERIFY(scene.waitFor([&] { return sheet->editor().errorMessage().has_value(); }));
        QCOMPARE(*sheet->editor().errorMessage(), QStringLiteral("保存失败：数据已在其他设备上更新，请刷新后重试"));
        QVERIFY(!scene.savePng(QStringLiteral("journey-word-playback-conflict")).isEmpty());
        QVERIFY(pressAlertAction(scene, QStringLiteral("知道了")));
        QVERIFY(pressInForm(scene, QStringLiteral("wordPlayback.reload")));
        QVERIFY(scene.waitFor([&] { return sheet->canSave(); }));
        QCOMPARE(sheet->editor().repeatCount(), 5);
        QCOMPARE(sheet->editor().profile().version, 3);
        QVERIFY(scene.press(QStringLiteral("wordPlayback.cancel")));
        QVERIFY(scene.waitForNoItem(QStringLiteral("wordPlayback")));
    }
};

TALVORO_TEST(WordPlaybackJourneyTest)

#include "tst_wordplaybackjourney.moc"
