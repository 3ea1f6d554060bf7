#include "AwaitTask.h"
#include "BackendClient.h"
#include "TestRegistry.h"

#include "Persistence/PlaybackPreferenceSyncCoordinator.h"
#include "Platform/Text.h"

#include <QJsonArray>
#include <QTest>

using namespace talvoro;
using namespace testsupport;
using State = PlaybackPreferenceSyncResult::State;

// A preference change made offline meets a change another device made meanwhile,
// over HTTPS against the stand-in backend.
class PreferenceBackendTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void conflictIsResolvedEndToEnd()
    {
        if (!backendtest::BackendProcess::available())
            QSKIP("this build has no stand-in backend");
        backendtest::BackendProcess backend;
        QVERIFY(backend.start());
        const backendtest::Account account = backend.registerAccount();
        BackendClient remote(backend.baseUrl(), backend.authority());
        const QString owner = remote.ownerKey(account.userId);
        MemoryKeyValueStore defaults;
        SystemClock clock;
        PlaybackPreferenceSyncCoordinator coordinator(defaults, clock, RandomSource::system());

        // This device knows version 1 and changes the English voice and the spelling rate.
        const PlaybackPreference baseline
            = awaitResult(coordinator.fetchRemotePreference(owner, account.accessToken, remote.client));
        QCOMPARE(baseline.version, 1);
        PlaybackPreferenceLocalRecord record;
        record.confirmed = baseline;
        PendingPlaybackPreferenceWrite change;
        change.operationID = text::newUuidText();
        change.preference = baseline;
        change.preference.voiceEn = QStringLiteral("en-GB-RyanNeural");
        change.preference.spellingRate = 2.0;
        change.preference.speechRateZh = 1.5; // shown, but not a change of this device
        change.changedFields = {PlaybackPreferenceField::englishVoice, PlaybackPreferenceField::spellingRate};
        change.enqueuedAt = change.nextAttemptAt = clock.now();
        record.pending = change;
        PlaybackPreferenceOfflineStore::saveRecord(record, owner, defaults);

        // Another device changed the Chinese voice and rate first.
        const backendtest::Answer other = backend.call("PUT", QStringLiteral("/api/v1/user/playback-preferences"),
            QJsonObject {{"playbackItems", QJsonArray {"WORD", "SPELLING", "TRANSLATION_ZH", "EXPLANATION"}},
                {"voiceEn", "en-US-JennyNeural"}, {"voiceZh", "zh-CN-YunxiNeural"}, {"speechRate", 1.0},
                {"speechRateEn", 1.0}, {"speechRateZh", 0.75}, {"spellingRate", 1.25}, {"baseVersion", 1}},
            account.accessToken);
        QCOMPARE(other.status, 200);

        const PlaybackPreferenceSyncResult result
            = awaitResult(coordinator.synchronize(owner, account.accessToken, false, remote.client));
        QCOMPARE(int(result.state), int(State::synchronized));
        const PlaybackPreference merged = *result.preference;
        QCOMPARE(merged.version, 3);
        QCOMPARE(merged.voiceEn, "en-GB-RyanNeural");
        QCOMPARE(merged.spellingRate, 2.0);
        QCOMPARE(merged.voiceZh, "zh-CN-YunxiNeural");
        QCOMPARE(merged.speechRateZh, 0.75);

        const PlaybackPreferenceLocalRecord stored = PlaybackPreferenceOfflineStore::loadRecord(owner, defaults);
        QVERIFY(!stored.pending);
        QCOMPARE(stored.confirmed->toJson(), merged.toJson());
        const backendtest::Answer server
            = backend.call("GET", QStringLiteral("/api/v1/user/playback-preferences"), account.accessToken);
        QCOMPARE(PlaybackPreference::fromJson(server.data()).toJson(), merged.toJson());
    }
};

TALVORO_TEST(PreferenceBackendTest)
#include "tst_preferencebackend.moc"
