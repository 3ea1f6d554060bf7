#include "AwaitTask.h"
#include "TestRegistry.h"

#include "Models/Coding.h"
#include "Persistence/UserLexiconWordSnapshotStore.h"
#include "Platform/Text.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace talvoro;
using namespace testsupport;

namespace {

const QString owner = QStringLiteral("env-sha256:") + QString(64, u'e') + QStringLiteral("|user:3");

ORVWord word(qint64 id, const QString &display = QStringLiteral("harbor"))
{
    ORVWord w;
    w.id = id;
    w.wordDisplay = display;
    w.wordNormalized = display;
    w.translationsZh = {QStringLiteral("港口")};
    return w;
}

QByteArray encoded(const QList<ORVWord> &words)
{
    return json::serialize(coding::encodeList(words));
}

struct Fixture {
    QTemporaryDir dir;
    UserLexiconWordSnapshotStore store {dir.filePath("Quenbry/UserLexiconWords")};
    QString path = store.snapshotFileURL(owner, 42);

    void plant(const QByteArray &content)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    std::optional<QByteArray> content() const
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        return file.readAll();
    }
};

} // namespace

class SnapshotStoreTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fileNames()
    {
        Fixture f;
        QCOMPARE(f.path, f.store.directory() + "/" + text::sha256Hex(owner) + "-42.json");
        QCOMPARE(f.store.snapshotFileURL(owner, 42), f.path);
        QVERIFY(f.store.snapshotFileURL(QString(owner).replace("user:3", "user:4"), 42) != f.path);
        QCOMPARE(f.store.snapshotFileURL(owner, -7).section('-', -2), "-7.json");
        QVERIFY(QFileInfo(f.store.directory()).isDir());
        QCOMPARE(QFile::permissions(f.store.directory()) & (QFile::ReadOther | QFile::ReadGroup), 0);
    }

    void editOfOneWord_data()
    {
        QTest::addColumn<bool>("remove"); // else word 2 is replaced by an edited copy
        QTest::addColumn<std::optional<QByteArray>>("before");
        QTest::addColumn<std::optional<QByteArray>>("after");
        using Content = std::optional<QByteArray>;
        const ORVWord edited = word(2, "lantern");
        QTest::newRow("replace, no file") << false << Content() << Content();
        QTest::newRow("replace, invalid JSON") << false << Content("[{") << Content("[{");
        QTest::newRow("replace, word not there") << false << Content(encoded({word(1)})) << Content(encoded({word(1)}));
        QTest::newRow("replace in place")
            << false << Content(encoded({word(1), word(2), word(3)})) << Content(encoded({word(1), edited, word(3)}));
        QTest::newRow("replace first of two")
            << false << Content(encoded({word(2), word(2)})) << Content(encoded({edited, word(2)}));
        QTest::newRow("remove, no file") << true << Content() << Content("[]");
        QTest::newRow("remove, invalid JSON") << true << Content("{\"id\":2}") << Content("[]");
        QTest::newRow("remove every copy")
            << true << Content(encoded({word(2), word(1), word(2), word(3)})) << Content(encoded({word(1), word(3)}));
    }
    void editOfOneWord()
    {
        QFETCH(bool, remove);
        QFETCH(std::optional<QByteArray>, before);
        QFETCH(std::optional<QByteArray>, after);
        Fixture f;
        if (before)
            f.plant(*before);
        awaitResult(remove ? f.store.removeWord(2, owner, 42) : f.store.replaceWord(word(2, "lantern"), owner, 42));
        QCOMPARE(f.content(), after);
    }

    void wholeSnapshots()
    {
        Fixture f;
        QVERIFY(awaitResult(f.store.readSnapshot(owner, 42)).isEmpty());
        const QList<ORVWord> words {word(5, "meadow"), word(4)};
        awaitResult(f.store.writeSnapshot(words, owner, 42));
        QCOMPARE(awaitResult(f.store.readSnapshot(owner, 42)), words);
        QVERIFY(awaitResult(f.store.readSnapshot(owner, 43)).isEmpty());
        f.plant("not json");
        QVERIFY(awaitResult(f.store.readSnapshot(owner, 42)).isEmpty());
    }

    void operationsNeverInterleave()
    {
        // Each removal reads the file and writes it back: if two ran at once, one
        // would write back a word the other had removed.
        Fixture f;
        QList<ORVWord> words;
        for (qint64 id = 1; id <= 60; ++id)
            words.append(word(id));
        awaitResult(f.store.writeSnapshot(words, owner, 42));
        std::vector<std::shared_ptr<Outcome<void>>> outcomes;
        for (qint64 id = 1; id <= 60; ++id) {
            outcomes.push_back(startAwaiting(f.store.removeWord(id, owner, 42)));
            if (id % 3 == 0)
                outcomes.push_back(startAwaiting(f.store.replaceWord(word(id + 1, "edited"), owner, 42)));
        }
        QTRY_VERIFY(std::all_of(outcomes.begin(), outcomes.end(), [](const auto &o) { return o->finished; }));
        QCOMPARE(f.content(), QByteArray("[]"));
    }

    void writeFailuresReachTheCaller()
    {
        QTemporaryDir dir;
        QFile blocker(dir.filePath("blocked"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        UserLexiconWordSnapshotStore store(dir.filePath("blocked/UserLexiconWords"));
        QVERIFY(awaitError<FileError>(store.removeWord(1, owner, 42)));
        QVERIFY(awaitError<FileError>(store.writeSnapshot({word(1)}, owner, 42)));
        QVERIFY(awaitResult(store.readSnapshot(owner, 42)).isEmpty());
    }
};

TALVORO_TEST(SnapshotStoreTest)
#include "tst_snapshotstore.moc"
