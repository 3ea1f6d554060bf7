#include "AwaitTask.h"
#include "BackendClient.h"
#include "StoreTesting.h"
#include "TestRegistry.h"

#include "Persistence/PlaybackPreferenceSyncCoordinator.h"
#include "Persistence/QuenbrySyncEngine.h"
#include "Platform/Text.h"

#include <QJsonArray>
#include <QProcess>
#include <QRandomGenerator>

#include <csignal>
#include <cstdio>

using namespace storetesting;
using namespace testsupport;

namespace {

const char childVariable[] = "TALVORO_CRASH_CHILD";

void report(const char *what, qint64 n = 0)
{
    std::printf("%s %lld\n", what, static_cast<long long>(n));
    std::fflush(stdout);
}

// The n-th preference change the user makes: a spelling rate, different from the one before.
double rateOf(qint64 n)
{
    return 0.5 + 0.25 * double(n % 7);
}

// The rate the user sees: the change still waiting, else the confirmed one.
std::optional<double> shownRate(const PlaybackPreferenceLocalRecord &record)
{
    if (record.pending)
        return record.pending->preference.spellingRate;
    if (record.confirmed)
        return record.confirmed->spellingRate;
    return std::nullopt;
}

// What the playlist screens do: each deletion is made here at once and followed by a
// drain of the queue while the user goes on; afterwards the app keeps refreshing.
Task<> deleteThenRefreshForever(QJsonObject told, LocalWordStore *store, QuenbrySyncEngine *engine)
{
    const QString owner = told["owner"].toString();
    const QString token = told["token"].toString();
    for (const QJsonValue &id : told["ids"].toArray()) {
        store->tombstonePlaylist(owner, id.toInteger());
        report("deleted", id.toInteger());
        engine->retryPendingPlaylistDeletions(token, owner, true);
        co_await sleepFor(std::chrono::milliseconds(2));
    }
    for (;;) {
        co_await engine->synchronizePlaylists(token, owner, false);
        co_await sleepFor(std::chrono::milliseconds(20));
    }
}

// What a settings screen does for each change: stage it over the confirmed baseline
// (the first one is read from the server), then ask for a sync.
Task<> stageAndSyncForever(QJsonObject told, KeyValueStore *defaults, ORVMobileAPIClient *client)
{
    const QString owner = told["owner"].toString();
    const QString token = told["token"].toString();
    SystemClock clock;
    PlaybackPreferenceSyncCoordinator coordinator(*defaults, clock, RandomSource::system());
    for (qint64 n = told["first"].toInteger();; ++n) {
        PlaybackPreferenceLocalRecord record = PlaybackPreferenceOfflineStore::loadRecord(owner, *defaults);
        if (!record.confirmed) {
            record.confirmed = co_await coordinator.fetchRemotePreference(owner, token, *client);
            PlaybackPreferenceOfflineStore::saveRecord(record, owner, *defaults);
        }
        PendingPlaybackPreferenceWrite change = record.pending.value_or(PendingPlaybackPreferenceWrite());
        if (!record.pending)
            change.preference = *record.confirmed;
        change.operationID = text::newUuidText();
        change.preference.spellingRate = rateOf(n);
        change.changedFields.insert(PlaybackPreferenceField::spellingRate);
        change.enqueuedAt = change.nextAttemptAt = clock.now();
        change.attemptCount = 0;
        record.pending = change;
        PlaybackPreferenceOfflineStore::saveRecord(record, owner, *defaults);
        report("staged", n);
        co_await coordinator.synchronize(owner, token, false, *client);
    }
}

} // namespace

// The child half of the crash test: deletes playlists and changes the preference until it is killed.
class CrashChild : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void workUntilKilled()
    {
        if (!qEnvironmentVariableIsSet(childVariable))
            QSKIP("runs only as the child of the crash test");
        const QJsonObject told = QJsonDocument::fromJson(qgetenv(childVariable)).object();
        QFile pem(told["authority"].toString());
        QVERIFY(pem.open(QIODevice::ReadOnly));
        BackendClient remote(QUrl(told["baseUrl"].toString()), QSslCertificate::fromData(pem.readAll()));
        SystemClock clock;
        LocalWordStore store({told["store"].toString(), true}, std::make_shared<SystemClock>());
        QuenbrySyncEngine engine(remote.client, store, clock);
        SettingsKeyValueStore defaults(told["settings"].toString());
        report("ready");
        const auto preferences = startAwaiting(stageAndSyncForever(told, &defaults, &remote.client));
        awaitResult(deleteThenRefreshForever(told, &store, &engine), std::chrono::minutes(2));
    }
};

// Kills a process that keeps deleting playlists and changing the preference at random
// moments; after each restart every deletion the user made is still queued or done,
// the last preference change is still there, both are sent, and the server holds
// exactly what the user asked for.
class CrashTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void userRequestsSurviveKills()
    {
        if (!backendtest::BackendProcess::available())
            QSKIP("this build has no stand-in backend");
        BackendAccount b;
        QVERIFY(b.start());
        const QString token = b.account.accessToken;
        QTemporaryDir dir;
        QFile pem(dir.filePath("authority.pem"));
        QVERIFY(pem.open(QIODevice::WriteOnly));
        for (const QSslCertificate &certificate : b.backend.authority())
            pem.write(certificate.toPem());
        pem.close();
        const QString storePath = dir.filePath("QuenbryStore.sqlite");
        const QString settingsPath = dir.filePath("settings.ini");
        SystemClock clock;

        QSet<qint64> all;
        for (int i = 0; i < 200; ++i)
            all.insert(
                awaitResult(b.client().createPlaylist(QStringLiteral("列表%1").arg(i), "ONCE", std::nullopt, {}, token))
                    .id);
        {
            LocalWordStore store({storePath, true}, std::make_shared<SystemClock>());
            QuenbrySyncEngine engine(b.client(), store, clock);
            awaitResult(engine.synchronizePlaylists(token, b.owner, true));
            QCOMPARE(store.fetchPlaylists(b.owner).size(), 200);
        }

        QSet<qint64> deleted; // what the user asked for so far
        std::optional<double> expectedRate;
        qint64 first = 0;
        qint64 staged = 0;
        const int rounds = 20;
        for (int round = 0; round < rounds; ++round) {
            QList<qint64> remaining = (all - deleted).values();
            std::sort(remaining.begin(), remaining.end());
            const qsizetype batch = (remaining.size() + rounds - round - 1) / (rounds - round);
            QJsonArray batchIDs;
            for (qsizetype i = 0; i < batch; ++i)
                batchIDs.append(remaining[i]);

            QProcess child;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            const QJsonObject told {{"store", storePath}, {"settings", settingsPath},
                {"baseUrl", b.backend.baseUrl().toString()}, {"authority", pem.fileName()}, {"token", token},
                {"owner", b.owner}, {"ids", batchIDs}, {"first", first}};
            environment.insert(childVariable, QString::fromUtf8(QJsonDocument(told).toJson()));
            environment.insert("TMPDIR", dir.path()); // what a killed child leaves goes with the folder
            child.setProcessEnvironment(environment);
            child.start(QCoreApplication::applicationFilePath(), {"-class", "CrashChild"});
            QVERIFY(child.waitForStarted());
            QByteArray output;
            while (!output.contains("ready") && child.waitForReadyRead(10000))
                output += child.readAllStandardOutput();
            QVERIFY2(output.contains("ready"), output.constData());
            QTest::qWait(QRandomGenerator::global()->bounded(0, 300));
            ::kill(pid_t(child.processId()), SIGKILL);
            QVERIFY(child.waitForFinished());
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);
            output += child.readAllStandardOutput();

            QSet<qint64> reported;
            std::optional<qint64> lastStaged;
            for (const QByteArray &line : output.split('\n')) {
                if (line.startsWith("deleted "))
                    reported.insert(line.mid(8).toLongLong());
                if (line.startsWith("staged "))
                    lastStaged = line.mid(7).toLongLong();
            }
            // Killed between a deletion and its report, the deletion may be there.
            QSet<qint64> tombstoned;
            for (const QVariantList &row : RawDatabase(storePath).rows(
                     QStringLiteral("SELECT id FROM StoredPlaylist WHERE ownerKey = ? AND deleted = 1"), {b.owner}))
                tombstoned.insert(row.value(0).toLongLong());
            QVERIFY2(tombstoned.contains(reported + deleted), qPrintable(QStringLiteral("round %1").arg(round)));
            deleted = tombstoned;

            // The preference shows the last change reported, or the one being stored.
            SettingsKeyValueStore defaults(settingsPath);
            const std::optional<double> shown
                = shownRate(PlaybackPreferenceOfflineStore::loadRecord(b.owner, defaults));
            if (lastStaged)
                QVERIFY2(shown == rateOf(*lastStaged) || shown == rateOf(*lastStaged + 1),
                    qPrintable(QStringLiteral("round %1: shows %2 after change %3")
                                   .arg(round)
                                   .arg(shown.value_or(-1))
                                   .arg(*lastStaged)));
            else if (shown != expectedRate)
                QCOMPARE(shown, std::optional(rateOf(first)));
            expectedRate = shown;
            staged += lastStaged ? *lastStaged - first + 1 : 0;
            first = (lastStaged ? *lastStaged : first) + 2;

            // The restarted app refreshes and sends what is waiting.
            LocalWordStore store({storePath, true}, std::make_shared<SystemClock>());
            QuenbrySyncEngine engine(b.client(), store, clock);
            const PlaylistSyncReport result = awaitResult(engine.synchronizePlaylists(token, b.owner, false));
            QVERIFY2(result.deletionRetry.failures.isEmpty() && !result.synchronizationErrorDescription,
                qPrintable(QStringLiteral("round %1").arg(round)));
            QVERIFY(store.fetchPendingPlaylistDeletions(b.owner, std::nullopt).isEmpty());
            const QList<qint64> local = ids(store.fetchPlaylists(b.owner));
            QCOMPARE(QSet<qint64>(local.cbegin(), local.cend()), all - deleted);
            QSet<qint64> onServer;
            for (const QJsonValue &p : b.call("GET", "/api/v1/user/playlists").data().toArray())
                onServer.insert(p["id"].toInteger());
            QCOMPARE(onServer, all - deleted);

            PlaybackPreferenceSyncCoordinator coordinator(defaults, clock, RandomSource::system());
            const PlaybackPreferenceSyncResult sent
                = awaitResult(coordinator.synchronize(b.owner, token, true, b.client()));
            QVERIFY(sent.state == PlaybackPreferenceSyncResult::State::synchronized
                || sent.state == PlaybackPreferenceSyncResult::State::noPending);
            QVERIFY(!PlaybackPreferenceOfflineStore::loadRecord(b.owner, defaults).pending);
            if (expectedRate) {
                QCOMPARE(sent.preference->spellingRate, *expectedRate);
                QCOMPARE(b.call("GET", "/api/v1/user/playback-preferences").data()["spellingRate"].toDouble(),
                    *expectedRate);
            }
        }
        qInfo("%lld of 200 playlists deleted and %lld preference changes staged across %d kills",
            static_cast<long long>(deleted.size()), static_cast<long long>(staged), rounds);
        QVERIFY2(deleted.size() >= 100, "the child was mostly killed before it deleted anything");
        QVERIFY2(staged > 0, "the child was never killed after it staged a change");
    }
};

TALVORO_TEST(CrashChild)
TALVORO_TEST(CrashTest)
#include "tst_crash.moc"
