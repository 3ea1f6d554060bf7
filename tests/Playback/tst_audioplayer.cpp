#include "AudioFixtures.h"
#include "RecordingDelegate.h"
#include "TestRegistry.h"

#include "Platform/AudioOutput.h"
#include "Platform/AudioSession.h"
#include "Playback/AudioPlayerManager.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <cmath>
#include <memory>

using namespace talvoro;
using namespace testsupport;

namespace {
// The null sink reports a clip's end about two seconds late; these limits only
// stop a hang.
constexpr int endLimitMs = 20000;
const QStringList finishedOnce {QStringLiteral("finished")};

QByteArray toneClip(double seconds)
{
    return waveFile(sineTone(440, seconds));
}
} // namespace

class AudioOutputTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void resumeContinuesWherePauseLeftOff()
    {
        AudioOutput output(toneClip(6.0), 1.0);
        int finishes = 0;
        connect(&output, &AudioOutput::finished, this, [&finishes](bool successfully) {
            QVERIFY(successfully);
            ++finishes;
        });
        output.play();
        QTRY_VERIFY_WITH_TIMEOUT(output.framesDelivered() > 0, endLimitMs);
        output.pause();
        QVERIFY(!output.isPlaying());
        const qint64 pausedAt = output.framesDelivered();

        output.play();
        // Starting over would rewind to frame 0 before the device reads again.
        QVERIFY(output.framesDelivered() >= pausedAt);
        QVERIFY(output.isPlaying());
        QTRY_COMPARE_WITH_TIMEOUT(finishes, 1, endLimitMs);
        QCOMPARE(output.framesDelivered(), qint64(6 * 24000));
    }
};

class AudioPlayerManagerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<AudioSession> m_session;
    std::unique_ptr<AudioPlayerManager> m_player;
    std::unique_ptr<RecordingDelegate> m_delegate;

private Q_SLOTS:
    void init()
    {
        m_session = std::make_unique<AudioSession>();
        m_player = std::make_unique<AudioPlayerManager>(*m_session);
        m_delegate = std::make_unique<RecordingDelegate>();
        m_player->setDelegate(m_delegate.get());
    }
    void cleanup()
    {
        if (m_delegate)
            QVERIFY(m_delegate->allOnMainThread);
        m_player.reset();
        m_delegate.reset();
        m_session.reset();
    }

    void playsAClipToItsEnd_data()
    {
        QTest::addColumn<QByteArray>("clip");
        QTest::addColumn<float>("rate");
        QTest::addColumn<double>("duration");
        const QByteArray speech = spokenWave(QStringLiteral("apple"));
        const double speechSeconds = decodeAudio(speech).durationSeconds();
        QTest::newRow("spoken WAV at 1.0") << speech << 1.0F << speechSeconds;
        QTest::newRow("spoken MP3 at 2.0") << mp3FromWave(speech) << 2.0F << speechSeconds;
        QTest::newRow("tone WAV at 0.5") << toneClip(0.4) << 0.5F << 0.4;
    }
    void playsAClipToItsEnd()
    {
        QFETCH(QByteArray, clip);
        QFETCH(float, rate);
        QFETCH(double, duration);
        QVERIFY(!clip.isEmpty());

        m_player->play(clip, QStringLiteral("apple · 苹果"), rate);

        QVERIFY(m_player->isPlaying());
        QVERIFY(m_delegate->events.isEmpty());
        QCOMPARE(m_player->nowPlayingInfo()->title, QStringLiteral("apple · 苹果"));
        QCOMPARE(m_player->nowPlayingInfo()->playbackRate, double(rate));
        // The length shown is the clip's own, whatever the rate (MP3 may pad a frame).
        QVERIFY(qAbs(m_player->nowPlayingInfo()->durationSeconds - duration) < 0.1);
        QTRY_COMPARE_WITH_TIMEOUT(m_delegate->events, finishedOnce, endLimitMs);
        QVERIFY(!m_player->isPlaying());
    }

    void aClipThatCannotBeDecodedFailsAfterTheCall()
    {
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("^播放音频出错：无法解码音频数据")));
        m_player->play(QByteArray("<html>not audio</html>"), QStringLiteral("apple"), 1.0F);

        QVERIFY(m_delegate->events.isEmpty());
        QVERIFY(!m_player->nowPlayingInfo());
        QTRY_COMPARE_WITH_TIMEOUT(m_delegate->events, QStringList {QStringLiteral("failed")}, endLimitMs);
        QVERIFY(!m_player->isPlaying());
    }

    // Without a sound server the device refuses to start: that is a failure the
    // delegate hears of, never a clip that waits forever. Run in a child process,
    // as the sound system is chosen once per process.
    void aDeviceThatRefusesToStartIsAFailure()
    {
        if (qEnvironmentVariableIsSet("TALVORO_TEST_NO_SOUND_SERVER")) {
            m_player->play(toneClip(0.2), QStringLiteral("apple"), 1.0F);
            QTRY_COMPARE_WITH_TIMEOUT(m_delegate->events, QStringList {QStringLiteral("failed")}, endLimitMs);
            return;
        }
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TALVORO_TEST_NO_SOUND_SERVER"), QStringLiteral("1"));
        environment.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:/nonexistent/talvoro-no-sound"));
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(),
            {QStringLiteral("-class"), QStringLiteral("AudioPlayerManagerTest"),
                QStringLiteral("aDeviceThatRefusesToStartIsAFailure")});
        QVERIFY(child.waitForFinished(60000));
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, child.readAll().constData());
    }

    void playingAgainReplacesTheClipWithoutAnEventForIt()
    {
        m_player->play(toneClip(0.3), QStringLiteral("first"), 1.0F);
        m_player->play(toneClip(0.3), QStringLiteral("second"), 1.0F);

        QCOMPARE(m_player->nowPlayingInfo()->title, QStringLiteral("second"));
        QTRY_COMPARE_WITH_TIMEOUT(m_delegate->events, finishedOnce, endLimitMs);
        QTest::qWait(500);
        QCOMPARE(m_delegate->events, finishedOnce);
    }

    void pauseAndResumeContinueTheSameClip()
    {
        m_player->play(toneClip(0.5), QStringLiteral("apple"), 3.0F);
        m_player->pause();
        QVERIFY(!m_player->isPlaying());
        QCOMPARE(m_player->nowPlayingInfo()->playbackRate, 0.0);
        QCOMPARE(m_player->nowPlayingInfo()->title, QStringLiteral("apple"));

        m_player->resume();
        QVERIFY(m_player->isPlaying());
        // Resuming shows the rate the clip really plays at.
        QCOMPARE(m_player->nowPlayingInfo()->playbackRate, 2.0);
        m_player->resume(); // while playing: nothing
        QTRY_COMPARE_WITH_TIMEOUT(m_delegate->events, finishedOnce, endLimitMs);
        QTest::qWait(300);
        QCOMPARE(m_delegate->events, finishedOnce);

        // The finished clip stays: resuming plays it again from its start.
        m_player->resume();
        QVERIFY(m_player->isPlaying());
        QTRY_COMPARE_WITH_TIMEOUT(m_delegate->events.size(), 2, endLimitMs);
    }

    void withoutAClipPauseAndResumeDoNothing()
    {
        m_player->pause();
        QVERIFY(!m_player->nowPlayingInfo());
        m_player->resume();
        QVERIFY(!m_player->isPlaying());
        QVERIFY(!m_session->isActive());

        m_player->play(toneClip(1.0), QStringLiteral("apple"), 1.0F);
        m_player->stop();
        QVERIFY(!m_player->nowPlayingInfo());
        m_player->resume();
        QVERIFY(!m_player->isPlaying());
        QTest::qWait(300);
        QVERIFY(m_delegate->events.isEmpty());
    }

    void rateIsKeptWithinHalfAndDouble_data()
    {
        QTest::addColumn<float>("rate");
        QTest::addColumn<double>("playedAt");
        QTest::addColumn<double>("shownAs");
        QTest::newRow("3.0") << 3.0F << 2.0 << 3.0;
        QTest::newRow("0.25") << 0.25F << 0.5 << 0.25;
        QTest::newRow("1.25") << 1.25F << 1.25 << 1.25;
        QTest::newRow("0.5") << 0.5F << 0.5 << 0.5;
        QTest::newRow("NaN") << std::nanf("") << 1.0 << 1.0;
    }
    void rateIsKeptWithinHalfAndDouble()
    {
        QFETCH(float, rate);
        QFETCH(double, playedAt);
        QFETCH(double, shownAs);
        m_player->play(toneClip(0.2), QStringLiteral("apple"), rate);
        QCOMPARE(m_player->currentRate(), playedAt);
        QCOMPARE(m_player->nowPlayingInfo()->playbackRate, shownAs);
        m_player->stop();
    }

    void interruptionsReachTheDelegate_data()
    {
        QTest::addColumn<quint64>("type");
        QTest::addColumn<quint64>("options");
        QTest::addColumn<QStringList>("events");
        QTest::newRow("began") << AudioSession::interruptionBegan << quint64(1)
                               << QStringList {QStringLiteral("interruption:hold")};
        QTest::newRow("ended, resume") << AudioSession::interruptionEnded << quint64(1)
                                       << QStringList {QStringLiteral("interruption:resume")};
        QTest::newRow("ended, other options")
            << AudioSession::interruptionEnded << quint64(2) << QStringList {QStringLiteral("interruption:hold")};
        QTest::newRow("ended, resume among others")
            << AudioSession::interruptionEnded << quint64(3) << QStringList {QStringLiteral("interruption:resume")};
        QTest::newRow("unknown type") << quint64(2) << quint64(1) << QStringList {};
    }
    void interruptionsReachTheDelegate()
    {
        QFETCH(quint64, type);
        QFETCH(quint64, options);
        QFETCH(QStringList, events);
        m_player->play(toneClip(0.2), QStringLiteral("apple"), 1.0F);
        m_player->stop();
        if (events.isEmpty())
            QTest::ignoreMessage(QtCriticalMsg, "收到未知音频会话中断类型");

        m_session->reportInterruption(type, options);

        QVERIFY(m_delegate->events.isEmpty());
        QTest::qWait(50);
        QCOMPARE(m_delegate->events, events);
    }

    void eventsForADelegateThatIsGoneAreDropped()
    {
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("^播放音频出错：")));
        m_player->play(QByteArray("not audio"), QStringLiteral("apple"), 1.0F);
        m_session->reportInterruption(AudioSession::interruptionBegan);
        m_delegate.reset();
        QCOMPARE(m_player->delegate(), nullptr);
        QTest::qWait(50); // the queued events run and find no delegate
        m_session->reportInterruption(AudioSession::interruptionBegan);
        QTest::qWait(50);
    }

    void deactivatingReleasesTheSessionOnlyAfterItWasUsed()
    {
        m_player->deactivateAudioSession();
        QVERIFY(!m_session->isActive());
        m_player->play(toneClip(1.0), QStringLiteral("apple"), 1.0F);
        QVERIFY(m_session->isActive());
        m_player->deactivateAudioSession();
        QVERIFY(!m_session->isActive());
        QVERIFY(!m_player->isPlaying());
        QVERIFY(!m_player->nowPlayingInfo());
    }
};

TALVORO_TEST(AudioOutputTest)
TALVORO_TEST(AudioPlayerManagerTest)
#include "tst_audioplayer.moc"
