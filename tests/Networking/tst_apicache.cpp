#include "AwaitTask.h"
#include "TestRegistry.h"

#include "Networking/APICacheManager.h"
#include "Platform/Text.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace talvoro;
using namespace testsupport;

namespace {

// A pinned clock that also notes every thread it is read from.
class RecordingClock final : public Clock {
public:
    QDateTime now() const override
    {
        QMutexLocker lock(&mutex);
        threads.insert(QThread::currentThread());
        return current;
    }
    void set(const QDateTime &t)
    {
        QMutexLocker lock(&mutex);
        current = t;
    }
    void advanceSeconds(double s)
    {
        QMutexLocker lock(&mutex);
        current = current.addMSecs(qint64(s * 1000));
    }
    QSet<QThread *> readers() const
    {
        QMutexLocker lock(&mutex);
        return threads;
    }

    mutable QMutex mutex;
    mutable QSet<QThread *> threads;
    QDateTime current = QDateTime(QDate(2026, 1, 1), QTime(12, 0), Qt::UTC);
};

const QString scopeA
    = QStringLiteral("env-sha256:c6e4c37deae701e2aa9365fb7676fdfad4400ced35775f719ea80269db5c6de4|public");
const QString scopeB
    = QStringLiteral("env-sha256:c6e4c37deae701e2aa9365fb7676fdfad4400ced35775f719ea80269db5c6de4|user:42");
const QString lexicons = QStringLiteral("GET_/api/v1/public/lexicons");

struct Fixture {
    QTemporaryDir dir;
    std::shared_ptr<RecordingClock> clock = std::make_shared<RecordingClock>();
    std::unique_ptr<APICacheManager> cache;

    explicit Fixture(APICacheLimits limits = {})
    {
        cache = std::make_unique<APICacheManager>(dir.filePath(QStringLiteral("APICacheV2")), limits, clock);
    }
    QString path(const QString &key, const QString &scope) const
    {
        return QDir(cache->directory()).filePath(APICacheManager::fileName({key, scope}));
    }
    APICacheStoreOutcome put(
        const QString &key, const QString &scope, const QByteArray &payload, double fresh = 300, double stale = 604800)
    {
        const auto token = awaitResult(cache->beginRequest(key, scope));
        return awaitResult(cache->store(payload, token, fresh, stale));
    }
    std::optional<APICacheEntry> get(const QString &key, const QString &scope)
    {
        return awaitResult(cache->entry(key, scope));
    }
    QStringList files() const { return QDir(cache->directory()).entryList(QDir::Files); }
    void writeRaw(const QString &file, const QByteArray &bytes) const
    {
        QFile f(QDir(cache->directory()).filePath(file));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
};

} // namespace

class APICacheManagerTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void filesAreNamedByTheHashOfScopeAndKey()
    {
        QCOMPARE(APICacheManager::fileName({lexicons, scopeA}),
            QStringLiteral("aece763896126a3878a5b88bc06ee97f7bdfa7bcecd549a9d36eabc02f0e7587.json"));
    }

    void theEnvelopeIsWrittenCompactlyInItsOrder()
    {
        Fixture f;
        QCOMPARE(f.put(lexicons, scopeA, "{\"success\":true}", 300, 600), APICacheStoreOutcome::stored);
        QFile file(f.path(lexicons, scopeA));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        const double created = text::referenceSeconds(f.clock->current);
        const QByteArray expected = "{\"schemaVersion\":2,\"key\":\"GET_/api/v1/public/lexicons\",\"scope\":\""
            + scopeA.toUtf8() + "\",\"createdAt\":" + QByteArray::number(created, 'g', 17)
            + ",\"freshUntil\":" + QByteArray::number(created + 300, 'g', 17)
            + ",\"staleIfErrorUntil\":" + QByteArray::number(created + 600, 'g', 17)
            + ",\"generation\":0,\"payload\":\"eyJzdWNjZXNzIjp0cnVlfQ==\"}";
        QCOMPARE(text, expected);
    }

    void freshnessBoundaries_data()
    {
        QTest::addColumn<double>("fresh");
        QTest::addColumn<double>("stale");
        QTest::addColumn<double>("after");
        QTest::addColumn<int>("expected"); // 0 fresh, 1 stale, 2 gone
        QTest::newRow("just stored") << 300.0 << 600.0 << 0.0 << 0;
        QTest::newRow("exactly freshUntil is fresh") << 300.0 << 600.0 << 300.0 << 0;
        QTest::newRow("just after freshUntil is stale") << 300.0 << 600.0 << 300.001 << 1;
        QTest::newRow("exactly staleIfErrorUntil is stale") << 300.0 << 600.0 << 600.0 << 1;
        QTest::newRow("after staleIfErrorUntil is gone") << 300.0 << 600.0 << 600.001 << 2;
        QTest::newRow("stale limit shorter than fresh wins") << 600.0 << 300.0 << 300.001 << 2;
    }
    void freshnessBoundaries()
    {
        QFETCH(double, fresh);
        QFETCH(double, stale);
        QFETCH(double, after);
        QFETCH(int, expected);
        Fixture f;
        QCOMPARE(f.put(lexicons, scopeA, "payload", fresh, stale), APICacheStoreOutcome::stored);
        const QDateTime storedAt = f.clock->current;
        const auto pending = awaitResult(f.cache->beginRequest(lexicons, scopeA));
        f.clock->advanceSeconds(after);
        const auto entry = f.get(lexicons, scopeA);
        if (expected == 2) {
            QVERIFY(!entry);
            QVERIFY(!QFile::exists(f.path(lexicons, scopeA)));
            // an expiry is not an invalidation: a request begun before still counts
            QVERIFY(awaitResult(f.cache->isCurrent(pending)));
            return;
        }
        QVERIFY(entry);
        QCOMPARE(entry->payload, QByteArray("payload"));
        QCOMPARE(entry->createdAt, storedAt);
        QCOMPARE(entry->freshness, expected == 0 ? APICacheEntry::Freshness::fresh : APICacheEntry::Freshness::stale);
    }

    void onlyTheNewestRequestOfAnIdentityMayStore_data()
    {
        QTest::addColumn<bool>("olderStoresFirst");
        QTest::newRow("older answer arrives first") << true;
        QTest::newRow("older answer arrives last") << false;
    }
    void onlyTheNewestRequestOfAnIdentityMayStore()
    {
        QFETCH(bool, olderStoresFirst);
        Fixture f;
        const auto a = awaitResult(f.cache->beginRequest(lexicons, scopeA));
        const auto b = awaitResult(f.cache->beginRequest(lexicons, scopeA));
        const auto other = awaitResult(f.cache->beginRequest(lexicons, scopeB)); // another identity is not affected
        if (olderStoresFirst) {
            QCOMPARE(awaitResult(f.cache->store("A", a, 300, 600)), APICacheStoreOutcome::superseded);
            QVERIFY(!QFile::exists(f.path(lexicons, scopeA)));
            QCOMPARE(awaitResult(f.cache->store("B", b, 300, 600)), APICacheStoreOutcome::stored);
        } else {
            QCOMPARE(awaitResult(f.cache->store("B", b, 300, 600)), APICacheStoreOutcome::stored);
            QCOMPARE(awaitResult(f.cache->store("A", a, 300, 600)), APICacheStoreOutcome::superseded);
        }
        QCOMPARE(f.get(lexicons, scopeA)->payload, QByteArray("B"));
        QVERIFY(awaitResult(f.cache->isCurrent(other)));
        // the same token may store again, with new times
        f.clock->advanceSeconds(10);
        QCOMPARE(awaitResult(f.cache->store("B2", b, 300, 600)), APICacheStoreOutcome::stored);
        QCOMPARE(f.get(lexicons, scopeA)->createdAt, f.clock->current);
    }

    void invalidationBetweenBeginAndStoreSupersedes_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("entry") << QStringLiteral("entry");
        QTest::newRow("prefix") << QStringLiteral("prefix");
        QTest::newRow("empty prefix") << QStringLiteral("all");
    }
    void invalidationBetweenBeginAndStoreSupersedes()
    {
        QFETCH(QString, how);
        Fixture f;
        const QString words = QStringLiteral("GET_/api/v1/user/words?lexiconId=7");
        QCOMPARE(f.put(words, scopeB, "old"), APICacheStoreOutcome::stored);
        QCOMPARE(f.put(words, scopeA, "other scope"), APICacheStoreOutcome::stored);
        const auto token = awaitResult(f.cache->beginRequest(words, scopeB));
        if (how == QLatin1String("entry"))
            awaitResult(f.cache->invalidateEntry(words, scopeB));
        else
            awaitResult(f.cache->invalidate(
                how == QLatin1String("all") ? QString() : QStringLiteral("GET_/api/v1/user/words"), scopeB));
        QVERIFY(!QFile::exists(f.path(words, scopeB)));
        QVERIFY(!awaitResult(f.cache->isCurrent(token)));
        QCOMPARE(awaitResult(f.cache->store("late", token, 300, 600)), APICacheStoreOutcome::superseded);
        QVERIFY(f.get(words, scopeA)); // the other scope is untouched
    }

    void unreadableOrForeignFilesAreDeletedSilently_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("evictedUnderAnotherName"); // a readable version-2 file stays a candidate
        QTest::newRow("not json") << QByteArray("not json at all") << true;
        QTest::newRow("schema 1") << QByteArray(
            "{\"schemaVersion\":1,\"key\":\"GET_/api/v1/public/lexicons\",\"scope\":\"S\","
            "\"createdAt\":1,\"freshUntil\":9e9,\"staleIfErrorUntil\":9e9,\"generation\":5,\"payload\":\"\"}")
                                  << true;
        QTest::newRow("another key") << QByteArray(
            "{\"schemaVersion\":2,\"key\":\"GET_/elsewhere\",\"scope\":\"S\","
            "\"createdAt\":1,\"freshUntil\":9e9,\"staleIfErrorUntil\":9e9,\"generation\":5,\"payload\":\"\"}")
                                     << false;
        QTest::newRow("payload not base64") << QByteArray(
            "{\"schemaVersion\":2,\"key\":\"GET_/api/v1/public/lexicons\",\"scope\":\"S\","
            "\"createdAt\":1,\"freshUntil\":9e9,\"staleIfErrorUntil\":9e9,\"generation\":5,\"payload\":\"%%%\"}")
                                            << true;
        QTest::newRow("created past any readable date") << QByteArray(
            "{\"schemaVersion\":2,\"key\":\"GET_/api/v1/public/lexicons\",\"scope\":\"S\","
            "\"createdAt\":9.2233715e15,\"freshUntil\":9e9,\"staleIfErrorUntil\":9e9,\"generation\":5,\"payload\":\"\"}")
                                                        << true;
        QTest::newRow("generation 2^64") << QByteArray(
            "{\"schemaVersion\":2,\"key\":\"GET_/api/v1/public/lexicons\",\"scope\":\"S\","
            "\"createdAt\":1,\"freshUntil\":9e9,\"staleIfErrorUntil\":9e9,\"generation\":18446744073709551616,"
            "\"payload\":\"\"}") << true;
        QTest::newRow("generation missing")
            << QByteArray("{\"schemaVersion\":2,\"key\":\"GET_/api/v1/public/lexicons\",\"scope\":\"S\","
                          "\"createdAt\":1,\"freshUntil\":9e9,\"staleIfErrorUntil\":9e9,\"payload\":\"\"}")
            << true;
    }
    void unreadableOrForeignFilesAreDeletedSilently()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, evictedUnderAnotherName);
        Fixture f;
        const QString name = APICacheManager::fileName({lexicons, QStringLiteral("S")});
        f.writeRaw(name, content);
        QVERIFY(!f.get(lexicons, QStringLiteral("S")));
        QVERIFY(!f.files().contains(name));
        // with no file left, the identity starts again from generation 0
        QCOMPARE(awaitResult(f.cache->beginRequest(lexicons, QStringLiteral("S"))).generation, quint64(0));

        // the same content under a name no identity owns goes at the next eviction pass
        f.writeRaw(QStringLiteral("foreign.json"), content);
        QCOMPARE(f.put(QStringLiteral("GET_/x"), scopeA, "x"), APICacheStoreOutcome::stored);
        QCOMPARE(!f.files().contains(QStringLiteral("foreign.json")), evictedUnderAnotherName);
    }

    void theGenerationSurvivesARestartThroughTheFile()
    {
        Fixture f;
        QCOMPARE(f.put(lexicons, scopeA, "v1"), APICacheStoreOutcome::stored);
        awaitResult(f.cache->invalidateEntry(QStringLiteral("GET_/unrelated"), scopeA));
        const auto before = awaitResult(f.cache->beginRequest(lexicons, scopeA));
        awaitResult(f.cache->invalidateEntry(lexicons, scopeA)); // generation 1, file gone
        const auto token = awaitResult(f.cache->beginRequest(lexicons, scopeA));
        QCOMPARE(token.generation, before.generation + 1);
        QCOMPARE(awaitResult(f.cache->store("v2", token, 300, 600)), APICacheStoreOutcome::stored);

        APICacheManager reopened(f.cache->directory(), {}, f.clock);
        QCOMPARE(awaitResult(reopened.beginRequest(lexicons, scopeA)).generation, token.generation);
    }

    // A generation is read exactly over the whole unsigned range and wraps past its top.
    void generationsAreExactUpToTheTopOfTheRange_data()
    {
        QTest::addColumn<quint64>("stored");
        QTest::newRow("2^63 - 1") << quint64(9223372036854775807ULL);
        QTest::newRow("2^63") << quint64(9223372036854775808ULL);
        QTest::newRow("not a double") << quint64(12345678901234567891ULL);
        QTest::newRow("2^64 - 1") << quint64(18446744073709551615ULL);
    }
    void generationsAreExactUpToTheTopOfTheRange()
    {
        QFETCH(quint64, stored);
        Fixture f;
        f.writeRaw(APICacheManager::fileName({lexicons, scopeA}),
            "{\"schemaVersion\":2,\"key\":\"GET_/api/v1/public/lexicons\",\"scope\":\"" + scopeA.toUtf8()
                + "\",\"createdAt\":1,\"freshUntil\":9e9,\"staleIfErrorUntil\":9e9,\"generation\":"
                + QByteArray::number(stored) + ",\"payload\":\"\"}");
        QCOMPARE(awaitResult(f.cache->beginRequest(lexicons, scopeA)).generation, stored);
        awaitResult(f.cache->invalidateEntry(lexicons, scopeA));
        QCOMPARE(awaitResult(f.cache->beginRequest(lexicons, scopeA)).generation, stored + 1);
    }

    void anEnvelopeOverTheSizeLimitIsNotWritten()
    {
        // Learn the encoded size of one store, then put the limit exactly there and one below.
        const QByteArray payload(1000, 'x');
        qint64 size = 0;
        {
            Fixture f;
            QCOMPARE(f.put(lexicons, scopeA, payload), APICacheStoreOutcome::stored);
            size = QFileInfo(f.path(lexicons, scopeA)).size();
        }
        {
            Fixture atLimit({128, size});
            QCOMPARE(atLimit.put(lexicons, scopeA, payload), APICacheStoreOutcome::stored);
        }
        Fixture belowLimit({128, size - 1});
        QCOMPARE(belowLimit.put(lexicons, scopeA, "small"), APICacheStoreOutcome::stored);
        QCOMPARE(belowLimit.put(lexicons, scopeA, payload), APICacheStoreOutcome::notStored);
        QVERIFY(!QFile::exists(belowLimit.path(lexicons, scopeA))); // the older file went too
    }

    void evictionRemovesTheOldestOthersFirst_data()
    {
        QTest::addColumn<bool>("newestIsOldest");
        QTest::newRow("oldest other goes") << false;
        QTest::newRow("new entry dated oldest is kept; next oldest goes") << true;
    }
    void evictionRemovesTheOldestOthersFirst()
    {
        QFETCH(bool, newestIsOldest);
        Fixture f({3, 1 << 20});
        const QDateTime start = f.clock->current;
        for (int i = 0; i < 3; ++i) {
            f.clock->set(start.addSecs(10 * (i + 1)));
            QCOMPARE(f.put(QStringLiteral("GET_/k%1").arg(i), scopeA, "x"), APICacheStoreOutcome::stored);
        }
        f.clock->set(newestIsOldest ? start : start.addSecs(100));
        QCOMPARE(f.put(QStringLiteral("GET_/new"), scopeA, "x"), APICacheStoreOutcome::stored);
        QCOMPARE(f.files().size(), 3);
        QVERIFY(QFile::exists(f.path(QStringLiteral("GET_/new"), scopeA)));
        QVERIFY(!QFile::exists(f.path(QStringLiteral("GET_/k0"), scopeA)));
        QVERIFY(QFile::exists(f.path(QStringLiteral("GET_/k1"), scopeA)));
    }

    void evictionByTotalSize()
    {
        const QByteArray payload(600, 'y');
        qint64 size = 0;
        {
            Fixture probe;
            probe.put(QStringLiteral("GET_/k0"), scopeA, payload);
            size = QFileInfo(probe.path(QStringLiteral("GET_/k0"), scopeA)).size();
        }
        Fixture f({128, 2 * size}); // room for two
        for (int i = 0; i < 3; ++i) {
            f.clock->advanceSeconds(1);
            QCOMPARE(f.put(QStringLiteral("GET_/k%1").arg(i), scopeA, payload), APICacheStoreOutcome::stored);
        }
        QCOMPARE(f.files().size(), 2);
        QVERIFY(!QFile::exists(f.path(QStringLiteral("GET_/k0"), scopeA)));
    }

    void anEvictionPassThatMeetsAnExpiredEntryInvalidatesIt()
    {
        Fixture f;
        QCOMPARE(f.put(lexicons, scopeA, "old", 10, 20), APICacheStoreOutcome::stored);
        const auto pending = awaitResult(f.cache->beginRequest(lexicons, scopeA));
        f.clock->advanceSeconds(30);
        QCOMPARE(f.put(QStringLiteral("GET_/other"), scopeA, "x"), APICacheStoreOutcome::stored);
        QVERIFY(!QFile::exists(f.path(lexicons, scopeA)));
        QCOMPARE(awaitResult(f.cache->store("late", pending, 300, 600)), APICacheStoreOutcome::superseded);
    }

    void noOperationRunsOnTheMainThread()
    {
        Fixture f;
        f.put(lexicons, scopeA, "x");
        f.get(lexicons, scopeA);
        awaitResult(f.cache->invalidate(QString(), scopeA));
        const QSet<QThread *> readers = f.clock->readers();
        QVERIFY(!readers.isEmpty());
        QVERIFY(!readers.contains(QThread::currentThread()));
    }
};

TALVORO_TEST(APICacheManagerTest)
#include "tst_apicache.moc"
