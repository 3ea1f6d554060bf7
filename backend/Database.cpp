#include "Database.h"

#include <QSqlError>
#include <QUuid>

namespace standin {
namespace {

// Step 1 of the schema. Public lexicons and words have no owner. A word belongs
// to lexicons through lexicon_words; playback profiles are per user and word.
const char *const schema[] = {
    "CREATE TABLE settings (key TEXT PRIMARY KEY, value BLOB NOT NULL)",
    "CREATE TABLE users (id INTEGER PRIMARY KEY, username TEXT NOT NULL UNIQUE COLLATE NOCASE,"
    " salt BLOB NOT NULL, digest BLOB NOT NULL, iterations INTEGER NOT NULL,"
    " disabled INTEGER NOT NULL DEFAULT 0, created_at TEXT NOT NULL)",
    "CREATE TABLE refresh_tokens (id INTEGER PRIMARY KEY, token_hash TEXT NOT NULL UNIQUE,"
    " user_id INTEGER NOT NULL REFERENCES users(id) ON DELETE CASCADE, family TEXT NOT NULL,"
    " state TEXT NOT NULL, expires_at INTEGER NOT NULL)",
    "CREATE INDEX refresh_tokens_family ON refresh_tokens(family)",
    "CREATE TABLE lexicons (id INTEGER PRIMARY KEY, owner_id INTEGER REFERENCES users(id) ON DELETE CASCADE,"
    " name TEXT NOT NULL, description TEXT, category TEXT, version INTEGER NOT NULL DEFAULT 1,"
    " updated_at TEXT NOT NULL)",
    "CREATE TABLE words (id INTEGER PRIMARY KEY, owner_id INTEGER REFERENCES users(id) ON DELETE CASCADE,"
    " display TEXT NOT NULL, normalized TEXT NOT NULL, ipa TEXT, syllables TEXT, translations TEXT NOT NULL,"
    " explanation TEXT, usage_scenario TEXT, version INTEGER NOT NULL DEFAULT 1, updated_at TEXT NOT NULL)",
    "CREATE TABLE lexicon_words (lexicon_id INTEGER NOT NULL REFERENCES lexicons(id) ON DELETE CASCADE,"
    " word_id INTEGER NOT NULL REFERENCES words(id) ON DELETE CASCADE, position INTEGER NOT NULL,"
    " PRIMARY KEY (lexicon_id, word_id))",
    "CREATE TABLE profiles (user_id INTEGER NOT NULL REFERENCES users(id) ON DELETE CASCADE,"
    " word_id INTEGER NOT NULL REFERENCES words(id) ON DELETE CASCADE, version INTEGER NOT NULL,"
    " repeat_count INTEGER NOT NULL, units TEXT NOT NULL, updated_at TEXT NOT NULL,"
    " PRIMARY KEY (user_id, word_id))",
    "CREATE TABLE playlists (id INTEGER PRIMARY KEY, owner_id INTEGER NOT NULL REFERENCES users(id)"
    " ON DELETE CASCADE, name TEXT NOT NULL, loop_mode TEXT NOT NULL, loop_count INTEGER,"
    " version INTEGER NOT NULL, deleted_at TEXT)",
    "CREATE TABLE playlist_items (playlist_id INTEGER NOT NULL REFERENCES playlists(id) ON DELETE CASCADE,"
    " ordinal INTEGER NOT NULL, word_id INTEGER NOT NULL REFERENCES words(id) ON DELETE CASCADE,"
    " position INTEGER NOT NULL, repeat_count INTEGER NOT NULL, PRIMARY KEY (playlist_id, ordinal))",
    "CREATE TABLE preferences (user_id INTEGER PRIMARY KEY REFERENCES users(id) ON DELETE CASCADE,"
    " body TEXT NOT NULL, version INTEGER NOT NULL)",
    "CREATE TABLE legacy_words (id INTEGER PRIMARY KEY, user_id INTEGER NOT NULL REFERENCES users(id)"
    " ON DELETE CASCADE, client_id TEXT NOT NULL, word_text TEXT NOT NULL, meaning TEXT, context TEXT,"
    " UNIQUE (user_id, client_id))",
    "CREATE TABLE legacy_preferences (user_id INTEGER PRIMARY KEY REFERENCES users(id) ON DELETE CASCADE,"
    " voice_id TEXT NOT NULL, cycle_count INTEGER NOT NULL)",
};
constexpr int schemaVersion = 1;

} // namespace

Database::~Database()
{
    if (m_connection.isEmpty())
        return;
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
}

bool Database::open(const QString &path)
{
    m_connection = QUuid::createUuid().toString();
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(path);
    if (!db.open())
        throw DatabaseError("cannot open " + path.toStdString() + ": " + db.lastError().text().toStdString());
    run(QStringLiteral("PRAGMA journal_mode=WAL"));
    run(QStringLiteral("PRAGMA foreign_keys=ON"));
    run(QStringLiteral("PRAGMA busy_timeout=5000"));

    const int version = value(QStringLiteral("PRAGMA user_version")).toInt();
    if (version > schemaVersion)
        throw DatabaseError("the data file was written by a newer server (schema " + std::to_string(version) + ")");
    if (version == schemaVersion)
        return false;
    transaction([this] {
        for (const char *statement : schema)
            run(QString::fromLatin1(statement));
        run(QStringLiteral("PRAGMA user_version=%1").arg(schemaVersion));
    });
    return true;
}

QSqlQuery Database::run(const QString &sql, const QVariantList &binds)
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (!query.prepare(sql))
        throw DatabaseError(query.lastError().text().toStdString() + " in " + sql.toStdString());
    for (const QVariant &bind : binds)
        query.addBindValue(bind);
    if (!query.exec())
        throw DatabaseError(query.lastError().text().toStdString() + " in " + sql.toStdString());
    return query;
}

QVariant Database::value(const QString &sql, const QVariantList &binds)
{
    QSqlQuery query = run(sql, binds);
    return query.next() ? query.value(0) : QVariant();
}

void Database::begin()
{
    if (!QSqlDatabase::database(m_connection, false).transaction())
        throw DatabaseError("cannot begin a transaction");
}

void Database::commit()
{
    if (!QSqlDatabase::database(m_connection, false).commit())
        throw DatabaseError("cannot commit");
}

void Database::rollback()
{
    QSqlDatabase::database(m_connection, false).rollback();
}

} // namespace standin
