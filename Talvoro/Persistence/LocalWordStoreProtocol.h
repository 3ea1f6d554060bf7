#pragma once

#include "Models/Lexicon.h"
#include "Models/Playlist.h"

namespace talvoro {

// What view models need of the local store: the owner's private lexicon headers
// and playlists, read at once and written after the server answered. Every call is
// synchronous on the main thread and throws LocalWordStoreError or a database error.
class LocalWordStoreProtocol {
public:
    virtual ~LocalWordStoreProtocol() = default;

    virtual QList<UserLexicon> fetchPrivateLexicons(const QString &ownerKey) = 0;
    virtual void savePrivateLexicons(const QList<UserLexicon> &lexicons, const QString &ownerKey) = 0;
    virtual QList<ORVPlaylist> fetchPlaylists(const QString &ownerKey) = 0;
    virtual void upsertPlaylist(const ORVPlaylist &playlist, const QString &ownerKey) = 0;
    // Deletes a playlist on the device at once and queues its deletion on the server.
    virtual void tombstonePlaylist(const QString &ownerKey, qint64 playlistID) = 0;
    // Moves playlists kept under a user's older key into the owner key's partition.
    virtual void migrateLegacyPlaylistPartition(const QString &legacyKey, const QString &scopedKey) = 0;
};

} // namespace talvoro
