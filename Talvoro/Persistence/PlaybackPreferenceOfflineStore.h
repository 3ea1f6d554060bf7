#pragma once

#include "Models/PlaybackPreference.h"
#include "Persistence/PlaybackPreferenceField.h"
#include "Platform/AppError.h"
#include "Platform/KeyValueStore.h"

#include <QDateTime>
#include <QSet>
#include <QString>

#include <optional>

namespace talvoro {

// A change of the preference that the server has not confirmed yet.
struct PendingPlaybackPreferenceWrite {
    QString operationID; // a UUID, upper case; a newer change gets a new one
    PlaybackPreference preference; // complete; its version is the one the change was based on
    QSet<PlaybackPreferenceField> changedFields; // never empty once stored
    QDateTime enqueuedAt;
    qint64 attemptCount = 0; // failed sends so far
    QDateTime nextAttemptAt; // an unforced send waits until then

    static PendingPlaybackPreferenceWrite fromJson(const QJsonValue &value, const QString &path);
    QJsonObject toJson() const;
};

// What the device keeps per owner: the preference last confirmed by the server and
// at most one change waiting to be sent.
struct PlaybackPreferenceLocalRecord {
    qint64 schemaVersion = 1;
    std::optional<PlaybackPreference> confirmed;
    std::optional<PendingPlaybackPreferenceWrite> pending;

    // The preference the device plays by: a change not sent yet wins over the one
    // the server last confirmed; none when neither is stored.
    std::optional<PlaybackPreference> effectivePreference() const
    {
        return pending ? std::optional(pending->preference) : confirmed;
    }

    static PlaybackPreferenceLocalRecord fromJson(const QJsonValue &value, const QString &path = QStringLiteral("$"));
    QJsonObject toJson() const;
};

class PlaybackPreferenceOfflineStoreError final : public AppError {
public:
    enum class Kind { invalidOwnerKey, invalidPreference, missingConfirmedBaseline, corruptedRecord, encodingFailed };

    explicit PlaybackPreferenceOfflineStoreError(Kind kind)
        : m_kind(kind)
    { }
    Kind kind() const { return m_kind; }
    QString description() const override;

private:
    Kind m_kind;
};

// The owner's record, kept as one JSON data value in the key-value store.
class PlaybackPreferenceOfflineStore {
public:
    // "com.brellun.quenbry.playback-preference.v1." and the SHA-256 of the owner key.
    // Only an owner key whose part before the first "|" is "env-sha256:" and 64
    // lower-case hex digits is accepted: anything else could mix two users' settings.
    static QString storageKey(const QString &ownerKey);

    // The stored record, or an empty one when nothing is stored. A value that does
    // not decode, has another schema version, holds an invalid preference or a
    // pending change without changed fields is removed and reported as corrupted;
    // so is a record that a damaged settings file may have lost.
    static PlaybackPreferenceLocalRecord loadRecord(const QString &ownerKey, KeyValueStore &defaults);
    // Stores the record as it is (loading checks it); a record that cannot be
    // encoded leaves the stored value alone.
    static void saveRecord(
        const PlaybackPreferenceLocalRecord &record, const QString &ownerKey, KeyValueStore &defaults);

    // Seconds to wait after the attempt count-th failure: 5 s doubling per attempt,
    // at most 6 hours, spread by ±20 % with the jitter (0 ... 1).
    static double retryDelay(qint64 attemptCount, double jitter);
};

} // namespace talvoro
