#include "Persistence/PlaybackPreferenceOfflineStore.h"

#include "Models/Coding.h"
#include "Platform/Text.h"

#include <algorithm>
#include <cmath>

namespace talvoro {

namespace {

const QString keyPrefix = QStringLiteral("com.brellun.quenbry.playback-preference.v1.");
const QString environmentPrefix = QStringLiteral("env-sha256:");

bool isLowerHexDigest(QStringView digits)
{
    return digits.size() == 64 && std::all_of(digits.begin(), digits.end(), [](QChar c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f');
    });
}

} // namespace

PendingPlaybackPreferenceWrite PendingPlaybackPreferenceWrite::fromJson(const QJsonValue &value, const QString &path)
{
    const json::ObjectReader r(value, path);
    PendingPlaybackPreferenceWrite write;
    write.operationID = text::uuidText(r.string(QStringLiteral("operationID")));
    if (write.operationID.isEmpty())
        throw json::DecodingError(r.pathOf(QStringLiteral("operationID")), QStringLiteral("不是 UUID"));
    write.preference
        = PlaybackPreference::fromJson(r.object(QStringLiteral("preference")), r.pathOf(QStringLiteral("preference")));
    write.changedFields
        = decodeFields(r.array(QStringLiteral("changedFields")), r.pathOf(QStringLiteral("changedFields")));
    write.enqueuedAt = r.referenceDate(QStringLiteral("enqueuedAt"));
    write.attemptCount = r.integer(QStringLiteral("attemptCount"));
    write.nextAttemptAt = r.referenceDate(QStringLiteral("nextAttemptAt"));
    return write;
}

QJsonObject PendingPlaybackPreferenceWrite::toJson() const
{
    return json::ObjectWriter()
        .set(QStringLiteral("operationID"), operationID)
        .set(QStringLiteral("preference"), preference.toJson())
        .set(QStringLiteral("changedFields"), encodeFields(changedFields))
        .set(QStringLiteral("enqueuedAt"), text::referenceSeconds(enqueuedAt))
        .set(QStringLiteral("attemptCount"), attemptCount)
        .set(QStringLiteral("nextAttemptAt"), text::referenceSeconds(nextAttemptAt))
        .object();
}

PlaybackPreferenceLocalRecord PlaybackPreferenceLocalRecord::fromJson(const QJsonValue &value, const QString &path)
{
    const json::ObjectReader r(value, path);
    PlaybackPreferenceLocalRecord record;
    record.schemaVersion = r.integer(QStringLiteral("schemaVersion"));
    record.confirmed = coding::decodeOptional<PlaybackPreference>(r, QStringLiteral("confirmed"));
    record.pending = coding::decodeOptional<PendingPlaybackPreferenceWrite>(r, QStringLiteral("pending"));
    return record;
}

QJsonObject PlaybackPreferenceLocalRecord::toJson() const
{
    return json::ObjectWriter()
        .set(QStringLiteral("schemaVersion"), schemaVersion)
        .set(QStringLiteral("confirmed"), coding::encodeOptional(confirmed))
        .set(QStringLiteral("pending"), coding::encodeOptional(pending))
        .object();
}

QString PlaybackPreferenceOfflineStoreError::description() const
{
    switch (m_kind) {
    case Kind::invalidOwnerKey:
        return QStringLiteral("当前账号无法建立安全的本地设置分区");
    case Kind::invalidPreference:
        return QStringLiteral("播放设置包含无效的音色、语速或播放项");
    case Kind::missingConfirmedBaseline:
        return QStringLiteral("首次设置需要联网获取账号当前配置");
    case Kind::corruptedRecord:
        return QStringLiteral("本地播放设置已损坏，请联网重新加载");
    case Kind::encodingFailed:
        return QStringLiteral("本地播放设置暂时无法保存");
    }
    Q_UNREACHABLE();
}

QString PlaybackPreferenceOfflineStore::storageKey(const QString &ownerKey)
{
    const qsizetype bar = ownerKey.indexOf(u'|');
    if (bar < 0)
        throw PlaybackPreferenceOfflineStoreError(PlaybackPreferenceOfflineStoreError::Kind::invalidOwnerKey);
    const QStringView environment = QStringView(ownerKey).left(bar);
    if (!environment.startsWith(environmentPrefix) || !isLowerHexDigest(environment.mid(environmentPrefix.size())))
        throw PlaybackPreferenceOfflineStoreError(PlaybackPreferenceOfflineStoreError::Kind::invalidOwnerKey);
    return keyPrefix + text::sha256Hex(ownerKey);
}

PlaybackPreferenceLocalRecord PlaybackPreferenceOfflineStore::loadRecord(
    const QString &ownerKey, KeyValueStore &defaults)
{
    const QString key = storageKey(ownerKey);
    const QVariant stored = defaults.value(key);
    // A record that a damaged settings file lost is reported like a damaged one, never
    // as none: a change waiting to be sent would otherwise pass for synchronised.
    if (!stored.isValid() && !defaults.mayHaveLost(key))
        return {};
    std::optional<PlaybackPreferenceLocalRecord> record;
    if (stored.typeId() == QMetaType::QByteArray) {
        try {
            record = PlaybackPreferenceLocalRecord::fromJson(json::parse(stored.toByteArray()));
        } catch (const json::DecodingError &) { }
    }
    const bool usable = record && record->schemaVersion == 1 && (!record->confirmed || isValid(*record->confirmed))
        && (!record->pending || (isValid(record->pending->preference) && !record->pending->changedFields.isEmpty()));
    if (!usable) {
        defaults.remove(key);
        throw PlaybackPreferenceOfflineStoreError(PlaybackPreferenceOfflineStoreError::Kind::corruptedRecord);
    }
    return *record;
}

void PlaybackPreferenceOfflineStore::saveRecord(
    const PlaybackPreferenceLocalRecord &record, const QString &ownerKey, KeyValueStore &defaults)
{
    const QString key = storageKey(ownerKey);
    QByteArray bytes;
    try {
        bytes = json::serialize(record.toJson());
    } catch (const json::EncodingError &) {
        throw PlaybackPreferenceOfflineStoreError(PlaybackPreferenceOfflineStoreError::Kind::encodingFailed);
    }
    defaults.setValue(key, bytes);
}

double PlaybackPreferenceOfflineStore::retryDelay(qint64 attemptCount, double jitter)
{
    const qint64 n = std::clamp<qint64>(attemptCount, 1, 16);
    const double base = std::min(5.0 * double(qint64(1) << (n - 1)), 21600.0);
    // A NaN jitter counts as none rather than making the next attempt time NaN.
    const double j = std::isnan(jitter) ? 0.0 : std::clamp(jitter, 0.0, 1.0);
    return std::min(base * (0.8 + 0.4 * j), 25920.0);
}

} // namespace talvoro
