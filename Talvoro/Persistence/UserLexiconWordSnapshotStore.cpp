#include "Persistence/UserLexiconWordSnapshotStore.h"

#include "Models/Coding.h"
#include "Platform/Files.h"
#include "Platform/Text.h"

#include <QDir>
#include <QFile>

namespace talvoro {

namespace {

// Runs on the store's worker.
QList<ORVWord> load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    try {
        return coding::decodeList<ORVWord>(json::parse(file.readAll()), QStringLiteral("$"));
    } catch (const json::DecodingError &) {
        return {};
    }
}

void save(const QString &path, const QList<ORVWord> &words)
{
    writeFileAtomically(path, json::serialize(coding::encodeList(words)));
}

} // namespace

QString UserLexiconWordSnapshotStore::defaultDirectory(const AppDirectories &directories)
{
    QString base = directories.applicationSupport;
    if (base.isEmpty())
        base = QDir::tempPath();
    return QDir(base).filePath(QStringLiteral("Quenbry/UserLexiconWords"));
}

UserLexiconWordSnapshotStore::UserLexiconWordSnapshotStore(std::optional<QString> directory)
    : m_directory(directory.value_or(defaultDirectory(AppDirectories::standard())))
    , m_executor(QStringLiteral("UserLexiconWordSnapshotStore"))
{
    if (QDir().mkpath(m_directory))
        QFile::setPermissions(m_directory, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QString UserLexiconWordSnapshotStore::snapshotFileURL(const QString &ownerKey, qint64 lexiconId) const
{
    return QDir(m_directory).filePath(QStringLiteral("%1-%2.json").arg(text::sha256Hex(ownerKey)).arg(lexiconId));
}

Task<QList<ORVWord>> UserLexiconWordSnapshotStore::readSnapshot(QString ownerKey, qint64 lexiconId)
{
    auto work = [path = snapshotFileURL(ownerKey, lexiconId)] { return load(path); };
    co_return co_await m_executor.run(work);
}

Task<> UserLexiconWordSnapshotStore::writeSnapshot(QList<ORVWord> words, QString ownerKey, qint64 lexiconId)
{
    auto work = [path = snapshotFileURL(ownerKey, lexiconId), words] { save(path, words); };
    co_await m_executor.run(work);
}

Task<> UserLexiconWordSnapshotStore::replaceWord(ORVWord word, QString ownerKey, qint64 lexiconId)
{
    auto work = [path = snapshotFileURL(ownerKey, lexiconId), word] {
        QList<ORVWord> words = load(path);
        const auto found = std::find_if(
            words.begin(), words.end(), [&](const ORVWord &candidate) { return candidate.id == word.id; });
        if (found == words.end())
            return;
        *found = word;
        save(path, words);
    };
    co_await m_executor.run(work);
}

Task<> UserLexiconWordSnapshotStore::removeWord(qint64 id, QString ownerKey, qint64 lexiconId)
{
    auto work = [path = snapshotFileURL(ownerKey, lexiconId), id] {
        QList<ORVWord> words = load(path);
        words.removeIf([id](const ORVWord &word) { return word.id == id; });
        save(path, words);
    };
    co_await m_executor.run(work);
}

} // namespace talvoro
