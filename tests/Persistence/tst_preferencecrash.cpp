#include "AwaitTask.h"
#include "BackendClient.h"
#include "TestRegistry.h"

#include "Persistence/PlaybackPreferenceSyncCoordinator.h"
#include "Platform/Text.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdio>

using namespace talvoro;
using namespace testsupport;
using State = PlaybackPreferenceSyncResult::State;

namespace {

const char childVariable[] = "TALVORO_PREFERENCE_CRASH_CHILD";

// The n-th change the user makes: a spelling rate, different from the one before.
double rateOf(qint64 n)
{
    return 0.5 + 0.25 * double(n % 7);
}

// The preference the user sees: the change still waiting, else the confirmed one.
std::optional<double> shownRate(const PlaybackPreferenceLocalRecord &record)
{
    if (record.pending)
        return record.pending->preference.spellingRate;
    if (record.confirmed)
        return record.confirmed->spellingRate;
    return std::nullopt;
}

// What the child is told: where the settings live, which backend and account to use,
// and the number of its first change.
struct ChildSettings {
    QString settingsFile;
    QUrl baseUrl;
    QString authorityFile;
    QString accessToken;
    QString owner;
    qint64 first = 0;
};

// What a settings screen does for each change: stage it over the confirmed
// baseline (the first one is read from the server), then ask for a sync.
Task<> stageAndSyncForever(ChildSettings settings, SettingsKeyValueStore *defaults, ORVMobileAPIClient *client)
{
    SystemClock clock;
    PlaybackPreferenceSyncCoordinator coordinator(*defaults, clock, RandomSource::system());
    for (qint64 n = settings.first;; ++n) {
        PlaybackPreferenceLocalRecord record = PlaybackPreferenceOfflineStore::loadRecord(settings.owner, *defaults);
        if (!record.confirmed) {
            record.confirmed
                = co_await coordinator.fetchRemotePreference(settings.owner, settings.accessToken, *client);
            PlaybackPreferenceOfflineStore::saveRecord(record, settings.owner, *defaults);
        }
        PendingPlaybackPreferenceWrite change;
        if (record.pending)
            change = *record.pending;
        else
            change.preference = *record.confirmed;
        change.operationID = text::newUuidText();
        change.preference.spellingRate = rateOf(n);
        change.changedFields.insert(PlaybackPreferenceField::spellingRate);
        change.enqueuedAt = change.nextAttemptAt = clock.now();
        change.attemptCount = 0;
        record.pending = change;
        PlaybackPreferenceOfflineStore::saveRecord(record, settings.owner, *defaults);
        std::printf("staged %lld\n", static_cast<long long>(n));
        std::fflush(stdout);
        co_await coordinator.synchronize(settings.owner, settings.accessToken, false, *client);
    }
}

} // namespace

// The child half of the crash test: changes the preference until it is killed.
class PreferenceCrashChild : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void stageUntilKilled()
    {
        if (!qEnvironmentVariableIsSet(childVariable))
            QSKIP("runs only as the child of the preference crash test");
        const QJsonObject o = QJsonDocument::fromJson(qgetenv(childVariable)).object();
        const ChildSettings settings {o["settings"].toString(), QUrl(o["baseUrl"].toString()),
            o["authority"].toString(), o["token"].toString(), o["owner"].toString(), o["first"].toInteger()};
        QFile pem(settings.authorityFile);
        QVERIFY(pem.open(QIODevice::ReadOnly));
        BackendClient remote(settings.baseUrl, QSslCertificate::fromData(pem.readAll()));
        SettingsKeyValueStore defaults(settings.settingsFile);
        awaitResult(stageAndSyncForever(settings, &defaults, &remote.client), std::chrono::minutes(2));
    }
};

// Kills a process that keeps changing the preference at random moments; after each
// restart the last change is still there and reaches the server.
class PreferenceCrashTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pendingChangeSurvivesKills()
    {
        if (!backendtest::BackendProcess::available())
            QSKIP("this build has no stand-in backend");
        backendtest::BackendProcess backend;
        QVERIFY(backend.start());
        const backendtest::Account account = backend.registerAccount();
        BackendClient remote(backend.baseUrl(), backend.authority());
        QTemporaryDir dir;
        QFile pem(dir.filePath("authority.pem"));
        QVERIFY(pem.open(QIODevice::WriteOnly));
        for (const QSslCertificate &certificate : backend.authority())
            pem.write(certificate.toPem());
        pem.close();

        ChildSettings settings {dir.filePath("settings.ini"), backend.baseUrl(), pem.fileName(), account.accessToken,
            remote.ownerKey(account.userId), 0};
        std::optional<double> expected;
        qint64 staged = 0;
        for (int round = 0; round < 20; ++round) {
            QProcess child;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            const QJsonObject told {{"settings", settings.settingsFile}, {"baseUrl", settings.baseUrl.toString()},
                {"authority", settings.authorityFile}, {"token", settings.accessToken}, {"owner", settings.owner},
                {"first", settings.first}};
            environment.insert(childVariable, QString::fromUtf8(QJsonDocument(told).toJson()));
            child.setProcessEnvironment(environment);
            child.start(QCoreApplication::applicationFilePath(), {"-class", "PreferenceCrashChild"});
            QVERIFY(child.waitForStarted());
            QTest::qWait(QRandomGenerator::global()->bounded(100, 900));
            ::kill(pid_t(child.processId()), SIGKILL);
            QVERIFY(child.waitForFinished());
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);

            // The last change the child reported staging, or the one it was storing.
            std::optional<qint64> last;
            for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
                if (line.startsWith("staged "))
                    last = line.mid(7).toLongLong();
            }
            staged += last ? *last - settings.first + 1 : 0;

            SettingsKeyValueStore defaults(settings.settingsFile);
            const PlaybackPreferenceLocalRecord record
                = PlaybackPreferenceOfflineStore::loadRecord(settings.owner, defaults);
            const std::optional<double> shown = shownRate(record);
            if (last) {
                QVERIFY2(shown == rateOf(*last) || shown == rateOf(*last + 1),
                    qPrintable(QStringLiteral("round %1: shows %2 after change %3")
                                   .arg(round)
                                   .arg(shown.value_or(-1))
                                   .arg(*last)));
            } else if (shown != expected) {
                // Killed before it reported anything: at most the first change is new.
                QCOMPARE(shown, std::optional(rateOf(settings.first)));
            }
            expected = shown;

            // The restarted app sends what is waiting; the server ends where the user left it.
            SystemClock clock;
            PlaybackPreferenceSyncCoordinator coordinator(defaults, clock, RandomSource::system());
            const PlaybackPreferenceSyncResult result
                = awaitResult(coordinator.synchronize(settings.owner, account.accessToken, true, remote.client));
            QVERIFY(result.state == State::synchronized || result.state == State::noPending);
            QVERIFY(!PlaybackPreferenceOfflineStore::loadRecord(settings.owner, defaults).pending);
            if (expected) {
                QCOMPARE(result.preference->spellingRate, *expected);
                const backendtest::Answer server
                    = backend.call("GET", QStringLiteral("/api/v1/user/playback-preferences"), account.accessToken);
                QCOMPARE(server.data()["spellingRate"].toDouble(), *expected);
            }
            settings.first = (last ? *last : settings.first) + 2;
        }
        qInfo("%lld changes staged across 20 kills", static_cast<long long>(staged));
        QVERIFY2(staged > 0, "the child was never killed after it staged a change");
    }
};

TALVORO_TEST(PreferenceCrashChild)
TALVORO_TEST(PreferenceCrashTest)
#include "tst_preferencecrash.moc"
