#include "Platform/Files.h"

#include "Platform/AppError.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace talvoro {

AppDirectories AppDirectories::standard()
{
    return {QStandardPaths::writableLocation(QStandardPaths::AppDataLocation),
        QStandardPaths::writableLocation(QStandardPaths::CacheLocation)};
}

AppDirectories AppDirectories::under(const QString &root)
{
    return {QDir(root).filePath(QStringLiteral("ApplicationSupport")), QDir(root).filePath(QStringLiteral("Caches"))};
}

void writeFileAtomically(const QString &path, const QByteArray &data)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        throw FileError(path, QStringLiteral("无法创建目录 %1").arg(folder));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw FileError(path, file.errorString());
    if (file.write(data) != data.size()) {
        file.cancelWriting();
        throw FileError(path, file.errorString());
    }
    if (!file.commit())
        throw FileError(path, file.errorString());
}

} // namespace talvoro
