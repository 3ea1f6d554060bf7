#include "AwaitTask.h"
#include "FakePreferenceClient.h"
#include "TestRegistry.h"

#include "Models/MobileAPIError.h"
#include "Persistence/PlaybackPreferenceSyncCoordinator.h"
#include "Platform/Text.h"

#include <QTest>

#include <functional>

using namespace talvoro;
using namespace testsupport;
using State = PlaybackPreferenceSyncResult::State;
using Gate = FakePreferenceClient::Gate;
using Script = std::function<void(FakePreferenceClient &)>;

namespace {

const QString ownerA = QStringLiteral("env-sha256:") + QString(64, u'c') + QStringLiteral("|user:1");
const QString ownerB = QStringLiteral("env-sha256:") + QString(64, u'c') + QStringLiteral("|user:2");
const QString token = QStringLiteral("token-1");

QString name(State state)
{
    static const char *names[]
        = {"noPending", "deferred", "synchronized", "connectivityUnavailable", "authenticationRequired", "failed"};
    return QString::fromLatin1(names[int(state)]);
}

PlaybackPreference preference(qint64 version, double spellingRate = 1.25)
{
    PlaybackPreference p;
    p.version = version;
    p.spellingRate = spellingRate;
    return p;
}

// Draws a fixed value (at most the largest the bound allows).
class FixedRandomSource final : public RandomSource {
public:
    quint64 value = 0;
    quint64 bounded(quint64 bound) override { return std::min(value, bound - 1); }
};
constexpr quint64 fullJitter = quint64(1) << 53;

MobileAPIError serverError(int status)
{
    return MobileAPIError::server(status, QStringLiteral("DATA_CONFLICT"), QStringLiteral("版本冲突"));
}

struct Fixture {
    MemoryKeyValueStore defaults;
    ManualClock clock;
    FixedRandomSource random;
    PlaybackPreferenceSyncCoordinator coordinator {defaults, clock, random};
    FakePreferenceClient client;

    // Stages a change of the spelling rate based on version 3, as a settings screen does.
    QString stage(double spellingRate, qint64 offsetMs = 0, qint64 attempts = 0, const QString &owner = ownerA,
        QSet<PlaybackPreferenceField> fields = {PlaybackPreferenceField::spellingRate})
    {
        PlaybackPreferenceLocalRecord record = PlaybackPreferenceOfflineStore::loadRecord(owner, defaults);
        record.confirmed = preference(3);
        PendingPlaybackPreferenceWrite write;
        write.operationID = text::newUuidText();
        write.preference = preference(3, spellingRate);
        write.changedFields = fields;
        write.enqueuedAt = clock.now();
        write.attemptCount = attempts;
        write.nextAttemptAt = clock.now().addMSecs(offsetMs);
        record.pending = write;
        PlaybackPreferenceOfflineStore::saveRecord(record, owner, defaults);
        return write.operationID;
    }
    PlaybackPreferenceLocalRecord record(const QString &owner = ownerA)
    {
        return PlaybackPreferenceOfflineStore::loadRecord(owner, defaults);
    }
    PlaybackPreferenceSyncResult sync(bool force = false, const QString &owner = ownerA)
    {
        return awaitResult(coordinator.synchronize(owner, token, force, client));
    }
};

} // namespace

Q_DECLARE_METATYPE(State)
Q_DECLARE_METATYPE(Script)
Q_DECLARE_METATYPE(FakePreferenceClient::Reply)
Q_DECLARE_METATYPE(PlaybackPreference)

class PreferenceSyncTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void nothingPendingSendsNothing()
    {
        Fixture f;
        PlaybackPreferenceSyncResult result = f.sync(true);
        QCOMPARE(name(result.state), name(State::noPending));
        QVERIFY(!result.preference);

        PlaybackPreferenceLocalRecord record;
        record.confirmed = preference(6);
        PlaybackPreferenceOfflineStore::saveRecord(record, ownerA, f.defaults);
        result = f.sync(true);
        QCOMPARE(name(result.state), name(State::noPending));
        QCOMPARE(result.preference->version, 6);
        QVERIFY(f.client.writeCalls.isEmpty() && f.client.readCalls.isEmpty());
    }

    void unreadableRecordFails_data()
    {
        QTest::addColumn<QString>("owner");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("owner key without environment") << QStringLiteral("alice|user:1") << QByteArray();
        QTest::newRow("corrupted record") << ownerA << QByteArray("{\"schemaVersion\":1,\"pending\":{}}");
    }
    void unreadableRecordFails()
    {
        QFETCH(QString, owner);
        QFETCH(QByteArray, stored);
        Fixture f;
        if (!stored.isEmpty())
            f.defaults.setValue(PlaybackPreferenceOfflineStore::storageKey(owner), stored);
        QTest::ignoreMessage(QtCriticalMsg, "本地播放偏好记录不可用");
        const PlaybackPreferenceSyncResult result = f.sync(true, owner);
        QCOMPARE(name(result.state), name(State::failed));
        QVERIFY(!result.preference);
        QVERIFY(f.client.writeCalls.isEmpty());
    }

    void dueness_data()
    {
        QTest::addColumn<qint64>("offsetMs");
        QTest::addColumn<bool>("force");
        QTest::addColumn<State>("state");
        QTest::newRow("not yet due") << qint64(1) << false << State::deferred;
        QTest::newRow("not yet due, forced") << qint64(3600000) << true << State::synchronized;
        QTest::newRow("due at the boundary") << qint64(0) << false << State::synchronized;
        QTest::newRow("overdue") << qint64(-5000) << false << State::synchronized;
    }
    void dueness()
    {
        QFETCH(qint64, offsetMs);
        QFETCH(bool, force);
        QFETCH(State, state);
        Fixture f;
        f.stage(1.5, offsetMs);
        f.client.writes = {FakePreferenceClient::answer(preference(4, 1.5))};
        const PlaybackPreferenceSyncResult result = f.sync(force);
        QCOMPARE(name(result.state), name(state));
        QCOMPARE(result.preference->spellingRate, 1.5);
        const bool sent = state == State::synchronized;
        QCOMPARE(f.client.writeCalls.size(), sent ? 1 : 0);
        QCOMPARE(result.preference->version, sent ? 4 : 3);
        QCOMPARE(bool(f.record().pending), !sent);
        if (sent) {
            QCOMPARE(f.client.writeCalls[0].sent->version, 3);
            QCOMPARE(f.record().confirmed->toJson(), preference(4, 1.5).toJson());
        }
    }

    void callersOfOneOwnerShareOneSync()
    {
        Fixture f;
        f.stage(1.5);
        f.stage(0.75, 0, 0, ownerB);
        const Gate gate;
        f.client.writes = {
            FakePreferenceClient::answer(preference(4, 1.5), gate), FakePreferenceClient::answer(preference(9, 0.75))};
        auto first = startAwaiting(f.coordinator.synchronize(ownerA, token, false, f.client));
        FakePreferenceClient other;
        auto joined = startAwaiting(f.coordinator.synchronize(ownerA, "another token", true, other));
        auto independent = startAwaiting(f.coordinator.synchronize(ownerB, token, false, f.client));
        QTRY_VERIFY(independent->finished);
        QCOMPARE(name(independent->value->state), name(State::synchronized));
        QCOMPARE(f.client.writeCalls.size(), 2);
        QVERIFY(other.writeCalls.isEmpty());
        QVERIFY(!first->finished && !joined->finished);

        gate.release();
        QTRY_VERIFY(first->finished && joined->finished);
        QCOMPARE(name(first->value->state), name(State::synchronized));
        QCOMPARE(first->value->preference->toJson(), joined->value->preference->toJson());
        QCOMPARE(f.client.writeCalls.size(), 2);
        // The entry is gone: the next call sends again.
        f.stage(2.0);
        f.client.writes = {FakePreferenceClient::answer(preference(4, 2.0))};
        QCOMPARE(name(f.sync().state), name(State::synchronized));
        QCOMPARE(f.client.writeCalls.size(), 3);
    }

    void answersAreChecked_data()
    {
        QTest::addColumn<PlaybackPreference>("answer");
        QTest::addColumn<State>("state");
        QTest::newRow("newer") << preference(4, 1.5) << State::synchronized;
        QTest::newRow("same version") << preference(3, 1.5) << State::failed;
        QTest::newRow("older version") << preference(2, 1.5) << State::failed;
        QTest::newRow("invalid") << preference(4, 9.0) << State::failed;
    }
    void answersAreChecked()
    {
        QFETCH(PlaybackPreference, answer);
        QFETCH(State, state);
        Fixture f;
        f.stage(1.5);
        f.client.writes = {FakePreferenceClient::answer(answer)};
        if (state == State::failed)
            QTest::ignoreMessage(QtCriticalMsg, "播放偏好远端同步失败，已保留待同步记录");
        const PlaybackPreferenceSyncResult result = f.sync();
        QCOMPARE(name(result.state), name(state));
        const PlaybackPreferenceLocalRecord record = f.record();
        if (state == State::synchronized) {
            QVERIFY(!record.pending);
            QCOMPARE(record.confirmed->toJson(), answer.toJson());
        } else {
            QCOMPARE(record.confirmed->version, 3);
            QCOMPARE(record.pending->attemptCount, 1);
            QCOMPARE(record.pending->nextAttemptAt, f.clock.now().addSecs(4));
            QCOMPARE(result.preference->toJson(), record.pending->preference.toJson());
        }
    }

    void conflictIsRebasedOnce_data()
    {
        QTest::addColumn<Script>("script");
        QTest::addColumn<State>("state");
        QTest::addColumn<int>("writes");
        PlaybackPreference server = preference(7);
        server.voiceEn = QStringLiteral("en-GB-RyanNeural");
        server.speechRateZh = 0.75;
        const auto conflictThen = [server](std::optional<FakePreferenceClient::Reply> second, PlaybackPreference read) {
            return Script([=](FakePreferenceClient &client) {
                client.writes = {FakePreferenceClient::failure(serverError(409))};
                if (second)
                    client.writes.append(*second);
                client.reads = {FakePreferenceClient::answer(read)};
            });
        };
        PlaybackPreference accepted = server;
        accepted.version = 8;
        accepted.spellingRate = 1.5;
        PlaybackPreference invalidServer = server;
        invalidServer.voiceZh = QStringLiteral("en-US-JennyNeural");
        QTest::newRow("rebased write accepted")
            << conflictThen(FakePreferenceClient::answer(accepted), server) << State::synchronized << 2;
        QTest::newRow("second conflict") << conflictThen(FakePreferenceClient::failure(serverError(409)), server)
                                         << State::failed << 2;
        QTest::newRow("answer not newer than the server's")
            << conflictThen(FakePreferenceClient::answer(server), server) << State::failed << 2;
        QTest::newRow("server preference invalid") << conflictThen(std::nullopt, invalidServer) << State::failed << 1;
        QTest::newRow("read unauthorized") << Script([](FakePreferenceClient &client) {
            client.writes = {FakePreferenceClient::failure(serverError(409))};
            client.reads = {FakePreferenceClient::failure(MobileAPIError::unauthorized())};
        }) << State::authenticationRequired << 1;
    }
    void conflictIsRebasedOnce()
    {
        QFETCH(Script, script);
        QFETCH(State, state);
        QFETCH(int, writes);
        Fixture f;
        f.stage(1.5);
        script(f.client);
        if (state == State::failed)
            QTest::ignoreMessage(QtCriticalMsg, "播放偏好远端同步失败，已保留待同步记录");
        const PlaybackPreferenceSyncResult result = f.sync();
        QCOMPARE(name(result.state), name(state));
        QCOMPARE(f.client.readCalls.size(), 1);
        QCOMPARE(f.client.writeCalls.size(), writes);
        if (writes == 2) {
            // Only the changed spelling rate is laid over the server's preference,
            // whose version becomes the base.
            PlaybackPreference expected = preference(7, 1.5);
            expected.voiceEn = QStringLiteral("en-GB-RyanNeural");
            expected.speechRateZh = 0.75;
            QCOMPARE(f.client.writeCalls[1].sent->toJson(), expected.toJson());
        }
        const PlaybackPreferenceLocalRecord record = f.record();
        QCOMPARE(bool(record.pending), state != State::synchronized);
        if (record.pending)
            QCOMPARE(record.pending->attemptCount, 1);
        else
            QCOMPARE(record.confirmed->version, 8);
    }

    void failuresAreClassified_data()
    {
        QTest::addColumn<FakePreferenceClient::Reply>("reply");
        QTest::addColumn<State>("state");
        QTest::addColumn<bool>("backOff");
        const auto transport = [](TransportError::Code code) {
            return FakePreferenceClient::failure(
                MobileAPIError::networkError(std::make_exception_ptr(TransportError(code))));
        };
        QTest::newRow("timed out") << transport(TransportError::Code::timedOut) << State::connectivityUnavailable
                                   << true;
        QTest::newRow("offline") << transport(TransportError::Code::notConnectedToInternet)
                                 << State::connectivityUnavailable << true;
        QTest::newRow("unauthorized") << FakePreferenceClient::failure(MobileAPIError::unauthorized())
                                      << State::authenticationRequired << true;
        QTest::newRow("server error") << FakePreferenceClient::failure(serverError(500)) << State::failed << true;
        QTest::newRow("untrusted certificate")
            << transport(TransportError::Code::serverCertificateUntrusted) << State::failed << true;
        QTest::newRow("cancelled") << FakePreferenceClient::failure(CancellationError()) << State::deferred << false;
        QTest::newRow("cancelled transfer") << transport(TransportError::Code::cancelled) << State::deferred << false;
    }
    void failuresAreClassified()
    {
        QFETCH(FakePreferenceClient::Reply, reply);
        QFETCH(State, state);
        QFETCH(bool, backOff);
        Fixture f;
        f.stage(1.5, -1000, 2);
        const QJsonObject before = f.record().toJson();
        f.client.writes = {reply};
        if (state == State::failed)
            QTest::ignoreMessage(QtCriticalMsg, "播放偏好远端同步失败，已保留待同步记录");
        const PlaybackPreferenceSyncResult result = f.sync();
        QCOMPARE(name(result.state), name(state));
        QCOMPARE(result.preference->spellingRate, 1.5);
        if (!backOff) {
            QCOMPARE(f.record().toJson(), before);
            return;
        }
        QCOMPARE(f.record().pending->attemptCount, 3);
        QCOMPARE(f.record().pending->nextAttemptAt, f.clock.now().addSecs(16));
    }

    void backOffBoundaries_data()
    {
        QTest::addColumn<qint64>("attemptsBefore");
        QTest::addColumn<quint64>("draw");
        QTest::addColumn<qint64>("delayMs");
        QTest::addColumn<qint64>("attemptsAfter");
        QTest::newRow("first, no jitter") << qint64(0) << quint64(0) << qint64(4000) << qint64(1);
        QTest::newRow("first, half jitter") << qint64(0) << fullJitter / 2 << qint64(5000) << qint64(1);
        QTest::newRow("first, full jitter") << qint64(0) << fullJitter << qint64(6000) << qint64(1);
        QTest::newRow("second") << qint64(1) << quint64(0) << qint64(8000) << qint64(2);
        QTest::newRow("sixteenth") << qint64(15) << fullJitter << qint64(25920000) << qint64(16);
        QTest::newRow("stays at sixteen") << qint64(16) << quint64(0) << qint64(17280000) << qint64(16);
    }
    void backOffBoundaries()
    {
        QFETCH(qint64, attemptsBefore);
        QFETCH(quint64, draw);
        QFETCH(qint64, delayMs);
        QFETCH(qint64, attemptsAfter);
        Fixture f;
        f.random.value = draw;
        f.stage(1.5, 0, attemptsBefore);
        f.client.writes = {FakePreferenceClient::failure(
            MobileAPIError::networkError(std::make_exception_ptr(TransportError(TransportError::Code::timedOut))))};
        QCOMPARE(name(f.sync().state), name(State::connectivityUnavailable));
        QCOMPARE(f.record().pending->attemptCount, attemptsAfter);
        QCOMPARE(f.record().pending->nextAttemptAt, f.clock.now().addMSecs(delayMs));

        f.client.writes = {FakePreferenceClient::answer(preference(4, 1.5))};
        f.clock.advance(delayMs - 1);
        QCOMPARE(name(f.sync().state), name(State::deferred));
        QCOMPARE(f.client.writeCalls.size(), 1);
        f.clock.advance(1);
        QCOMPARE(name(f.sync().state), name(State::synchronized));
        QCOMPARE(f.client.writeCalls.size(), 2);
    }

    void changeMadeDuringTheSendSurvives_data()
    {
        QTest::addColumn<FakePreferenceClient::Reply>("reply");
        QTest::addColumn<State>("state");
        QTest::newRow("send accepted") << FakePreferenceClient::answer(preference(4, 1.5)) << State::synchronized;
        QTest::newRow("send failed") << FakePreferenceClient::failure(serverError(500)) << State::failed;
    }
    void changeMadeDuringTheSendSurvives()
    {
        QFETCH(FakePreferenceClient::Reply, reply);
        QFETCH(State, state);
        Fixture f;
        f.stage(1.5);
        reply.gate = Gate();
        f.client.writes = {reply};
        auto sync = startAwaiting(f.coordinator.synchronize(ownerA, token, false, f.client));
        QCOMPARE(f.client.writeCalls.size(), 1);
        const QString newer = f.stage(2.0, 0, 0, ownerA, {PlaybackPreferenceField::englishVoice});
        if (state == State::failed)
            QTest::ignoreMessage(QtCriticalMsg, "播放偏好远端同步失败，已保留待同步记录");
        reply.gate->release();
        QTRY_VERIFY(sync->finished);
        QCOMPARE(name(sync->value->state), name(state));
        // An accepted send shows the newer change; a failed one what it sent.
        QCOMPARE(sync->value->preference->spellingRate, state == State::synchronized ? 2.0 : 1.5);
        const PlaybackPreferenceLocalRecord record = f.record();
        QCOMPARE(record.pending->operationID, newer);
        QCOMPARE(record.pending->attemptCount, 0);
        QCOMPARE(record.pending->nextAttemptAt, f.clock.now());
        QCOMPARE(record.confirmed->version, state == State::synchronized ? 4 : 3);
    }

    void acceptedAnswerThatCannotBeSavedCountsAsFailure()
    {
        Fixture f;
        f.stage(1.5);
        PlaybackPreference answer = preference(4, 1.5);
        answer.speechRateEnUs = std::numeric_limits<double>::infinity(); // valid, but not storable
        f.client.writes = {FakePreferenceClient::answer(answer)};
        QTest::ignoreMessage(QtCriticalMsg, "播放偏好远端同步失败，已保留待同步记录");
        QCOMPARE(name(f.sync().state), name(State::failed));
        QCOMPARE(f.record().confirmed->version, 3);
        QCOMPARE(f.record().pending->attemptCount, 1);
    }

    void readsAreSharedPerToken()
    {
        Fixture f;
        const Gate oldRead;
        const Gate newRead;
        f.client.reads = {
            FakePreferenceClient::answer(preference(5), oldRead), FakePreferenceClient::answer(preference(6), newRead)};
        auto first = startAwaiting(f.coordinator.fetchRemotePreference(ownerA, token, f.client));
        auto joined = startAwaiting(f.coordinator.fetchRemotePreference(ownerA, token, f.client));
        QCOMPARE(f.client.readCalls.size(), 1);

        auto refreshed = startAwaiting(f.coordinator.fetchRemotePreference(ownerA, "token-2", f.client));
        QCOMPARE(f.client.readCalls.size(), 2);
        QCOMPARE(f.client.readCalls[1].token, "token-2");
        QTRY_VERIFY(first->finished && joined->finished);
        QVERIFY(isCancellation(first->error) && isCancellation(joined->error));
        // The cancelled starter left the new read in place: the same token joins it.
        auto joinedNew = startAwaiting(f.coordinator.fetchRemotePreference(ownerA, "token-2", f.client));
        QCOMPARE(f.client.readCalls.size(), 2);

        oldRead.release();
        newRead.release();
        QTRY_VERIFY(refreshed->finished && joinedNew->finished);
        QCOMPARE(refreshed->value->version, 6);
        QCOMPARE(joinedNew->value->version, 6);
        // A finished read is not served again.
        f.client.reads = {FakePreferenceClient::failure(MobileAPIError::invalidResponse())};
        QVERIFY(awaitError<MobileAPIError>(f.coordinator.fetchRemotePreference(ownerA, "token-2", f.client)));
        QCOMPARE(f.client.readCalls.size(), 3);
    }

    void conflictJoinsARunningRead()
    {
        Fixture f;
        f.stage(1.5);
        const Gate gate;
        f.client.reads = {FakePreferenceClient::answer(preference(7), gate)};
        f.client.writes
            = {FakePreferenceClient::failure(serverError(409)), FakePreferenceClient::answer(preference(8, 1.5))};
        auto screen = startAwaiting(f.coordinator.fetchRemotePreference(ownerA, token, f.client));
        auto sync = startAwaiting(f.coordinator.synchronize(ownerA, token, false, f.client));
        QTRY_COMPARE(f.client.writeCalls.size(), 1);
        gate.release();
        QTRY_VERIFY(screen->finished && sync->finished);
        QCOMPARE(f.client.readCalls.size(), 1);
        QCOMPARE(name(sync->value->state), name(State::synchronized));
        QCOMPARE(f.client.writeCalls[1].sent->version, 7);
    }
};

TALVORO_TEST(PreferenceSyncTest)
#include "tst_preferencesync.moc"
