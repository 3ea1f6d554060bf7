#include "Models/WordItem.h"

#include "Platform/Text.h"

namespace talvoro {

QString rawValue(WordSyncState state)
{
    switch (state) {
    case WordSyncState::synchronized:
        return QStringLiteral("synchronized");
    case WordSyncState::pendingCreate:
        return QStringLiteral("pendingCreate");
    case WordSyncState::pendingUpdate:
        return QStringLiteral("pendingUpdate");
    case WordSyncState::pendingDelete:
        return QStringLiteral("pendingDelete");
    case WordSyncState::failed:
        break;
    }
    return QStringLiteral("failed");
}

std::optional<WordSyncState> wordSyncStateFromRawValue(const QString &value)
{
    return coding::fromRawValue(allWordSyncStates, value);
}

WordItem WordItem::fromJson(const QJsonValue &value, const QString &path)
{
    const json::ObjectReader r(value, path);
    WordItem item;
    const QString id = text::uuidText(r.string(QStringLiteral("id")));
    if (id.isEmpty())
        throw json::DecodingError(r.pathOf(QStringLiteral("id")), QStringLiteral("不是 UUID"));
    item.id = QUuid::fromString(id);
    item.remoteID = r.optionalInteger(QStringLiteral("remoteID"));
    item.text = r.string(QStringLiteral("text"));
    item.meaning = r.optionalString(QStringLiteral("meaning"));
    item.context = r.optionalString(QStringLiteral("context"));
    item.createdAt = r.referenceDate(QStringLiteral("createdAt"));
    item.updatedAt = r.referenceDate(QStringLiteral("updatedAt"));
    const QString state = r.string(QStringLiteral("syncState"));
    const auto syncState = wordSyncStateFromRawValue(state);
    if (!syncState)
        throw json::DecodingError(
            r.pathOf(QStringLiteral("syncState")), QStringLiteral("未知的同步状态 %1").arg(state));
    item.syncState = *syncState;
    item.repeatCount = r.integer(QStringLiteral("repeatCount"));
    item.voiceEn = r.optionalString(QStringLiteral("voiceEn"));
    item.voiceZh = r.optionalString(QStringLiteral("voiceZh"));
    item.playbackItems = r.optionalStringList(QStringLiteral("playbackItems"));
    item.speechRate = r.optionalNumber(QStringLiteral("speechRate"));
    item.accent = r.optionalString(QStringLiteral("accent"));
    return item;
}

QJsonObject WordItem::toJson() const
{
    return json::ObjectWriter()
        .set(QStringLiteral("id"), id.toString(QUuid::WithoutBraces).toUpper())
        .set(QStringLiteral("remoteID"), remoteID)
        .set(QStringLiteral("text"), text)
        .set(QStringLiteral("meaning"), meaning)
        .set(QStringLiteral("context"), context)
        .set(QStringLiteral("createdAt"), text::referenceSeconds(createdAt))
        .set(QStringLiteral("updatedAt"), text::referenceSeconds(updatedAt))
        .set(QStringLiteral("syncState"), rawValue(syncState))
        .set(QStringLiteral("repeatCount"), repeatCount)
        .set(QStringLiteral("voiceEn"), voiceEn)
        .set(QStringLiteral("voiceZh"), voiceZh)
        .set(QStringLiteral("playbackItems"), playbackItems)
        .set(QStringLiteral("speechRate"), speechRate)
        .set(QStringLiteral("accent"), accent)
        .object();
}

} // namespace talvoro
