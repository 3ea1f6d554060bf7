// Moving a playlist partition kept under a user name (as older releases did) into
// the owner-keyed partition, merging it with what is there.
#include "Persistence/LocalWordStore.h"

#include "Persistence/SqlSupport.h"

#include "Platform/Logging.h"

#include <QMap>
#include <QRegularExpression>

namespace talvoro {

namespace {

const QString pendingState = QStringLiteral("PENDING_DELETE");
const QString acknowledgedState = QStringLiteral("DELETE_ACKNOWLEDGED");

// The environment a key names: its text before the first "|", when that is an
// environment key ("env-sha256:" and 64 lower-case hexadecimal digits).
std::optional<QString> provenEnvironment(const QString &key)
{
    static const QRegularExpression environmentKey(
        QRegularExpression::anchoredPattern(QStringLiteral("env-sha256:[0-9a-f]{64}")));
    const qsizetype bar = key.indexOf(QLatin1Char('|'));
    if (bar < 0)
        return std::nullopt;
    const QString environment = key.left(bar);
    if (!environmentKey.match(environment).hasMatch())
        return std::nullopt;
    return environment;
}

struct PlaylistRow {
    qint64 rowid = 0;
    std::optional<QString> ownerKey;
    bool deleted = false;
    std::optional<qint64> version;
    std::optional<QString> deletionState;
    std::optional<QDateTime> deleteAcknowledgedAt;
    std::optional<QDateTime> serverDeletedAt;
};

struct OperationRow {
    qint64 rowid = 0;
    std::optional<QDateTime> createdAt;
    std::optional<qint64> attemptCount;
    std::optional<QDateTime> nextAttemptAt;
    std::optional<QDateTime> lastAttemptAt;
    QVariant lastAttemptAtValue;
    QVariant lastError;
};

template<typename T>
std::optional<T> latest(const std::optional<T> &a, const std::optional<T> &b)
{
    if (!a)
        return b;
    if (!b)
        return a;
    return std::max(*a, *b);
}

QString placeholders(qsizetype count)
{
    QStringList marks;
    marks.fill(QStringLiteral("?"), count);
    return marks.join(QStringLiteral(", "));
}

} // namespace

void LocalWordStore::migrateLegacyPlaylistPartition(const QString &legacyKey, const QString &scopedKey)
{
    requireAvailable();
    validateOwnerKey(legacyKey);
    validateOwnerKey(scopedKey);
    if (legacyKey == scopedKey)
        return;
    const QString pairKey = legacyKey + QChar(0x1F) + scopedKey;
    if (m_migratedPlaylistOwnerPairs.contains(pairKey))
        return;
    if (!isLegacyPartitionMigratable(legacyKey, scopedKey, pairKey))
        return;
    movePlaylistPartition(legacyKey, scopedKey);
    m_migratedPlaylistOwnerPairs.insert(pairKey);
}

// Tombstones and queued deletions must never reach another backend's account: when
// the owner key names an environment, the legacy key must name the same one.
bool LocalWordStore::isLegacyPartitionMigratable(
    const QString &legacyKey, const QString &scopedKey, const QString &pairKey)
{
    const auto scopedEnvironment = provenEnvironment(scopedKey);
    if (!scopedEnvironment || provenEnvironment(legacyKey) == scopedEnvironment)
        return true;
    qCInfo(log::localWordStore).noquote()
        << QStringLiteral("已隔离来源环境不可证明的旧播放列表分区，未迁移其墓碑或删除队列");
    m_migratedPlaylistOwnerPairs.insert(pairKey);
    return false;
}

void LocalWordStore::movePlaylistPartition(const QString &legacyKey, const QString &scopedKey)
{
    const QDateTime now = this->now();
    sql::inTransaction(m_db, [&] {
        QMap<qint64, QList<OperationRow>> operations;
        QSqlQuery operationRows = sql::run(m_db,
            QStringLiteral(
                "SELECT rowid, playlistID, createdAt, attemptCount, nextAttemptAt, lastAttemptAt, lastError "
                "FROM PendingPlaylistOperation WHERE ownerKey IN (?, ?) AND action = 'DELETE' ORDER BY rowid"),
            {legacyKey, scopedKey});
        while (operationRows.next()) {
            operations[sql::readInteger(operationRows.value(1)).value_or(0)].append(
                {operationRows.value(0).toLongLong(), sql::readDate(operationRows.value(2)),
                    sql::readInteger(operationRows.value(3)), sql::readDate(operationRows.value(4)),
                    sql::readDate(operationRows.value(5)), operationRows.value(5), operationRows.value(6)});
        }
        operationRows.finish();

        QMap<qint64, QList<PlaylistRow>> playlists;
        QSqlQuery playlistRows = sql::run(m_db,
            QStringLiteral("SELECT rowid, ownerKey, id, deleted, version, deletionState, deleteAcknowledgedAt, "
                           "serverDeletedAt FROM StoredPlaylist WHERE ownerKey IN (?, ?) ORDER BY rowid"),
            {legacyKey, scopedKey});
        while (playlistRows.next()) {
            playlists[sql::readInteger(playlistRows.value(2)).value_or(0)].append({playlistRows.value(0).toLongLong(),
                sql::readString(playlistRows.value(1)), sql::readFlag(playlistRows.value(3)),
                sql::readInteger(playlistRows.value(4)), sql::readString(playlistRows.value(5)),
                sql::readDate(playlistRows.value(6)), sql::readDate(playlistRows.value(7))});
        }
        playlistRows.finish();

        QSet<qint64> toQueue;
        for (auto group = playlists.cbegin(); group != playlists.cend(); ++group) {
            if (group.key() < 1)
                continue;
            const qint64 id = group.key();
            const QList<PlaylistRow> &rows = group.value();
            const bool queued = operations.contains(id);

            // The survivor is a tombstone when there is one, else the newest row; it
            // takes the newest row's fields either way.
            const PlaylistRow *highest = &rows.first();
            const PlaylistRow *firstTombstone = nullptr;
            bool unacknowledged = false;
            std::optional<QDateTime> acknowledgedAt;
            std::optional<QDateTime> serverDeletedAt;
            QStringList ownerKeys;
            for (const PlaylistRow &row : rows) {
                if (row.version.value_or(0) > highest->version.value_or(0))
                    highest = &row;
                if (row.deleted) {
                    if (!firstTombstone)
                        firstTombstone = &row;
                    unacknowledged = unacknowledged || row.deletionState != acknowledgedState;
                    acknowledgedAt = latest(acknowledgedAt, row.deleteAcknowledgedAt);
                    serverDeletedAt = latest(serverDeletedAt, row.serverDeletedAt);
                }
                if (row.ownerKey && !ownerKeys.contains(*row.ownerKey))
                    ownerKeys.append(*row.ownerKey);
            }
            const PlaylistRow &survivor = firstTombstone ? *firstTombstone : *highest;
            const bool deleted = firstTombstone || queued;
            const bool needsQueue = queued || unacknowledged;
            const QString formerOwner = survivor.ownerKey.value_or(scopedKey);

            if (survivor.rowid != highest->rowid) {
                sql::run(m_db,
                    QStringLiteral(
                        "UPDATE StoredPlaylist SET (id, name, loopMode, loopCount, version) = "
                        "(SELECT id, name, loopMode, loopCount, version FROM StoredPlaylist WHERE rowid = ?) "
                        "WHERE rowid = ?"),
                    {highest->rowid, survivor.rowid});
            }
            // The other rows go first, so the survivor can take the scoped key.
            for (const PlaylistRow &row : rows) {
                if (row.rowid != survivor.rowid)
                    sql::run(m_db, QStringLiteral("DELETE FROM StoredPlaylist WHERE rowid = ?"), {row.rowid});
            }
            if (needsQueue) {
                sql::run(m_db,
                    QStringLiteral("UPDATE StoredPlaylist SET ownerKey = ?, deleted = 1, deletionState = ?, "
                                   "deleteAcknowledgedAt = NULL, serverDeletedAt = NULL, "
                                   "deleteRequestedAt = CASE WHEN typeof(deleteRequestedAt) = 'integer' "
                                   "THEN deleteRequestedAt ELSE ? END WHERE rowid = ?"),
                    {scopedKey, pendingState, sql::date(now), survivor.rowid});
                toQueue.insert(id);
            } else if (!deleted) {
                sql::run(m_db,
                    QStringLiteral("UPDATE StoredPlaylist SET ownerKey = ?, deleted = 0, deletionState = 'ACTIVE', "
                                   "deleteRequestedAt = NULL, deleteAcknowledgedAt = NULL, serverDeletedAt = NULL "
                                   "WHERE rowid = ?"),
                    {scopedKey, survivor.rowid});
            } else {
                sql::run(m_db,
                    QStringLiteral("UPDATE StoredPlaylist SET ownerKey = ?, deleted = 1, deletionState = ?, "
                                   "deleteAcknowledgedAt = ?, serverDeletedAt = ? WHERE rowid = ?"),
                    {scopedKey, acknowledgedState, sql::date(acknowledgedAt.value_or(now)), sql::date(serverDeletedAt),
                        survivor.rowid});
            }

            if (ownerKeys.isEmpty())
                continue;
            QVariantList values {id};
            for (const QString &key : std::as_const(ownerKeys))
                values.append(key);
            if (deleted) {
                sql::run(m_db,
                    QStringLiteral("DELETE FROM StoredPlaylistItem WHERE playlistId = ? AND ownerKey IN (%1)")
                        .arg(placeholders(ownerKeys.size())),
                    values);
                continue;
            }
            // Only the survivor's own items stay, now under the scoped key.
            values.append(formerOwner);
            sql::run(m_db,
                QStringLiteral("DELETE FROM StoredPlaylistItem WHERE playlistId = ? AND ownerKey IN (%1) "
                               "AND ownerKey <> ?")
                    .arg(placeholders(ownerKeys.size())),
                values);
            if (ownerKeys.contains(formerOwner)) {
                sql::run(m_db,
                    QStringLiteral("UPDATE OR REPLACE StoredPlaylistItem SET ownerKey = ? "
                                   "WHERE playlistId = ? AND ownerKey = ?"),
                    {scopedKey, id, formerOwner});
            }
        }

        // A deletion queued for a playlist with no row anywhere keeps a tombstone.
        for (auto group = operations.cbegin(); group != operations.cend(); ++group) {
            if (group.key() < 1 || playlists.contains(group.key()))
                continue;
            const qint64 rowid = insertTombstoneRow(scopedKey, group.key());
            sql::run(m_db,
                QStringLiteral("UPDATE StoredPlaylist SET deletionState = ?, deleteRequestedAt = ? WHERE rowid = ?"),
                {pendingState, sql::date(now), rowid});
            toQueue.insert(group.key());
        }

        // One queue entry per playlist: the oldest, with the most attempts counted,
        // due at the earliest time any of them was (at once if one had no time).
        for (auto group = operations.cbegin(); group != operations.cend(); ++group) {
            if (group.key() < 1)
                continue;
            const QList<OperationRow> &rows = group.value();
            const OperationRow *survivor = &rows.first();
            const OperationRow *lastAttempt = &rows.first();
            qint64 attempts = 0;
            std::optional<QDateTime> nextAttemptAt = rows.first().nextAttemptAt;
            for (const OperationRow &row : rows) {
                if (row.createdAt && (!survivor->createdAt || *row.createdAt < *survivor->createdAt))
                    survivor = &row;
                if (row.lastAttemptAt
                    && (!lastAttempt->lastAttemptAt || *row.lastAttemptAt > *lastAttempt->lastAttemptAt))
                    lastAttempt = &row;
                attempts = std::max(attempts, row.attemptCount.value_or(0));
                nextAttemptAt = row.nextAttemptAt && nextAttemptAt ? std::min(*nextAttemptAt, *row.nextAttemptAt)
                                                                   : std::optional<QDateTime>();
            }
            for (const OperationRow &row : rows) {
                if (row.rowid != survivor->rowid)
                    sql::run(m_db, QStringLiteral("DELETE FROM PendingPlaylistOperation WHERE rowid = ?"), {row.rowid});
            }
            sql::run(m_db,
                QStringLiteral("UPDATE PendingPlaylistOperation SET ownerKey = ?, action = 'DELETE', attemptCount = ?, "
                               "nextAttemptAt = ?, lastAttemptAt = ?, lastError = ? WHERE rowid = ?"),
                {scopedKey, attempts, sql::date(nextAttemptAt), lastAttempt->lastAttemptAtValue, lastAttempt->lastError,
                    survivor->rowid});
        }
        for (qint64 id : std::as_const(toQueue)) {
            if (!operations.contains(id))
                enqueuePlaylistDeletion(scopedKey, id);
        }
    });
}

} // namespace talvoro
