#include "SoundServer.h"
#include "TestRegistry.h"
#include "ToneClips.h"

#include "Platform/AudioClip.h"
#include "Platform/AudioOutput.h"
#include "Platform/AudioSession.h"
#include "Platform/AudioStream.h"
#include "Playback/AudioPlayerManager.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDataStream>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <memory>

using namespace talvoro;
using testsupport::sineTone;
using testsupport::waveFile;

// Real clips: tones made in code, MP3 from lame run as the command-line tool.
namespace {

// Empty when lame failed.
QByteArray mp3FromWave(const QByteArray &wave)
{
    QTemporaryDir dir;
    QFile input(dir.filePath(QStringLiteral("in.wav")));
    if (!input.open(QIODevice::WriteOnly) || input.write(wave) != wave.size())
        return {};
    input.close();
    QProcess lame;
    lame.setWorkingDirectory(dir.path());
    lame.start(
        QStringLiteral("lame"), {QStringLiteral("--quiet"), QStringLiteral("in.wav"), QStringLiteral("out.mp3")});
    if (!lame.waitForFinished(60000) || lame.exitStatus() != QProcess::NormalExit || lame.exitCode() != 0)
        return {};
    QFile output(dir.filePath(QStringLiteral("out.mp3")));
    return output.open(QIODevice::ReadOnly) ? output.readAll() : QByteArray();
}

// Frequency of a pure tone in the first channel, from its rising zero crossings.
double zeroCrossingFrequency(const PcmAudio &audio)
{
    // Rising crossings through a band around zero, so coding noise near zero is not
    // counted twice; periods between the first and the last crossing, so silence an
    // encoder adds at either end does not count.
    constexpr qint16 band = 1000;
    const auto *samples = reinterpret_cast<const qint16 *>(audio.samples.constData());
    qint64 crossings = 0;
    qint64 first = -1;
    qint64 last = -1;
    bool below = false;
    for (qint64 i = 0; i < audio.frameCount(); ++i) {
        const qint16 sample = samples[i * audio.channels];
        if (sample < -band) {
            below = true;
        } else if (below && sample > band) {
            below = false;
            ++crossings;
            first = first < 0 ? i : first;
            last = i;
        }
    }
    return crossings < 2 ? 0.0 : double(crossings - 1) * audio.sampleRate / double(last - first);
}

// The null sink reports a clip's end about two seconds late; these limits only
// stop a hang.
constexpr int endLimitMs = 20000;
const QStringList finishedOnce {QStringLiteral("finished")};
const QStringList failedOnce {QStringLiteral("failed")};
const QString mprisName = QStringLiteral("org.mpris.MediaPlayer2.talvoro");
const QString mprisPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString mprisPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");

QByteArray toneClip(double seconds)
{
    return waveFile(sineTone(440, seconds));
}

// Writes down every event the player reports, in order, and whether each came on
// the main thread.
class RecordingDelegate : public AudioPlayerManagerDelegate {
public:
    QStringList events;
    bool allOnMainThread = true;

    void audioPlayerDidFinish(bool successfully) override { record(successfully ? "finished" : "failed"); }
    void remotePlay() override { record("play"); }
    void remotePause() override { record("pause"); }
    void remoteNextTrack() override { record("next"); }
    void remotePreviousTrack() override { record("previous"); }
    void handleInterruption(bool shouldResume) override
    {
        record(shouldResume ? "interruption:resume" : "interruption:hold");
    }

private:
    void record(const char *event)
    {
        allOnMainThread = allOnMainThread && QThread::currentThread() == QCoreApplication::instance()->thread();
        events.append(QString::fromUtf8(event));
    }
};

} // namespace

class AudioClipTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Qt's own playback rate moves the pitch by the whole factor; the stretch must not.
    void decodesAndStretchesKeepingThePitch_data()
    {
        QTest::addColumn<bool>("mp3");
        QTest::addColumn<int>("sampleRate");
        QTest::addColumn<int>("channels");
        QTest::addColumn<double>("speed");
        QTest::newRow("WAV mono 24 kHz at 0.5") << false << 24000 << 1 << 0.5;
        QTest::newRow("MP3 mono 24 kHz at 2.0") << true << 24000 << 1 << 2.0;
        QTest::newRow("WAV stereo 44.1 kHz at 1.25") << false << 44100 << 2 << 1.25;
        QTest::newRow("MP3 stereo 44.1 kHz at 0.75") << true << 44100 << 2 << 0.75;
    }
    void decodesAndStretchesKeepingThePitch()
    {
        QFETCH(bool, mp3);
        QFETCH(int, sampleRate);
        QFETCH(int, channels);
        QFETCH(double, speed);
        const PcmAudio tone = sineTone(440, 2.0, sampleRate, channels);
        const QByteArray bytes = mp3 ? mp3FromWave(waveFile(tone)) : waveFile(tone);
        QVERIFY2(!bytes.isEmpty(), "lame could not encode the tone");

        const PcmAudio decoded = decodeAudio(bytes);
        const PcmAudio stretched = timeStretch(decoded, speed);

        QCOMPARE(decoded.sampleRate, sampleRate);
        QCOMPARE(decoded.channels, channels);
        if (!mp3)
            QCOMPARE(decoded.samples, tone.samples); // WAV samples pass through untouched
        // An encoder may pad its last frame: an MP3 runs up to a few frames long.
        QVERIFY2(qAbs(decoded.durationSeconds() - 2.0) < 0.1, qPrintable(QString::number(decoded.durationSeconds())));
        QCOMPARE(stretched.sampleRate, sampleRate);
        QCOMPARE(stretched.channels, channels);
        const double expectedFrames = double(decoded.frameCount()) / speed;
        QVERIFY2(qAbs(double(stretched.frameCount()) - expectedFrames) < expectedFrames * 0.05,
            qPrintable(QStringLiteral("%1 frames, expected %2").arg(stretched.frameCount()).arg(expectedFrames)));
        for (const PcmAudio &audio : {decoded, stretched}) {
            const double frequency = zeroCrossingFrequency(audio);
            QVERIFY2(qAbs(frequency - 440) < 440 * 0.02, qPrintable(QString::number(frequency)));
        }
    }

    void decodesWaveWithExtraChunksAndAStreamedDataSize()
    {
        const PcmAudio tone = sineTone(440, 0.25);
        QByteArray wave = waveFile(tone);
        // A "LIST" chunk of odd length (padded) before "data", and the data size
        // a streaming writer leaves behind.
        wave.insert(36,
            QByteArray("LIST\x03\x00\x00\x00"
                       "abc\x00",
                12));
        wave.replace(52, 4, QByteArray("\xff\xff\xff\xff", 4));
        QCOMPARE(decodeAudio(wave).samples, tone.samples);
    }

    void refusesWhatIsNotAudio_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray eightBit = waveFile(sineTone(440, 0.1));
        eightBit[34] = 8;
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("text") << QByteArray("this is not audio, just some words");
        QTest::newRow("WAV without samples") << waveFile(sineTone(440, 0.0));
        QTest::newRow("8-bit WAV") << eightBit;
        // Formats no voice comes in, which the time-stretch cannot take (below 65 Hz it divides by zero).
        QTest::newRow("60 Hz WAV") << waveFile(sineTone(10, 1.0, 60));
        QTest::newRow("4 kHz WAV") << waveFile(sineTone(440, 0.1, 4000));
        QTest::newRow("256 kHz WAV") << waveFile(sineTone(440, 0.1, 256000));
        QTest::newRow("WAV of 9 channels") << waveFile(sineTone(440, 0.1, 24000, 9));
        QTest::newRow("MP3 cut to its first bytes") << mp3FromWave(waveFile(sineTone(440, 0.5))).left(40);
    }
    void refusesWhatIsNotAudio()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY_THROWS_EXCEPTION(AudioDecodingError, decodeAudio(bytes));
    }
};

// The output, the player and its session, and for now playing and remote commands
// the desktop's side of the bus: the gdbus command-line client, and a second bus
// connection (another client as far as the bus knows) for what gdbus cannot do.
class AudioPlayerManagerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<AudioSession> m_session;
    std::unique_ptr<AudioPlayerManager> m_player;
    std::unique_ptr<RecordingDelegate> m_delegate;
    std::unique_ptr<QDBusConnection> m_desktop;
    QStringList m_statusChanges;

    QStringList &events() { return m_delegate->events; }
    double shownRate() const { return m_player->nowPlayingInfo()->playbackRate; }
    void playTone() { m_player->play(toneClip(1.5), QStringLiteral("apple · 苹果"), 1.25F); }
    bool connectDesktop()
    {
        m_desktop = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("desktop")));
        return m_desktop->isConnected();
    }
    // Calls `method` on the player (at `service`) with gdbus and returns its output.
    static QString gdbus(const QString &method, const QStringList &arguments = {}, const QString &service = mprisName)
    {
        QProcess process;
        process.start(QStringLiteral("gdbus"),
            QStringList {QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("-d"), service,
                QStringLiteral("-o"), mprisPath, QStringLiteral("-m"), method}
                + arguments);
        // The player answers from this event loop: wait without blocking it.
        if (!QTest::qWaitFor([&process] { return process.state() == QProcess::NotRunning; }, endLimitMs))
            process.kill();
        process.waitForFinished();
        return QString::fromUtf8(process.readAllStandardOutput());
    }
    // Runs a desktop client (playerctl, pactl) and returns its exit code and output.
    static std::pair<int, QString> run(const QString &program, const QStringList &arguments)
    {
        QProcess process;
        process.start(program, arguments);
        if (!QTest::qWaitFor([&process] { return process.state() == QProcess::NotRunning; }, endLimitMs))
            process.kill();
        process.waitForFinished();
        const int code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        return {code, QString::fromUtf8(process.readAllStandardOutput()).trimmed()};
    }
    static QString shownOnTheBus()
    {
        return gdbus(QStringLiteral("org.freedesktop.DBus.Properties.GetAll"), {mprisPlayer});
    }

public Q_SLOTS:
    void propertiesChanged(const QString &interface, const QVariantMap &changed, const QStringList &)
    {
        if (interface == mprisPlayer && changed.contains(QStringLiteral("PlaybackStatus")))
            m_statusChanges.append(changed.value(QStringLiteral("PlaybackStatus")).toString());
    }

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
        if (std::exchange(m_desktop, nullptr))
            QDBusConnection::disconnectFromBus(QStringLiteral("desktop"));
    }

    void outputResumesWherePauseLeftOff()
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
        const qint64 pausedAt = output.framesDelivered();

        output.play();
        // Starting over would rewind to frame 0 before the device reads again.
        QVERIFY(output.framesDelivered() >= pausedAt);
        QTRY_COMPARE_WITH_TIMEOUT(finishes, 1, endLimitMs);
        QCOMPARE(output.framesDelivered(), qint64(6 * 24000));
    }

    // The end of a clip, and a clip that cannot be decoded, reach the delegate
    // after the call. The rate is kept within 0.5 and 2.0; shown is the rate asked.
    void playsAClipToItsEnd_data()
    {
        QTest::addColumn<QByteArray>("clip");
        QTest::addColumn<float>("rate");
        QTest::addColumn<double>("playedAt");
        QTest::addColumn<QStringList>("events");
        QTest::newRow("MP3 at 3.0") << mp3FromWave(toneClip(0.4)) << 3.0F << 2.0 << finishedOnce;
        QTest::newRow("WAV at 0.25") << toneClip(0.4) << 0.25F << 0.5 << finishedOnce;
        QTest::newRow("WAV at 1.25") << toneClip(0.4) << 1.25F << 1.25 << finishedOnce;
        QTest::newRow("WAV at NaN") << toneClip(0.4) << std::nanf("") << 1.0 << finishedOnce;
        QTest::newRow("not audio") << QByteArray("<html>not audio</html>") << 1.0F << 0.0 << failedOnce;
    }
    void playsAClipToItsEnd()
    {
        QFETCH(QByteArray, clip);
        QFETCH(float, rate);
        QFETCH(double, playedAt);
        QFETCH(QStringList, events);
        if (events == failedOnce)
            QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("^播放音频出错：无法解码音频数据")));

        m_player->play(clip, QStringLiteral("apple · 苹果"), rate);

        QVERIFY(this->events().isEmpty());
        QCOMPARE(m_player->isPlaying(), events == finishedOnce);
        QCOMPARE(m_player->currentRate().value_or(0.0), playedAt);
        if (m_player->nowPlayingInfo()) {
            QCOMPARE(m_player->nowPlayingInfo()->title, QStringLiteral("apple · 苹果"));
            QCOMPARE(shownRate(), std::isnan(rate) ? 1.0 : double(rate));
            // The length shown is the clip's own, whatever the rate (MP3 may pad a frame).
            QVERIFY(qAbs(m_player->nowPlayingInfo()->durationSeconds - 0.4) < 0.1);
        }
        QCOMPARE(m_player->nowPlayingInfo().has_value(), events == finishedOnce);
        QTRY_COMPARE_WITH_TIMEOUT(this->events(), events, endLimitMs);
        QVERIFY(!m_player->isPlaying());
    }

    // Without a sound server the device refuses to start: that is a failure the
    // delegate hears of, never a clip that waits forever. Run in a child process,
    // as the sound system is chosen once per process.
    void aDeviceThatRefusesToStartIsAFailure()
    {
        if (qEnvironmentVariableIsSet("TALVORO_TEST_NO_SOUND_SERVER")) {
            m_player->play(toneClip(0.2), QStringLiteral("apple"), 1.0F);
            QTRY_COMPARE_WITH_TIMEOUT(events(), failedOnce, endLimitMs);
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

    void pauseAndResumeContinueTheLastClipPlayed()
    {
        m_player->resume(); // without a clip: nothing
        QVERIFY(!m_player->isPlaying());
        QVERIFY(!m_session->isActive());
        m_player->play(toneClip(0.5), QStringLiteral("first"), 1.0F);
        m_player->play(toneClip(0.5), QStringLiteral("apple"), 3.0F); // replaces it, with no event for it
        QCOMPARE(m_player->nowPlayingInfo()->title, QStringLiteral("apple"));
        m_player->pause();
        QVERIFY(!m_player->isPlaying());
        QCOMPARE(shownRate(), 0.0);

        m_player->resume();
        QVERIFY(m_player->isPlaying());
        QCOMPARE(shownRate(), 2.0); // the rate the clip really plays at
        QTRY_COMPARE_WITH_TIMEOUT(events(), finishedOnce, endLimitMs);
        QTest::qWait(300);
        QCOMPARE(events(), finishedOnce);

        // The finished clip stays: resuming plays it again from its start.
        m_player->resume();
        QVERIFY(m_player->isPlaying());
        QTRY_COMPARE_WITH_TIMEOUT(events().size(), 2, endLimitMs);

        // A stopped clip is gone, and so is the session once released.
        m_player->play(toneClip(1.0), QStringLiteral("apple"), 1.0F);
        m_player->stop();
        QVERIFY(!m_player->nowPlayingInfo());
        m_player->resume();
        QVERIFY(!m_player->isPlaying());
        QVERIFY(m_session->isActive());
        m_player->deactivateAudioSession();
        QVERIFY(!m_session->isActive());
        QTest::qWait(300);
        QCOMPARE(events().size(), 2);
    }

    void interruptionsReachTheDelegate_data()
    {
        QTest::addColumn<quint64>("type");
        QTest::addColumn<quint64>("options");
        QTest::addColumn<QString>("event");
        QTest::newRow("began") << AudioSession::interruptionBegan << quint64(1) << "interruption:hold";
        QTest::newRow("ended, resume") << AudioSession::interruptionEnded << quint64(1) << "interruption:resume";
        QTest::newRow("ended, other options") << AudioSession::interruptionEnded << quint64(2) << "interruption:hold";
        QTest::newRow("ended, resume among others")
            << AudioSession::interruptionEnded << quint64(3) << "interruption:resume";
        QTest::newRow("unknown type") << quint64(2) << quint64(1) << "";
    }
    void interruptionsReachTheDelegate()
    {
        QFETCH(quint64, type);
        QFETCH(quint64, options);
        QFETCH(QString, event);
        m_player->play(toneClip(0.2), QStringLiteral("apple"), 1.0F); // the session in use
        m_player->stop();
        if (event.isEmpty())
            QTest::ignoreMessage(QtCriticalMsg, "收到未知音频会话中断类型");

        m_session->reportInterruption(type, options);

        QVERIFY(events().isEmpty());
        QTest::qWait(50);
        QCOMPARE(events(), event.isEmpty() ? QStringList() : QStringList {event});
    }

    void eventsForADelegateThatIsGoneAreDropped()
    {
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("^播放音频出错：")));
        m_player->play(QByteArray("not audio"), QStringLiteral("apple"), 1.0F);
        m_session->reportInterruption(AudioSession::interruptionBegan);
        m_delegate.reset();
        QCOMPARE(m_player->delegate(), nullptr);
        QTest::qWait(50); // the queued events run and find no delegate
    }
    void remoteCommandsReachTheDelegate_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<bool>("pausedFirst");
        QTest::addColumn<QString>("event");
        QTest::newRow("Play") << "Play" << true << "play";
        QTest::newRow("Pause") << "Pause" << false << "pause";
        QTest::newRow("Next") << "Next" << false << "next";
        QTest::newRow("Previous") << "Previous" << false << "previous";
        QTest::newRow("PlayPause while playing") << "PlayPause" << false << "pause";
        QTest::newRow("PlayPause while paused") << "PlayPause" << true << "play";
        QTest::newRow("Stop pauses") << "Stop" << false << "pause";
    }
    void remoteCommandsReachTheDelegate()
    {
        QFETCH(QString, method);
        QFETCH(bool, pausedFirst);
        QFETCH(QString, event);
        if (!connectDesktop())
            QSKIP("no session bus: the player stays off the bus, as the other tests show");
        playTone();
        if (pausedFirst)
            m_player->pause();

        QCOMPARE(gdbus(mprisPlayer + "." + method).trimmed(), QStringLiteral("()"));

        QTRY_COMPARE_WITH_TIMEOUT(events(), QStringList {event}, endLimitMs);
    }

    void theDesktopSeesTitleLengthRateAndStatus()
    {
        if (!connectDesktop())
            QSKIP("no session bus: the player stays off the bus, as the other tests show");
        QVERIFY(m_desktop->connect(mprisName, mprisPath, QStringLiteral("org.freedesktop.DBus.Properties"),
            QStringLiteral("PropertiesChanged"), this, SLOT(propertiesChanged(QString, QVariantMap, QStringList))));
        QVERIFY(!m_desktop->interface()->isServiceRegistered(mprisName)); // only once it plays
        playTone();

        QCOMPARE(m_player->remoteCommandServiceName(), mprisName);
        QString shown = shownOnTheBus();
        for (const char *expected : {"'xesam:title': <'apple · 苹果'>", "'mpris:length': <int64 1500000>",
                 "'mpris:trackid': <objectpath '/", "'PlaybackStatus': <'Playing'>", "'Rate': <1.25>"})
            QVERIFY2(shown.contains(QString::fromUtf8(expected)), qPrintable(shown));

        m_player->pause();
        QTRY_VERIFY_WITH_TIMEOUT(m_statusChanges.endsWith("Paused"), endLimitMs);
        shown = shownOnTheBus();
        QVERIFY2(shown.contains("'PlaybackStatus': <'Paused'>") && shown.contains("'Rate': <1.25>"), // never 0
            qPrintable(shown));

        m_player->stop();
        QTRY_VERIFY_WITH_TIMEOUT(m_statusChanges.endsWith("Stopped"), endLimitMs);
        QVERIFY(!shownOnTheBus().contains(QStringLiteral("xesam:title")));
        m_player.reset();
        QVERIFY(!m_desktop->interface()->isServiceRegistered(mprisName));
    }

    // What a desktop's media controls read and set, through a real MPRIS client.
    void aMediaClientSeesPositionRateBoundsAndSetsTheVolume()
    {
        if (!connectDesktop())
            QSKIP("no session bus: the player stays off the bus, as the other tests show");
        if (QStandardPaths::findExecutable(QStringLiteral("playerctl")).isEmpty())
            QSKIP("playerctl is not installed (scripts/install-deps installs it)");
        const QStringList talvoro {QStringLiteral("-p"), QStringLiteral("talvoro")};
        m_player->play(toneClip(6.0), QStringLiteral("apple"), 1.0F);
        QTest::qWait(300);
        m_player->pause();
        const auto [code, position] = run(QStringLiteral("playerctl"), talvoro + QStringList {"position"});
        QCOMPARE(code, 0);
        // Where the clip stands, in seconds, while paused: neither 0 nor past its end.
        QVERIFY2(position.toDouble() > 0.1 && position.toDouble() < 6.0, qPrintable(position));
        QCOMPARE(run(QStringLiteral("playerctl"), talvoro + QStringList {"position"}).second, position);

        const QString shown = shownOnTheBus();
        QVERIFY2(shown.contains("'MinimumRate': <0.5>") && shown.contains("'MaximumRate': <2.0>"), qPrintable(shown));

        QCOMPARE(run(QStringLiteral("playerctl"), talvoro + QStringList {"volume", "0.5"}).first, 0);
        QTRY_COMPARE_WITH_TIMEOUT(
            run(QStringLiteral("playerctl"), talvoro + QStringList {"volume"}).second.toDouble(), 0.5, endLimitMs);
        run(QStringLiteral("playerctl"), talvoro + QStringList {"volume", "7"});
        QTRY_COMPARE_WITH_TIMEOUT(
            run(QStringLiteral("playerctl"), talvoro + QStringList {"volume"}).second.toDouble(), 1.0, endLimitMs);
    }

    // A volume mixer lists the app's stream under its name and role.
    void theSoundServerListsTheStreamAsTalvoro()
    {
        if (run(QStringLiteral("pactl"), {QStringLiteral("info")}).first != 0)
            QSKIP("no sound server");
        m_player->play(toneClip(6.0), QStringLiteral("apple"), 1.0F);
        QString streams;
        QTRY_VERIFY_WITH_TIMEOUT(
            (streams = run(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("sink-inputs")}).second)
                .contains(QStringLiteral("application.process.id = \"%1\"").arg(QCoreApplication::applicationPid())),
            endLimitMs);
        QVERIFY2(streams.contains(QStringLiteral("application.name = \"Talvoro\"")), qPrintable(streams));
        QVERIFY2(streams.contains(QStringLiteral("media.role = \"music\"")), qPrintable(streams));
    }

    void aSecondPlayerTakesAnInstanceName()
    {
        if (!connectDesktop())
            QSKIP("no session bus: the player stays off the bus, as the other tests show");
        QVERIFY(m_desktop->registerService(mprisName));
        playTone();
        const QString instanceName
            = mprisName + QStringLiteral(".instance") + QString::number(QCoreApplication::applicationPid());
        QCOMPARE(m_player->remoteCommandServiceName(), instanceName);

        gdbus(mprisPlayer + QStringLiteral(".Next"), {}, instanceName);
        QTRY_COMPARE_WITH_TIMEOUT(events(), QStringList {QStringLiteral("next")}, endLimitMs);
        m_desktop->unregisterService(mprisName);
    }
};

// Clips after one another through the player's one stream on the sound server
// (the test run's null sink), as a list plays them: each clip starts from the
// delegate's report that the one before has ended.
class AudioStreamTest : public QObject {
    Q_OBJECT

    std::unique_ptr<AudioSession> m_session;
    std::unique_ptr<AudioPlayerManager> m_player;
    std::unique_ptr<RecordingDelegate> m_delegate;

    QStringList &events() { return m_delegate->events; }
    // Plays each clip once the one before has been reported finished.
    void playInTurn(const QList<QByteArray> &clips)
    {
        for (qsizetype i = 0; i < clips.size(); ++i) {
            m_player->play(clips.at(i), QStringLiteral("apple"), 1.0F);
            QTRY_COMPARE_WITH_TIMEOUT(events().size(), i + 1, endLimitMs);
        }
    }

private Q_SLOTS:
    void init()
    {
        if (!scenetest::hasSoundServer())
            QSKIP("no sound server");
        m_session = std::make_unique<AudioSession>();
        m_player = std::make_unique<AudioPlayerManager>(*m_session);
        m_delegate = std::make_unique<RecordingDelegate>();
        m_player->setDelegate(m_delegate.get());
    }
    void cleanup()
    {
        m_player.reset();
        m_delegate.reset();
        m_session.reset();
    }

    // Opening a stream costs more than the word's next unit may wait: only another
    // sample format needs a stream of its own.
    void clipsOfOneFormatShareAStream_data()
    {
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<bool>("sameStream");
        QTest::newRow("same format") << toneClip(0.5) << true;
        QTest::newRow("same format, MP3") << mp3FromWave(toneClip(0.5)) << true;
        QTest::newRow("another rate") << waveFile(sineTone(440, 0.5, 44100)) << false;
        QTest::newRow("stereo") << waveFile(sineTone(440, 0.5, 24000, 2)) << false;
    }
    void clipsOfOneFormatShareAStream()
    {
        QFETCH(QByteArray, second);
        QFETCH(bool, sameStream);
        playInTurn({toneClip(0.5)});
        QList<int> first;
        QTRY_COMPARE_WITH_TIMEOUT((first = scenetest::streamIndexes()).size(), 1, endLimitMs);

        m_player->play(second, QStringLiteral("apple"), 1.0F);
        QList<int> now;
        if (sameStream) {
            QCOMPARE(scenetest::streamIndexes(), first);
        } else {
            // The stream of the other format is closed, not left behind.
            QTRY_VERIFY_WITH_TIMEOUT((now = scenetest::streamIndexes()).size() == 1 && now != first, endLimitMs);
        }
        QTRY_COMPARE_WITH_TIMEOUT(events(), (QStringList {"finished", "finished"}), endLimitMs);
        QTest::qWait(300);
        QCOMPARE(events().size(), 2);
    }

    // The end of a clip is reported when the server has played it, not when it
    // was handed over: a next clip started at the report must not cut it short.
    // Recorded from the sound server's output: a clip at one level, one at another,
    // and a third after them, so that the end of the recording cuts neither.
    void eachClipIsHeardToItsEndBeforeTheNext()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("parec")).isEmpty())
            QSKIP("parec is not installed (scripts/install-deps installs it)");
        constexpr int rate = 48000;
        QProcess recorder;
        recorder.start(QStringLiteral("parec"),
            {QStringLiteral("-d"), QStringLiteral("@DEFAULT_MONITOR@"), QStringLiteral("--format=s16le"),
                QStringLiteral("--rate=%1").arg(rate), QStringLiteral("--channels=1"),
                QStringLiteral("--latency-msec=20")});
        QByteArray recording;
        QTRY_VERIFY_WITH_TIMEOUT(!(recording += recorder.readAllStandardOutput()).isEmpty(), endLimitMs);

        // Peaks of 8000, 2000 and 24000.
        auto scaled = [](double factor) {
            PcmAudio tone = sineTone(440, 0.5);
            auto *samples = reinterpret_cast<qint16 *>(tone.samples.data());
            for (qint64 i = 0; i < tone.frameCount(); ++i)
                samples[i] = qint16(samples[i] * factor);
            return waveFile(tone);
        };
        playInTurn({scaled(1), scaled(0.25), scaled(3)});
        recorder.terminate();
        QVERIFY(recorder.waitForFinished(endLimitMs));
        recording += recorder.readAllStandardOutput();

        // Milliseconds heard at the first clip's level and at the second's.
        const auto *samples = reinterpret_cast<const qint16 *>(recording.constData());
        int first = 0;
        int second = 0;
        for (qsizetype start = 0; start + rate / 1000 <= recording.size() / 2; start += rate / 1000) {
            int peak = 0;
            for (int i = 0; i < rate / 1000; ++i)
                peak = std::max(peak, std::abs(int(samples[start + i])));
            first += peak > 6000 && peak < 10000 ? 1 : 0;
            second += peak > 1000 && peak < 3000 ? 1 : 0;
        }
        // The sink renders a little ahead of time: a clip that starts on a stream
        // that ran dry is played from its first sample, but the monitor has been
        // sent silence for its first few milliseconds (at most the recorder's
        // 20 ms). A clip cut at its end would lose what the server held, over 100 ms.
        for (const int heard : {first, second})
            QVERIFY2(heard > 500 - 30 && heard <= 502, qPrintable(QStringLiteral("%1 %2").arg(first).arg(second)));
        QCOMPARE(events(), (QStringList {"finished", "finished", "finished"}));
    }

    // A stopped clip's samples are dropped with its stream; the next clip plays
    // on a new one, and only its own end is reported.
    void stopOrReplaceDuringAClip_data()
    {
        QTest::addColumn<bool>("stopFirst");
        QTest::newRow("stop, then play") << true;
        QTest::newRow("play over it") << false;
    }
    void stopOrReplaceDuringAClip()
    {
        QFETCH(bool, stopFirst);
        m_player->play(toneClip(6.0), QStringLiteral("apple"), 1.0F);
        QList<int> first;
        QTRY_COMPARE_WITH_TIMEOUT((first = scenetest::streamIndexes()).size(), 1, endLimitMs);
        if (stopFirst) {
            m_player->stop();
            QTRY_COMPARE_WITH_TIMEOUT(scenetest::streamIndexes(), QList<int>(), endLimitMs);
        }

        m_player->play(toneClip(0.3), QStringLiteral("book"), 1.0F);
        QList<int> now;
        QTRY_VERIFY_WITH_TIMEOUT((now = scenetest::streamIndexes()).size() == 1 && now != first, endLimitMs);
        QTRY_COMPARE_WITH_TIMEOUT(events(), finishedOnce, endLimitMs);
        QTest::qWait(300);
        QCOMPARE(events(), finishedOnce);
    }

    // Paused long enough, the stream is given back to the sound server; resuming
    // opens another and continues where the pause left off.
    void aLongPauseClosesTheStreamAndResumeContinues()
    {
        AudioOutput output(toneClip(3.0), 1.0);
        int finishes = 0;
        connect(&output, &AudioOutput::finished, this, [&finishes](bool successfully) {
            QVERIFY(successfully);
            ++finishes;
        });
        output.play();
        const qint64 firstHandedOver = output.framesDelivered();
        QTRY_VERIFY_WITH_TIMEOUT(output.framesDelivered() > 24000, endLimitMs);
        output.pause();
        QCOMPARE(scenetest::streamCorked(), QStringLiteral("yes"));
        QTRY_COMPARE_WITH_TIMEOUT(scenetest::streamCorked(), QString(), AudioStream::releaseAfterMs + endLimitMs);

        output.play();
        QCOMPARE(scenetest::streamCorked(), QStringLiteral("no"));
        // Starting over would send the clip's first samples again.
        QVERIFY2(output.framesDelivered() > 12000 + firstHandedOver,
            qPrintable(QStringLiteral("%1 after %2").arg(output.framesDelivered()).arg(firstHandedOver)));
        QTRY_COMPARE_WITH_TIMEOUT(finishes, 1, endLimitMs);
        QCOMPARE(output.framesDelivered(), qint64(3 * 24000));
    }
};

TALVORO_TEST(AudioClipTest)
TALVORO_TEST(AudioPlayerManagerTest)
TALVORO_TEST(AudioStreamTest)
#include "tst_audio.moc"
