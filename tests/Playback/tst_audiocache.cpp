#include "TestRegistry.h"

#include "Platform/AppError.h"
#include "Playback/AudioCacheManager.h"
#include "Playback/SpeechCacheKey.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace talvoro;

namespace {

const QString jenny = QStringLiteral("en-US-JennyNeural");
const QString keyA = QString(64, QLatin1Char('a'));
const QString keyB = QString(64, QLatin1Char('b'));
const QString keyC = QString(64, QLatin1Char('c'));
const QString keyD = QString(64, QLatin1Char('d'));

void writeFile(const QString &path, qint64 size, int secondsAgo)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.resize(size));
    QVERIFY(file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-secondsAgo), QFileDevice::FileModificationTime));
}

QDateTime modified(const QString &path)
{
    return QFileInfo(path).lastModified();
}

} // namespace

class SpeechCacheKeyTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void keys_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("voice");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("legacy");
        const QString abc = QStringLiteral("cc12ca8380162c5a57d8ea5a69c6ca97ed6eb6de6e3dcdeaab9e171e8790770c");
        const QString abcLegacy = QStringLiteral("784a162875020c79f8e822156d8a5fa1");
        const QString apple = QStringLiteral("1d493c4ddb488fabd5c776d4bfbc4429944f886105155e22683f53df9f75eb8b");
        const QString appleLegacy = QStringLiteral("de609b59891b790a193ae3f762b480b1");
        QTest::newRow("bytes 3:abc17:en-US-JennyNeural") << "abc" << jenny << abc << abcLegacy;
        QTest::newRow("blank and newline trimmed") << " abc\n" << jenny << abc << abcLegacy;
        QTest::newRow("Chinese counts bytes, 6") << "苹果"
                                                 << "zh-CN-XiaoxiaoNeural" << apple << appleLegacy;
        QTest::newRow("tab and ideographic space trimmed") << "\t苹果\u3000"
                                                           << "zh-CN-XiaoxiaoNeural" << apple << appleLegacy;
        QTest::newRow("voice used untrimmed") << "abc"
                                              << " en-US-JennyNeural"
                                              << "2cfd6f37e75f575758b86b47f913cd72e8903ac6e62800b411137c2c51adf27e"
                                              << "e0822ec6d18c745b677a40fb7816b892";
        QTest::newRow("inner blank kept") << "hello you"
                                          << "en-GB-SoniaNeural"
                                          << "f75e157465224ff041fed86243080c8dcef2aaf0401f42b9977fbf7dcfc34e76"
                                          << "cceb17946f6cd7e21c0265385a7c344c";
    }
    void keys()
    {
        QFETCH(QString, text);
        QFETCH(QString, voice);
        QFETCH(QString, current);
        QFETCH(QString, legacy);
        QCOMPARE(SpeechCacheKey::sha256Key(text, voice), current);
        QCOMPARE(SpeechCacheKey::legacyMD5Key(text, voice), legacy);
    }
};

class AudioCacheManagerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_root;

    QString folder() const
    {
        return QDir(m_root->path()).filePath(QStringLiteral("ApplicationSupport/Quenbry/TTSCache"));
    }
    QString pathOf(const QString &name) const { return QDir(folder()).filePath(name); }
    AudioCacheManager cache(qint64 cap = AudioCacheManager::defaultMaxCacheSizeBytes) const
    {
        return AudioCacheManager(AppDirectories::under(m_root->path()), cap);
    }
    QStringList remaining() const
    {
        QStringList names = QDir(folder()).entryList(QDir::Files, QDir::Name);
        for (QString &name : names)
            name = name.left(1);
        return names;
    }

private Q_SLOTS:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        QVERIFY(m_root->isValid());
    }

    void storesTheBytesAsTheyCameUnderTheKey()
    {
        AudioCacheManager manager = cache();
        QVERIFY(QFileInfo(folder()).isDir());
        const QByteArray clip("ID3\x04 mp3 bytes", 14);

        const std::optional<QUrl> url = manager.store(clip, keyA);

        QCOMPARE(url, QUrl::fromLocalFile(pathOf(keyA + ".mp3")));
        QFile file(pathOf(keyA + ".mp3"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), clip);
        QCOMPARE(QDir(folder()).entryList(QDir::Files), QStringList {keyA + ".mp3"}); // no index, no side file
        QCOMPARE(manager.currentCacheSizeBytes(), 14);
    }

    void isCached_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("fileKey");
        QTest::addColumn<int>("fileSize");
        QTest::addColumn<bool>("cached");
        const QString current = SpeechCacheKey::sha256Key(QStringLiteral("apple"), jenny);
        const QString legacy = SpeechCacheKey::legacyMD5Key(QStringLiteral("apple"), jenny);
        QTest::newRow("under the current key") << "apple" << current << 10 << true;
        QTest::newRow("under the older key only") << "apple" << legacy << 10 << true;
        QTest::newRow("padded text, same clip") << "  apple\n" << current << 10 << true;
        QTest::newRow("empty file") << "apple" << current << 0 << false;
        QTest::newRow("blank text") << " \n" << SpeechCacheKey::sha256Key(QString(), jenny) << 10 << false;
    }
    void isCached()
    {
        QFETCH(QString, text);
        QFETCH(QString, fileKey);
        QFETCH(int, fileSize);
        QFETCH(bool, cached);
        AudioCacheManager manager = cache();
        writeFile(pathOf(fileKey + ".mp3"), fileSize, 3600);
        const QDateTime before = modified(pathOf(fileKey + ".mp3"));

        QCOMPARE(SpeechCacheKey::isCached(text, jenny, manager), cached);
        QCOMPARE(modified(pathOf(fileKey + ".mp3")), before); // asking records no use
    }

    void readingAClipMarksItAsJustUsed()
    {
        AudioCacheManager manager = cache();
        writeFile(pathOf(keyA + ".mp3"), 0, 3600);
        const QDateTime hourAgo = modified(pathOf(keyA + ".mp3"));

        QCOMPARE(manager.cachedFileURL(keyA), QUrl::fromLocalFile(pathOf(keyA + ".mp3"))); // even when empty
        QVERIFY(modified(pathOf(keyA + ".mp3")) > hourAgo.addSecs(3000));
        QCOMPARE(manager.cachedFileURL(keyB), std::nullopt);
    }

    // a (300 bytes, oldest), b (300), c (400, newest): exactly at a cap of 1000.
    void evictsTheLeastRecentlyUsedAtTheCap_data()
    {
        QTest::addColumn<qint64>("incoming");
        QTest::addColumn<QString>("touched");
        QTest::addColumn<QStringList>("kept");
        QTest::newRow("exactly at the cap") << qint64(0) << QString() << QStringList {"a", "b", "c"};
        QTest::newRow("one byte over") << qint64(1) << QString() << QStringList {"b", "c"};
        QTest::newRow("the oldest frees enough") << qint64(300) << QString() << QStringList {"b", "c"};
        QTest::newRow("one byte more takes two") << qint64(301) << QString() << QStringList {"c"};
        QTest::newRow("the whole cap") << qint64(1000) << QString() << QStringList {};
        QTest::newRow("a read clip goes last") << qint64(1) << "a" << QStringList {"a", "c"};
    }
    void evictsTheLeastRecentlyUsedAtTheCap()
    {
        QFETCH(qint64, incoming);
        QFETCH(QString, touched);
        QFETCH(QStringList, kept);
        AudioCacheManager manager = cache(1000);
        writeFile(pathOf(keyA + ".mp3"), 300, 300);
        writeFile(pathOf(keyB + ".mp3"), 300, 200);
        writeFile(pathOf(keyC + ".mp3"), 400, 100);
        if (!touched.isEmpty())
            QVERIFY(manager.cachedFileURL(QString(64, touched.at(0))));

        manager.evict(incoming);

        QCOMPARE(remaining(), kept);
    }

    void storingMakesRoomFirst()
    {
        AudioCacheManager manager = cache(1000);
        writeFile(pathOf(keyA + ".mp3"), 500, 200);
        writeFile(pathOf("notes.txt"), 100, 300); // other names count and age like clips
        writeFile(pathOf(keyB + ".mp3"), 400, 100);

        QVERIFY(manager.store(QByteArray(150, 'x'), keyD));

        QCOMPARE(remaining(), (QStringList {"b", "d"}));
        QCOMPARE(manager.currentCacheSizeBytes(), 550);
    }

    // Making room for it would empty the whole cache and still not fit.
    void aClipLargerThanTheCapIsNotStoredAndEvictsNothing()
    {
        AudioCacheManager manager = cache(1000);
        writeFile(pathOf(keyA + ".mp3"), 600, 100);

        QCOMPARE(manager.store(QByteArray(1001, 'x'), keyB), std::nullopt);
        QCOMPARE(remaining(), QStringList {"a"});

        QVERIFY(manager.store(QByteArray(1000, 'x'), keyB)); // the cap itself fits
        QCOMPARE(remaining(), QStringList {"b"});
    }

    void keysThatAreNoDigestNeverBecomePaths_data()
    {
        QTest::addColumn<QString>("key");
        QTest::newRow("parent folder") << "../../escaped";
        QTest::newRow("absolute") << "/tmp/escaped";
        QTest::newRow("upper-case digest") << QString(64, QLatin1Char('A'));
        QTest::newRow("empty") << QString();
    }
    void keysThatAreNoDigestNeverBecomePaths()
    {
        QFETCH(QString, key);
        AudioCacheManager manager = cache();
        QVERIFY_THROWS_EXCEPTION(FileError, manager.store("clip", key));
        QCOMPARE(manager.cachedFileURL(key), std::nullopt);
        QVERIFY(!manager.hasCachedFile(key));
        QVERIFY(QDir(m_root->path()).entryList(QDir::Files).isEmpty());
        QVERIFY(remaining().isEmpty());
    }

    void usageText_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << qint64(0) << "已占用 0.0 MB / 1 GB";
        QTest::newRow("51,200 bytes") << qint64(51'200) << "已占用 0.05 MB / 1 GB";
        QTest::newRow("just under 0.1 MB") << qint64(104'857) << "已占用 0.10 MB / 1 GB";
        QTest::newRow("10 MiB") << qint64(10'485'760) << "已占用 10.0 MB / 1 GB";
        QTest::newRow("just under 1024 MB") << qint64(1'073'741'823) << "已占用 1024.0 MB / 1 GB";
        QTest::newRow("1 GiB") << qint64(1'073'741'824) << "已占用 1.00 GB / 1 GB";
    }
    void usageText()
    {
        QFETCH(qint64, bytes);
        QFETCH(QString, text);
        AudioCacheManager manager = cache();
        if (bytes > 0)
            writeFile(pathOf(keyA + ".mp3"), bytes, 0); // sparse: no real disk used
        QCOMPARE(manager.formattedUsageText(), text);
    }

    void clearingRemovesEverythingButTheFolder()
    {
        AudioCacheManager manager = cache();
        writeFile(pathOf(keyA + ".mp3"), 10, 0);
        writeFile(pathOf(".hidden"), 10, 0);
        QVERIFY(QDir(folder()).mkpath(QStringLiteral("leftover/inner")));

        manager.clearCache();

        QVERIFY(QFileInfo(folder()).isDir());
        QVERIFY(QDir(folder()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
        QCOMPARE(manager.formattedUsageText(), QStringLiteral("已占用 0.0 MB / 1 GB"));
    }
};

TALVORO_TEST(SpeechCacheKeyTest)
TALVORO_TEST(AudioCacheManagerTest)
#include "tst_audiocache.moc"
