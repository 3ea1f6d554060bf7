#include "AwaitTask.h"
#include "BackendClient.h"
#include "StoreTesting.h"
#include "TestRegistry.h"

#include "Persistence/QuenbrySyncEngine.h"

#include <QJsonArray>
#include <QProcess>
#include <QRandomGenerator>

#include <csignal>
#include <cstdio>

using namespace storetesting;
using namespace testsupport;

namespace {

const char childVariable[] = "TALVORO_DELETION_CRASH_CHILD";

struct ChildSettings {
    QString storePath;
    QUrl baseUrl;
    QString authorityFile;
    QString accessToken;
    QString owner;
    QList<qint64> ids; // to delete, in this order
};

void report(const char *what, qint64 id = 0)
{
    std::printf("%s %lld\n", what, static_cast<long long>(id));
    std::fflush(stdout);
}

// What the playlist screens and the app do: each deletion is made here at once and
// followed by a drain of every queued deletion, which runs while the user goes on;
// afterwards the app keeps refreshing the playlists (which sends what is due).
Task<> deleteThenRefreshForever(ChildSettings settings, LocalWordStore *store, QuenbrySyncEngine *engine)
{
    for (qint64 id : std::as_const(settings.ids)) {
        store->tombstonePlaylist(settings.owner, id);
        report("deleted", id);
        engine->retryPendingPlaylistDeletions(settings.accessToken, settings.owner, true);
        co_await sleepFor(std::chrono::milliseconds(2));
    }
    for (;;) {
        co_await engine->synchronizePlaylists(settings.accessToken, settings.owner, false);
        co_await sleepFor(std::chrono::milliseconds(20));
    }
}

QSet<qint64> tombstonedIDs(const QString &storePath, const QString &owner)
{
    QSet<qint64> result;
    for (const QVariantList &row : RawDatabase(storePath).rows(
             QStringLiteral("SELECT id FROM StoredPlaylist WHERE ownerKey = ? AND deleted = 1"), {owner}))
        result.insert(row.value(0).toLongLong());
    return result;
}

} // namespace

// The child half of the crash test: deletes playlists until it is killed.
class DeletionCrashChild : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void deleteUntilKilled()
    {
        if (!qEnvironmentVariableIsSet(childVariable))
            QSKIP("runs only as the child of the deletion crash test");
        const QJsonObject o = QJsonDocument::fromJson(qgetenv(childVariable)).object();
        ChildSettings settings {o["store"].toString(), QUrl(o["baseUrl"].toString()), o["authority"].toString(),
            o["token"].toString(), o["owner"].toString(), {}};
        for (const QJsonValue &id : o["ids"].toArray())
            settings.ids.append(id.toInteger());
        QFile pem(settings.authorityFile);
        QVERIFY(pem.open(QIODevice::ReadOnly));
        BackendClient remote(settings.baseUrl, QSslCertificate::fromData(pem.readAll()));
        SystemClock clock;
        LocalWordStore store({settings.storePath, true}, std::make_shared<SystemClock>());
        QuenbrySyncEngine engine(remote.client, store, clock);
        report("ready");
        awaitResult(deleteThenRefreshForever(settings, &store, &engine), std::chrono::minutes(2));
    }
};

// Kills a process that keeps deleting playlists at random moments; after each
// restart every deletion the user made is still queued or done, the queue drains,
// and the server holds exactly the playlists the user kept.
class DeletionCrashTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void queuedDeletionsSurviveKills()
    {
        if (!backendtest::BackendProcess::available())
            QSKIP("this build has no stand-in backend");
        backendtest::BackendProcess backend;
        QVERIFY(backend.start());
        const backendtest::Account account = backend.registerAccount();
        BackendClient remote(backend.baseUrl(), backend.authority());
        const QString owner = remote.ownerKey(account.userId);
        QTemporaryDir dir;
        QFile pem(dir.filePath("authority.pem"));
        QVERIFY(pem.open(QIODevice::WriteOnly));
        for (const QSslCertificate &certificate : backend.authority())
            pem.write(certificate.toPem());
        pem.close();
        const QString storePath = dir.filePath("QuenbryStore.sqlite");
        SystemClock clock;

        QSet<qint64> all;
        for (int i = 0; i < 200; ++i)
            all.insert(awaitResult(remote.client.createPlaylist(
                                       QStringLiteral("列表%1").arg(i), "ONCE", std::nullopt, {}, account.accessToken))
                           .id);
        {
            LocalWordStore store({storePath, true}, std::make_shared<SystemClock>());
            QuenbrySyncEngine engine(remote.client, store, clock);
            awaitResult(engine.synchronizePlaylists(account.accessToken, owner, true));
            QCOMPARE(store.fetchPlaylists(owner).size(), 200);
        }

        QSet<qint64> deleted; // what the user asked for so far
        int killedMidBatch = 0;
        int leftForRestart = 0;
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
            const QJsonObject told {{"store", storePath}, {"baseUrl", backend.baseUrl().toString()},
                {"authority", pem.fileName()}, {"token", account.accessToken}, {"owner", owner}, {"ids", batchIDs}};
            environment.insert(childVariable, QString::fromUtf8(QJsonDocument(told).toJson()));
            environment.insert("TMPDIR", dir.path()); // what a killed child leaves goes with the folder
            child.setProcessEnvironment(environment);
            child.start(QCoreApplication::applicationFilePath(), {"-class", "DeletionCrashChild"});
            QVERIFY(child.waitForStarted());
            QByteArray output;
            while (!output.contains("ready") && child.waitForReadyRead(10000))
                output += child.readAllStandardOutput();
            QVERIFY2(output.contains("ready"), output.constData());
            QTest::qWait(QRandomGenerator::global()->bounded(0, 120));
            ::kill(pid_t(child.processId()), SIGKILL);
            QVERIFY(child.waitForFinished());
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);
            output += child.readAllStandardOutput();

            QSet<qint64> reported;
            for (const QByteArray &line : output.split('\n')) {
                if (line.startsWith("deleted "))
                    reported.insert(line.mid(8).toLongLong());
            }
            // Killed between a deletion and its report, the deletion may be there.
            const QSet<qint64> tombstoned = tombstonedIDs(storePath, owner);
            QVERIFY2(tombstoned.contains(reported + deleted),
                qPrintable(QStringLiteral("round %1: a deletion the user made was lost").arg(round)));
            deleted = tombstoned;
            killedMidBatch += reported.size() < batch;

            // The restarted app refreshes: every unconfirmed deletion is due again.
            LocalWordStore store({storePath, true}, std::make_shared<SystemClock>());
            QuenbrySyncEngine engine(remote.client, store, clock);
            const PlaylistSyncReport result
                = awaitResult(engine.synchronizePlaylists(account.accessToken, owner, false));
            QVERIFY2(result.deletionRetry.failures.isEmpty() && !result.synchronizationErrorDescription,
                qPrintable(QStringLiteral("round %1").arg(round)));
            QVERIFY(store.fetchPendingPlaylistDeletions(owner, std::nullopt).isEmpty());
            leftForRestart += result.deletionRetry.attemptedCount;

            const QList<qint64> local = ids(store.fetchPlaylists(owner));
            QCOMPARE(QSet<qint64>(local.cbegin(), local.cend()), all - deleted);
            QSet<qint64> onServer;
            for (const QJsonValue &p :
                backend.call("GET", QStringLiteral("/api/v1/user/playlists"), account.accessToken).data().toArray())
                onServer.insert(p["id"].toInteger());
            QCOMPARE(onServer, all - deleted);
        }
        qInfo("%lld of 200 playlists deleted across %d kills, %d of them while deleting; %d deletions were left "
              "for a restart to send",
            static_cast<long long>(deleted.size()), rounds, killedMidBatch, leftForRestart);
        QVERIFY2(deleted.size() >= 100, "the child was mostly killed before it deleted anything");
    }
};

TALVORO_TEST(DeletionCrashChild)
TALVORO_TEST(DeletionCrashTest)
#include "tst_deletionretrycrash.moc"
