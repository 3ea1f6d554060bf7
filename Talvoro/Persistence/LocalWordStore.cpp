#include "Persistence/LocalWordStore.h"

#include "Persistence/SqlSupport.h"
#include "Persistence/StoreSchema.h"

#include "Platform/Json.h"
#include "Platform/Logging.h"
#include "Platform/Text.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDriver>
#include <QTextBoundaryFinder>
#include <QThread>

#include <atomic>

namespace talvoro {

namespace {

const QString legacyItemOwner = QStringLiteral("__legacy_unscoped_playlist_item__");
const QString activeState = QStringLiteral("ACTIVE");
const QString pendingState = QStringLiteral("PENDING_DELETE");
const QString acknowledgedState = QStringLiteral("DELETE_ACKNOWLEDGED");
constexpr qsizetype lastErrorCharacters = 512;
constexpr qint64 tombstoneRetentionSeconds = 86400;

std::atomic<int> connectionCounter {0};

std::optional<QString> encodeTranslations(const std::optional<QList<QString>> &translations)
{
    if (!translations)
        return std::nullopt;
    return QString::fromUtf8(json::serialize(QJsonArray::fromStringList(*translations)));
}

std::optional<QList<QString>> decodeTranslations(const std::optional<QString> &text)
{
    if (!text)
        return std::nullopt;
    try {
        const QJsonArray array = json::parseArray(text->toUtf8());
        QList<QString> translations;
        for (const QJsonValue &value : array) {
            if (!value.isString())
                return std::nullopt;
            translations.append(value.toString());
        }
        return translations;
    } catch (const AppError &) {
        return std::nullopt;
    }
}

std::optional<QByteArray> encodeProfile(const std::optional<WordPlaybackProfile> &profile)
{
    if (!profile)
        return std::nullopt;
    try {
        return json::serialize(profile->toJson());
    } catch (const AppError &) {
        return std::nullopt;
    }
}

std::optional<WordPlaybackProfile> decodeProfile(const std::optional<QByteArray> &data)
{
    if (!data)
        return std::nullopt;
    try {
        return WordPlaybackProfile::fromJson(json::parse(*data));
    } catch (const AppError &) {
        return std::nullopt;
    }
}

// The first `count` characters as a reader counts them (grapheme clusters).
QString leadingCharacters(const QString &text, qsizetype count)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    for (qsizetype i = 0; i < count; ++i) {
        if (finder.toNextBoundary() == -1)
            return text;
    }
    return text.left(finder.position());
}

// One item per position, as a reader keeps them: the smallest word id, the earlier
// item on a tie. The file holds one item per owner, playlist and position.
QList<ORVPlaylistItem> itemsOnePerPosition(const QList<ORVPlaylistItem> &items)
{
    QHash<qint64, qsizetype> chosen; // position -> index in items
    for (qsizetype i = 0; i < items.size(); ++i) {
        const auto found = chosen.constFind(items.at(i).position);
        if (found == chosen.cend() || items.at(i).wordId < items.at(*found).wordId)
            chosen.insert(items.at(i).position, i);
    }
    QList<ORVPlaylistItem> kept;
    kept.reserve(chosen.size());
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (chosen.value(items.at(i).position) == i)
            kept.append(items.at(i));
    }
    return kept;
}

// Writes playlists and their items, with its statements prepared once for all of them.
class PlaylistWriter {
public:
    explicit PlaylistWriter(const QSqlDatabase &db)
        : m_rows(db,
            QStringLiteral("SELECT rowid, deleted FROM StoredPlaylist WHERE ownerKey = ? AND id = ? "
                           "ORDER BY deleted DESC, rowid"))
        , m_deleteOthers(db, QStringLiteral("DELETE FROM StoredPlaylist WHERE ownerKey = ? AND id = ? AND rowid <> ?"))
        , m_update(db,
              QStringLiteral("UPDATE StoredPlaylist SET id = ?, name = ?, loopMode = ?, loopCount = ?, version = ?, "
                             "ownerKey = ?, deleted = 0, deletionState = ?, deleteRequestedAt = NULL, "
                             "deleteAcknowledgedAt = NULL, serverDeletedAt = NULL WHERE rowid = ?"))
        , m_insert(db,
              QStringLiteral("INSERT INTO StoredPlaylist (id, name, loopMode, loopCount, version, ownerKey, deleted, "
                             "deletionState) VALUES (?, ?, ?, ?, ?, ?, 0, ?)"))
        , m_removeItems(db, QStringLiteral("DELETE FROM StoredPlaylistItem WHERE ownerKey = ? AND playlistId = ?"))
        , m_insertItem(db,
              QStringLiteral("INSERT INTO StoredPlaylistItem (ownerKey, playlistId, wordId, wordDisplay, ipa, "
                             "syllables, translationsZhJSON, explanation, usageScenario, playbackProfileData, "
                             "position, repeatCount) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"))
    { }

    // A tombstone of the id wins: only live duplicates of it go, nothing is written.
    void write(const ORVPlaylist &playlist, const QString &ownerKey)
    {
        QSqlQuery &rows = m_rows.run({ownerKey, playlist.id});
        std::optional<qint64> kept;
        bool keptIsTombstone = false;
        if (rows.next()) {
            kept = rows.value(0).toLongLong();
            keptIsTombstone = sql::readFlag(rows.value(1));
        }
        rows.finish();
        if (kept)
            m_deleteOthers.run({ownerKey, playlist.id, *kept});
        if (keptIsTombstone)
            return;

        const QVariant name = sql::text(playlist.name);
        const QVariant loopMode = sql::text(playlist.loopMode);
        const QVariant loopCount = sql::integer(playlist.loopCount);
        if (kept) {
            m_update.run({playlist.id, name, loopMode, loopCount, playlist.version, ownerKey, activeState, *kept});
        } else {
            m_insert.run({playlist.id, name, loopMode, loopCount, playlist.version, ownerKey, activeState});
        }
        m_removeItems.run({ownerKey, playlist.id});
        for (const ORVPlaylistItem &item : itemsOnePerPosition(playlist.items)) {
            m_insertItem.run({ownerKey, playlist.id, item.wordId, sql::text(item.wordDisplay), sql::text(item.ipa),
                sql::text(item.syllables), sql::text(encodeTranslations(item.translationsZh)),
                sql::text(item.explanation), sql::text(item.usageScenario),
                sql::data(encodeProfile(item.playbackProfile)), item.position, item.repeatCount});
        }
    }

private:
    sql::Statement m_rows;
    sql::Statement m_deleteOthers;
    sql::Statement m_update;
    sql::Statement m_insert;
    sql::Statement m_removeItems;
    sql::Statement m_insertItem;
};

} // namespace

// ---- Opening

LocalWordStore::LocalWordStore(StoreConfiguration configuration, std::shared_ptr<const Clock> clock)
    : m_connectionName(QStringLiteral("LocalWordStore-%1").arg(connectionCounter.fetch_add(1)))
    , m_clock(std::move(clock))
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    m_db.setDatabaseName(configuration.path);
    open(configuration);
}

LocalWordStore::~LocalWordStore()
{
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
}

QString LocalWordStore::defaultStoreURL(const AppDirectories &directories)
{
    const QString folder = directories.applicationSupport;
    if (!QDir().mkpath(folder))
        qCCritical(log::localWordStore).noquote() << QStringLiteral("创建本地数据目录失败：%1").arg(folder);
    return QDir(folder).filePath(QStringLiteral("QuenbryStore.sqlite"));
}

void LocalWordStore::validateOwnerKey(const QString &ownerKey)
{
    if (text::isBlank(ownerKey))
        throw LocalWordStoreError(LocalWordStoreError::Kind::invalidOwnerKey);
}

void LocalWordStore::ensureConnectionOpen()
{
    if (!m_db.isValid())
        throw LocalStoreDatabaseError(QStringLiteral("SQLite 驱动不可用"));
    if (!m_db.isOpen() && !m_db.open())
        sql::fail(m_db.lastError());
}

void LocalWordStore::open(const StoreConfiguration &configuration)
{
    if (configuration.shouldPrepareLegacyStore && QFileInfo::exists(configuration.path)) {
        try {
            ensureConnectionOpen();
            storeschema::prepareLegacyStore(m_db);
        } catch (const AppError &error) {
            qCCritical(log::localWordStore).noquote()
                << QStringLiteral("播放列表旧数据预处理失败：%1").arg(error.description());
        }
    }

    try {
        ensureConnectionOpen();
        // A damaged file is refused whole rather than failing one query at a time.
        QSqlQuery check = sql::run(m_db, QStringLiteral("PRAGMA quick_check"));
        if (!check.next() || check.value(0).toString() != QStringLiteral("ok"))
            throw LocalStoreDatabaseError(check.value(0).toString());
        check.finish();
        storeschema::migrate(m_db);
        sql::run(m_db, QStringLiteral("PRAGMA journal_mode = WAL"));
    } catch (const AppError &error) {
        m_loadFailure = error.description();
        qCCritical(log::localWordStore).noquote() << QStringLiteral("Core Data 加载失败：%1").arg(error.description());
        m_db.close();
        return;
    }

    try {
        backfillPlaylistItemOwnerKeys();
        requeueUnacknowledgedTombstones();
    } catch (const AppError &error) {
        m_loadFailure = error.description();
        qCCritical(log::localWordStore).noquote()
            << QStringLiteral("播放列表租户数据迁移失败：%1").arg(error.description());
        m_db.close();
    }
}

void LocalWordStore::requireAvailable() const
{
    Q_ASSERT_X(!m_db.driver() || m_db.driver()->thread() == QThread::currentThread(), "LocalWordStore",
        "used from another thread");
    if (m_loadFailure)
        throw LocalWordStoreError(LocalWordStoreError::Kind::unavailable);
}

QDateTime LocalWordStore::now() const
{
    return m_clock->now();
}

// Items written before items had owners take the owner of their playlist's id when
// exactly one owner has it; otherwise nobody can be shown to own them.
void LocalWordStore::backfillPlaylistItemOwnerKeys()
{
    QHash<qint64, QSet<QString>> owners;
    QSqlQuery playlists = sql::run(m_db, QStringLiteral("SELECT id, ownerKey FROM StoredPlaylist"));
    while (playlists.next()) {
        const auto id = sql::readInteger(playlists.value(0));
        const auto ownerKey = sql::readString(playlists.value(1));
        if (id && *id >= 1 && ownerKey && !text::isBlank(*ownerKey))
            owners[*id].insert(*ownerKey);
    }
    playlists.finish();

    QList<std::pair<qint64, qint64>> items; // rowid, playlistId
    QSqlQuery unscoped = sql::run(m_db,
        QStringLiteral("SELECT rowid, playlistId FROM StoredPlaylistItem "
                       "WHERE ownerKey IS NULL OR ownerKey = '' OR ownerKey = ?"),
        {legacyItemOwner});
    while (unscoped.next())
        items.append({unscoped.value(0).toLongLong(), sql::readInteger(unscoped.value(1)).value_or(0)});
    unscoped.finish();
    if (items.isEmpty())
        return;

    sql::inTransaction(m_db, [&] {
        // When the owner already has an item at that slot, that newer item stays.
        sql::Statement assign(
            m_db, QStringLiteral("UPDATE OR IGNORE StoredPlaylistItem SET ownerKey = ? WHERE rowid = ?"));
        sql::Statement remove(m_db, QStringLiteral("DELETE FROM StoredPlaylistItem WHERE rowid = ?"));
        for (const auto &[rowid, playlistId] : std::as_const(items)) {
            const QSet<QString> found = owners.value(playlistId);
            if (found.size() == 1 && assign.run({*found.cbegin(), rowid}).numRowsAffected() == 1)
                continue;
            remove.run({rowid});
        }
    });
}

// ---- Private lexicons

QList<UserLexicon> LocalWordStore::fetchPrivateLexicons(const QString &ownerKey)
{
    requireAvailable();
    validateOwnerKey(ownerKey);
    QSqlQuery rows = sql::run(m_db,
        QStringLiteral("SELECT id, name, wordCount FROM StoredLexicon WHERE ownerKey = ? AND deleted = 0 "
                       "ORDER BY id DESC, rowid"),
        {ownerKey});
    QList<UserLexicon> lexicons;
    while (rows.next()) {
        const auto id = sql::readInteger(rows.value(0));
        const auto name = sql::readString(rows.value(1));
        if (!id || !name)
            continue;
        UserLexicon lexicon;
        lexicon.id = *id;
        lexicon.name = *name;
        lexicon.version = 1;
        lexicon.wordCount = sql::readInteger(rows.value(2)).value_or(0);
        lexicon.updatedAt = QStringLiteral("");
        lexicons.append(lexicon);
    }
    return lexicons;
}

void LocalWordStore::savePrivateLexicons(const QList<UserLexicon> &lexicons, const QString &ownerKey)
{
    requireAvailable();
    validateOwnerKey(ownerKey);
    sql::inTransaction(m_db, [&] {
        sql::Statement find(m_db,
            QStringLiteral("SELECT rowid FROM StoredLexicon WHERE ownerKey = ? AND id = ? ORDER BY rowid LIMIT 1"));
        sql::Statement update(m_db,
            QStringLiteral("UPDATE StoredLexicon SET id = ?, name = ?, wordCount = ?, ownerKey = ?, deleted = 0 "
                           "WHERE rowid = ?"));
        sql::Statement insert(m_db,
            QStringLiteral(
                "INSERT INTO StoredLexicon (id, name, wordCount, ownerKey, deleted) VALUES (?, ?, ?, ?, 0)"));
        for (const UserLexicon &lexicon : lexicons) {
            QSqlQuery &found = find.run({ownerKey, lexicon.id});
            const std::optional<qint64> rowid
                = found.next() ? std::optional(found.value(0).toLongLong()) : std::nullopt;
            found.finish();
            const QVariant name = sql::text(lexicon.name);
            if (rowid)
                update.run({lexicon.id, name, lexicon.wordCount, ownerKey, *rowid});
            else
                insert.run({lexicon.id, name, lexicon.wordCount, ownerKey});
        }
    });
}

// ---- Playlists

QList<ORVPlaylist> LocalWordStore::fetchPlaylists(const QString &ownerKey)
{
    requireAvailable();
    validateOwnerKey(ownerKey);
    return sql::inTransaction(m_db, [&] {
        QList<ORVPlaylist> playlists;
        QSet<qint64> seenIds;
        QSqlQuery rows = sql::run(m_db,
            QStringLiteral("SELECT id, name, loopMode, loopCount, version FROM StoredPlaylist "
                           "WHERE ownerKey = ? AND deleted = 0 ORDER BY id DESC, version DESC, rowid"),
            {ownerKey});
        while (rows.next()) {
            const auto id = sql::readInteger(rows.value(0));
            if (!id || seenIds.contains(*id))
                continue;
            seenIds.insert(*id);
            const auto name = sql::readString(rows.value(1));
            if (!name)
                continue;
            ORVPlaylist playlist;
            playlist.id = *id;
            playlist.name = *name;
            playlist.loopMode = sql::readString(rows.value(2)).value_or(QStringLiteral("ONCE"));
            playlist.loopCount = sql::readInteger(rows.value(3));
            playlist.version = sql::readInteger(rows.value(4)).value_or(1);
            playlists.append(playlist);
        }
        rows.finish();

        // All of the owner's items in one pass, each playlist's in position order.
        QHash<qint64, QList<ORVPlaylistItem>> itemsByPlaylist;
        QHash<qint64, QSet<qint64>> positionsByPlaylist;
        QSqlQuery items = sql::run(m_db,
            QStringLiteral("SELECT playlistId, wordId, wordDisplay, ipa, syllables, translationsZhJSON, explanation, "
                           "usageScenario, playbackProfileData, position, repeatCount FROM StoredPlaylistItem "
                           "WHERE ownerKey = ? ORDER BY playlistId, position, wordId, rowid"),
            {ownerKey});
        while (items.next()) {
            const auto playlistId = sql::readInteger(items.value(0));
            const auto wordId = sql::readInteger(items.value(1));
            const auto wordDisplay = sql::readString(items.value(2));
            if (!playlistId || !seenIds.contains(*playlistId) || !wordId || !wordDisplay)
                continue;
            const qint64 position = sql::readInteger(items.value(9)).value_or(1);
            QSet<qint64> &positions = positionsByPlaylist[*playlistId];
            if (positions.contains(position))
                continue;
            positions.insert(position);
            ORVPlaylistItem item;
            item.wordId = *wordId;
            item.wordDisplay = *wordDisplay;
            item.ipa = sql::readString(items.value(3));
            item.syllables = sql::readString(items.value(4));
            item.translationsZh = decodeTranslations(sql::readString(items.value(5)));
            item.explanation = sql::readString(items.value(6));
            item.usageScenario = sql::readString(items.value(7));
            item.playbackProfile = decodeProfile(sql::readData(items.value(8)));
            item.position = position;
            item.repeatCount = sql::readInteger(items.value(10)).value_or(1);
            itemsByPlaylist[*playlistId].append(item);
        }
        items.finish();
        for (ORVPlaylist &playlist : playlists)
            playlist.items = itemsByPlaylist.value(playlist.id);
        return playlists;
    });
}

void LocalWordStore::upsertPlaylist(const ORVPlaylist &playlist, const QString &ownerKey)
{
    requireAvailable();
    validateOwnerKey(ownerKey);
    if (playlist.id < 1)
        throw LocalWordStoreError(LocalWordStoreError::Kind::invalidPlaylistID);
    sql::inTransaction(m_db, [&] { PlaylistWriter(m_db).write(playlist, ownerKey); });
}

void LocalWordStore::replaceAllPlaylists(
    const QList<ORVPlaylist> &playlists, const QString &ownerKey, const QDateTime &now)
{
    requireAvailable();
    validateOwnerKey(ownerKey);

    // One entry per id: the highest version, the later one of equal versions.
    QList<qint64> order;
    QHash<qint64, ORVPlaylist> latest;
    for (const ORVPlaylist &playlist : playlists) {
        if (playlist.id < 1)
            continue;
        const auto held = latest.constFind(playlist.id);
        if (held == latest.cend())
            order.append(playlist.id);
        else if (playlist.version < held->version)
            continue;
        latest.insert(playlist.id, playlist);
    }

    sql::inTransaction(m_db, [&] {
        PlaylistWriter writer(m_db);
        for (qint64 id : std::as_const(order))
            writer.write(latest.value(id), ownerKey);

        // Live playlists the server no longer lists go, with their items.
        QList<std::pair<qint64, qint64>> absent; // rowid, id
        QSqlQuery live = sql::run(m_db,
            QStringLiteral("SELECT rowid, id FROM StoredPlaylist WHERE ownerKey = ? AND deleted = 0"), {ownerKey});
        while (live.next()) {
            const auto id = sql::readInteger(live.value(1));
            if (id && !latest.contains(*id))
                absent.append({live.value(0).toLongLong(), *id});
        }
        live.finish();
        QSet<qint64> emptied;
        for (const auto &[rowid, id] : std::as_const(absent)) {
            sql::run(m_db, QStringLiteral("DELETE FROM StoredPlaylist WHERE rowid = ?"), {rowid});
            if (!emptied.contains(id)) {
                removePlaylistItems(ownerKey, id);
                emptied.insert(id);
            }
        }

        // Tombstones the server no longer lists: a pending deletion is done; an
        // acknowledged one is forgotten a day after, once nothing is queued for it.
        struct Tombstone {
            qint64 rowid;
            qint64 id;
            QString state;
            std::optional<QDateTime> acknowledgedAt;
        };
        QList<Tombstone> tombstones;
        QSqlQuery deleted = sql::run(m_db,
            QStringLiteral("SELECT rowid, id, deletionState, deleteAcknowledgedAt FROM StoredPlaylist "
                           "WHERE ownerKey = ? AND deleted = 1"),
            {ownerKey});
        while (deleted.next()) {
            const auto id = sql::readInteger(deleted.value(1));
            const auto state = sql::readString(deleted.value(2));
            if (id && !latest.contains(*id) && state)
                tombstones.append({deleted.value(0).toLongLong(), *id, *state, sql::readDate(deleted.value(3))});
        }
        deleted.finish();
        const QDateTime cutoff = now.addSecs(-tombstoneRetentionSeconds);
        for (const Tombstone &tombstone : std::as_const(tombstones)) {
            if (tombstone.state == pendingState) {
                sql::run(m_db,
                    QStringLiteral("UPDATE StoredPlaylist SET deletionState = ?, deleteAcknowledgedAt = ?, "
                                   "serverDeletedAt = NULL WHERE rowid = ?"),
                    {acknowledgedState, sql::date(now), tombstone.rowid});
                deleteQueuedDeletions(ownerKey, tombstone.id);
            } else if (tombstone.state == acknowledgedState && tombstone.acknowledgedAt
                && *tombstone.acknowledgedAt <= cutoff) {
                QSqlQuery queued = sql::run(m_db,
                    QStringLiteral("SELECT 1 FROM PendingPlaylistOperation WHERE ownerKey = ? AND playlistID = ? "
                                   "AND action = 'DELETE' LIMIT 1"),
                    {ownerKey, tombstone.id});
                const bool stillQueued = queued.next();
                queued.finish();
                if (!stillQueued)
                    sql::run(m_db, QStringLiteral("DELETE FROM StoredPlaylist WHERE rowid = ?"), {tombstone.rowid});
            }
        }
    });
}

// ---- Tombstones and the deletion queue

QList<LocalWordStore::PlaylistRowRef> LocalWordStore::fetchPlaylistRows(const QString &ownerKey, qint64 playlistID)
{
    QSqlQuery query = sql::run(m_db,
        QStringLiteral("SELECT rowid, deleted, version FROM StoredPlaylist WHERE ownerKey = ? AND id = ? "
                       "ORDER BY deleted DESC, rowid"),
        {ownerKey, playlistID});
    QList<PlaylistRowRef> rows;
    while (query.next())
        rows.append({query.value(0).toLongLong(), sql::readFlag(query.value(1)), sql::readInteger(query.value(2))});
    return rows;
}

qint64 LocalWordStore::insertTombstoneRow(const QString &ownerKey, qint64 playlistID)
{
    const QSqlQuery query = sql::run(m_db,
        QStringLiteral("INSERT INTO StoredPlaylist (id, name, loopMode, ownerKey, deleted, version) "
                       "VALUES (?, '', 'ONCE', ?, 1, 0)"),
        {playlistID, ownerKey});
    return query.lastInsertId().toLongLong();
}

void LocalWordStore::removePlaylistItems(const QString &ownerKey, qint64 playlistID)
{
    sql::run(m_db, QStringLiteral("DELETE FROM StoredPlaylistItem WHERE ownerKey = ? AND playlistId = ?"),
        {ownerKey, playlistID});
}

void LocalWordStore::deleteQueuedDeletions(const QString &ownerKey, qint64 playlistID)
{
    sql::run(m_db,
        QStringLiteral(
            "DELETE FROM PendingPlaylistOperation WHERE ownerKey = ? AND playlistID = ? AND action = 'DELETE'"),
        {ownerKey, playlistID});
}

// Keeps the oldest entry of the playlist (with its attempt count) or adds one, and
// makes it due at once.
void LocalWordStore::enqueuePlaylistDeletion(const QString &ownerKey, qint64 playlistID)
{
    QSqlQuery query = sql::run(m_db,
        QStringLiteral("SELECT rowid FROM PendingPlaylistOperation WHERE ownerKey = ? AND playlistID = ? "
                       "AND action = 'DELETE' ORDER BY createdAt, rowid LIMIT 1"),
        {ownerKey, playlistID});
    const std::optional<qint64> kept = query.next() ? std::optional(query.value(0).toLongLong()) : std::nullopt;
    query.finish();
    if (!kept) {
        sql::run(m_db,
            QStringLiteral(
                "INSERT INTO PendingPlaylistOperation (operationID, ownerKey, playlistID, action, createdAt, "
                "attemptCount) VALUES (?, ?, ?, 'DELETE', ?, 0)"),
            {text::newUuidText(), ownerKey, playlistID, sql::date(now())});
        return;
    }
    sql::run(m_db,
        QStringLiteral("UPDATE PendingPlaylistOperation SET nextAttemptAt = NULL WHERE rowid = ? "
                       "AND nextAttemptAt IS NOT NULL"),
        {*kept});
    sql::run(m_db,
        QStringLiteral("DELETE FROM PendingPlaylistOperation WHERE ownerKey = ? AND playlistID = ? "
                       "AND action = 'DELETE' AND rowid <> ?"),
        {ownerKey, playlistID, *kept});
}

void LocalWordStore::tombstonePlaylist(const QString &ownerKey, qint64 playlistID)
{
    requireAvailable();
    validateOwnerKey(ownerKey);
    if (playlistID < 1)
        throw LocalWordStoreError(LocalWordStoreError::Kind::invalidPlaylistID);
    sql::inTransaction(m_db, [&] {
        const QList<PlaylistRowRef> rows = fetchPlaylistRows(ownerKey, playlistID);
        const qint64 kept = rows.isEmpty() ? insertTombstoneRow(ownerKey, playlistID) : rows.first().rowid;
        sql::run(m_db,
            QStringLiteral("UPDATE StoredPlaylist SET deleted = 1, deletionState = ?, "
                           "deleteRequestedAt = CASE WHEN typeof(deleteRequestedAt) = 'integer' "
                           "THEN deleteRequestedAt ELSE ? END, "
                           "deleteAcknowledgedAt = NULL, serverDeletedAt = NULL WHERE rowid = ?"),
            {pendingState, sql::date(now()), kept});
        sql::run(m_db, QStringLiteral("DELETE FROM StoredPlaylist WHERE ownerKey = ? AND id = ? AND rowid <> ?"),
            {ownerKey, playlistID, kept});
        removePlaylistItems(ownerKey, playlistID);
        enqueuePlaylistDeletion(ownerKey, playlistID);
    });
}

QList<PendingPlaylistDeletion> LocalWordStore::fetchPendingPlaylistDeletions(
    const QString &ownerKey, const std::optional<QDateTime> &dueAt)
{
    requireAvailable();
    validateOwnerKey(ownerKey);
    QString statement
        = QStringLiteral("SELECT operationID, ownerKey, playlistID, createdAt, attemptCount, nextAttemptAt "
                         "FROM PendingPlaylistOperation WHERE ownerKey = ? AND action = 'DELETE'");
    QVariantList values {ownerKey};
    if (dueAt) {
        statement += QStringLiteral(" AND (nextAttemptAt IS NULL OR nextAttemptAt <= ?)");
        values.append(sql::date(*dueAt));
    }
    statement += QStringLiteral(" ORDER BY createdAt, rowid");
    QSqlQuery rows = sql::run(m_db, statement, values);

    QList<PendingPlaylistDeletion> deletions;
    QSet<qint64> seen;
    while (rows.next()) {
        const auto playlistID = sql::readInteger(rows.value(2));
        if (!playlistID || seen.contains(*playlistID))
            continue;
        seen.insert(*playlistID);
        const auto operationID = sql::readString(rows.value(0));
        const auto owner = sql::readString(rows.value(1));
        const auto createdAt = sql::readDate(rows.value(3));
        if (!operationID || !owner || !createdAt)
            continue;
        deletions.append({*operationID, *playlistID, *owner, *createdAt, sql::readInteger(rows.value(4)).value_or(0),
            sql::readDate(rows.value(5))});
    }
    return deletions;
}

void LocalWordStore::recordPlaylistDeletionFailure(
    const QString &ownerKey, qint64 playlistID, const QString &message, const QDateTime &now)
{
    requireAvailable();
    validateOwnerKey(ownerKey);
    if (playlistID < 1)
        throw LocalWordStoreError(LocalWordStoreError::Kind::invalidPlaylistID);
    sql::inTransaction(m_db, [&] {
        QSqlQuery query = sql::run(m_db,
            QStringLiteral("SELECT rowid, attemptCount FROM PendingPlaylistOperation WHERE ownerKey = ? "
                           "AND playlistID = ? AND action = 'DELETE' ORDER BY createdAt, rowid"),
            {ownerKey, playlistID});
        std::optional<qint64> oldest;
        qint64 attempts = 0;
        while (query.next()) {
            if (!oldest)
                oldest = query.value(0).toLongLong();
            attempts = std::max(attempts, sql::readInteger(query.value(1)).value_or(0));
        }
        query.finish();
        if (!oldest)
            return;
        // 2 s after the first failure, doubling up to 256 s from the eighth on.
        const qint64 attempt = attempts + 1;
        const qint64 delay = std::min<qint64>(qint64(1) << std::clamp<qint64>(attempt, 0, 8), 300);
        sql::run(m_db,
            QStringLiteral("UPDATE PendingPlaylistOperation SET attemptCount = ?, lastAttemptAt = ?, "
                           "nextAttemptAt = ?, lastError = ? WHERE rowid = ?"),
            {attempt, sql::date(now), sql::date(now.addSecs(delay)),
                sql::text(leadingCharacters(message, lastErrorCharacters)), *oldest});
        sql::run(m_db,
            QStringLiteral("DELETE FROM PendingPlaylistOperation WHERE ownerKey = ? AND playlistID = ? "
                           "AND action = 'DELETE' AND rowid <> ?"),
            {ownerKey, playlistID, *oldest});
    });
}

void LocalWordStore::acknowledgePlaylistDeletion(const QString &ownerKey, qint64 playlistID,
    const std::optional<QDateTime> &serverDeletedAt, std::optional<qint64> version, const QDateTime &now)
{
    requireAvailable();
    validateOwnerKey(ownerKey);
    if (playlistID < 1)
        throw LocalWordStoreError(LocalWordStoreError::Kind::invalidPlaylistID);
    if (version && *version < 1)
        throw LocalWordStoreError(LocalWordStoreError::Kind::invalidRemoteVersion);
    sql::inTransaction(m_db, [&] {
        const QList<PlaylistRowRef> rows = fetchPlaylistRows(ownerKey, playlistID);
        const qint64 kept = rows.isEmpty() ? insertTombstoneRow(ownerKey, playlistID) : rows.first().rowid;
        const std::optional<qint64> storedVersion = rows.isEmpty() ? std::optional<qint64>(0) : rows.first().version;
        const QVariant newVersion = version ? QVariant(std::max(storedVersion.value_or(0), *version)) : QVariant();
        sql::run(m_db,
            QStringLiteral("UPDATE StoredPlaylist SET deleted = 1, deletionState = ?, "
                           "version = CASE WHEN ? THEN ? ELSE version END, "
                           "deleteRequestedAt = CASE WHEN typeof(deleteRequestedAt) = 'integer' "
                           "THEN deleteRequestedAt ELSE ? END, "
                           "serverDeletedAt = ?, deleteAcknowledgedAt = ? WHERE rowid = ?"),
            {acknowledgedState, version.has_value(), newVersion, sql::date(now), sql::date(serverDeletedAt),
                sql::date(now), kept});
        sql::run(m_db, QStringLiteral("DELETE FROM StoredPlaylist WHERE ownerKey = ? AND id = ? AND rowid <> ?"),
            {ownerKey, playlistID, kept});
        deleteQueuedDeletions(ownerKey, playlistID);
        removePlaylistItems(ownerKey, playlistID);
    });
}

// Every deletion the server has not confirmed is queued again and due at once; its
// attempt count stays, so the next failure continues the back-off from there. Rows
// that are already so are left alone: opening a settled file writes nothing.
void LocalWordStore::requeueUnacknowledgedTombstones()
{
    requireAvailable();
    struct Tombstone {
        qint64 rowid;
        qint64 id;
        QString ownerKey;
    };
    QList<Tombstone> tombstones;
    QSqlQuery rows = sql::run(
        m_db, QStringLiteral("SELECT rowid, id, ownerKey, deletionState FROM StoredPlaylist WHERE deleted = 1"));
    while (rows.next()) {
        const auto id = sql::readInteger(rows.value(1));
        const auto ownerKey = sql::readString(rows.value(2));
        if (!id || !ownerKey || ownerKey->isEmpty() || sql::readString(rows.value(3)) == acknowledgedState)
            continue;
        tombstones.append({rows.value(0).toLongLong(), *id, *ownerKey});
    }
    rows.finish();
    if (tombstones.isEmpty())
        return;
    sql::inTransaction(m_db, [&] {
        for (const Tombstone &tombstone : std::as_const(tombstones)) {
            sql::run(m_db,
                QStringLiteral("UPDATE StoredPlaylist SET deletionState = ?, "
                               "deleteRequestedAt = CASE WHEN typeof(deleteRequestedAt) = 'integer' "
                               "THEN deleteRequestedAt ELSE ? END WHERE rowid = ? AND "
                               "(deletionState IS NOT ? OR typeof(deleteRequestedAt) <> 'integer')"),
                {pendingState, sql::date(now()), tombstone.rowid, pendingState});
            enqueuePlaylistDeletion(tombstone.ownerKey, tombstone.id);
        }
    });
}

} // namespace talvoro
