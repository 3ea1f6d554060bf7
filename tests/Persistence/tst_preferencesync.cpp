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
Q_DECLARE_METATYPE(FakePreferenceClient::Reply)
Q_DECLARE_METATYPE(QList<FakePreferenceClient::Reply>)

class PreferenceSyncTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void nothingToSend_data()
    {
        QTest::addColumn<QString>("owner");
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<State>("state");
        QTest::addColumn<qint64>("version"); // of the preference carried; 0 for none
        PlaybackPreferenceLocalRecord confirmedOnly;
        confirmedOnly.confirmed = preference(6);
        QTest::newRow("nothing stored") << ownerA << QByteArray() << State::noPending << qint64(0);
        QTest::newRow("confirmed only") << ownerA << json::serialize(confirmedOnly.toJson()) << State::noPending
                                        << qint64(6);
        QTest::newRow("owner key without environment")
            << QStringLiteral("alice|user:1") << QByteArray() << State::failed << qint64(0);
        QTest::newRow("corrupted record")
            << ownerA << QByteArray("{\"schemaVersion\":1,\"pending\":{}}") << State::failed << qint64(0);
    }
    void nothingToSend()
    {
        QFETCH(QString, owner);
        QFETCH(QByteArray, stored);
        QFETCH(State, state);
        QFETCH(qint64, version);
        Fixture f;
        if (!stored.isEmpty())
            f.defaults.setValue(PlaybackPreferenceOfflineStore::storageKey(owner), stored);
        if (state == State::failed)
            QTest::ignoreMessage(QtCriticalMsg, "本地播放偏好记录不可用");
        const PlaybackPreferenceSyncResult result = f.sync(true, owner);
        QCOMPARE(name(result.state), name(state));
        QCOMPARE(result.preference ? result.preference->version : 0, version);
        QVERIFY(f.client.writeCalls.isEmpty());
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
        // The entry is gone: the next call sends again, forced before the change is due.
        f.stage(2.0, 3600000);
        f.client.writes = {FakePreferenceClient::answer(preference(4, 2.0))};
        QCOMPARE(name(f.sync(true).state), name(State::synchronized));
        QCOMPARE(f.client.writeCalls.size(), 3);
    }

    void answersAreChecked_data()
    {
        using Replies = QList<FakePreferenceClient::Reply>;
        QTest::addColumn<Replies>("writes");
        QTest::addColumn<Replies>("reads");
        QTest::addColumn<State>("state");
        const auto answer = [](PlaybackPreference p) { return FakePreferenceClient::answer(p); };
        const FakePreferenceClient::Reply conflict = FakePreferenceClient::failure(serverError(409));
        PlaybackPreference server = preference(7);
        server.voiceEn = QStringLiteral("en-GB-RyanNeural");
        server.speechRateZh = 0.75;
        PlaybackPreference accepted = server;
        accepted.version = 8;
        accepted.spellingRate = 1.5;
        PlaybackPreference invalidServer = server;
        invalidServer.voiceZh = QStringLiteral("en-US-JennyNeural");
        QTest::newRow("newer") << Replies {answer(preference(4, 1.5))} << Replies {} << State::synchronized;
        QTest::newRow("same version") << Replies {answer(preference(3, 1.5))} << Replies {} << State::failed;
        QTest::newRow("older version") << Replies {answer(preference(2, 1.5))} << Replies {} << State::failed;
        QTest::newRow("invalid") << Replies {answer(preference(4, 9.0))} << Replies {} << State::failed;
        PlaybackPreference unstorable = preference(4, 1.5);
        unstorable.speechRateEnUs = std::numeric_limits<double>::infinity(); // valid, but not storable
        QTest::newRow("accepted but not storable") << Replies {answer(unstorable)} << Replies {} << State::failed;
        QTest::newRow("conflict, rebased write accepted")
            << Replies {conflict, answer(accepted)} << Replies {answer(server)} << State::synchronized;
        QTest::newRow("second conflict") << Replies {conflict, conflict} << Replies {answer(server)} << State::failed;
        QTest::newRow("rebased answer not newer than the server's")
            << Replies {conflict, answer(server)} << Replies {answer(server)} << State::failed;
        QTest::newRow("server preference invalid")
            << Replies {conflict} << Replies {answer(invalidServer)} << State::failed;
    }
    void answersAreChecked()
    {
        QFETCH(QList<FakePreferenceClient::Reply>, writes);
        QFETCH(QList<FakePreferenceClient::Reply>, reads);
        QFETCH(State, state);
        Fixture f;
        f.stage(1.5);
        f.client.writes = writes;
        f.client.reads = reads;
        if (state == State::failed)
            QTest::ignoreMessage(QtCriticalMsg, "播放偏好远端同步失败，已保留待同步记录");
        const PlaybackPreferenceSyncResult result = f.sync();
        QCOMPARE(name(result.state), name(state));
        QCOMPARE(f.client.writeCalls.size(), writes.size());
        QCOMPARE(f.client.readCalls.size(), reads.size());
        if (writes.size() == 2) {
            // Only the changed spelling rate is laid over the server's preference,
            // whose version becomes the base.
            PlaybackPreference rebased = preference(7, 1.5);
            rebased.voiceEn = QStringLiteral("en-GB-RyanNeural");
            rebased.speechRateZh = 0.75;
            QCOMPARE(f.client.writeCalls[1].sent->toJson(), rebased.toJson());
        }
        const PlaybackPreferenceLocalRecord record = f.record();
        if (state == State::synchronized) {
            QVERIFY(!record.pending);
            QCOMPARE(record.confirmed->toJson(), writes.constLast().value->toJson());
            QCOMPARE(result.preference->toJson(), record.confirmed->toJson());
        } else {
            QCOMPARE(record.confirmed->version, 3);
            QCOMPARE(record.pending->attemptCount, 1);
            QCOMPARE(result.preference->toJson(), record.pending->preference.toJson());
        }
    }

    void failedSendsBackOff_data()
    {
        QTest::addColumn<FakePreferenceClient::Reply>("reply");
        QTest::addColumn<qint64>("attemptsBefore");
        QTest::addColumn<quint64>("draw");
        QTest::addColumn<State>("state");
        QTest::addColumn<qint64>("delayMs"); // none: the record is left as it was
        const auto transport = [](TransportError::Code code) {
            return FakePreferenceClient::failure(
                MobileAPIError::networkError(std::make_exception_ptr(TransportError(code))));
        };
        const auto row
            = [](const char *name, FakePreferenceClient::Reply reply, qint64 attempts, quint64 draw, State state,
                  qint64 delay) { QTest::newRow(name) << reply << attempts << draw << state << delay; };
        row("timed out", transport(TransportError::Code::timedOut), 0, 0, State::connectivityUnavailable, 4000);
        row("offline, half jitter", transport(TransportError::Code::notConnectedToInternet), 0, fullJitter / 2,
            State::connectivityUnavailable, 5000);
        row("unauthorized, full jitter", FakePreferenceClient::failure(MobileAPIError::unauthorized()), 0, fullJitter,
            State::authenticationRequired, 6000);
        row("server error, second", FakePreferenceClient::failure(serverError(500)), 1, 0, State::failed, 8000);
        row("untrusted certificate, sixteenth", transport(TransportError::Code::serverCertificateUntrusted), 15,
            fullJitter, State::failed, 25920000);
        row("stays at sixteen", FakePreferenceClient::failure(serverError(500)), 16, 0, State::failed, 17280000);
        row("cancelled", FakePreferenceClient::failure(CancellationError()), 2, 0, State::deferred, -1);
        row("cancelled transfer", transport(TransportError::Code::cancelled), 2, 0, State::deferred, -1);
    }
    void failedSendsBackOff()
    {
        QFETCH(FakePreferenceClient::Reply, reply);
        QFETCH(qint64, attemptsBefore);
        QFETCH(quint64, draw);
        QFETCH(State, state);
        QFETCH(qint64, delayMs);
        Fixture f;
        f.random.value = draw;
        f.stage(1.5, 0, attemptsBefore);
        const QJsonObject before = f.record().toJson();
        f.client.writes = {reply};
        if (state == State::failed)
            QTest::ignoreMessage(QtCriticalMsg, "播放偏好远端同步失败，已保留待同步记录");
        const PlaybackPreferenceSyncResult result = f.sync();
        QCOMPARE(name(result.state), name(state));
        QCOMPARE(result.preference->spellingRate, 1.5);
        if (delayMs < 0) {
            QCOMPARE(f.record().toJson(), before);
            return;
        }
        QCOMPARE(f.record().pending->attemptCount, std::min<qint64>(attemptsBefore + 1, 16));
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
