#pragma once

#include "StoreTesting.h"
#include "TestHttpServer.h"

#include "Persistence/QuenbrySyncEngine.h"
#include "Platform/Json.h"

#include <QJsonArray>

namespace talvoro {

// Lets QCOMPARE print a report that differs.
inline char *toString(const PlaylistDeletionRetryReport &report)
{
    QStringList failures;
    for (const PlaylistDeletionRetryFailure &failure : report.failures)
        failures.append(QStringLiteral("%1: %2").arg(failure.id).arg(failure.message));
    QStringList acknowledged;
    for (qint64 id : report.acknowledgedIDs)
        acknowledged.append(QString::number(id));
    return qstrdup(QStringLiteral("attempted %1, acknowledged [%2], failed [%3]")
                       .arg(report.attemptedCount)
                       .arg(acknowledged.join(QLatin1Char(',')), failures.join(QLatin1Char(',')))
                       .toUtf8()
                       .constData());
}

} // namespace talvoro

namespace syncenginetesting {

using namespace storetesting;
using namespace testsupport;

inline const QString playlistsPath = QStringLiteral("/api/v1/user/playlists");
inline const QString token = QStringLiteral("opaque-token");

inline QString deletionPath(qint64 id)
{
    return playlistsPath + QLatin1Char('/') + QString::number(id);
}

inline QByteArray envelope(const QJsonValue &data)
{
    return json::serialize(QJsonObject {{QStringLiteral("success"), true}, {QStringLiteral("data"), data}});
}

inline QByteArray receipt(qint64 id, const QString &deletedAt, qint64 version = 2, bool deleted = true)
{
    return envelope(QJsonObject {{QStringLiteral("id"), id}, {QStringLiteral("deleted"), deleted},
        {QStringLiteral("deletedAt"), deletedAt}, {QStringLiteral("version"), version}});
}

inline QByteArray errorBody(const QString &code, const QString &message)
{
    return json::serialize(QJsonObject {{QStringLiteral("success"), false},
        {QStringLiteral("error"), QJsonObject {{QStringLiteral("code"), code}, {QStringLiteral("message"), message}}}});
}

inline QByteArray playlistList(const QList<ORVPlaylist> &playlists)
{
    QJsonArray array;
    for (const ORVPlaylist &p : playlists)
        array.append(p.toJson());
    return envelope(array);
}

// The engine over a real store file and the app's client, pointed at a plain-HTTP
// loopback server that each test scripts; the clock moves only when told to.
struct EngineFixture {
    StoreFixture files;
    LocalWordStore &store = files.open();
    ManualClock &clock = *files.clock;
    TestHttpServer server;
    APICacheManager cache {files.dir.filePath(QStringLiteral("APICacheV2"))};
    NetworkTransfer transfer;
    ORVMobileAPIClient client {transfer, cache, [this] { return std::optional(server.baseUrl()); }};
    QuenbrySyncEngine engine {client, store, clock};

    EngineFixture() { QVERIFY(server.listen()); }

    int requestsTo(const QByteArray &method, const QString &path) const
    {
        int count = 0;
        for (const RecordedRequest &request : server.requests())
            count += request.method == method && request.path == path;
        return count;
    }
    // A playlist that exists here and that the user deletes on this device.
    void deleteHere(qint64 id)
    {
        store.upsertPlaylist(playlist(id, 3), ownerA);
        store.tombstonePlaylist(ownerA, id);
    }
    // One row of the queue, or nothing: attemptCount, nextAttemptAt (ms), lastError.
    QVariantList queued(qint64 id)
    {
        return files.raw()
            .rows(QStringLiteral("SELECT attemptCount, nextAttemptAt, lastError FROM PendingPlaylistOperation "
                                 "WHERE ownerKey = ? AND playlistID = ?"),
                {ownerA, id})
            .value(0);
    }
};

} // namespace syncenginetesting
