#pragma once

#include "Models/Coding.h"

#include <QDateTime>
#include <QUuid>

namespace talvoro {

enum class WordSyncState { synchronized, pendingCreate, pendingUpdate, pendingDelete, failed };
inline constexpr std::array allWordSyncStates {WordSyncState::synchronized, WordSyncState::pendingCreate,
    WordSyncState::pendingUpdate, WordSyncState::pendingDelete, WordSyncState::failed};
QString rawValue(WordSyncState state);
std::optional<WordSyncState> wordSyncStateFromRawValue(const QString &rawValue);
inline size_t qHash(WordSyncState state, size_t seed = 0)
{
    return ::qHash(int(state), seed);
}

// A word of the older word list, identified on this device, optionally linked to
// the id the older endpoints gave it. Dates are written as seconds since 2001.
struct WordItem {
    QUuid id; // written in upper case
    std::optional<qint64> remoteID;
    QString text;
    std::optional<QString> meaning;
    std::optional<QString> context;
    QDateTime createdAt;
    QDateTime updatedAt;
    WordSyncState syncState = WordSyncState::pendingCreate;
    qint64 repeatCount = 0;
    std::optional<QString> voiceEn;
    std::optional<QString> voiceZh;
    std::optional<QList<QString>> playbackItems;
    std::optional<double> speechRate;
    std::optional<QString> accent;

    static WordItem fromJson(const QJsonValue &value, const QString &path = QStringLiteral("$"));
    QJsonObject toJson() const;
    bool operator==(const WordItem &) const = default;
};

} // namespace talvoro
