#include "AudioFixtures.h"
#include "RecordingDelegate.h"
#include "TestRegistry.h"

#include "Platform/AudioSession.h"
#include "Playback/AudioPlayerManager.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QProcess>
#include <QTest>

#include <memory>

using namespace talvoro;
using namespace testsupport;

namespace {
const QString objectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString playerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString primaryName = QStringLiteral("org.mpris.MediaPlayer2.talvoro");
constexpr int callLimitMs = 10000;
} // namespace

// The desktop's side of the player: a second bus connection (another client as far
// as the bus knows) and the gdbus command-line client.
class NowPlayingTest : public QObject {
    Q_OBJECT

    std::unique_ptr<AudioSession> m_session;
    std::unique_ptr<AudioPlayerManager> m_player;
    std::unique_ptr<RecordingDelegate> m_delegate;
    std::unique_ptr<QDBusConnection> m_client;
    QList<QVariantMap> m_changes;

    // Calls without blocking: the player answers from this same event loop.
    QDBusMessage call(
        const QString &service, const QString &interface, const QString &method, const QVariantList &arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(service, objectPath, interface, method);
        message.setArguments(arguments);
        QDBusPendingCall pending = m_client->asyncCall(message, callLimitMs);
        if (!QTest::qWaitFor([&pending] { return pending.isFinished(); }, callLimitMs + 1000))
            return {};
        return pending.reply();
    }
    QVariant property(const QString &service, const QString &name)
    {
        const QDBusMessage reply = call(service, propertiesInterface, QStringLiteral("Get"), {playerInterface, name});
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return {};
        return reply.arguments().first().value<QDBusVariant>().variant();
    }
    void playTone() { m_player->play(waveFile(sineTone(440, 1.5)), QStringLiteral("apple · 苹果"), 1.25F); }

public Q_SLOTS:
    void propertiesChanged(const QString &interface, const QVariantMap &changed, const QStringList &)
    {
        if (interface == playerInterface)
            m_changes.append(changed);
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus: the player stays off the bus, as the other tests show");
    }
    void init()
    {
        m_session = std::make_unique<AudioSession>();
        m_player = std::make_unique<AudioPlayerManager>(*m_session);
        m_delegate = std::make_unique<RecordingDelegate>();
        m_player->setDelegate(m_delegate.get());
        m_client = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("desktop")));
        QVERIFY(m_client->isConnected());
        m_changes.clear();
    }
    void cleanup()
    {
        m_player.reset();
        m_delegate.reset();
        m_session.reset();
        m_client.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("desktop"));
    }

    void appearsOnTheBusOnlyOnceItPlays()
    {
        QVERIFY(!m_client->interface()->isServiceRegistered(primaryName));
        playTone();
        QCOMPARE(m_player->remoteCommandServiceName(), primaryName);
        QVERIFY(m_client->interface()->isServiceRegistered(primaryName));
        m_player.reset();
        QVERIFY(!m_client->interface()->isServiceRegistered(primaryName));
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
        playTone();
        if (pausedFirst)
            m_player->pause();

        const QDBusMessage reply = call(primaryName, playerInterface, method);

        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        QTRY_COMPARE_WITH_TIMEOUT(m_delegate->events, QStringList {event}, callLimitMs);
        QVERIFY(m_delegate->allOnMainThread);
    }

    void theDesktopSeesTitleLengthRateAndStatus()
    {
        QVERIFY(m_client->connect(primaryName, objectPath, propertiesInterface, QStringLiteral("PropertiesChanged"),
            this, SLOT(propertiesChanged(QString, QVariantMap, QStringList))));
        playTone();

        const QVariantMap metadata = qdbus_cast<QVariantMap>(property(primaryName, QStringLiteral("Metadata")));
        QCOMPARE(metadata.value(QStringLiteral("xesam:title")).toString(), QStringLiteral("apple · 苹果"));
        QCOMPARE(metadata.value(QStringLiteral("mpris:length")).toLongLong(), 1'500'000);
        QVERIFY(!metadata.value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path().isEmpty());
        QCOMPARE(property(primaryName, QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Playing"));
        QCOMPARE(property(primaryName, QStringLiteral("Rate")).toDouble(), 1.25);

        m_player->pause();
        QTRY_VERIFY_WITH_TIMEOUT(!m_changes.isEmpty()
                && m_changes.last().value(QStringLiteral("PlaybackStatus")) == QStringLiteral("Paused"),
            callLimitMs);
        QCOMPARE(property(primaryName, QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Paused"));
        QCOMPARE(property(primaryName, QStringLiteral("Rate")).toDouble(), 1.25); // never 0 on the bus

        m_player->stop();
        QTRY_VERIFY_WITH_TIMEOUT(
            m_changes.last().value(QStringLiteral("PlaybackStatus")) == QStringLiteral("Stopped"), callLimitMs);
        const QVariantMap none = qdbus_cast<QVariantMap>(property(primaryName, QStringLiteral("Metadata")));
        QVERIFY(!none.contains(QStringLiteral("xesam:title")));
    }

    void aSecondPlayerTakesAnInstanceName()
    {
        QVERIFY(m_client->registerService(primaryName));
        playTone();
        const QString instanceName
            = primaryName + QStringLiteral(".instance") + QString::number(QCoreApplication::applicationPid());
        QCOMPARE(m_player->remoteCommandServiceName(), instanceName);

        call(instanceName, playerInterface, QStringLiteral("Next"));
        QTRY_COMPARE_WITH_TIMEOUT(m_delegate->events, QStringList {QStringLiteral("next")}, callLimitMs);
        m_client->unregisterService(primaryName);
    }

    void aCommandLineClientSeesTheTitleAndItsNextReachesTheDelegate()
    {
        playTone();
        auto gdbus = [](const QStringList &arguments) {
            auto process = std::make_unique<QProcess>();
            process->start(QStringLiteral("gdbus"),
                QStringList {QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("-d"), primaryName,
                    QStringLiteral("-o"), objectPath, QStringLiteral("-m")}
                    + arguments);
            // The player answers from this event loop: wait without blocking it.
            if (!QTest::qWaitFor([&process] { return process->state() == QProcess::NotRunning; }, callLimitMs))
                process->kill();
            process->waitForFinished();
            return QString::fromUtf8(process->readAllStandardOutput());
        };

        const QString metadata = gdbus(
            {QStringLiteral("org.freedesktop.DBus.Properties.Get"), playerInterface, QStringLiteral("Metadata")});
        QVERIFY2(metadata.contains(QStringLiteral("'xesam:title': <'apple · 苹果'>")), qPrintable(metadata));

        gdbus({QStringLiteral("org.mpris.MediaPlayer2.Player.Next")});
        QTRY_COMPARE_WITH_TIMEOUT(m_delegate->events, QStringList {QStringLiteral("next")}, callLimitMs);
    }
};

TALVORO_TEST(NowPlayingTest)
#include "tst_nowplaying.moc"
