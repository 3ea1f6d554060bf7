#include "../Player/ManualScheduler.h"
#include "TestRegistry.h"

#include "Playback/AudioCacheManager.h"
#include "Settings/CacheManagementModel.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace talvoro;

// The cache screen over the real on-disk speech cache in a folder of its own; the
// toast's hide runs on a scheduler the test moves.
class CacheManagementTest : public QObject {
    Q_OBJECT

    static void putClip(const AudioCacheManager &cache, const QString &name, qint64 bytes)
    {
        QVERIFY(QDir().mkpath(cache.cacheDirectory()));
        QFile file(QDir(cache.cacheDirectory()).filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        // Sparse: a gigabyte costs no disk.
        QVERIFY(file.resize(bytes));
    }

private Q_SLOTS:
    void usageIsMeasuredOnOpeningAndAfterAClear_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::newRow("empty") << qint64(0) << QStringLiteral("已占用 0.0 MB / 1 GB");
        QTest::newRow("below 0.1 MB") << qint64(51'200) << QStringLiteral("已占用 0.05 MB / 1 GB");
        QTest::newRow("200 MiB") << qint64(200) * 1'048'576 << QStringLiteral("已占用 200.0 MB / 1 GB");
        QTest::newRow("1 GiB") << qint64(1'073'741'824) << QStringLiteral("已占用 1.00 GB / 1 GB");
    }
    void usageIsMeasuredOnOpeningAndAfterAClear()
    {
        QFETCH(qint64, bytes);
        QFETCH(QString, shown);
        QTemporaryDir root;
        AudioCacheManager cache(AppDirectories::under(root.path()));
        if (bytes > 0)
            putClip(cache, QStringLiteral("a.mp3"), bytes);
        ManualScheduler scheduler;
        CacheManagementModel model(cache, scheduler);
        QCOMPARE(model.cacheUsageText(), shown);

        // A clip stored while the screen shows appears only after the next clear.
        putClip(cache, QStringLiteral(".hidden.mp3"), 4096);
        QCOMPARE(model.cacheUsageText(), shown);

        model.setShowingClearAlert(true);
        model.clearCache();
        QVERIFY(!model.showingClearAlert());
        QCOMPARE(model.cacheUsageText(), QStringLiteral("已占用 0.0 MB / 1 GB"));
        QVERIFY(QDir(cache.cacheDirectory()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
        QVERIFY(model.showSuccessToast());
    }

    // Hides are never called off: a second clear does not keep the toast longer.
    void toastHidesTwoAndAHalfSecondsAfterTheFirstClear_data()
    {
        QTest::addColumn<qint64>("secondClearAt");
        QTest::addColumn<qint64>("shownUntil");
        QTest::newRow("one clear") << qint64(-1) << qint64(2500);
        QTest::newRow("second clear 1 s later") << qint64(1000) << qint64(2500);
        QTest::newRow("second clear after the hide") << qint64(3000) << qint64(5500);
    }
    void toastHidesTwoAndAHalfSecondsAfterTheFirstClear()
    {
        QFETCH(qint64, secondClearAt);
        QFETCH(qint64, shownUntil);
        QTemporaryDir root;
        AudioCacheManager cache(AppDirectories::under(root.path()));
        ManualScheduler scheduler;
        CacheManagementModel model(cache, scheduler);
        QVERIFY(!model.showSuccessToast());
        model.clearCache();
        qint64 now = 0;
        for (; now < 6000; now += 100) {
            if (now == secondClearAt)
                model.clearCache();
            QCOMPARE(model.showSuccessToast(), now < shownUntil && (now < 2500 || now >= secondClearAt));
            scheduler.advance(100);
        }
    }
};

TALVORO_TEST(CacheManagementTest)
#include "tst_cachemanagement.moc"
