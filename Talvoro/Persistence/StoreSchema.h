#pragma once

#include <QSqlDatabase>

// The layout of the local store file, in numbered versions kept in
// `PRAGMA user_version`. 0 is a new, empty file. 1 is the first layout (playlists
// without server versions or deletion states, items without owners); 3 adds the
// deletion state and the queue of server deletions, 4 the server's deletion time,
// 5 the owner of each item, 6 the rest of an item's word. There never was a 2.
// A released version is never edited: a change of layout is a new step.
namespace talvoro::storeschema {

constexpr int currentVersion = 6;

// Throws LocalStoreDatabaseError when the file cannot be read.
int version(const QSqlDatabase &db);

// Brings the file up to the current version, one step per version, each in its own
// transaction together with its version number. A file of a newer or unknown
// version is refused untouched.
void migrate(QSqlDatabase &db);

// Before an older file takes the uniqueness rules of the later versions, keeps one
// playlist row per owner and id (a tombstone before a live row) and one item per
// owner, playlist and position (the smallest word id). One transaction; does
// nothing to a current, new or unknown file.
void prepareLegacyStore(QSqlDatabase &db);

} // namespace talvoro::storeschema
