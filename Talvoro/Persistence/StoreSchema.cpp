#include "Persistence/StoreSchema.h"

#include "Persistence/SqlSupport.h"

#include <QSet>
#include <QStringList>

namespace talvoro::storeschema {

namespace {

struct Step {
    int version;
    QStringList statements;
};

const QList<Step> &steps()
{
    static const QList<Step> all {
        {1,
            {QStringLiteral("CREATE TABLE StoredWord (localID TEXT NOT NULL, ownerKey TEXT NOT NULL, "
                            "remoteID INTEGER NOT NULL DEFAULT 0, wordText TEXT NOT NULL, meaning TEXT, context TEXT, "
                            "createdAt INTEGER NOT NULL, updatedAt INTEGER NOT NULL, syncState TEXT NOT NULL, "
                            "deleted INTEGER NOT NULL DEFAULT 0)"),
                QStringLiteral("CREATE TABLE StoredLexicon (id INTEGER NOT NULL DEFAULT 0, name TEXT NOT NULL, "
                               "wordCount INTEGER NOT NULL DEFAULT 0, ownerKey TEXT NOT NULL, "
                               "deleted INTEGER NOT NULL DEFAULT 0)"),
                QStringLiteral("CREATE TABLE StoredPlaylist (id INTEGER NOT NULL DEFAULT 0, name TEXT NOT NULL, "
                               "loopMode TEXT NOT NULL DEFAULT 'ONCE', loopCount INTEGER, ownerKey TEXT NOT NULL, "
                               "deleted INTEGER NOT NULL DEFAULT 0)"),
                QStringLiteral("CREATE TABLE StoredPlaylistItem (playlistId INTEGER NOT NULL DEFAULT 0, "
                               "wordId INTEGER NOT NULL DEFAULT 0, wordDisplay TEXT NOT NULL, ipa TEXT, "
                               "position INTEGER NOT NULL DEFAULT 1, repeatCount INTEGER NOT NULL DEFAULT 1)")}},
        {3,
            {QStringLiteral("ALTER TABLE StoredPlaylist ADD COLUMN version INTEGER NOT NULL DEFAULT 1"),
                QStringLiteral("ALTER TABLE StoredPlaylist ADD COLUMN deletionState TEXT NOT NULL DEFAULT 'ACTIVE'"),
                QStringLiteral("ALTER TABLE StoredPlaylist ADD COLUMN deleteRequestedAt INTEGER"),
                QStringLiteral("ALTER TABLE StoredPlaylist ADD COLUMN deleteAcknowledgedAt INTEGER"),
                QStringLiteral("CREATE UNIQUE INDEX StoredPlaylistOwnerID ON StoredPlaylist (ownerKey, id)"),
                QStringLiteral("CREATE TABLE PendingPlaylistOperation (operationID TEXT NOT NULL, "
                               "ownerKey TEXT NOT NULL, playlistID INTEGER NOT NULL DEFAULT 0, "
                               "action TEXT NOT NULL DEFAULT 'DELETE', createdAt INTEGER NOT NULL, "
                               "attemptCount INTEGER NOT NULL DEFAULT 0, nextAttemptAt INTEGER, lastAttemptAt INTEGER, "
                               "lastError TEXT)"),
                QStringLiteral("CREATE UNIQUE INDEX PendingPlaylistOperationKey "
                               "ON PendingPlaylistOperation (ownerKey, playlistID, action)")}},
        {4, {QStringLiteral("ALTER TABLE StoredPlaylist ADD COLUMN serverDeletedAt INTEGER")}},
        {5,
            {QStringLiteral("ALTER TABLE StoredPlaylistItem ADD COLUMN ownerKey TEXT NOT NULL "
                            "DEFAULT '__legacy_unscoped_playlist_item__'"),
                QStringLiteral("CREATE UNIQUE INDEX StoredPlaylistItemSlot "
                               "ON StoredPlaylistItem (ownerKey, playlistId, position)")}},
        {6,
            {QStringLiteral("ALTER TABLE StoredPlaylistItem ADD COLUMN syllables TEXT"),
                QStringLiteral("ALTER TABLE StoredPlaylistItem ADD COLUMN translationsZhJSON TEXT"),
                QStringLiteral("ALTER TABLE StoredPlaylistItem ADD COLUMN explanation TEXT"),
                QStringLiteral("ALTER TABLE StoredPlaylistItem ADD COLUMN usageScenario TEXT"),
                QStringLiteral("ALTER TABLE StoredPlaylistItem ADD COLUMN playbackProfileData BLOB"),
                QStringLiteral("CREATE INDEX StoredLexiconOwner ON StoredLexicon (ownerKey, id)")}},
    };
    return all;
}

bool isKnown(int version)
{
    if (version == 0)
        return true;
    for (const Step &step : steps()) {
        if (step.version == version)
            return true;
    }
    return false;
}

void collapseDuplicatePlaylists(const QSqlDatabase &db)
{
    QSqlQuery rows
        = sql::run(db, QStringLiteral("SELECT rowid, ownerKey, id, deleted FROM StoredPlaylist ORDER BY rowid"));
    struct Group {
        qint64 survivor = 0;
        bool survivorDeleted = false;
        QList<qint64> rows;
    };
    QHash<QString, Group> groups;
    while (rows.next()) {
        const qint64 rowid = rows.value(0).toLongLong();
        const QString key = sql::readString(rows.value(1)).value_or(QString()) + QChar(0x1F)
            + QString::number(sql::readInteger(rows.value(2)).value_or(0));
        const bool deleted = sql::readFlag(rows.value(3));
        Group &group = groups[key];
        if (group.rows.isEmpty() || (deleted && !group.survivorDeleted)) {
            group.survivor = rowid;
            group.survivorDeleted = deleted;
        }
        group.rows.append(rowid);
    }
    rows.finish();
    sql::Statement remove(db, QStringLiteral("DELETE FROM StoredPlaylist WHERE rowid = ?"));
    for (const Group &group : std::as_const(groups)) {
        for (qint64 rowid : group.rows) {
            if (rowid != group.survivor)
                remove.run({rowid});
        }
    }
}

void removeDuplicatePlaylistItems(const QSqlDatabase &db, bool itemsHaveOwners)
{
    // The owner belongs to an item's slot where the file records it: items of two
    // owners that share a playlist id and a position are both kept.
    QSqlQuery rows = sql::run(db,
        QStringLiteral("SELECT rowid, playlistId, position, %1 FROM StoredPlaylistItem "
                       "ORDER BY playlistId, position, wordId, rowid")
            .arg(itemsHaveOwners ? QStringLiteral("ownerKey") : QStringLiteral("NULL")));
    QSet<QString> seen;
    QList<qint64> duplicates;
    while (rows.next()) {
        const QString key = sql::readString(rows.value(3)).value_or(QString()) + QChar(0x1F)
            + QString::number(sql::readInteger(rows.value(1)).value_or(0)) + QChar(0x1F)
            + QString::number(sql::readInteger(rows.value(2)).value_or(0));
        if (seen.contains(key))
            duplicates.append(rows.value(0).toLongLong());
        else
            seen.insert(key);
    }
    rows.finish();
    sql::Statement remove(db, QStringLiteral("DELETE FROM StoredPlaylistItem WHERE rowid = ?"));
    for (qint64 rowid : std::as_const(duplicates))
        remove.run({rowid});
}

} // namespace

int version(const QSqlDatabase &db)
{
    QSqlQuery query = sql::run(db, QStringLiteral("PRAGMA user_version"));
    if (!query.next())
        sql::fail(query.lastError());
    return query.value(0).toInt();
}

void migrate(QSqlDatabase &db)
{
    const int found = version(db);
    if (found > currentVersion || !isKnown(found)) {
        throw LocalStoreDatabaseError(
            QStringLiteral("数据文件版本 %1 不是本应用能识别的版本（最高 %2）").arg(found).arg(currentVersion));
    }
    for (const Step &step : steps()) {
        if (step.version <= found)
            continue;
        sql::inTransaction(db, [&] {
            for (const QString &statement : step.statements)
                sql::run(db, statement);
            sql::run(db, QStringLiteral("PRAGMA user_version = %1").arg(step.version));
        });
    }
}

void prepareLegacyStore(QSqlDatabase &db)
{
    const int found = version(db);
    if (found == 0 || found >= currentVersion || !isKnown(found))
        return;
    sql::inTransaction(db, [&] {
        collapseDuplicatePlaylists(db);
        removeDuplicatePlaylistItems(db, found >= 5);
    });
}

} // namespace talvoro::storeschema
