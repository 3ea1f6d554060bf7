#include "SelectOrCreatePlaylistModel.h"

#include "Models/MobileAPIError.h"
#include "Platform/Text.h"

namespace talvoro {

namespace {
const QString sessionChangedText = QStringLiteral("登录账号已发生变化，为避免把数据写入其他账号，本次操作已取消");
} // namespace

struct SelectOrCreatePlaylistModel::WriteContext {
    PlaylistServices services;
    AddedCallback onAdded;
    QString accessToken;
    QString ownerKey;
};

QString PlaylistSelectionError::description() const
{
    switch (m_kind) {
    case Kind::locallyDeletedDuringMutation:
        return QStringLiteral("该播放列表已在本机删除，本次云端结果不会覆盖删除记录");
    case Kind::sessionExpired:
        return SessionRefused(SessionRefused::Reason::expired).description();
    case Kind::sessionTemporarilyUnavailable:
        return SessionRefused(SessionRefused::Reason::temporarilyUnavailable).description();
    case Kind::sessionChanged:
        break;
    }
    return sessionChangedText;
}

SelectOrCreatePlaylistModel::SelectOrCreatePlaylistModel(
    QList<ORVWord> words, AddedCallback onAdded, PlaylistServices services, QObject *parent)
    : QObject(parent)
    , m_words(std::move(words))
    , m_onAdded(std::move(onAdded))
    , m_services(std::move(services))
{
    connect(&m_rows, &PlaylistRowsModel::showsProgressChanged, this, &SelectOrCreatePlaylistModel::isLoadingChanged);
}

void SelectOrCreatePlaylistModel::setNewPlaylistName(const QString &name)
{
    if (m_newPlaylistName == name)
        return;
    m_newPlaylistName = name;
    Q_EMIT newPlaylistNameChanged();
    Q_EMIT submitStateChanged();
}

void SelectOrCreatePlaylistModel::setSubmitting(bool submitting)
{
    if (m_isSubmitting == submitting)
        return;
    m_isSubmitting = submitting;
    Q_EMIT submitStateChanged();
}

void SelectOrCreatePlaylistModel::setMessages(std::optional<QString> errorMessage, std::optional<QString> toastText)
{
    if (m_errorMessage == errorMessage && m_toastText == toastText)
        return;
    m_errorMessage = std::move(errorMessage);
    m_toastText = std::move(toastText);
    Q_EMIT messagesChanged();
}

void SelectOrCreatePlaylistModel::markAdded(qint64 playlistId)
{
    QSet<qint64> ids = m_rows.marked();
    ids.insert(playlistId);
    m_rows.setMarked(std::move(ids));
}

QList<ORVWord> SelectOrCreatePlaylistModel::newWords(const QSet<qint64> &excluding) const
{
    QList<ORVWord> kept;
    QSet<qint64> seen = excluding;
    for (const ORVWord &word : m_words) {
        if (seen.contains(word.id))
            continue;
        seen.insert(word.id);
        kept.append(word);
    }
    return kept;
}

ORVPlaylistItem SelectOrCreatePlaylistModel::itemFor(const ORVWord &word, qint64 position)
{
    ORVPlaylistItem item;
    item.wordId = word.id;
    item.wordDisplay = word.wordDisplay;
    item.ipa = word.ipa;
    item.position = position;
    item.repeatCount = 1;
    return item;
}

Task<> SelectOrCreatePlaylistModel::loadPlaylists()
{
    return runLoad(this);
}

Task<> SelectOrCreatePlaylistModel::runLoad(QPointer<SelectOrCreatePlaylistModel> self)
{
    const PlaylistServices services = self->m_services;
    const quint64 generation = self->m_rows.beginLoad();
    self->setMessages(std::nullopt, self->m_toastText);
    QString ownerKey;
    try {
        ownerKey = services.preparePlaylistPartition();
        self->m_rows.setRows(services.store->fetchPlaylists(ownerKey));
    } catch (...) {
        self->setMessages(
            QStringLiteral("播放列表本地数据加载失败：") + describe(std::current_exception()), self->m_toastText);
        self->m_rows.finishLoad(generation);
        co_return;
    }
    const std::optional<SessionCredentials> credentials = services.credentials();
    if (!credentials) {
        self->setMessages(QStringLiteral("当前登录状态无效，请重新登录后重试"), self->m_toastText);
        self->m_rows.finishLoad(generation);
        co_return;
    }
    const PlaylistSyncReport report = co_await services.synchronizePlaylists(credentials->accessToken, ownerKey, false);
    if (!self || !self->m_rows.isCurrentLoad(generation))
        co_return;
    try {
        self->m_rows.setRows(services.store->fetchPlaylists(ownerKey));
    } catch (...) {
        self->setMessages(
            QStringLiteral("播放列表本地数据刷新失败：") + describe(std::current_exception()), self->m_toastText);
        self->m_rows.finishLoad(generation);
        co_return;
    }
    QStringList notes;
    if (!report.deletionRetry.failures.isEmpty())
        notes.append(QStringLiteral("部分云端删除尚未完成；请在联网后重新进入、回到前台或手动刷新以重试"));
    if (report.synchronizationErrorDescription)
        notes.append(QStringLiteral("当前显示本地播放列表：") + *report.synchronizationErrorDescription);
    self->setMessages(
        notes.isEmpty() ? std::nullopt : std::optional(notes.join(QStringLiteral("；"))), self->m_toastText);
    self->m_rows.finishLoad(generation);
}

std::optional<SelectOrCreatePlaylistModel::WriteContext> SelectOrCreatePlaylistModel::beginWrite()
{
    const std::optional<SessionCredentials> credentials = m_services.credentials();
    if (!credentials) {
        setMessages(QStringLiteral("当前登录状态无效，请重新登录后重试"), m_toastText);
        return std::nullopt;
    }
    try {
        const QString ownerKey = m_services.preparePlaylistPartition();
        return WriteContext {m_services, m_onAdded, credentials->accessToken, ownerKey};
    } catch (...) {
        setMessages(QStringLiteral("无法准备播放列表本地分区：") + describe(std::current_exception()), m_toastText);
        return std::nullopt;
    }
}

QList<ORVPlaylist> SelectOrCreatePlaylistModel::storeMutationResult(
    const PlaylistServices &services, const ORVPlaylist &playlist, const QString &ownerKey)
{
    services.store->upsertPlaylist(playlist, ownerKey);
    QList<ORVPlaylist> stored = services.store->fetchPlaylists(ownerKey);
    for (const ORVPlaylist &candidate : stored) {
        if (candidate.id == playlist.id)
            return stored;
    }
    // Deleted on this device while the request was out: the deletion stands.
    throw PlaylistSelectionError(PlaylistSelectionError::Kind::locallyDeletedDuringMutation);
}

void SelectOrCreatePlaylistModel::showMutationError(const QString &prefix, const std::exception_ptr &error)
{
    QString text;
    try {
        std::rethrow_exception(error);
    } catch (const MobileAPIError &apiError) {
        if (apiError.kind() == MobileAPIError::Kind::server && apiError.statusCode() == 409)
            text = QStringLiteral("播放列表已在其他设备修改，请刷新后重试");
    } catch (...) { }
    if (text.isEmpty())
        text = prefix + QStringLiteral("：") + describeSessionRefusal(error, sessionChangedText).value_or(describe(error));
    setMessages(text, std::nullopt);
}

void SelectOrCreatePlaylistModel::finishWrite(qint64 playlistId, QList<ORVPlaylist> stored, const QString &toast)
{
    m_rows.setRows(std::move(stored));
    markAdded(playlistId);
    setMessages(std::nullopt, toast);
}

Task<> SelectOrCreatePlaylistModel::createAndAdd()
{
    return runCreate(this);
}

Task<> SelectOrCreatePlaylistModel::runCreate(QPointer<SelectOrCreatePlaylistModel> self)
{
    // A second tap while the server is asked would create a second playlist.
    if (!self || self->m_isSubmitting)
        co_return;
    const std::optional<WriteContext> context = self->beginWrite();
    if (!context)
        co_return;
    const QString name = text::trimmed(self->m_newPlaylistName);
    if (name.isEmpty())
        co_return;
    self->setSubmitting(true);
    self->setMessages(std::nullopt, std::nullopt);

    QList<ORVPlaylistItem> items;
    for (qsizetype i = 0; i < self->m_words.size(); ++i)
        items.append(itemFor(self->m_words[i], i + 1));
    ORVMobileAPIClient *apiClient = context->services.apiClient;
    const PlaylistWrite write = [apiClient, name, items](QString accessToken) {
        return apiClient->createPlaylist(name, QStringLiteral("ONCE"), std::nullopt, items, accessToken);
    };
    std::optional<ORVPlaylist> created;
    std::exception_ptr failure;
    try {
        created
            = co_await performPlaylistWrite(context->services, context->accessToken, context->ownerKey, false, write);
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure) {
        if (self) {
            self->showMutationError(QStringLiteral("创建播放列表失败"), failure);
            self->setSubmitting(false);
        }
        co_return;
    }

    QList<ORVPlaylist> stored;
    try {
        stored = storeMutationResult(context->services, *created, context->ownerKey);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!failure) {
        if (self) {
            self->setNewPlaylistName(QString());
            self->finishWrite(created->id, stored,
                QStringLiteral("列表“") + name + QStringLiteral("”创建并保存成功！可继续添加其他列表"));
            self->setSubmitting(false);
        }
        if (context->onAdded)
            context->onAdded();
        co_return;
    }
    // The server made the playlist; the name goes so that trying again cannot make
    // a second one, and a forced sync brings the server's copy onto the device.
    if (self) {
        self->setNewPlaylistName(QString());
        self->setMessages(QStringLiteral("播放列表已在云端创建，但本机保存失败：") + describe(failure), std::nullopt);
        self->setSubmitting(false);
    }
    co_await bringDownServerCopy(self, *context, created->id);
}

Task<> SelectOrCreatePlaylistModel::bringDownServerCopy(
    QPointer<SelectOrCreatePlaylistModel> self, WriteContext context, qint64 playlistId)
{
    co_await context.services.synchronizePlaylists(context.accessToken, context.ownerKey, true);
    QList<ORVPlaylist> stored;
    try {
        stored = context.services.store->fetchPlaylists(context.ownerKey);
    } catch (...) {
        co_return;
    }
    const bool held = std::any_of(
        stored.cbegin(), stored.cend(), [playlistId](const ORVPlaylist &p) { return p.id == playlistId; });
    if (self) {
        self->m_rows.setRows(stored);
        if (held)
            self->markAdded(playlistId);
    }
    if (held && context.onAdded)
        context.onAdded();
}

void SelectOrCreatePlaylistModel::append(qint64 playlistId)
{
    if (const ORVPlaylist *playlist = m_rows.find(playlistId))
        appendToPlaylist(*playlist);
}

Task<> SelectOrCreatePlaylistModel::appendToPlaylist(ORVPlaylist playlist)
{
    return runAppend(this, std::move(playlist));
}

Task<> SelectOrCreatePlaylistModel::runAppend(QPointer<SelectOrCreatePlaylistModel> self, ORVPlaylist playlist)
{
    if (!self || self->m_isSubmitting)
        co_return;
    const std::optional<WriteContext> context = self->beginWrite();
    if (!context)
        co_return;
    self->setSubmitting(true);
    self->setMessages(std::nullopt, std::nullopt);

    QSet<qint64> present;
    for (const ORVPlaylistItem &item : playlist.items)
        present.insert(item.wordId);
    const QList<ORVWord> toAdd = self->newWords(present);
    if (toAdd.isEmpty()) {
        self->setMessages(std::nullopt, QStringLiteral("所选词汇已全部存在于“") + playlist.name + QStringLiteral("”"));
        self->setSubmitting(false);
        co_return;
    }
    QList<ORVPlaylistItem> items = playlist.items;
    for (const ORVWord &word : toAdd)
        items.append(itemFor(word, 0));
    items = PlaylistEntries::renumbered(items);

    ORVMobileAPIClient *apiClient = context->services.apiClient;
    const PlaylistWrite write = [apiClient, playlist, items](QString accessToken) {
        return apiClient->updatePlaylist(
            playlist.id, playlist.name, playlist.loopMode, playlist.loopCount, items, playlist.version, accessToken);
    };
    std::exception_ptr failure;
    QList<ORVPlaylist> stored;
    try {
        const ORVPlaylist updated
            = co_await performPlaylistWrite(context->services, context->accessToken, context->ownerKey, false, write);
        stored = storeMutationResult(context->services, updated, context->ownerKey);
    } catch (...) {
        failure = std::current_exception();
    }
    if (self) {
        if (failure) {
            self->showMutationError(QStringLiteral("追加词汇失败"), failure);
        } else {
            self->finishWrite(playlist.id, stored,
                QStringLiteral("已成功将 %1 个词汇追加保存到“").arg(toAdd.size()) + playlist.name
                    + QStringLiteral("”！"));
        }
        self->setSubmitting(false);
    }
    if (!failure && context->onAdded)
        context->onAdded();
}

} // namespace talvoro
