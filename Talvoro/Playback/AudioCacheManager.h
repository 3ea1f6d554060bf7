#pragma once

#include "Platform/Files.h"
#include "Playback/AudioCacheProtocol.h"

#include <QDateTime>

namespace talvoro {

// Speech clips as plain files "<key>.mp3" in "Quenbry/TTSCache" under application
// support. A file's modification time is its last use; when a store would pass the
// cap, the least recently used files go first. Nothing is kept in memory, so any
// number of instances over one folder agree.
class AudioCacheManager : public AudioCacheProtocol {
public:
    static constexpr qint64 defaultMaxCacheSizeBytes = 1'073'741'824; // 1 GiB, "1 GB" to users

    struct CachedFileMetadata {
        QString path;
        QDateTime lastAccessDate;
        qint64 sizeBytes = 0;
    };

    explicit AudioCacheManager(const AppDirectories &directories = AppDirectories::standard(),
        qint64 maxCacheSizeBytes = defaultMaxCacheSizeBytes);

    QString cacheDirectory() const { return m_cacheDirectory; }

    std::optional<QUrl> cachedFileURL(const QString &key) override;
    bool hasCachedFile(const QString &key) const override;
    std::optional<QUrl> store(const QByteArray &audio, const QString &key) override;
    qint64 currentCacheSizeBytes() const override;

    // "已占用 10.0 MB / 1 GB"
    QString formattedUsageText() const;
    // Removes every file in the folder; the folder stays.
    void clearCache();
    // Removes least recently used files until `incomingBytes` more fit under the cap.
    void evict(qint64 incomingBytes);

private:
    QString filePath(const QString &key) const;

    qint64 m_maxCacheSizeBytes;
    QString m_cacheDirectory;
};

} // namespace talvoro
