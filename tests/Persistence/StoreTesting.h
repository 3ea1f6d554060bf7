#pragma once

#include "Persistence/LocalWordStore.h"
#include "Persistence/SqlSupport.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace storetesting {

using namespace talvoro;

inline const QString environment = QStringLiteral("env-sha256:") + QString(64, QLatin1Char('a'));
inline const QString ownerA = environment + QStringLiteral("|user:1");
inline const QString ownerB = environment + QStringLiteral("|user:2");

// A second connection to a store file: builds older files and reads raw rows.
class RawDatabase {
public:
    explicit RawDatabase(const QString &path)
        : m_name(QStringLiteral("raw-%1").arg(++counter()))
    {
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        m_db.setDatabaseName(path);
        m_db.open();
    }
    RawDatabase(const RawDatabase &) = delete;
    RawDatabase &operator=(const RawDatabase &) = delete;
    ~RawDatabase()
    {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    }
    void exec(const QString &statement, const QVariantList &values = {}) { sql::run(m_db, statement, values); }
    QList<QVariantList> rows(const QString &statement, const QVariantList &values = {})
    {
        QSqlQuery query = sql::run(m_db, statement, values);
        QList<QVariantList> result;
        while (query.next()) {
            QVariantList row;
            for (int i = 0; i < query.record().count(); ++i)
                row.append(query.isNull(i) ? QVariant() : query.value(i));
            result.append(row);
        }
        return result;
    }
    QVariant value(const QString &statement, const QVariantList &values = {})
    {
        const auto all = rows(statement, values);
        return all.isEmpty() ? QVariant() : all.first().value(0);
    }
    // Every row of the owner in every table, as text, to compare states.
    QStringList dump(const QString &ownerKey)
    {
        QStringList lines;
        for (const char *table :
            {"StoredLexicon", "StoredPlaylist", "StoredPlaylistItem", "PendingPlaylistOperation"}) {
            for (const QVariantList &row :
                rows(QStringLiteral("SELECT * FROM %1 WHERE ownerKey = ? ORDER BY rowid").arg(QLatin1String(table)),
                    {ownerKey})) {
                QStringList cells;
                for (const QVariant &cell : row)
                    cells.append(cell.isNull() ? QStringLiteral("NULL") : cell.toString());
                lines.append(QLatin1String(table) + QLatin1Char(':') + cells.join(QLatin1Char('|')));
            }
        }
        return lines;
    }

private:
    static int &counter()
    {
        static int value = 0;
        return value;
    }
    QString m_name;
    QSqlDatabase m_db;
};

struct StoreFixture {
    QTemporaryDir dir;
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::unique_ptr<LocalWordStore> store;

    QString path() const { return dir.filePath(QStringLiteral("QuenbryStore.sqlite")); }
    LocalWordStore &open(bool prepareLegacy = true)
    {
        store.reset();
        store = std::make_unique<LocalWordStore>(LocalWordStore::StoreConfiguration {path(), prepareLegacy}, clock);
        return *store;
    }
    RawDatabase raw() const { return RawDatabase(path()); }
};

inline QByteArray fileDigest(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

// The kind of LocalWordStoreError that `work` threw; none when it threw nothing.
inline std::optional<LocalWordStoreError::Kind> storeErrorOf(const std::function<void()> &work)
{
    try {
        work();
    } catch (const LocalWordStoreError &error) {
        return error.kind();
    }
    return std::nullopt;
}

inline ORVPlaylistItem item(qint64 wordId, qint64 position, const QString &display = QString())
{
    ORVPlaylistItem result;
    result.wordId = wordId;
    result.position = position;
    result.wordDisplay = display.isNull() ? QStringLiteral("word%1").arg(wordId) : display;
    return result;
}

inline ORVPlaylist playlist(qint64 id, qint64 version = 1, QList<ORVPlaylistItem> items = {}, QString name = {})
{
    return {id, name.isNull() ? QStringLiteral("list%1").arg(id) : name, QStringLiteral("ONCE"), std::nullopt,
        std::move(items), version};
}

inline QList<qint64> ids(const QList<ORVPlaylist> &playlists)
{
    QList<qint64> result;
    for (const ORVPlaylist &p : playlists)
        result.append(p.id);
    return result;
}

// Every operation of the store that takes an owner key, called with `ownerKey`.
inline QList<std::pair<const char *, std::function<void(LocalWordStore &)>>> everyOperation(const QString &ownerKey)
{
    const QDateTime now = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
    return {
        {"fetchPrivateLexicons", [=](LocalWordStore &s) { s.fetchPrivateLexicons(ownerKey); }},
        {"savePrivateLexicons", [=](LocalWordStore &s) { s.savePrivateLexicons({}, ownerKey); }},
        {"fetchPlaylists", [=](LocalWordStore &s) { s.fetchPlaylists(ownerKey); }},
        {"upsertPlaylist", [=](LocalWordStore &s) { s.upsertPlaylist(playlist(1), ownerKey); }},
        {"replaceAllPlaylists", [=](LocalWordStore &s) { s.replaceAllPlaylists({}, ownerKey, now); }},
        {"tombstonePlaylist", [=](LocalWordStore &s) { s.tombstonePlaylist(ownerKey, 1); }},
        {"fetchPendingPlaylistDeletions", [=](LocalWordStore &s) { s.fetchPendingPlaylistDeletions(ownerKey, now); }},
        {"recordPlaylistDeletionFailure",
            [=](LocalWordStore &s) { s.recordPlaylistDeletionFailure(ownerKey, 1, QStringLiteral("x"), now); }},
        {"acknowledgePlaylistDeletion",
            [=](LocalWordStore &s) { s.acknowledgePlaylistDeletion(ownerKey, 1, std::nullopt, std::nullopt, now); }},
        {"migrateLegacyPlaylistPartition",
            [=](LocalWordStore &s) { s.migrateLegacyPlaylistPartition(ownerKey, ownerA); }},
    };
}

} // namespace storetesting
