#include "AwaitTask.h"
#include "BackendClient.h"
#include "StoreTesting.h"
#include "TestRegistry.h"

#include "Persistence/QuenbrySyncEngine.h"

using namespace storetesting;
using namespace testsupport;

namespace {

const QString retriedLater = QStringLiteral("已从本机移除；重新进入页面、回到前台或手动刷新时会重试云端删除");

QList<qint64> serverPlaylistIDs(backendtest::BackendProcess &backend, const QString &token)
{
    QList<qint64> result;
    for (const QJsonValue &p : backend.call("GET", QStringLiteral("/api/v1/user/playlists"), token).data().toArray())
        result.append(p["id"].toInteger());
    return result;
}

} // namespace

// Playlist refreshes and deletion drains over HTTPS against the stand-in backend.
class SyncEngineBackendTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        if (!backendtest::BackendProcess::available())
            QSKIP("this build has no stand-in backend");
    }

    void playlistSync()
    {
        backendtest::BackendProcess backend;
        QVERIFY(backend.start());
        const backendtest::Account account = backend.registerAccount();
        BackendClient remote(backend.baseUrl(), backend.authority());
        const QString owner = remote.ownerKey(account.userId);
        StoreFixture files;
        SystemClock clock;
        QuenbrySyncEngine engine(remote.client, files.open(), clock);

        QList<qint64> created;
        for (const char *name : {"晨读", "通勤", "睡前"})
            created.append(
                awaitResult(remote.client.createPlaylist(name, "ONCE", std::nullopt, {}, account.accessToken)).id);
        files.store->upsertPlaylist(playlist(999), owner); // gone from the server

        PlaylistSyncReport report = awaitResult(engine.synchronizePlaylists(account.accessToken, owner, false));
        QCOMPARE(report, PlaylistSyncReport {});
        QCOMPARE(ids(files.store->fetchPlaylists(owner)), (QList<qint64> {created[2], created[1], created[0]}));
        QCOMPARE(files.store->fetchPlaylists(owner).last().name, "晨读");

        // Deleted here, renamed elsewhere: the refresh sends the deletion first, and a
        // later refresh within the cooldown only sends what is due.
        files.store->tombstonePlaylist(owner, created[0]);
        const backendtest::Answer renamed
            = backend.call("PUT", QStringLiteral("/api/v1/user/playlists/%1").arg(created[1]),
                QJsonObject {{"name", "地铁"}, {"loopMode", "ONCE"}, {"items", QJsonArray()}, {"baseVersion", 1}},
                account.accessToken);
        QCOMPARE(renamed.status, 200);
        report = awaitResult(engine.synchronizePlaylists(account.accessToken, owner, false));
        QCOMPARE(report.deletionRetry, (PlaylistDeletionRetryReport {1, {created[0]}, {}}));
        QCOMPARE(ids(files.store->fetchPlaylists(owner)), (QList<qint64> {created[2], created[1]}));
        QCOMPARE(files.store->fetchPlaylists(owner).last().name, "通勤"); // not fetched again yet

        report = awaitResult(engine.synchronizePlaylists(account.accessToken, owner, true));
        QCOMPARE(report, PlaylistSyncReport {});
        QCOMPARE(files.store->fetchPlaylists(owner).last().name, "地铁");
        QCOMPARE(serverPlaylistIDs(backend, account.accessToken), (QList<qint64> {created[1], created[2]}));
    }

    void deletionDrain()
    {
        backendtest::BackendProcess backend;
        QVERIFY(backend.start());
        const backendtest::Account account = backend.registerAccount();
        BackendClient remote(backend.baseUrl(), backend.authority());
        const QString owner = remote.ownerKey(account.userId);
        StoreFixture files;
        ManualClock &clock = *files.clock;
        LocalWordStore &store = files.open();
        QuenbrySyncEngine engine(remote.client, store, clock);

        QList<qint64> created;
        for (int i = 0; i < 4; ++i)
            created.append(
                awaitResult(remote.client.createPlaylist("列表", "ONCE", std::nullopt, {}, account.accessToken)).id);
        awaitResult(engine.synchronizePlaylists(account.accessToken, owner, true));
        // Another device deleted the second one before this device did.
        QCOMPARE(
            backend.call("DELETE", QStringLiteral("/api/v1/user/playlists/%1").arg(created[1]), account.accessToken)
                .status,
            200);
        for (int i = 0; i < 3; ++i)
            store.tombstonePlaylist(owner, created[i]);

        // The server fails the third one once: it stays queued, 2 s later it is due again.
        backend.injectFault(QJsonObject {{"path", QStringLiteral("/api/v1/user/playlists/%1").arg(created[2])},
            {"method", "DELETE"}, {"status", 503}, {"times", 1}});
        PlaylistDeletionRetryReport report
            = awaitResult(engine.retryPendingPlaylistDeletions(account.accessToken, owner, false));
        QCOMPARE(report, (PlaylistDeletionRetryReport {3, {created[0], created[1]}, {{created[2], retriedLater}}}));
        QCOMPARE(serverPlaylistIDs(backend, account.accessToken), (QList<qint64> {created[2], created[3]}));

        clock.advance(2000);
        report = awaitResult(engine.retryPendingPlaylistDeletions(account.accessToken, owner, false));
        QCOMPARE(report, (PlaylistDeletionRetryReport {1, {created[2]}, {}}));

        QVERIFY(store.fetchPendingPlaylistDeletions(owner, std::nullopt).isEmpty());
        QCOMPARE(serverPlaylistIDs(backend, account.accessToken), QList<qint64> {created[3]});
        QCOMPARE(ids(store.fetchPlaylists(owner)), QList<qint64> {created[3]});
        // The receipt's version and time were kept with the tombstone.
        const QVariantList row = files.raw()
                                     .rows(QStringLiteral("SELECT version, serverDeletedAt FROM StoredPlaylist "
                                                          "WHERE id = ?"),
                                         {created[0]})
                                     .value(0);
        QCOMPARE(row.value(0).toLongLong(), 2);
        QVERIFY(!row.value(1).isNull());
    }
};

TALVORO_TEST(SyncEngineBackendTest)
#include "tst_syncenginebackend.moc"
