#include "Playback/AudioCacheManager.h"

#include "Platform/AppError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <vector>

namespace talvoro {

namespace {

// Keys are hash digests. Anything else (a "../" among them) never becomes a path.
bool isValidKey(const QString &key)
{
    static const QRegularExpression form(QStringLiteral("^(?:[0-9a-f]{32}|[0-9a-f]{64})$"));
    return form.match(key).hasMatch();
}

} // namespace

AudioCacheManager::AudioCacheManager(const AppDirectories &directories, qint64 maxCacheSizeBytes)
    : m_maxCacheSizeBytes(maxCacheSizeBytes)
    , m_cacheDirectory(QDir(directories.applicationSupport).filePath(QStringLiteral("Quenbry/TTSCache")))
{
    // A folder that cannot be made reads as an empty cache; store() then reports the failure.
    QDir().mkpath(m_cacheDirectory);
}

QString AudioCacheManager::filePath(const QString &key) const
{
    return QDir(m_cacheDirectory).filePath(key + QStringLiteral(".mp3"));
}

std::optional<QUrl> AudioCacheManager::cachedFileURL(const QString &key)
{
    if (!isValidKey(key))
        return std::nullopt;
    const QString path = filePath(key);
    QFile file(path);
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    if (file.open(QIODevice::ReadOnly))
        file.setFileTime(QDateTime::currentDateTimeUtc(), QFileDevice::FileModificationTime);
    return QUrl::fromLocalFile(path);
}

bool AudioCacheManager::hasCachedFile(const QString &key) const
{
    if (!isValidKey(key))
        return false;
    const QFileInfo info(filePath(key));
    return info.isFile() && info.size() > 0;
}

std::optional<QUrl> AudioCacheManager::store(const QByteArray &audio, const QString &key)
{
    if (!isValidKey(key))
        throw FileError(key, QStringLiteral("无效的缓存键"));
    // Making room for a clip larger than the whole cache would empty it for nothing.
    if (audio.size() > m_maxCacheSizeBytes)
        return std::nullopt;
    evict(audio.size());
    const QString path = filePath(key);
    writeFileAtomically(path, audio);
    return QUrl::fromLocalFile(path);
}

qint64 AudioCacheManager::currentCacheSizeBytes() const
{
    qint64 total = 0;
    const QFileInfoList entries
        = QDir(m_cacheDirectory).entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted);
    for (const QFileInfo &entry : entries)
        total += entry.size();
    return total;
}

QString AudioCacheManager::formattedUsageText() const
{
    const qint64 bytes = currentCacheSizeBytes();
    if (bytes == 0)
        return QStringLiteral("已占用 0.0 MB / 1 GB");
    const double megabytes = double(bytes) / 1'048'576.0;
    if (megabytes < 0.1)
        return QString::asprintf("已占用 %.2f MB / 1 GB", megabytes);
    if (megabytes < 1024)
        return QString::asprintf("已占用 %.1f MB / 1 GB", megabytes);
    return QString::asprintf("已占用 %.2f GB / 1 GB", megabytes / 1024);
}

void AudioCacheManager::clearCache()
{
    const QFileInfoList entries
        = QDir(m_cacheDirectory)
              .entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Unsorted);
    for (const QFileInfo &entry : entries) {
        if (entry.isDir() && !entry.isSymLink())
            QDir(entry.filePath()).removeRecursively();
        else
            QFile::remove(entry.filePath());
    }
}

void AudioCacheManager::evict(qint64 incomingBytes)
{
    qint64 total = currentCacheSizeBytes();
    const qint64 budget = m_maxCacheSizeBytes - incomingBytes;
    if (total <= budget)
        return;
    std::vector<CachedFileMetadata> candidates;
    const QFileInfoList entries
        = QDir(m_cacheDirectory).entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted);
    for (const QFileInfo &entry : entries) {
        const QDateTime modified = entry.lastModified();
        if (modified.isValid())
            candidates.push_back({entry.filePath(), modified, entry.size()});
    }
    std::stable_sort(candidates.begin(), candidates.end(),
        [](const CachedFileMetadata &a, const CachedFileMetadata &b) { return a.lastAccessDate < b.lastAccessDate; });
    for (const CachedFileMetadata &candidate : candidates) {
        if (total <= budget)
            break;
        // Counted as freed even when the removal fails, so a stuck file cannot
        // make every store empty the cache.
        QFile::remove(candidate.path);
        total -= candidate.sizeBytes;
    }
}

} // namespace talvoro
