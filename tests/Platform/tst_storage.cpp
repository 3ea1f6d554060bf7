#include "TestRegistry.h"

#include "Platform/AppError.h"
#include "Platform/Files.h"
#include "Platform/KeyValueStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace talvoro;

class StorageTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void keyValueStoresKeepAnyKey_data()
    {
        QTest::addColumn<bool>("onDisk");
        QTest::newRow("memory") << false;
        QTest::newRow("settings file") << true;
    }
    void keyValueStoresKeepAnyKey()
    {
        QFETCH(bool, onDisk);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("defaults.ini"));
        std::unique_ptr<KeyValueStore> store;
        if (onDisk)
            store = std::make_unique<SettingsKeyValueStore>(file);
        else
            store = std::make_unique<MemoryKeyValueStore>();

        // Keys hold separators that QSettings would otherwise treat as groups.
        const QString key = QStringLiteral("com.brellun.quenbry.playback-preference.v1.env-sha256:ab/cd\\ef|user:7");
        QVERIFY(!store->contains(key));
        QVERIFY(!store->value(key).isValid());
        store->setValue(key, QByteArray(R"({"voiceEn":"en-US-JennyNeural"})"));
        store->setValue(QStringLiteral("count"), 3);
        store->setValue(QStringLiteral("text"), QStringLiteral("5"));
        QVERIFY(store->contains(key));
        QCOMPARE(store->value(key).toByteArray(), QByteArray(R"({"voiceEn":"en-US-JennyNeural"})"));
        QVERIFY(store->keys().contains(key));

        if (onDisk) { // a second store over the same file sees what the first wrote
            SettingsKeyValueStore reopened(file);
            QCOMPARE(reopened.value(key).toByteArray(), QByteArray(R"({"voiceEn":"en-US-JennyNeural"})"));
            // types survive: a number stays a number and a text a text
            QCOMPARE(reopened.value(QStringLiteral("count")), QVariant(3));
            QCOMPARE(reopened.value(QStringLiteral("text")), QVariant(QStringLiteral("5")));
            // a file it wrote itself is whole: nothing absent counts as lost
            QVERIFY(!reopened.mayHaveLost(QStringLiteral("never set")));
        }
        store->remove(key);
        QVERIFY(!store->contains(key));
    }

    void anEmptyLockLeftByAKilledProcessIsRemoved()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("defaults.ini"));
        QFile lock(file + QStringLiteral(".lock"));
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.close();
        SettingsKeyValueStore store(file);
        QVERIFY(!QFile::exists(file + QStringLiteral(".lock")));
        store.setValue(QStringLiteral("k"), 1);
        QCOMPARE(SettingsKeyValueStore(file).value(QStringLiteral("k")), QVariant(1));
    }

    void atomicWritesReplaceWholeFilesAndMakeFolders()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Quenbry/UserLexiconWords/a.json"));
        writeFileAtomically(path, "first");
        writeFileAtomically(path, "second, longer");
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("second, longer"));
        // no temporary files are left beside it
        QCOMPARE(QDir(dir.filePath(QStringLiteral("Quenbry/UserLexiconWords"))).entryList(QDir::Files),
            QStringList {QStringLiteral("a.json")});
    }

    void anAtomicWriteThatCannotHappenThrowsAndKeepsTheOldFile()
    {
        QTemporaryDir dir;
        const QString blocker = dir.filePath(QStringLiteral("blocker"));
        writeFileAtomically(blocker, "a file, not a folder");
        QVERIFY_THROWS_EXCEPTION(FileError, writeFileAtomically(blocker + QStringLiteral("/inside.json"), "x"));
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("a file, not a folder"));
    }
};

TALVORO_TEST(StorageTest)
#include "tst_storage.moc"
