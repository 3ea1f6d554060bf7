#pragma once

#include <QByteArray>
#include <QString>

namespace talvoro {

// The two roots the app keeps files under: "application support" (kept, backed up)
// and "caches" (may be purged). Tests point them at a temporary folder.
struct AppDirectories {
    QString applicationSupport;
    QString caches;

    // QStandardPaths' AppDataLocation and CacheLocation.
    static AppDirectories standard();
    // Both under one root: <root>/ApplicationSupport and <root>/Caches.
    static AppDirectories under(const QString &root);
};

// Writes `data` to `path` so that a reader sees either the old file or the whole
// new one, never a part; missing parent folders are created. Throws FileError.
void writeFileAtomically(const QString &path, const QByteArray &data);

} // namespace talvoro
