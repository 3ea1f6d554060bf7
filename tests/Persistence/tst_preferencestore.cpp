#include "TestRegistry.h"

#include "Persistence/PlaybackPreferenceOfflineStore.h"
#include "Platform/Files.h"
#include "Platform/Text.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <functional>

using namespace talvoro;

namespace {

using Edit = std::function<void(PlaybackPreference &)>;
using RecordEdit = std::function<void(QJsonObject &)>;
using StoreError = PlaybackPreferenceOfflineStoreError;
// The settings file's bytes made from whole ones; `recordAt` is where the record's line starts.
using Damage = std::function<QByteArray(const QByteArray &whole, qsizetype recordAt)>;

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

// Sets record[part][key], or removes it for an undefined value.
RecordEdit set(const char *part, const char *key, const QJsonValue &value = QJsonValue::Undefined)
{
    return [=](QJsonObject &record) {
        QJsonObject inner = record[part].toObject();
        if (value.isUndefined())
            inner.remove(key);
        else
            inner[key] = value;
        record[part] = inner;
    };
}

} // namespace

Q_DECLARE_METATYPE(Edit)
Q_DECLARE_METATYPE(RecordEdit)
Q_DECLARE_METATYPE(Damage)

class PreferenceStoreTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void validity_data()
    {
        QTest::addColumn<Edit>("edit");
        QTest::addColumn<bool>("valid");
        QTest::newRow("defaults") << Edit([](PlaybackPreference &) {}) << true;
        QTest::newRow("version 0") << Edit([](PlaybackPreference &p) { p.version = 0; }) << false;
        QTest::newRow("no items") << Edit([](PlaybackPreference &p) { p.playbackItems.clear(); }) << false;
        QTest::newRow("repeated, any order") << Edit([](PlaybackPreference &p) {
            p.playbackItems = {"EXPLANATION", "WORD", "WORD"};
        }) << true;
        QTest::newRow("lower-case item") << Edit([](PlaybackPreference &p) { p.playbackItems = {"word"}; }) << false;
        QTest::newRow("British voice") << Edit([](PlaybackPreference &p) { p.voiceEn = "en-GB-SoniaNeural"; }) << true;
        QTest::newRow("Chinese voice for English")
            << Edit([](PlaybackPreference &p) { p.voiceEn = "zh-CN-XiaoxiaoNeural"; }) << false;
        QTest::newRow("unknown voice") << Edit([](PlaybackPreference &p) { p.voiceZh = "zh-CN-Nobody"; }) << false;
        QTest::newRow("rates at both ends")
            << Edit([](PlaybackPreference &p) { p.speechRateEn = 0.5, p.spellingRate = 2.0; }) << true;
        QTest::newRow("rate below") << Edit([](PlaybackPreference &p) { p.speechRateZh = 0.49; }) << false;
        QTest::newRow("rate above") << Edit([](PlaybackPreference &p) { p.spellingRate = 2.01; }) << false;
        QTest::newRow("NaN rate") << Edit([](PlaybackPreference &p) { p.speechRateEn = std::nan(""); }) << false;
    }
    void validity()
    {
        QFETCH(Edit, edit);
        QFETCH(bool, valid);
        PlaybackPreference preference;
        edit(preference);
        QCOMPARE(isValid(preference), valid);
    }

    void ownerKeyWithoutProvableEnvironmentIsRefused_data()
    {
        QTest::addColumn<QString>("ownerKey");
        QTest::newRow("no bar") << QString("env-sha256:" + QString(64, u'0'));
        QTest::newRow("upper-case digest") << QString("env-sha256:" + QString(64, u'A') + "|user:1");
        QTest::newRow("63 digits") << QString("env-sha256:" + QString(63, u'1') + "|user:1");
        QTest::newRow("other prefix") << QString("env-sha1:" + QString(64, u'0') + "|user:1");
        QTest::newRow("user name only") << QString("alice");
    }
    void ownerKeyWithoutProvableEnvironmentIsRefused()
    {
        QFETCH(QString, ownerKey);
        MemoryKeyValueStore defaults;
        QCOMPARE(errorOf([&] { PlaybackPreferenceOfflineStore::saveRecord(sampleRecord(), ownerKey, defaults); }),
            StoreError::Kind::invalidOwnerKey);
        QVERIFY(defaults.keys().isEmpty());
    }

    void recordSurvivesReopeningTheSettingsFile()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("settings.ini");
        const PlaybackPreferenceLocalRecord saved = sampleRecord();
        {
            SettingsKeyValueStore defaults(file);
            PlaybackPreferenceOfflineStore::saveRecord(saved, owner, defaults);
        }
        SettingsKeyValueStore reopened(file);
        // Other owners and releases rely on where and how the record is kept.
        const QString key = "com.brellun.quenbry.playback-preference.v1." + text::sha256Hex(owner);
        QCOMPARE(reopened.value(key).typeId(), QMetaType::QByteArray);
        const PlaybackPreferenceLocalRecord loaded = PlaybackPreferenceOfflineStore::loadRecord(owner, reopened);
        QCOMPARE(loaded.toJson(), saved.toJson());
        QCOMPARE(loaded.pending->nextAttemptAt, saved.pending->nextAttemptAt);
    }

    // A settings file that cannot be read whole is kept aside and said so in the log;
    // the record it lost is reported as damaged, never as a record that was not there.
    void aDamagedSettingsFileNeverHidesTheLostRecord_data()
    {
        QTest::addColumn<Damage>("damage");
        QTest::addColumn<bool>("damaged");
        QTest::newRow("whole") << Damage([](const QByteArray &whole, qsizetype) { return whole; }) << false;
        QTest::newRow("cut inside the record")
            << Damage([](const QByteArray &whole, qsizetype recordAt) { return whole.left(recordAt + 80); }) << true;
        QTest::newRow("garbage before the record") << Damage([](const QByteArray &whole, qsizetype recordAt) {
            return whole.left(recordAt - 6) + QByteArray("\x00\xff\xfe\x01\"[", 6) + whole.mid(recordAt - 6);
        }) << true;
        QTest::newRow("not a settings file at all")
            << Damage([](const QByteArray &, qsizetype) { return QByteArray("\x89PNG\r\n\x1a\n\0\0", 10); }) << true;
    }
    void aDamagedSettingsFileNeverHidesTheLostRecord()
    {
        QFETCH(Damage, damage);
        QFETCH(bool, damaged);
        QTemporaryDir dir;
        const QString file = dir.filePath("settings.ini");
        const PlaybackPreferenceLocalRecord saved = sampleRecord();
        {
            SettingsKeyValueStore defaults(file);
            defaults.setValue(QStringLiteral("a.before"), QStringLiteral("written first"));
            PlaybackPreferenceOfflineStore::saveRecord(saved, owner, defaults);
            defaults.setValue(QStringLiteral("z.after"), 1);
        }
        QFile settings(file);
        QVERIFY(settings.open(QIODevice::ReadOnly));
        const QByteArray whole = settings.readAll();
        settings.close();
        const qsizetype recordAt = whole.indexOf("com.brellun.quenbry.playback-preference");
        QVERIFY(recordAt > 0);
        const QByteArray bytes = damage(whole, recordAt);
        writeFileAtomically(file, bytes);

        if (damaged)
            QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("设置文件已损坏.*settings\\.ini")));
        SettingsKeyValueStore reopened(file);
        const QStringList aside = QDir(dir.path()).entryList({QStringLiteral("settings.ini.damaged*")}, QDir::Files);
        if (!damaged) {
            QVERIFY(aside.isEmpty());
            QCOMPARE(PlaybackPreferenceOfflineStore::loadRecord(owner, reopened).toJson(), saved.toJson());
            return;
        }
        QCOMPARE(aside.size(), 1);
        QFile kept(dir.filePath(aside.first()));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), bytes);
        // Another store over the file, opened after a write made it whole again, knows too.
        reopened.setValue(QStringLiteral("z.after"), 2);
        SettingsKeyValueStore later(file);
        QCOMPARE(errorOf([&] { PlaybackPreferenceOfflineStore::loadRecord(owner, later); }),
            StoreError::Kind::corruptedRecord);
        // Reported once, like any damaged record: then the owner starts afresh.
        QVERIFY(!PlaybackPreferenceOfflineStore::loadRecord(owner, reopened).pending);
    }

    void unusableRecordsAreRemoved_data()
    {
        QTest::addColumn<RecordEdit>("edit");
        QTest::addColumn<QVariant>("raw"); // stored instead of the edited record when given
        QTest::newRow("schema version 2") << RecordEdit([](QJsonObject &r) { r["schemaVersion"] = 2; }) << QVariant();
        QTest::newRow("no changed fields") << set("pending", "changedFields", QJsonArray()) << QVariant();
        QTest::newRow("field in other case")
            << set("pending", "changedFields", QJsonArray {"EnglishVoice"}) << QVariant();
        QTest::newRow("operation id not a UUID") << set("pending", "operationID", "op-1") << QVariant();
        QTest::newRow("attempt count missing") << set("pending", "attemptCount") << QVariant();
        QTest::newRow("invalid confirmed") << set("confirmed", "version", 0) << QVariant();
        QTest::newRow("invalid pending preference")
            << set("pending", "preference", QJsonObject {{"voiceZh", "en-US-JennyNeural"}}) << QVariant();
        QTest::newRow("enqueued past any readable date") << set("pending", "enqueuedAt", 9.2233715e15) << QVariant();
        QTest::newRow("next attempt before any readable date")
            << set("pending", "nextAttemptAt", -9.3e15) << QVariant();
        QTest::newRow("not JSON") << RecordEdit() << QVariant(QByteArray("{\"schemaVersion\":1"));
        QTest::newRow("text instead of data") << RecordEdit() << QVariant(QString("{\"schemaVersion\":1}"));
    }
    void unusableRecordsAreRemoved()
    {
        QFETCH(RecordEdit, edit);
        QFETCH(QVariant, raw);
        MemoryKeyValueStore defaults;
        QJsonObject stored = sampleRecord().toJson();
        if (edit)
            edit(stored);
        const QString key = PlaybackPreferenceOfflineStore::storageKey(owner);
        defaults.setValue(key, raw.isValid() ? raw : QVariant(json::serialize(stored)));
        QCOMPARE(errorOf([&] { PlaybackPreferenceOfflineStore::loadRecord(owner, defaults); }),
            StoreError::Kind::corruptedRecord);
        QVERIFY(!defaults.contains(key));
    }
};

TALVORO_TEST(PreferenceStoreTest)
#include "tst_preferencestore.moc"
