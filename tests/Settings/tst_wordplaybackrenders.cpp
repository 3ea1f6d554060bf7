#include "ScreenRender.h"
#include "WordPlaybackSheetTesting.h"
#include "TestRegistry.h"

#include <QTest>

using namespace wordplaybacktesting;
using namespace scenetest;

// Renders the per-word playback sheet in its main states, light and dark, into
// test-output/screens/; each state is checked by what it shows.
namespace {

ORVWord abandon()
{
    ORVWord word = wordOf(42, QStringLiteral("abandon"));
    word.ipa = QStringLiteral("/əˈbændən/");
    word.translationsZh = {QStringLiteral("放弃"), QStringLiteral("抛弃")};
    word.explanation = QStringLiteral("to leave something behind for good");
    return word;
}

} // namespace

class WordPlaybackRenderTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { apply(looks[0]); }

    void sheetStates_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<int>("look");
        for (const char *state : {"loading", "loaded", "voicemenu", "ratemenu", "reload", "alert"}) {
            for (int v = 0; v < 2; ++v)
                QTest::addRow("%s-%s", state, looks[v].suffix) << QString::fromLatin1(state) << v;
        }
    }
    void sheetStates()
    {
        QFETCH(QString, state);
        QFETCH(int, look);
        apply(looks[look]);
        SheetFixture f(abandon());
        f.api.hold = state == "loading";
        if (state == "reload") {
            f.api.profileAnswer = [](qint64) -> WordPlaybackProfile {
                throw MobileAPIError::server(500, std::nullopt, QStringLiteral("服务暂不可用"));
            };
        }
        Screen screen;
        QVERIFY(screen.show(&*f.sheet,
            "NavStack { anchors.fill: parent; initialPage: Component { EditWordPlaybackSheet { model: screenModel } } }"));
        if (state == "loading") {
            QTRY_VERIFY(f.sheet->editor().isLoading());
        } else {
            QTRY_VERIFY(!f.sheet->editor().isLoading());
        }
        if (state == "loaded" || state == "voicemenu" || state == "ratemenu") {
            f.sheet->editor().setRepeatCount(3);
            f.sheet->setUnitEnabled(QStringLiteral("EXPLANATION"), false);
            f.sheet->editor().moveUnit(ORVPlaybackUnit::spelling, ORVPlaybackUnit::word);
            f.sheet->setVoice(QStringLiteral("WORD"), QStringLiteral("en-GB-SoniaNeural"));
            f.sheet->setOwnRate(QStringLiteral("WORD"), 0.8);
        }
        if (state == "reload") {
            f.sheet->editor().setErrorMessage(std::nullopt);
            QQuickItem *form = screen.item("wordPlayback.form");
            QTRY_VERIFY(screen.isShown("wordPlayback.reload"));
            form->setProperty("contentY", form->property("contentHeight").toReal() - form->height());
        }
        if (state == "alert")
            f.sheet->editor().setErrorMessage(QStringLiteral("保存失败：数据已在其他设备上更新，请刷新后重试"));
        if (state == "voicemenu")
            QVERIFY(QMetaObject::invokeMethod(screen.item("wordPlayback.voice.WORD"), "clicked"));
        if (state == "ratemenu")
            QVERIFY(QMetaObject::invokeMethod(screen.item("wordPlayback.rate.SPELLING"), "clicked"));
        screen.save(QStringLiteral("word-playback-%1-%2").arg(state, QString::fromLatin1(looks[look].suffix)));

        QCOMPARE(screen.isShown("wordPlayback.loading"), state == "loading");
        QCOMPARE(screen.isShown("wordPlayback.reload"), state == "reload");
        QCOMPARE(f.sheet->editor().errorMessage().has_value(), state == "alert");
        QCOMPARE(screen.isShown("wordPlayback.voiceItem.en-GB-SoniaNeural"), state == "voicemenu");
        QCOMPARE(screen.isShown("wordPlayback.ownRate.SPELLING"), state == "ratemenu");
        QCOMPARE(screen.text("wordPlayback.word"), QStringLiteral("abandon"));
        if (state == "loaded") {
            QCOMPARE(screen.text("wordPlayback.repeatCount"), QStringLiteral("3 次"));
            QCOMPARE(screen.text("wordPlayback.ownRateText.WORD"), QStringLiteral("0.80 倍"));
            QVERIFY(!screen.isShown("wordPlayback.ownRateText.SPELLING"));
        }
        if (state == "loading") {
            for (const auto &held : f.api.profileReads + f.api.preferenceReads)
                held.gate->open();
        }
    }
};

TALVORO_TEST(WordPlaybackRenderTest)

#include "tst_wordplaybackrenders.moc"
