#include "AwaitTask.h"
#include "BackendClient.h"
#include "StoreTesting.h"
#include "TestRegistry.h"

#include "Persistence/PlaybackPreferenceSyncCoordinator.h"
#include "Persistence/QuenbrySyncEngine.h"
#include "Platform/Text.h"

#include <QJsonArray>

using namespace storetesting;
using namespace testsupport;

namespace {

QList<qint64> serverPlaylistIDs(BackendAccount &b)
{
    QList<qint64> result;
    for (const QJsonValue &p : b.call("GET", QStringLiteral("/api/v1/user/playlists")).data().toArray())
        result.append(p["id"].toInteger());
    return result;
}

QList<qint64> createPlaylists(BackendAccount &b, int count)
{
    QList<qint64> created;
    for (int i = 0; i < count; ++i)
        created.append(awaitResult(
            b.client().createPlaylist(QStringLiteral("列表%1").arg(i), "ONCE", std::nullopt, {}, b.account.accessToken))
                           .id);
    return created;
}

} // namespace

// Playlist refreshes, deletion drains and preference conflicts over HTTPS against the stand-in backend.
class BackendSyncTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        if (!backendtest::BackendProcess::available())
            QSKIP("this build has no stand-in backend");
    }

    void playlistSyncAndDeletionDrain()
    {
        BackendAccount b;
        QVERIFY(b.start());
        StoreFixture files;
        SystemClock clock;
        QuenbrySyncEngine engine(b.client(), files.open(), clock);
        const QList<qint64> created = createPlaylists(b, 4);
        files.store->upsertPlaylist(playlist(999), b.owner); // gone from the server

        PlaylistSyncReport report = awaitResult(engine.synchronizePlaylists(b.account.accessToken, b.owner, false));
        QCOMPARE(report, PlaylistSyncReport {});
        QCOMPARE(ids(files.store->fetchPlaylists(b.owner)),
            (QList<qint64> {created[3], created[2], created[1], created[0]}));

        // Deleted here, one of them also on another device, and another one renamed
        // elsewhere: the refresh sends the deletions first, and a later refresh within
        // the cooldown only sends what is due.
        QCOMPARE(b.call("DELETE", QStringLiteral("/api/v1/user/playlists/%1").arg(created[1])).status, 200);
        files.store->tombstonePlaylist(b.owner, created[0]);
        files.store->tombstonePlaylist(b.owner, created[1]);
        QCOMPARE(b.call("PUT", QStringLiteral("/api/v1/user/playlists/%1").arg(created[2]),
                      {{"name", "地铁"}, {"loopMode", "ONCE"}, {"items", QJsonArray()}, {"baseVersion", 1}})
                     .status,
            200);
        report = awaitResult(engine.synchronizePlaylists(b.account.accessToken, b.owner, false));
        QCOMPARE(report.deletionRetry, (PlaylistDeletionRetryReport {2, {created[0], created[1]}, {}}));
        QVERIFY(files.store->fetchPendingPlaylistDeletions(b.owner, std::nullopt).isEmpty());
        QCOMPARE(ids(files.store->fetchPlaylists(b.owner)), (QList<qint64> {created[3], created[2]}));
        QCOMPARE(files.store->fetchPlaylists(b.owner).last().name, "列表2"); // not fetched again yet

        report = awaitResult(engine.synchronizePlaylists(b.account.accessToken, b.owner, true));
        QCOMPARE(report, PlaylistSyncReport {});
        QCOMPARE(files.store->fetchPlaylists(b.owner).last().name, "地铁");
        QCOMPARE(serverPlaylistIDs(b), (QList<qint64> {created[2], created[3]}));
    }

    // A preference change made offline meets a change another device made meanwhile.
    void preferenceConflict()
    {
        BackendAccount b;
        QVERIFY(b.start());
        MemoryKeyValueStore defaults;
        SystemClock clock;
        PlaybackPreferenceSyncCoordinator coordinator(defaults, clock, RandomSource::system());

        // This device knows version 1 and changes the English voice and the spelling rate.
        PlaybackPreferenceLocalRecord record;
        record.confirmed = awaitResult(coordinator.fetchRemotePreference(b.owner, b.account.accessToken, b.client()));
        QCOMPARE(record.confirmed->version, 1);
        PendingPlaybackPreferenceWrite change;
        change.operationID = text::newUuidText();
        change.preference = *record.confirmed;
        change.preference.voiceEn = QStringLiteral("en-GB-RyanNeural");
        change.preference.spellingRate = 2.0;
        change.preference.speechRateZh = 1.5; // shown, but not a change of this device
        change.changedFields = {PlaybackPreferenceField::englishVoice, PlaybackPreferenceField::spellingRate};
        change.enqueuedAt = change.nextAttemptAt = clock.now();
        record.pending = change;
        PlaybackPreferenceOfflineStore::saveRecord(record, b.owner, defaults);

        // Another device changed the Chinese voice and rate first.
        QCOMPARE(b.call("PUT", QStringLiteral("/api/v1/user/playback-preferences"),
                      {{"playbackItems", QJsonArray {"WORD", "SPELLING", "TRANSLATION_ZH", "EXPLANATION"}},
                          {"voiceEn", "en-US-JennyNeural"}, {"voiceZh", "zh-CN-YunxiNeural"}, {"speechRate", 1.0},
                          {"speechRateEn", 1.0}, {"speechRateZh", 0.75}, {"spellingRate", 1.25}, {"baseVersion", 1}})
                     .status,
            200);

        const PlaybackPreferenceSyncResult result
            = awaitResult(coordinator.synchronize(b.owner, b.account.accessToken, false, b.client()));
        QCOMPARE(int(result.state), int(PlaybackPreferenceSyncResult::State::synchronized));
        const PlaybackPreference merged = *result.preference;
        QCOMPARE(merged.version, 3);
        QCOMPARE(merged.voiceEn, "en-GB-RyanNeural");
        QCOMPARE(merged.spellingRate, 2.0);
        QCOMPARE(merged.voiceZh, "zh-CN-YunxiNeural");
        QCOMPARE(merged.speechRateZh, 0.75);
        QCOMPARE(PlaybackPreferenceOfflineStore::loadRecord(b.owner, defaults).toJson(),
            (PlaybackPreferenceLocalRecord {1, merged, std::nullopt}.toJson()));
        QCOMPARE(PlaybackPreference::fromJson(b.call("GET", "/api/v1/user/playback-preferences").data()).toJson(),
            merged.toJson());
    }
};

TALVORO_TEST(BackendSyncTest)
#include "tst_backendsync.moc"
