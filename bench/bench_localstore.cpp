// Saving 200 playlists of 50 items for one owner and reading them back through the
// local store, against the same rows written and read with plain prepared
// statements in one transaction. The difference is the price of the store's checks,
// its tombstone and duplicate rules and its lenient reading of every column.
#include "Persistence/LocalWordStore.h"
#include "Persistence/SqlSupport.h"

#include "Platform/Json.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include "QtBenchmarkMain.h"

#include <benchmark/benchmark.h>

using namespace talvoro;

namespace {

const QString owner = QStringLiteral("env-sha256:") + QString(64, QLatin1Char('c')) + QStringLiteral("|user:7");

QList<ORVPlaylist> makePlaylists()
{
    QList<ORVPlaylist> playlists;
    for (qint64 id = 1; id <= 200; ++id) {
        ORVPlaylist playlist {id, QStringLiteral("播放列表 %1").arg(id), QStringLiteral("ONCE"), std::nullopt, {}, 3};
        for (qint64 position = 1; position <= 50; ++position) {
            ORVPlaylistItem item;
            item.wordId = id * 1000 + position;
            item.wordDisplay = QStringLiteral("word%1").arg(item.wordId);
            item.ipa = QStringLiteral("wɜːd");
            item.position = position;
            item.translationsZh = QList<QString> {QStringLiteral("单词"), QStringLiteral("词语")};
            item.explanation = QStringLiteral("a unit of language");
            playlist.items.append(item);
        }
        playlists.append(playlist);
    }
    return playlists;
}

struct Setup {
    QTemporaryDir dir;
    QList<ORVPlaylist> playlists = makePlaylists();
    LocalWordStore store {{dir.filePath(QStringLiteral("store.sqlite")), true}};
    QSqlDatabase plain;

    Setup()
    {
        // The same layout, made by the store, then used without it.
        const QString plainPath = dir.filePath(QStringLiteral("plain.sqlite"));
        {
            LocalWordStore({plainPath, true});
        }
        plain = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("plain"));
        plain.setDatabaseName(plainPath);
        plain.open();
        sql::run(plain, QStringLiteral("PRAGMA journal_mode = WAL"));
    }
};

Setup &setup()
{
    static Setup s;
    return s;
}

QList<ORVPlaylist> plainSaveAndRead(QSqlDatabase &db, const QList<ORVPlaylist> &playlists)
{
    return sql::inTransaction(db, [&] {
        sql::run(db, QStringLiteral("DELETE FROM StoredPlaylistItem WHERE ownerKey = ?"), {owner});
        sql::run(db, QStringLiteral("DELETE FROM StoredPlaylist WHERE ownerKey = ?"), {owner});
        sql::Statement insertPlaylist(db,
            QStringLiteral("INSERT INTO StoredPlaylist (id, name, loopMode, loopCount, version, ownerKey, deleted, "
                           "deletionState) VALUES (?, ?, ?, ?, ?, ?, 0, 'ACTIVE')"));
        sql::Statement insertItem(db,
            QStringLiteral(
                "INSERT INTO StoredPlaylistItem (ownerKey, playlistId, wordId, wordDisplay, ipa, "
                "translationsZhJSON, explanation, position, repeatCount) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        for (const ORVPlaylist &p : playlists) {
            insertPlaylist.run({p.id, p.name, p.loopMode, QVariant(), p.version, owner});
            for (const ORVPlaylistItem &i : p.items) {
                insertItem.run({owner, p.id, i.wordId, i.wordDisplay, *i.ipa,
                    QString::fromUtf8(json::serialize(QJsonArray::fromStringList(*i.translationsZh))), *i.explanation,
                    i.position, i.repeatCount});
            }
        }

        QList<ORVPlaylist> read;
        QHash<qint64, qsizetype> index;
        QSqlQuery rows = sql::run(db,
            QStringLiteral("SELECT id, name, loopMode, version FROM StoredPlaylist WHERE ownerKey = ? AND deleted = 0 "
                           "ORDER BY id DESC"),
            {owner});
        while (rows.next()) {
            index.insert(rows.value(0).toLongLong(), read.size());
            read.append({rows.value(0).toLongLong(), rows.value(1).toString(), rows.value(2).toString(), std::nullopt,
                {}, rows.value(3).toLongLong()});
        }
        QSqlQuery items = sql::run(db,
            QStringLiteral("SELECT playlistId, wordId, wordDisplay, ipa, translationsZhJSON, explanation, position, "
                           "repeatCount FROM StoredPlaylistItem WHERE ownerKey = ? ORDER BY playlistId, position"),
            {owner});
        while (items.next()) {
            ORVPlaylistItem item;
            item.wordId = items.value(1).toLongLong();
            item.wordDisplay = items.value(2).toString();
            item.ipa = items.value(3).toString();
            QList<QString> translations;
            for (const QJsonValue &value : json::parseArray(items.value(4).toString().toUtf8()))
                translations.append(value.toString());
            item.translationsZh = translations;
            item.explanation = items.value(5).toString();
            item.position = items.value(6).toLongLong();
            item.repeatCount = items.value(7).toLongLong();
            read[index.value(items.value(0).toLongLong())].items.append(item);
        }
        return read;
    });
}

void storeSaveAndRead(benchmark::State &state)
{
    Setup &s = setup();
    for (auto _ : state) {
        s.store.replaceAllPlaylists(s.playlists, owner, QDateTime::currentDateTimeUtc());
        auto read = s.store.fetchPlaylists(owner);
        benchmark::DoNotOptimize(read);
    }
}

void plainStatementsSaveAndRead(benchmark::State &state)
{
    Setup &s = setup();
    for (auto _ : state) {
        auto read = plainSaveAndRead(s.plain, s.playlists);
        benchmark::DoNotOptimize(read);
    }
}

} // namespace

BENCHMARK(storeSaveAndRead)->Unit(benchmark::kMillisecond);
BENCHMARK(plainStatementsSaveAndRead)->Unit(benchmark::kMillisecond);

TALVORO_QT_BENCHMARK_MAIN(
    {"local store save and read / plain statements", "storeSaveAndRead", "plainStatementsSaveAndRead"})
