#include "TestRegistry.h"

#include "Persistence/PlaybackPreferenceOfflineStore.h"
#include "Platform/Text.h"

#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <functional>

using namespace talvoro;

namespace {

using Edit = std::function<void(PlaybackPreference &)>;
using RecordEdit = std::function<void(QJsonObject &)>;
using StoreError = PlaybackPreferenceOfflineStoreError;

const QString owner = QStringLiteral("env-sha256:") + QString(64, u'a') + QStringLiteral("|user:7");

PlaybackPreferenceLocalRecord sampleRecord()
{
    PlaybackPreferenceLocalRecord record;
    record.confirmed = PlaybackPreference();
    record.confirmed->version = 4;
    PendingPlaybackPreferenceWrite pending;
    pending.operationID = text::newUuidText();
    pending.preference = *record.confirmed;
    pending.preference.voiceEn = QStringLiteral("en-GB-RyanNeural");
    pending.changedFields = {PlaybackPreferenceField::englishVoice, PlaybackPreferenceField::spellingRate};
    pending.enqueuedAt = QDateTime::fromMSecsSinceEpoch(1700000000123, Qt::UTC);
    pending.attemptCount = 3;
    pending.nextAttemptAt = pending.enqueuedAt.addMSecs(20500);
    record.pending = pending;
    return record;
}

std::optional<StoreError::Kind> errorOf(const std::function<void()> &operation)
{
    try {
        operation();
    } catch (const StoreError &error) {
        return error.kind();
    }
    return std::nullopt;
}

} // namespace

Q_DECLARE_METATYPE(Edit)
Q_DECLARE_METATYPE(RecordEdit)

class PreferenceStoreTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void validity_data()
    {
        QTest::addColumn<Edit>("edit");
        QTest::addColumn<bool>("valid");
        const auto row = [](const char *name, Edit edit, bool valid) { QTest::newRow(name) << edit << valid; };
        row(
            "defaults", [](PlaybackPreference &) {}, true);
        row(
            "version 0", [](PlaybackPreference &p) { p.version = 0; }, false);
        row(
            "no items", [](PlaybackPreference &p) { p.playbackItems.clear(); }, false);
        row(
            "repeated item",
            [](PlaybackPreference &p) {
                p.playbackItems = {"WORD", "WORD"};
            },
            true);
        row(
            "any order",
            [](PlaybackPreference &p) {
                p.playbackItems = {"EXPLANATION", "WORD", "SPELLING"};
            },
            true);
        row(
            "lower-case item", [](PlaybackPreference &p) { p.playbackItems = {"word"}; }, false);
        row(
            "British English voice", [](PlaybackPreference &p) { p.voiceEn = "en-GB-SoniaNeural"; }, true);
        row(
            "Chinese voice for English", [](PlaybackPreference &p) { p.voiceEn = "zh-CN-XiaoxiaoNeural"; }, false);
        row(
            "English voice for Chinese", [](PlaybackPreference &p) { p.voiceZh = "en-US-JennyNeural"; }, false);
        row(
            "unknown voice", [](PlaybackPreference &p) { p.voiceZh = "zh-CN-Nobody"; }, false);
        row(
            "rates at both ends", [](PlaybackPreference &p) { p.speechRateEn = 0.5, p.spellingRate = 2.0; }, true);
        row(
            "rate below", [](PlaybackPreference &p) { p.speechRateZh = 0.49; }, false);
        row(
            "rate above", [](PlaybackPreference &p) { p.spellingRate = 2.01; }, false);
        row(
            "NaN rate", [](PlaybackPreference &p) { p.speechRateEn = std::nan(""); }, false);
        row(
            "unchecked members", [](PlaybackPreference &p) { p.speechRate = 5, p.speechRateEnUs = 9; }, true);
    }
    void validity()
    {
        QFETCH(Edit, edit);
        QFETCH(bool, valid);
        PlaybackPreference preference;
        edit(preference);
        QCOMPARE(isValid(preference), valid);
    }

    void storageKey_data()
    {
        QTest::addColumn<QString>("ownerKey");
        QTest::addColumn<bool>("accepted");
        const QString digits(64, u'0');
        QTest::newRow("owner key") << owner << true;
        QTest::newRow("no bar") << QString("env-sha256:" + digits) << false;
        QTest::newRow("upper-case digest") << QString("env-sha256:" + QString(64, u'A') + "|user:1") << false;
        QTest::newRow("63 digits") << QString("env-sha256:" + QString(63, u'1') + "|user:1") << false;
        QTest::newRow("65 digits") << QString("env-sha256:" + QString(65, u'1') + "|user:1") << false;
        QTest::newRow("other prefix") << QString("env-sha1:" + digits + "|user:1") << false;
        QTest::newRow("user name only") << QString("alice") << false;
        QTest::newRow("empty") << QString() << false;
    }
    void storageKey()
    {
        QFETCH(QString, ownerKey);
        QFETCH(bool, accepted);
        MemoryKeyValueStore defaults;
        if (accepted) {
            const QString key = PlaybackPreferenceOfflineStore::storageKey(ownerKey);
            QCOMPARE(key, "com.brellun.quenbry.playback-preference.v1." + text::sha256Hex(ownerKey));
            QVERIFY(key != PlaybackPreferenceOfflineStore::storageKey(QString(ownerKey).replace("user:7", "user:8")));
            return;
        }
        const auto refused = StoreError::Kind::invalidOwnerKey;
        QCOMPARE(errorOf([&] { PlaybackPreferenceOfflineStore::storageKey(ownerKey); }), refused);
        QCOMPARE(errorOf([&] { PlaybackPreferenceOfflineStore::loadRecord(ownerKey, defaults); }), refused);
        QCOMPARE(
            errorOf([&] { PlaybackPreferenceOfflineStore::saveRecord(sampleRecord(), ownerKey, defaults); }), refused);
        QVERIFY(defaults.keys().isEmpty());
    }

    void recordSurvivesReopeningTheSettingsFile()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("settings.ini");
        const PlaybackPreferenceLocalRecord saved = sampleRecord();
        SettingsKeyValueStore(file).setValue("unrelated", 5);
        {
            SettingsKeyValueStore defaults(file);
            PlaybackPreferenceOfflineStore::saveRecord(saved, owner, defaults);
        }
        SettingsKeyValueStore reopened(file);
        QCOMPARE(reopened.value(PlaybackPreferenceOfflineStore::storageKey(owner)).typeId(), QMetaType::QByteArray);
        const PlaybackPreferenceLocalRecord loaded = PlaybackPreferenceOfflineStore::loadRecord(owner, reopened);
        QCOMPARE(loaded.toJson(), saved.toJson());
        QCOMPARE(loaded.pending->nextAttemptAt, saved.pending->nextAttemptAt);
        QCOMPARE(loaded.pending->changedFields, saved.pending->changedFields);
    }

    void unusableRecordsAreRemoved_data()
    {
        QTest::addColumn<RecordEdit>("edit");
        QTest::addColumn<QVariant>("raw"); // stored instead of the edited record when given
        const auto row
            = [](const char *name, RecordEdit edit, QVariant raw = {}) { QTest::newRow(name) << edit << raw; };
        row("schema version 2", [](QJsonObject &r) { r["schemaVersion"] = 2; });
        row("no changed fields", [](QJsonObject &r) { edit(r, "pending", "changedFields", QJsonArray()); });
        row("field in other case",
            [](QJsonObject &r) { edit(r, "pending", "changedFields", QJsonArray {"EnglishVoice"}); });
        row("operation id not a UUID", [](QJsonObject &r) { edit(r, "pending", "operationID", "op-1"); });
        row("attempt count missing", [](QJsonObject &r) { edit(r, "pending", "attemptCount", QJsonValue()); });
        row("invalid confirmed", [](QJsonObject &r) { edit(r, "confirmed", "version", 0); });
        row("invalid pending preference", [](QJsonObject &r) {
            edit(r, "pending", "preference", QJsonObject {{"voiceZh", "en-US-JennyNeural"}});
        });
        row(
            "not JSON", [](QJsonObject &) {}, QByteArray("{\"schemaVersion\":1"));
        row(
            "text instead of data", [](QJsonObject &) {}, QString("{\"schemaVersion\":1}"));
    }
    void unusableRecordsAreRemoved()
    {
        QFETCH(RecordEdit, edit);
        QFETCH(QVariant, raw);
        MemoryKeyValueStore defaults;
        QJsonObject stored = sampleRecord().toJson();
        edit(stored);
        const QString key = PlaybackPreferenceOfflineStore::storageKey(owner);
        defaults.setValue(key, raw.isValid() ? raw : QVariant(json::serialize(stored)));
        QCOMPARE(errorOf([&] { PlaybackPreferenceOfflineStore::loadRecord(owner, defaults); }),
            StoreError::Kind::corruptedRecord);
        QVERIFY(!defaults.contains(key));
        QVERIFY(!PlaybackPreferenceOfflineStore::loadRecord(owner, defaults).pending);
    }

    void retryDelay_data()
    {
        QTest::addColumn<qint64>("attempts");
        QTest::addColumn<double>("jitter");
        QTest::addColumn<double>("delay");
        QTest::newRow("first, low") << qint64(1) << 0.0 << 4.0;
        QTest::newRow("first, high") << qint64(1) << 1.0 << 6.0;
        QTest::newRow("zero counts as first") << qint64(0) << 0.0 << 4.0;
        QTest::newRow("negative counts as first") << qint64(-3) << 1.0 << 6.0;
        QTest::newRow("third, high") << qint64(3) << 1.0 << 24.0;
        QTest::newRow("twelfth") << qint64(12) << 0.0 << 8192.0;
        QTest::newRow("thirteenth, high") << qint64(13) << 1.0 << 24576.0;
        QTest::newRow("fourteenth is capped") << qint64(14) << 0.0 << 17280.0;
        QTest::newRow("forty counts as sixteen") << qint64(40) << 1.0 << 25920.0;
        QTest::newRow("jitter above one") << qint64(16) << 1.5 << 25920.0;
        QTest::newRow("NaN jitter") << qint64(2) << std::nan("") << 8.0;
    }
    void retryDelay()
    {
        QFETCH(qint64, attempts);
        QFETCH(double, jitter);
        QFETCH(double, delay);
        QCOMPARE(PlaybackPreferenceOfflineStore::retryDelay(attempts, jitter), delay);
    }

private:
    static void edit(QJsonObject &record, const char *part, const char *key, const QJsonValue &value)
    {
        QJsonObject inner = record[part].toObject();
        if (value.isUndefined() || value.isNull())
            inner.remove(key);
        else
            inner[key] = value;
        record[part] = inner;
    }
};

TALVORO_TEST(PreferenceStoreTest)
#include "tst_preferencestore.moc"
