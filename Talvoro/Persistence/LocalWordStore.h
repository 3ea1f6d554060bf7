#pragma once

#include "Persistence/LocalWordStoreError.h"
#include "Persistence/LocalWordStoreProtocol.h"

#include "Platform/Clock.h"
#include "Platform/Files.h"

#include <QSet>
#include <QSqlDatabase>

#include <memory>

namespace talvoro {

// The device's copy of each owner's private lexicon headers and playlists, the
// tombstones of playlists deleted here, and the queue of deletions the server has
// not confirmed yet: one SQLite file, every row partitioned by owner key.
//
// Every operation is synchronous and runs on the thread that created the store
// (its connection belongs to that thread). Each first checks that the store opened
// (else LocalWordStoreError::unavailable) and that the owner key is not blank (else
// invalidOwnerKey); the key is then used exactly as given. A write runs in one
// transaction: when any part of it fails nothing of it is kept, and the error is
// passed on. Rows that cannot be read are skipped or read as absent, never reported.
class LocalWordStore final : public LocalWordStoreProtocol {
public:
    struct StoreConfiguration {
        QString path;
        // Clean an older file of duplicates that its newer layout cannot hold.
        bool shouldPrepareLegacyStore = true;
    };

    // Opens (or creates) the file and brings it to the current layout. Never
    // throws: a file that cannot be opened, read or brought up to date leaves the
    // store unavailable for its whole life, and the file as it was.
    explicit LocalWordStore(
        StoreConfiguration configuration, std::shared_ptr<const Clock> clock = std::make_shared<SystemClock>());
    ~LocalWordStore() override;
    LocalWordStore(const LocalWordStore &) = delete;
    LocalWordStore &operator=(const LocalWordStore &) = delete;

    // The file in `directories`' application-support folder, which is created when
    // missing (a failure is logged and the path returned all the same).
    static QString defaultStoreURL(const AppDirectories &directories);
    // Throws invalidOwnerKey when the key is empty once white space is trimmed.
    static void validateOwnerKey(const QString &ownerKey);

    // Private lexicon headers, highest id first; every stored row is its own value
    // (no description, version 1, empty update time).
    QList<UserLexicon> fetchPrivateLexicons(const QString &ownerKey) override;
    // Updates the first row of each id or adds one; rows of ids not listed stay.
    void savePrivateLexicons(const QList<UserLexicon> &lexicons, const QString &ownerKey) override;

    // Live playlists, highest id first, each with its items in position order.
    QList<ORVPlaylist> fetchPlaylists(const QString &ownerKey) override;
    // Writes one playlist and replaces its items, unless it is a tombstone here.
    void upsertPlaylist(const ORVPlaylist &playlist, const QString &ownerKey) override;
    // Applies the server's whole list: writes each playlist (tombstones win), deletes
    // live playlists it omits, and settles tombstones it no longer lists.
    void replaceAllPlaylists(const QList<ORVPlaylist> &playlists, const QString &ownerKey, const QDateTime &now);

    // Deletes a playlist here at once: a tombstone, no items, a queued server delete.
    void tombstonePlaylist(const QString &ownerKey, qint64 playlistID) override;
    // Queued deletions, oldest first, one per playlist; with a date, only those due then.
    QList<PendingPlaylistDeletion> fetchPendingPlaylistDeletions(
        const QString &ownerKey, const std::optional<QDateTime> &dueAt);
    // Counts a failed attempt and pushes the next one back (2 s, doubling, at most 256 s).
    void recordPlaylistDeletionFailure(
        const QString &ownerKey, qint64 playlistID, const QString &message, const QDateTime &now);
    // The server confirmed the deletion: the tombstone is acknowledged, the queue entry goes.
    void acknowledgePlaylistDeletion(const QString &ownerKey, qint64 playlistID,
        const std::optional<QDateTime> &serverDeletedAt, std::optional<qint64> version, const QDateTime &now);

    // Moves the playlists, tombstones and queued deletions kept under `legacyKey`
    // into `scopedKey`'s partition and merges them with what is there, once per pair
    // and process; a legacy partition that cannot be shown to come from the same
    // backend environment is left where it is.
    void migrateLegacyPlaylistPartition(const QString &legacyKey, const QString &scopedKey) override;

private:
    struct PlaylistRowRef {
        qint64 rowid = 0;
        bool deleted = false;
        std::optional<qint64> version;
    };

    void open(const StoreConfiguration &configuration);
    void ensureConnectionOpen();
    void requireAvailable() const;
    QDateTime now() const;

    void backfillPlaylistItemOwnerKeys();
    void requeueUnacknowledgedTombstones();

    QList<PlaylistRowRef> fetchPlaylistRows(const QString &ownerKey, qint64 playlistID);
    qint64 insertTombstoneRow(const QString &ownerKey, qint64 playlistID);
    void removePlaylistItems(const QString &ownerKey, qint64 playlistID);
    void enqueuePlaylistDeletion(const QString &ownerKey, qint64 playlistID);
    void deleteQueuedDeletions(const QString &ownerKey, qint64 playlistID);

    bool isLegacyPartitionMigratable(const QString &legacyKey, const QString &scopedKey, const QString &pairKey);
    void movePlaylistPartition(const QString &legacyKey, const QString &scopedKey);

    QString m_connectionName;
    QSqlDatabase m_db;
    std::shared_ptr<const Clock> m_clock;
    std::optional<QString> m_loadFailure;
    QSet<QString> m_migratedPlaylistOwnerPairs;
};

} // namespace talvoro
