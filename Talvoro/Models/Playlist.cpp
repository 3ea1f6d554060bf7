#include "Models/Playlist.h"

namespace talvoro {

ORVPlaylistItem ORVPlaylistItem::fromJson(const QJsonValue &value, const QString &path)
{
    const json::ObjectReader r(value, path);
    ORVPlaylistItem item;
    item.wordId = r.integer(QStringLiteral("wordId"));
    item.wordDisplay = r.string(QStringLiteral("wordDisplay"));
    item.ipa = r.optionalString(QStringLiteral("ipa"));
    item.syllables = r.optionalString(QStringLiteral("syllables"));
    item.position = r.integer(QStringLiteral("position"));
    item.repeatCount = r.optionalInteger(QStringLiteral("repeatCount")).value_or(1);
    item.translationsZh = r.optionalStringList(QStringLiteral("translationsZh"));
    item.explanation = r.optionalString(QStringLiteral("explanation"));
    item.usageScenario = r.optionalString(QStringLiteral("usageScenario"));
    item.playbackProfile = coding::decodeOptional<WordPlaybackProfile>(r, QStringLiteral("playbackProfile"));
    return item;
}

QJsonObject ORVPlaylistItem::toJson() const
{
    return json::ObjectWriter()
        .set(QStringLiteral("wordId"), wordId)
        .set(QStringLiteral("wordDisplay"), wordDisplay)
        .set(QStringLiteral("ipa"), ipa)
        .set(QStringLiteral("syllables"), syllables)
        .set(QStringLiteral("position"), position)
        .set(QStringLiteral("repeatCount"), repeatCount)
        .set(QStringLiteral("translationsZh"), translationsZh)
        .set(QStringLiteral("explanation"), explanation)
        .set(QStringLiteral("usageScenario"), usageScenario)
        .set(QStringLiteral("playbackProfile"), coding::encodeOptional(playbackProfile))
        .object();
}

QString ORVPlaylistItem::id() const
{
    return QStringLiteral("%1_%2").arg(wordId).arg(position);
}

size_t qHash(const ORVPlaylistItem &item, size_t seed)
{
    using coding::hashOptional;
    seed = qHashMulti(seed, item.wordId, item.wordDisplay);
    seed = hashOptional(item.ipa, seed);
    seed = hashOptional(item.syllables, seed);
    seed = qHashMulti(seed, item.position, item.repeatCount);
    seed = hashOptional(item.translationsZh, seed);
    seed = hashOptional(item.explanation, seed);
    seed = hashOptional(item.usageScenario, seed);
    return hashOptional(item.playbackProfile, seed);
}

ORVPlaylist ORVPlaylist::fromJson(const QJsonValue &value, const QString &path)
{
    const json::ObjectReader r(value, path);
    return {r.integer(QStringLiteral("id")), r.string(QStringLiteral("name")), r.string(QStringLiteral("loopMode")),
        r.optionalInteger(QStringLiteral("loopCount")), r.list(QStringLiteral("items"), &ORVPlaylistItem::fromJson),
        r.integer(QStringLiteral("version"))};
}

QJsonObject ORVPlaylist::toJson() const
{
    return json::ObjectWriter()
        .set(QStringLiteral("id"), id)
        .set(QStringLiteral("name"), name)
        .set(QStringLiteral("loopMode"), loopMode)
        .set(QStringLiteral("loopCount"), loopCount)
        .set(QStringLiteral("items"), coding::encodeList(items))
        .set(QStringLiteral("version"), version)
        .object();
}

ORVPlaylistDeletionReceipt ORVPlaylistDeletionReceipt::fromJson(const QJsonValue &value, const QString &path)
{
    const json::ObjectReader r(value, path);
    return {r.integer(QStringLiteral("id")), r.boolean(QStringLiteral("deleted")),
        r.string(QStringLiteral("deletedAt")), r.integer(QStringLiteral("version"))};
}

QJsonObject ORVPlaylistDeletionReceipt::toJson() const
{
    return json::ObjectWriter()
        .set(QStringLiteral("id"), id)
        .set(QStringLiteral("deleted"), deleted)
        .set(QStringLiteral("deletedAt"), deletedAt)
        .set(QStringLiteral("version"), version)
        .object();
}

} // namespace talvoro
