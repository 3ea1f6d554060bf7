#pragma once

#include "../Session/SessionTesting.h"
#include "FakeGate.h"

#include "Networking/BackendConfiguration.h"
#include "Persistence/LocalWordStore.h"
#include "Playlists/PlaylistSupport.h"

#include <QJsonArray>

#include <functional>

// The playlist screens over real parts: the real session and REST client against a
// loopback server the test scripts, and a real SQLite store, seen through a wrapper
// that fails when told. The sync engine's two calls are scripted.
namespace playlisttesting {

using namespace talvoro;
using namespace testsupport;
using namespace sessiontesting;

inline const QString playlistsPath = QStringLiteral("/api/v1/user/playlists");

inline ORVPlaylistItem item(qint64 wordId, const QString &word, qint64 position, qint64 repeatCount = 1)
{
    ORVPlaylistItem entry;
    entry.wordId = wordId;
    entry.wordDisplay = word;
    entry.position = position;
    entry.repeatCount = repeatCount;
    return entry;
}

inline ORVPlaylist playlist(qint64 id, const QString &name, QList<ORVPlaylistItem> items = {}, qint64 version = 1)
{
    return ORVPlaylist {id, name, QStringLiteral("ONCE"), std::nullopt, std::move(items), version};
}

inline ORVWord word(qint64 id, const QString &text)
{
    ORVWord w;
    w.id = id;
    w.wordDisplay = text;
    w.wordNormalized = text;
    return w;
}

inline QByteArray envelope(const ORVPlaylist &list)
{
    return sessiontesting::envelope(list.toJson());
}

// The backend's answer to a write: the items as sent, with their words' texts.
inline ORVPlaylist answerFor(const RecordedRequest &request, qint64 id, qint64 version)
{
    const QJsonObject body = bodyOf(request);
    ORVPlaylist list = playlist(id, body[QStringLiteral("name")].toString(), {}, version);
    for (const QJsonValue &entry : body[QStringLiteral("items")].toArray()) {
        const qint64 wordId = entry[QStringLiteral("wordId")].toInteger();
        list.items.append(item(wordId, QStringLiteral("w%1").arg(wordId), entry[QStringLiteral("position")].toInteger(),
            entry[QStringLiteral("repeatCount")].toInteger()));
    }
    return list;
}

inline QList<qint64> positionsSent(const RecordedRequest &request)
{
    QList<qint64> positions;
    for (const QJsonValue &entry : bodyOf(request)[QStringLiteral("items")].toArray())
        positions.append(entry[QStringLiteral("position")].toInteger());
    return positions;
}

inline QList<qint64> wordIdsSent(const RecordedRequest &request)
{
    QList<qint64> ids;
    for (const QJsonValue &entry : bodyOf(request)[QStringLiteral("items")].toArray())
        ids.append(entry[QStringLiteral("wordId")].toInteger());
    return ids;
}

// The real store, with writes and reads that fail when told.
class FlakyStore final : public LocalWordStoreProtocol {
public:
    explicit FlakyStore(LocalWordStore &store)
        : m_store(store)
    { }
    bool failUpsert = false;
    bool failTombstone = false;
    QSet<qint64> failTombstoneOf;
    int failFetchNumber = 0; // 1-based count of playlist reads; 0 never
    int fetches = 0;

    QList<UserLexicon> fetchPrivateLexicons(const QString &ownerKey) override
    {
        return m_store.fetchPrivateLexicons(ownerKey);
    }
    void savePrivateLexicons(const QList<UserLexicon> &lexicons, const QString &ownerKey) override
    {
        m_store.savePrivateLexicons(lexicons, ownerKey);
    }
    QList<ORVPlaylist> fetchPlaylists(const QString &ownerKey) override
    {
        if (++fetches == failFetchNumber)
            throw LocalWordStoreError(LocalWordStoreError::Kind::unavailable);
        return m_store.fetchPlaylists(ownerKey);
    }
    void upsertPlaylist(const ORVPlaylist &list, const QString &ownerKey) override
    {
        if (failUpsert)
            throw LocalWordStoreError(LocalWordStoreError::Kind::unavailable);
        m_store.upsertPlaylist(list, ownerKey);
    }
    void tombstonePlaylist(const QString &ownerKey, qint64 playlistID) override
    {
        if (failTombstone || failTombstoneOf.contains(playlistID))
            throw LocalWordStoreError(LocalWordStoreError::Kind::unavailable);
        m_store.tombstonePlaylist(ownerKey, playlistID);
    }
    void migrateLegacyPlaylistPartition(const QString &legacyKey, const QString &scopedKey) override
    {
        m_store.migrateLegacyPlaylistPartition(legacyKey, scopedKey);
    }

private:
    LocalWordStore &m_store;
};

// The sync engine's two calls: each reports what the test scripts, after running
// `onSync` (which may bring "the server's copy" into the store).
struct ScriptedSync {
    PlaylistSyncReport report;
    PlaylistDeletionRetryReport drainReport;
    std::function<void()> onSync;
    bool hold = false;
    QList<std::shared_ptr<Gate>> gates;
    QList<bool> forceFlags;
    int drains = 0;

    Task<PlaylistSyncReport> synchronize(QString, QString, bool force)
    {
        forceFlags.append(force);
        auto gate = newGate(hold);
        gates.append(gate);
        co_await GateAwaiter(gate, {});
        if (onSync)
            onSync();
        const PlaylistSyncReport answer = report;
        co_return answer;
    }
    Task<PlaylistDeletionRetryReport> drain(QString, QString, bool)
    {
        ++drains;
        auto gate = newGate(false);
        co_await GateAwaiter(gate, {});
        const PlaylistDeletionRetryReport answer = drainReport;
        co_return answer;
    }
};

struct PlaylistFixture : ClientFixture {
    LocalWordStore realStore {{dir.filePath(QStringLiteral("store.sqlite")), true}};
    FlakyStore store {realStore};
    ScriptedSync sync;
    std::optional<QString> environmentKey = BackendConfiguration::environmentPartitionKey(sessions.server.baseUrl());
    QString owner = *BackendConfiguration::ownerKey(7, environmentKey);

    PlaylistFixture() { sessions.signIn(); }

    PlaylistServices services()
    {
        PlaylistServices s;
        s.apiClient = &client;
        s.store = &store;
        s.session = sessions.session.get();
        s.environmentKey = environmentKey;
        s.synchronizePlaylists = [this](QString t, QString o, bool f) { return sync.synchronize(t, o, f); };
        s.retryPendingPlaylistDeletions = [this](QString t, QString o, bool f) { return sync.drain(t, o, f); };
        return s;
    }
    // The playlist write answers as the backend would, with this id and version.
    void answerWrites(const QByteArray &method, const QString &path, qint64 id, qint64 version)
    {
        server().route(method, path, [id, version](const RecordedRequest &request) {
            return ScriptedResponse::json(200, envelope(answerFor(request, id, version)));
        });
    }
    // Answers 401 to a token other than `accepted`, else as answerWrites.
    void answerWritesFor(
        const QString &accepted, const QByteArray &method, const QString &path, qint64 id, qint64 version)
    {
        server().route(method, path, [accepted, id, version](const RecordedRequest &request) {
            if (request.header("Authorization") != "Bearer " + accepted.toUtf8())
                return ScriptedResponse::json(401, errorAnswer(QStringLiteral("AUTH_TOKEN_EXPIRED")));
            return ScriptedResponse::json(200, envelope(answerFor(request, id, version)));
        });
    }
};

} // namespace playlisttesting
