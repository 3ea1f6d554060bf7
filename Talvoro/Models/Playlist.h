#pragma once

#include "Models/WordPlaybackProfile.h"

#include <QDateTime>

namespace talvoro {

// One word of a playlist, with the copy of the word's content that playback uses.
struct ORVPlaylistItem {
    qint64 wordId = 0;
    QString wordDisplay;
    std::optional<QString> ipa;
    std::optional<QString> syllables;
    qint64 position = 0;
    qint64 repeatCount = 1;
    std::optional<QList<QString>> translationsZh;
    std::optional<QString> explanation;
    std::optional<QString> usageScenario;
    std::optional<WordPlaybackProfile> playbackProfile;

    // A missing or null "repeatCount" is 1.
    static ORVPlaylistItem fromJson(const QJsonValue &value, const QString &path = QStringLiteral("$"));
    QJsonObject toJson() const;
    // "<wordId>_<position>": the same word twice in a list has two identities.
    QString id() const;
    bool operator==(const ORVPlaylistItem &) const = default;
};

size_t qHash(const ORVPlaylistItem &item, size_t seed = 0);

struct ORVPlaylist {
    qint64 id = 0;
    QString name;
    QString loopMode; // the server's text ("ONCE"), not a LoopMode
    std::optional<qint64> loopCount;
    QList<ORVPlaylistItem> items; // in the server's order
    qint64 version = 0;

    static ORVPlaylist fromJson(const QJsonValue &value, const QString &path = QStringLiteral("$"));
    QJsonObject toJson() const;
};

// The server's answer to a playlist deletion, taken as sent; the caller checks it.
struct ORVPlaylistDeletionReceipt {
    qint64 id = 0;
    bool deleted = false;
    QString deletedAt; // ISO 8601 text, kept unparsed
    qint64 version = 0;

    static ORVPlaylistDeletionReceipt fromJson(const QJsonValue &value, const QString &path = QStringLiteral("$"));
    QJsonObject toJson() const;
    bool operator==(const ORVPlaylistDeletionReceipt &) const = default;
};

// A server-side playlist deletion waiting in the local queue.
struct PendingPlaylistDeletion {
    QString id; // UUID text of the queued operation
    qint64 playlistID = 0;
    QString ownerKey;
    QDateTime createdAt;
    qint64 attemptCount = 0;
    std::optional<QDateTime> nextAttemptAt; // absent: due at once

    bool operator==(const PendingPlaylistDeletion &) const = default;
};

} // namespace talvoro
