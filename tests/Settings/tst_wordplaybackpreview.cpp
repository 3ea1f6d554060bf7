#include "WordPlaybackTesting.h"
#include "TestRegistry.h"

#include <QTest>

using namespace wordplaybacktesting;

Q_DECLARE_METATYPE(std::optional<talvoro::AuthenticatedSessionSnapshot>)

namespace {

using U = ORVPlaybackUnit;

QStringList spoken(EditorFixture &f)
{
    return f.playback.player.spoken();
}

} // namespace

// Previews through the shared player: resolution of one unit, who owns the player
// and when, and answers that arrive too late or for an account that has left.
class WordPlaybackPreviewTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A disabled unit previews alone; a unit with nothing to say does not start.
    void whatAPreviewSpeaks_data()
    {
        QTest::addColumn<U>("unit");
        QTest::addColumn<bool>("withTexts");
        QTest::addColumn<QString>("text");
        QTest::newRow("disabled spelling") << U::spelling << true << QStringLiteral("T E S T");
        QTest::newRow("translation") << U::translation << true << QStringLiteral("测试");
        QTest::newRow("no translations") << U::translation << false << QString();
        QTest::newRow("no explanation") << U::explanation << false << QString();
    }
    void whatAPreviewSpeaks()
    {
        QFETCH(U, unit);
        QFETCH(bool, withTexts);
        QFETCH(QString, text);
        ORVWord word = wordOf(42, QStringLiteral("test"));
        if (!withTexts) {
            word.translationsZh.clear();
            word.explanation.reset();
        }
        word.playbackProfile = profileOf(42, 1, 1,
            {unitEntry(U::word, 1), unitEntry(U::spelling, 2, false), unitEntry(U::translation, 3),
                unitEntry(U::explanation, 4)});
        EditorFixture f(word);
        f.editor->previewUnit(unit, f.session, f.playbackSession);
        if (text.isEmpty()) {
            QCOMPARE(f.editor->errorMessage(), QStringLiteral("当前单元没有可试听的内容"));
            QVERIFY(f.playback.speech.requests.isEmpty());
            QVERIFY(!f.editor->ownsPlaybackPreview());
            return;
        }
        QCOMPARE(f.editor->previewingUnit(), unit);
        QTRY_COMPARE(spoken(f), QStringList {text});
        QCOMPARE(f.playback.player.plays.last().title, title(unit));
        QCOMPARE(f.editor->previewingUnit(), std::nullopt);
        // Once fetched the clip is cached, and the row says so.
        QVERIFY(f.editor->cachedUnits().contains(unit));
        QCOMPARE(f.editor->entry(U::spelling)->enabled, false);
    }

    // The second of two quick previews is the one heard; the first is dropped
    // without a word.
    void aNewerPreviewOvertakesTheOlder()
    {
        EditorFixture f;
        f.playback.speech.holdAnswers = true;
        f.editor->previewUnit(U::word, f.session, f.playbackSession);
        f.editor->previewUnit(U::translation, f.session, f.playbackSession);
        QCOMPARE(f.playback.speech.requests.size(), 2);
        f.playback.speech.releaseAll();
        QTRY_COMPARE(spoken(f), QStringList {QStringLiteral("测试")});
        settle();
        QCOMPARE(spoken(f), QStringList {QStringLiteral("测试")});
        QCOMPARE(f.editor->errorMessage(), std::nullopt);
        QVERIFY(!f.editor->cachedUnits().contains(U::word));
    }

    void aFailedFetchIsReported()
    {
        EditorFixture f;
        f.playback.speech.failingTexts.insert(QStringLiteral("test"), QStringLiteral("合成失败"));
        f.editor->previewUnit(U::word, f.session, f.playbackSession);
        QTRY_VERIFY(f.editor->errorMessage());
        QVERIFY(f.editor->errorMessage()->startsWith(QStringLiteral("试听失败：")));
        QCOMPARE(f.editor->previewingUnit(), std::nullopt);
        QVERIFY(f.playback.player.plays.isEmpty());
    }

    // The answer plays only for the user who asked, with that user's token as it
    // is when the answer comes.
    void theAnswerFollowsTheSignedInUser_data()
    {
        QTest::addColumn<std::optional<AuthenticatedSessionSnapshot>>("sessionAtAnswer");
        QTest::addColumn<bool>("plays");
        QTest::newRow("same user, same token") << std::optional(signedIn(7, QStringLiteral("A1"))) << true;
        QTest::newRow("same user, refreshed token") << std::optional(signedIn(7, QStringLiteral("A2"))) << true;
        QTest::newRow("signed out") << std::optional<AuthenticatedSessionSnapshot>() << false;
        QTest::newRow("another user") << std::optional(signedIn(8, QStringLiteral("B1"))) << false;
    }
    void theAnswerFollowsTheSignedInUser()
    {
        QFETCH(std::optional<AuthenticatedSessionSnapshot>, sessionAtAnswer);
        QFETCH(bool, plays);
        EditorFixture f;
        f.loaded();
        f.playback.speech.holdAnswers = true;
        f.editor->previewUnit(U::word, f.session, f.playbackSession);
        QCOMPARE(f.playbackSession.activeUserID(), 7);
        f.session = sessionAtAnswer;
        f.playback.speech.releaseAll();
        QTRY_COMPARE(f.editor->previewingUnit(), std::nullopt);
        settle();
        QCOMPARE(f.playback.player.plays.size(), plays ? 1 : 0);
        // A late answer never binds the player to whoever is signed in now; the
        // app resets the player for a change of account on its own.
        QCOMPARE(f.playbackSession.activeUserID(), 7);
        QCOMPARE(f.editor->errorMessage(), std::nullopt);
    }

    // Previewing stops a playing list at once; stopping the preview stops the
    // shared player once, and an editor that never previewed leaves it alone.
    void stopPreviewOnlyStopsWhatItOwns()
    {
        EditorFixture f;
        f.playbackSession.play(QStringLiteral("晨读"), {makeWord(1, QStringLiteral("alpha"))},
            QStringLiteral("A1"), f.session->user, 0);
        QTRY_COMPARE(f.playback.player.plays.size(), 1);
        f.editor->stopPreview(f.playbackSession);
        QCOMPARE(f.playbackSession.playbackViewModel()->playbackState(), PlaybackState::playing);

        f.editor->previewUnit(U::word, f.session, f.playbackSession);
        QVERIFY(f.playbackSession.playbackViewModel()->playbackState() != PlaybackState::playing);
        QTRY_COMPARE(f.playback.player.plays.size(), 2);
        const qsizetype stopsBefore = f.playback.player.calls.count(QStringLiteral("deactivate"));
        f.editor->stopPreview(f.playbackSession);
        QVERIFY(f.playback.player.calls.count(QStringLiteral("deactivate")) > stopsBefore);
        const qsizetype stopsAfter = f.playback.player.calls.count(QStringLiteral("deactivate"));
        f.editor->stopPreview(f.playbackSession);
        QCOMPARE(f.playback.player.calls.count(QStringLiteral("deactivate")), stopsAfter);
    }

    // Stopped while fetching: nothing is played or cached, and no message shows.
    void aPreviewStoppedWhileFetchingIsSilent()
    {
        EditorFixture f;
        f.playback.speech.holdAnswers = true;
        f.editor->previewUnit(U::word, f.session, f.playbackSession);
        f.editor->stopPreview(f.playbackSession);
        f.playback.speech.releaseAll();
        settle();
        QVERIFY(f.playback.player.plays.isEmpty());
        QCOMPARE(f.editor->errorMessage(), std::nullopt);
        QCOMPARE(f.editor->previewingUnit(), std::nullopt);
    }
};

TALVORO_TEST(WordPlaybackPreviewTest)

#include "tst_wordplaybackpreview.moc"
