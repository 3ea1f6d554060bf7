#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

namespace talvoro {

// The on-disk store of speech clips, one file per key. Synchronous: each call asks
// the file system on the caller's thread.
class AudioCacheProtocol {
public:
    virtual ~AudioCacheProtocol() = default;

    // The clip's file when it exists (of any size); finding it marks it as just used.
    virtual std::optional<QUrl> cachedFileURL(const QString &key) = 0;
    // True when the clip's file exists and is not empty. Does not touch the file.
    virtual bool hasCachedFile(const QString &key) const = 0;
    // Makes room, then writes the clip atomically; returns the file written, or
    // nothing when the clip is larger than the whole cache. Throws FileError.
    virtual std::optional<QUrl> store(const QByteArray &audio, const QString &key) = 0;
    virtual qint64 currentCacheSizeBytes() const = 0;
};

} // namespace talvoro
