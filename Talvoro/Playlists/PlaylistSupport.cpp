#include "PlaylistSupport.h"

#include "DesignSystem/ORVListRowPosition.h"
#include "Persistence/LocalWordStoreError.h"
#include "Platform/Text.h"
#include "Session/SignedInUser.h"

namespace talvoro {

std::optional<SessionCredentials> PlaylistServices::credentials() const
{
    return signedInCredentials(session);
}

QString PlaylistServices::accessToken() const
{
    return signedInAccessToken(session).value_or(QString());
}

std::optional<QString> PlaylistServices::currentOwnerKey() const
{
    return signedInOwnerKey(session, environmentKey);
}

QString PlaylistServices::preparePlaylistPartition() const
{
    const std::optional<QString> ownerKey = currentOwnerKey();
    if (!ownerKey)
        throw LocalWordStoreError(LocalWordStoreError::Kind::invalidOwnerKey);
    store->migrateLegacyPlaylistPartition(text::trimmed(session->state().snapshot()->user.username), *ownerKey);
    return *ownerKey;
}

QList<ORVPlaylistItem> PlaylistEntries::renumbered(QList<ORVPlaylistItem> items)
{
    for (qsizetype i = 0; i < items.size(); ++i)
        items[i].position = i + 1;
    return items;
}

bool PlaylistEntries::match(const QList<ORVPlaylistItem> &a, const QList<ORVPlaylistItem> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].wordId != b[i].wordId || a[i].position != b[i].position || a[i].repeatCount != b[i].repeatCount)
            return false;
    }
    return true;
}

QString trimmedSpacesAndTabs(const QString &text)
{
    auto isBlank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

namespace {

using Reason = SessionRefused::Reason;

// Sends the write only while `ownerKey` is still the signed-in owner, so a retry
// never writes into another account.
Task<ORVPlaylist> sendForOwner(PlaylistServices services, QString ownerKey, PlaylistWrite write, QString accessToken)
{
    if (services.currentOwnerKey() != ownerKey)
        throw SessionRefused(Reason::changed);
    ORVPlaylist answer = co_await write(accessToken);
    co_return answer;
}

} // namespace

Task<ORVPlaylist> performPlaylistWrite(
    PlaylistServices services, QString accessToken, QString ownerKey, bool dropAnswerForOtherOwner, PlaylistWrite write)
{
    auto attempt = [services, ownerKey, write](SessionCredentials credentials) {
        return sendForOwner(services, ownerKey, write, credentials.accessToken);
    };
    const SessionCredentials credentials {accessToken, std::nullopt};
    std::optional<ORVPlaylist> answer;
    std::optional<UnauthorizedRefreshOutcome> declined;
    try {
        answer = co_await callWithTokenRefresh(services.session, credentials, attempt);
    } catch (const TokenRefreshDeclined &refusal) {
        declined = refusal.outcome();
    }
    if (declined) {
        if (declined->refresh)
            throw SessionRefused(SessionRefused::forRefresh(*declined->refresh));
        // The refused token had already been replaced: by another caller's refresh
        // for the same owner, the write may go once more with the current token.
        const std::optional<SessionCredentials> current = services.credentials();
        if (!current || current->accessToken == accessToken || services.currentOwnerKey() != ownerKey)
            throw SessionRefused(Reason::changed);
        answer = co_await sendForOwner(services, ownerKey, write, current->accessToken);
    }
    if (dropAnswerForOtherOwner && services.currentOwnerKey() != ownerKey)
        throw SessionRefused(Reason::changed);
    ORVPlaylist result = *answer;
    co_return result;
}

quint64 PlaylistRowsModel::beginLoad()
{
    m_loadBeganEmpty = m_rows.isEmpty();
    const quint64 generation = ScreenListModel::beginLoad();
    noteProgress();
    return generation;
}

bool PlaylistRowsModel::finishLoad(quint64 generation, const QString &errorMessage)
{
    const bool finished = ScreenListModel::finishLoad(generation, errorMessage);
    noteProgress();
    return finished;
}

void PlaylistRowsModel::noteProgress()
{
    if (showsProgress() == m_showedProgress)
        return;
    m_showedProgress = showsProgress();
    Q_EMIT showsProgressChanged();
}

void PlaylistRowsModel::setRows(QList<ORVPlaylist> rows)
{
    replaceRows(m_rows, std::move(rows));
}

const ORVPlaylist *PlaylistRowsModel::find(qint64 playlistId) const
{
    for (const ORVPlaylist &playlist : m_rows) {
        if (playlist.id == playlistId)
            return &playlist;
    }
    return nullptr;
}

void PlaylistRowsModel::setMarked(QSet<qint64> ids)
{
    if (ids == m_marked)
        return;
    m_marked = std::move(ids);
    allRowsChanged({MarkedRole});
}

QVariant PlaylistRowsModel::data(const QModelIndex &index, int role) const
{
    const ORVPlaylist *playlist = rowAt(m_rows, index);
    if (!playlist)
        return {};
    switch (role) {
    case PlaylistIdRole:
        return playlist->id;
    case NameRole:
    case Qt::DisplayRole:
        return playlist->name;
    case ItemCountRole:
        return int(playlist->items.size());
    case RowPositionRole:
        return int(ORVListRowPosition::forIndex(index.row(), rowCount()));
    case MarkedRole:
        return m_marked.contains(playlist->id);
    default:
        return {};
    }
}

QHash<int, QByteArray> PlaylistRowsModel::roleNames() const
{
    return {{PlaylistIdRole, "playlistId"}, {NameRole, "name"}, {ItemCountRole, "itemCount"},
        {RowPositionRole, "rowPosition"}, {MarkedRole, "marked"}};
}

} // namespace talvoro
