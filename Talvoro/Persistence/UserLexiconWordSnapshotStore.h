#pragma once

#include "Models/Word.h"
#include "Platform/Async.h"
#include "Platform/Files.h"
#include "Platform/SerialExecutor.h"

#include <QList>
#include <QString>

#include <optional>

namespace talvoro {

// The words of each private lexicon as last fetched, kept as one JSON file per owner
// and lexicon so that the lexicon shows without a network. The files are only a
// cache of what the backend holds. Every operation runs on the store's own worker,
// one at a time, so two updates of one file never interleave.
class UserLexiconWordSnapshotStore {
public:
    // `directory` none: "Quenbry/UserLexiconWords" under application support (under
    // the temporary folder when there is none). The folder is created at once,
    // readable by this user only; a failure shows up later as failing writes.
    explicit UserLexiconWordSnapshotStore(std::optional<QString> directory = std::nullopt);
    // "Quenbry/UserLexiconWords" under `directories`' application support.
    static QString defaultDirectory(const AppDirectories &directories);

    QString directory() const { return m_directory; }
    // <directory>/<SHA-256 of the owner key>-<lexicon id>.json
    QString snapshotFileURL(const QString &ownerKey, qint64 lexiconId) const;

    // The whole snapshot; a missing or unreadable file is an empty list.
    Task<QList<ORVWord>> readSnapshot(QString ownerKey, qint64 lexiconId);
    // Replaces the whole snapshot. Throws FileError or json::EncodingError.
    Task<> writeSnapshot(QList<ORVWord> words, QString ownerKey, qint64 lexiconId);

    // Puts `word` in the place of the first word with its id; without one nothing
    // is written. Throws FileError or json::EncodingError.
    Task<> replaceWord(ORVWord word, QString ownerKey, qint64 lexiconId);
    // Drops every word with this id and writes the rest, also when nothing was
    // dropped or there was no file. Throws FileError or json::EncodingError.
    Task<> removeWord(qint64 id, QString ownerKey, qint64 lexiconId);

    // The worker thread this object's operations run on; whoever owns the object
    // stops it (SerialExecutor::cancelPending) and lets its callers resume before
    // the services they resume into go away.
    SerialExecutor &executor() { return m_executor; }

private:
    QString m_directory;
    SerialExecutor m_executor;
};

} // namespace talvoro
