#include "UserLexiconDetailModel.h"

#include "DesignSystem/ORVListRowPosition.h"
#include "Models/MobileAPIError.h"
#include "Platform/Logging.h"
#include "Playback/PlaybackWordSnapshot.h"

namespace talvoro {

namespace {

const QString signedOutText = MobileAPIError::unauthorized().description();
const QString offlineText = QStringLiteral("当前处于离线状态，已显示上次同步的词库内容");

QList<qint64> idsOf(const QList<ORVWord> &words)
{
    QList<qint64> ids;
    ids.reserve(words.size());
    for (const ORVWord &word : words)
        ids.append(word.id);
    return ids;
}

void removeWordsWithId(QList<ORVWord> &words, qint64 wordId)
{
    words.removeIf([wordId](const ORVWord &word) { return word.id == wordId; });
}

} // namespace

// ---- rows

void UserLexiconWordRowsModel::setRows(QList<ORVWord> rows)
{
    replaceRows(m_rows, std::move(rows));
}

void UserLexiconWordRowsModel::setMarks(Marks marks)
{
    if (marks == m_marks)
        return;
    m_marks = std::move(marks);
    allRowsChanged({SelectedRole, FullyCachedRole, DeletingRole});
}

void UserLexiconWordRowsModel::moveRow(int from, int to)
{
    if (from == to || from < 0 || to < 0 || from >= m_rows.size() || to >= m_rows.size())
        return;
    // Qt names the destination as the row the moved one goes before.
    beginMoveRows({}, from, from, {}, to > from ? to + 1 : to);
    m_rows.move(from, to);
    endMoveRows();
    // The first and the last row draw their separators differently.
    allRowsChanged({RowPositionRole});
}

qint64 UserLexiconWordRowsModel::effectiveRepeatCount(const ORVWord &word)
{
    if (word.playbackProfile && word.playbackProfile->repeatCount)
        return *word.playbackProfile->repeatCount;
    return word.repeatCount;
}

QVariant UserLexiconWordRowsModel::data(const QModelIndex &index, int role) const
{
    const ORVWord *word = rowAt(m_rows, index);
    if (!word)
        return {};
    switch (role) {
    case WordIdRole:
        return word->id;
    case WordDisplayRole:
    case Qt::DisplayRole:
        return word->wordDisplay;
    case IpaRole:
        return word->ipa.value_or(QString());
    case TranslationsRole:
        return QStringList(word->translationsZh).join(QStringLiteral("；"));
    case RepeatCountRole:
        return effectiveRepeatCount(*word);
    case SelectedRole:
        return m_marks.selected.contains(word->id);
    case FullyCachedRole:
        return m_marks.fullyCached.contains(word->id);
    case DeletingRole:
        return m_marks.deleting.contains(word->id);
    case RowPositionRole:
        return int(ORVListRowPosition::forIndex(index.row(), rowCount()));
    default:
        return {};
    }
}

QHash<int, QByteArray> UserLexiconWordRowsModel::roleNames() const
{
    return {{WordIdRole, "wordId"}, {WordDisplayRole, "wordDisplay"}, {IpaRole, "ipa"},
        {TranslationsRole, "translations"}, {RepeatCountRole, "repeatCount"}, {SelectedRole, "selected"},
        {FullyCachedRole, "fullyCached"}, {DeletingRole, "deleting"}, {RowPositionRole, "rowPosition"}};
}

// ---- screen

UserLexiconDetailModel::UserLexiconDetailModel(UserLexicon lexicon, UserLexiconServices services,
    GlobalPlaybackSession &playbackSession, PlaylistSheetFactory makePlaylistSheet, QObject *parent)
    : QObject(parent)
    , m_lexicon(std::move(lexicon))
    , m_services(std::move(services))
    , m_playbackSession(playbackSession)
    , m_makePlaylistSheet(std::move(makePlaylistSheet))
    , m_lexiconVersion(m_lexicon.version)
{ }

bool UserLexiconDetailModel::areAllWordsSelected() const
{
    if (m_words.isEmpty())
        return false;
    const QList<qint64> ids = idsOf(m_words);
    return m_selectedWordIds == QSet<qint64>(ids.begin(), ids.end());
}

QList<ORVWord> UserLexiconDetailModel::selectedWords() const
{
    QList<ORVWord> words;
    for (const ORVWord &word : m_words) {
        if (m_selectedWordIds.contains(word.id))
            words.append(word);
    }
    return words;
}

bool UserLexiconDetailModel::canSaveOrder() const
{
    return !m_isSavingOrder && idsOf(m_reorderDraft) != idsOf(m_words);
}

const ORVWord *UserLexiconDetailModel::findWord(qint64 wordId) const
{
    for (const ORVWord &word : displayedWords()) {
        if (word.id == wordId)
            return &word;
    }
    return nullptr;
}

// ---- state changes

void UserLexiconDetailModel::syncRows()
{
    m_rows.setRows(displayedWords());
    syncMarks();
}

void UserLexiconDetailModel::syncMarks()
{
    m_rows.setMarks({m_selectedWordIds, m_fullyCachedWordIds, m_deletingWordIds});
}

void UserLexiconDetailModel::setWords(QList<ORVWord> words)
{
    m_words = std::move(words);
    syncRows();
    Q_EMIT wordsChanged();
    Q_EMIT selectionChanged();
    Q_EMIT reorderStateChanged();
}

void UserLexiconDetailModel::setReordering(bool reordering)
{
    m_reorderDraft = m_words;
    m_isReordering = reordering;
    syncRows();
    Q_EMIT reorderStateChanged();
}

void UserLexiconDetailModel::setSavingOrder(bool saving)
{
    if (m_isSavingOrder == saving)
        return;
    m_isSavingOrder = saving;
    Q_EMIT reorderStateChanged();
}

void UserLexiconDetailModel::setLoading(bool loading)
{
    if (m_isLoading == loading)
        return;
    m_isLoading = loading;
    Q_EMIT loadStateChanged();
}

void UserLexiconDetailModel::setLoadErrorMessage(std::optional<QString> message)
{
    if (m_loadErrorMessage == message)
        return;
    m_loadErrorMessage = std::move(message);
    Q_EMIT loadStateChanged();
}

void UserLexiconDetailModel::setOperationErrorMessage(std::optional<QString> message)
{
    if (m_operationErrorMessage == message)
        return;
    m_operationErrorMessage = std::move(message);
    Q_EMIT operationErrorMessageChanged();
}

void UserLexiconDetailModel::setSelection(bool selectionMode, QSet<qint64> ids)
{
    if (m_isSelectionMode == selectionMode && m_selectedWordIds == ids)
        return;
    m_isSelectionMode = selectionMode;
    m_selectedWordIds = std::move(ids);
    syncMarks();
    Q_EMIT selectionChanged();
}

void UserLexiconDetailModel::setFullyCached(QSet<qint64> ids)
{
    m_fullyCachedWordIds = std::move(ids);
    syncMarks();
}

void UserLexiconDetailModel::setLexiconVersion(qint64 version, bool loaded)
{
    m_lexiconVersion = version;
    m_hasLoadedLexiconVersion = loaded;
    Q_EMIT reorderStateChanged();
}

void UserLexiconDetailModel::setShowAddWordSheet(bool shown)
{
    // No word is added while the order is changed or saved.
    if (shown && (m_isReordering || m_isSavingOrder))
        return;
    if (m_showAddWordSheet == shown)
        return;
    m_showAddWordSheet = shown;
    Q_EMIT presentationsChanged();
}

void UserLexiconDetailModel::setShowSelectPlaylistSheet(bool shown)
{
    if (m_showSelectPlaylistSheet == shown)
        return;
    m_showSelectPlaylistSheet = shown;
    Q_EMIT presentationsChanged();
}

// ---- load

Task<> UserLexiconDetailModel::loadWords()
{
    return runLoad(this);
}

Task<> UserLexiconDetailModel::runLoad(QPointer<UserLexiconDetailModel> self)
{
    if (!self)
        co_return;
    const UserLexiconServices services = self->m_services;
    const qint64 lexiconId = self->m_lexicon.id;
    const std::optional<QString> accessToken = services.accessToken();
    if (!accessToken) {
        if (self->m_words.isEmpty())
            self->setLoadErrorMessage(signedOutText);
        else
            self->setOperationErrorMessage(signedOutText);
        co_return;
    }
    const std::optional<QString> ownerKey = services.ownerKey();
    // Loads overlap (retry, after adding a word, after a failed order save): only
    // the newest may apply its answer, write the snapshot and end the loading state.
    const quint64 generation = ++self->m_loadGeneration;
    auto overtaken = [&self, generation] { return !self || self->m_loadGeneration != generation; };

    // Loading from here on, so that an empty screen reads as loading, not as an
    // empty lexicon, while the snapshot is read.
    self->setLoading(true);
    if (self->m_words.isEmpty() && ownerKey) {
        QList<ORVWord> snapshot = co_await services.snapshots->readSnapshot(*ownerKey, lexiconId);
        if (overtaken())
            co_return;
        if (self->m_words.isEmpty()) {
            self->setWords(std::move(snapshot));
            self->setSelection(self->m_isSelectionMode, {});
        }
    }

    const QSet<qint64> rememberedSelection = self->m_selectedWordIds;
    self->m_hasLoadedPlaybackPreference = false;
    self->setFullyCached({});
    self->setLoadErrorMessage(std::nullopt);

    QList<ORVWord> fetched;
    std::exception_ptr failure;
    try {
        fetched = co_await services.apiClient->fetchUserWords(lexiconId, *accessToken);
    } catch (...) {
        failure = std::current_exception();
    }
    if (overtaken())
        co_return;
    if (failure) {
        if (!isCancellation(failure)) {
            if (self->m_words.isEmpty()) {
                self->setLoadErrorMessage(describe(failure));
            } else {
                self->setOperationErrorMessage(offlineText);
                // Offline is when the marks of the words that still play matter
                // most: they are drawn by the preference the device plays by.
                self->applyStoredPlaybackPreference(ownerKey);
            }
        }
        self->setLoading(false);
        co_return;
    }
    self->setWords(fetched);

    if (ownerKey) {
        // The snapshot is only a cache: a failed write is logged, and what the
        // backend just answered is still shown as current.
        try {
            co_await services.snapshots->writeSnapshot(fetched, *ownerKey, lexiconId);
        } catch (...) {
            qCWarning(log::localWordStore).noquote()
                << QStringLiteral("写入词库单词快照失败：%1").arg(describe(std::current_exception()));
        }
        if (overtaken())
            co_return;
    }

    QSet<qint64> selection;
    if (self->m_isSelectionMode) {
        for (const ORVWord &word : self->m_words) {
            if (rememberedSelection.contains(word.id))
                selection.insert(word.id);
        }
    }
    self->setSelection(self->m_isSelectionMode, std::move(selection));
    self->setOperationErrorMessage(std::nullopt);

    co_await runFetchLexiconVersion(self);
    if (overtaken())
        co_return;
    co_await runLoadPlaybackPreference(self, *accessToken);
    if (overtaken())
        co_return;
    self->setLoading(false);
}

Task<> UserLexiconDetailModel::fetchLexiconVersion()
{
    return runFetchLexiconVersion(this);
}

Task<> UserLexiconDetailModel::runFetchLexiconVersion(QPointer<UserLexiconDetailModel> self)
{
    if (!self)
        co_return;
    const std::optional<QString> accessToken = self->m_services.accessToken();
    if (!accessToken) {
        self->setLexiconVersion(self->m_lexiconVersion, false);
        co_return;
    }
    ORVMobileAPIClient *apiClient = self->m_services.apiClient;
    QList<UserLexicon> lexicons;
    std::exception_ptr failure;
    try {
        lexicons = co_await apiClient->fetchUserLexicons(*accessToken);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self)
        co_return;
    if (failure) {
        if (!isCancellation(failure))
            self->setLexiconVersion(self->m_lexiconVersion, false);
        co_return;
    }
    for (const UserLexicon &lexicon : lexicons) {
        if (lexicon.id == self->m_lexicon.id) {
            self->setLexiconVersion(lexicon.version, true);
            co_return;
        }
    }
    self->setLexiconVersion(self->m_lexiconVersion, false);
}

Task<> UserLexiconDetailModel::runLoadPlaybackPreference(QPointer<UserLexiconDetailModel> self, QString accessToken)
{
    ORVMobileAPIClient *apiClient = self->m_services.apiClient;
    PlaybackPreference preference;
    std::exception_ptr failure;
    try {
        preference = co_await apiClient->fetchPlaybackPreferences(accessToken);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self)
        co_return;
    if (failure) {
        if (isCancellation(failure))
            co_return;
        self->m_hasLoadedPlaybackPreference = false;
        self->setFullyCached({});
        self->setOperationErrorMessage(QStringLiteral("离线状态暂不可用：") + describe(failure));
        co_return;
    }
    self->m_playbackPreference = preference;
    self->m_hasLoadedPlaybackPreference = true;
    self->refreshFullyCachedWordIds();
}

void UserLexiconDetailModel::applyStoredPlaybackPreference(const std::optional<QString> &ownerKey)
{
    if (!ownerKey || !m_services.storedPlaybackPreference)
        return;
    const std::optional<PlaybackPreference> stored = m_services.storedPlaybackPreference(*ownerKey);
    m_playbackPreference = stored.value_or(PlaybackPreference());
    m_hasLoadedPlaybackPreference = true;
    refreshFullyCachedWordIds();
}

bool UserLexiconDetailModel::isWordFullyCached(const ORVWord &word) const
{
    const QList<ResolvedPlaybackUnit> units
        = PlaybackWordSnapshot(word).plan(m_playbackPreference, TTSVoice::defaultEnglish());
    if (units.isEmpty())
        return false;
    const GlobalPlaybackSession::SpeechCacheLookup &isCached = m_playbackSession.speechCacheLookup();
    if (!isCached)
        return false;
    return std::all_of(
        units.begin(), units.end(), [&](const ResolvedPlaybackUnit &unit) { return isCached(unit.text, unit.voice); });
}

void UserLexiconDetailModel::refreshFullyCachedWordIds()
{
    QSet<qint64> ids;
    if (m_hasLoadedPlaybackPreference) {
        for (const ORVWord &word : m_words) {
            if (isWordFullyCached(word))
                ids.insert(word.id);
        }
    }
    setFullyCached(std::move(ids));
}

// ---- word actions

void UserLexiconDetailModel::perform(WordAction action, qint64 wordId)
{
    const ORVWord *word = findWord(wordId);
    if (!word || m_isReordering || m_deletingWordIds.contains(wordId))
        return;
    switch (action) {
    case WordAction::EditDetails:
        m_editingDetailsWord = *word;
        break;
    case WordAction::EditPlayback:
        m_editingPlaybackWord = *word;
        break;
    case WordAction::Move:
        m_movingWord = *word;
        break;
    case WordAction::Delete:
        m_wordToDelete = *word;
        m_showDeleteConfirmAlert = true;
        break;
    }
    Q_EMIT presentationsChanged();
}

void UserLexiconDetailModel::dismissWordSheet(WordAction action)
{
    switch (action) {
    case WordAction::EditDetails:
        m_editingDetailsWord.reset();
        break;
    case WordAction::EditPlayback:
        m_editingPlaybackWord.reset();
        break;
    case WordAction::Move:
        m_movingWord.reset();
        break;
    case WordAction::Delete:
        m_showDeleteConfirmAlert = false;
        break;
    }
    Q_EMIT presentationsChanged();
}

void UserLexiconDetailModel::confirmDelete()
{
    if (m_wordToDelete)
        deleteWord(*m_wordToDelete);
}

void UserLexiconDetailModel::dismissDeleteAlert()
{
    dismissWordSheet(WordAction::Delete);
}

Task<> UserLexiconDetailModel::deleteWord(ORVWord word)
{
    return runDelete(this, std::move(word));
}

Task<> UserLexiconDetailModel::runDelete(QPointer<UserLexiconDetailModel> self, ORVWord word)
{
    if (!self)
        co_return;
    const UserLexiconServices services = self->m_services;
    const std::optional<QString> accessToken = services.accessToken();
    if (!accessToken) {
        self->setOperationErrorMessage(signedOutText);
        co_return;
    }
    // A second confirmation while the first request runs sends nothing.
    if (self->m_deletingWordIds.contains(word.id))
        co_return;
    self->m_deletingWordIds.insert(word.id);
    self->syncMarks();
    self->setOperationErrorMessage(std::nullopt);
    const qint64 lexiconId = self->m_lexicon.id;
    std::exception_ptr failure;
    try {
        co_await services.apiClient->deleteUserWord(word.id, lexiconId, *accessToken);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self)
        co_return;
    if (failure) {
        if (!isCancellation(failure))
            self->setOperationErrorMessage(QStringLiteral("删除单词失败：") + describe(failure));
        self->finishDeletion(word.id);
        co_return;
    }
    self->removeWordLocally(word.id);
    co_await runFetchLexiconVersion(self);
    if (!self)
        co_return;
    self->showToast(QStringLiteral("单词已删除"));
    self->finishDeletion(word.id);
}

void UserLexiconDetailModel::finishDeletion(qint64 wordId)
{
    m_deletingWordIds.remove(wordId);
    syncMarks();
    // Another word's confirmation may be waiting by now: it stays.
    if (m_wordToDelete && m_wordToDelete->id == wordId) {
        m_wordToDelete.reset();
        Q_EMIT presentationsChanged();
    }
}

void UserLexiconDetailModel::removeWordLocally(qint64 wordId)
{
    QList<ORVWord> words = m_words;
    removeWordsWithId(words, wordId);
    removeWordsWithId(m_reorderDraft, wordId);
    m_selectedWordIds.remove(wordId);
    m_fullyCachedWordIds.remove(wordId);
    setWords(std::move(words));
    if (const std::optional<QString> ownerKey = m_services.ownerKey())
        keepSnapshot(m_services.snapshots->removeWord(wordId, *ownerKey, m_lexicon.id));
}

void UserLexiconDetailModel::onWordDetailsSaved(const ORVWord &word)
{
    applySavedWord(word, QStringLiteral("已成功更新单词内容"));
}

void UserLexiconDetailModel::onPlaybackSaved(const ORVWord &word)
{
    applySavedWord(word, QStringLiteral("已保存播放设置"));
}

void UserLexiconDetailModel::applySavedWord(const ORVWord &word, const QString &toast)
{
    // A word no longer listed is not added back.
    auto replaceIn = [&word](QList<ORVWord> &words) {
        for (ORVWord &listed : words) {
            if (listed.id == word.id) {
                listed = word;
                return;
            }
        }
    };
    QList<ORVWord> words = m_words;
    replaceIn(words);
    replaceIn(m_reorderDraft);
    setWords(std::move(words));
    m_playbackSession.updateWord(word);
    if (const std::optional<QString> ownerKey = m_services.ownerKey())
        keepSnapshot(m_services.snapshots->replaceWord(word, *ownerKey, m_lexicon.id));
    refreshFullyCachedWordIds();
    showToast(toast);
}

void UserLexiconDetailModel::onWordMoved(qint64 wordId)
{
    removeWordLocally(wordId);
    runFetchLexiconVersion(this);
    showToast(QStringLiteral("已移动至目标词库"));
}

Task<> UserLexiconDetailModel::keepSnapshot(Task<> update)
{
    try {
        co_await std::move(update);
    } catch (...) {
        qCWarning(log::localWordStore).noquote()
            << QStringLiteral("更新词库单词快照失败：%1").arg(describe(std::current_exception()));
    }
}

// ---- reorder

void UserLexiconDetailModel::startReordering()
{
    if (m_isReordering || m_isSavingOrder || m_words.size() < 2 || !m_hasLoadedLexiconVersion)
        return;
    setReordering(true);
}

void UserLexiconDetailModel::cancelReordering()
{
    if (m_isSavingOrder)
        return;
    setReordering(false);
}

void UserLexiconDetailModel::moveDraftRow(int from, int to)
{
    if (!m_isReordering || m_isSavingOrder || from < 0 || to < 0 || from >= m_reorderDraft.size()
        || to >= m_reorderDraft.size() || from == to)
        return;
    m_reorderDraft.move(from, to);
    m_rows.moveRow(from, to);
    Q_EMIT reorderStateChanged();
}

bool UserLexiconDetailModel::isDataConflict(const std::exception_ptr &error)
{
    try {
        std::rethrow_exception(error);
    } catch (const MobileAPIError &apiError) {
        return apiError.kind() == MobileAPIError::Kind::server
            && (apiError.statusCode() == 409 || apiError.code() == QStringLiteral("DATA_CONFLICT"));
    } catch (...) {
        return false;
    }
}

Task<> UserLexiconDetailModel::saveOrder()
{
    return runSaveOrder(this);
}

Task<> UserLexiconDetailModel::runSaveOrder(QPointer<UserLexiconDetailModel> self)
{
    // The flag is set before the first suspension, so a second press is refused.
    if (!self || self->m_isSavingOrder)
        co_return;
    const UserLexiconServices services = self->m_services;
    const std::optional<QString> accessToken = services.accessToken();
    if (!accessToken || !self->m_hasLoadedLexiconVersion || self->m_reorderDraft.isEmpty()) {
        self->setOperationErrorMessage(QStringLiteral("当前无法保存顺序，请刷新后重试"));
        co_return;
    }
    const QList<ORVWord> draft = self->m_reorderDraft;
    QList<UserLexiconReorderItem> items;
    for (qsizetype i = 0; i < draft.size(); ++i)
        items.append(UserLexiconReorderItem {draft[i].id, i + 1});
    self->setSavingOrder(true);
    self->setOperationErrorMessage(std::nullopt);
    const qint64 lexiconId = self->m_lexicon.id;
    UserLexiconReorderReceipt receipt;
    std::exception_ptr failure;
    try {
        receipt = co_await services.apiClient->reorderLexiconWords(
            lexiconId, self->m_lexiconVersion, items, *accessToken);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self)
        co_return;
    self->setSavingOrder(false);
    if (!failure) {
        self->setWords(draft);
        self->setLexiconVersion(receipt.version, true);
        self->setReordering(false);
        // Offline, the lexicon is to show in the order just saved.
        if (const std::optional<QString> ownerKey = services.ownerKey())
            keepSnapshot(services.snapshots->writeSnapshot(draft, *ownerKey, lexiconId));
        self->showToast(QStringLiteral("词项顺序已保存"));
        co_return;
    }
    if (isCancellation(failure))
        co_return;
    const bool conflict = isDataConflict(failure);
    co_await runLoad(self);
    if (!self)
        co_return;
    self->setReordering(false);
    self->setOperationErrorMessage(conflict ? QStringLiteral("词库已在其他位置更新，已刷新列表，请重新调整顺序")
                                            : QStringLiteral("保存顺序失败，已恢复服务端顺序：") + describe(failure));
}

// ---- selection

void UserLexiconDetailModel::enterSelectionMode()
{
    if (m_isReordering || m_isSavingOrder)
        return;
    setSelection(true, {});
}

void UserLexiconDetailModel::exitSelectionMode()
{
    setSelection(false, {});
}

void UserLexiconDetailModel::toggleSelectAll()
{
    if (m_isReordering)
        return;
    if (areAllWordsSelected()) {
        setSelection(m_isSelectionMode, {});
        return;
    }
    const QList<qint64> ids = idsOf(m_words);
    setSelection(m_isSelectionMode, QSet<qint64>(ids.begin(), ids.end()));
}

void UserLexiconDetailModel::toggleSelection(qint64 wordId)
{
    if (!m_isSelectionMode || m_isReordering)
        return;
    QSet<qint64> ids = m_selectedWordIds;
    if (!ids.remove(wordId))
        ids.insert(wordId);
    setSelection(true, std::move(ids));
}

SelectOrCreatePlaylistModel *UserLexiconDetailModel::makeSelectOrCreatePlaylistModel(QObject *owner)
{
    return m_makePlaylistSheet ? m_makePlaylistSheet(selectedWords(), owner) : nullptr;
}

EditWordPlaybackSheetModel *UserLexiconDetailModel::makeEditWordPlaybackSheetModel(QObject *owner)
{
    if (!m_makePlaybackSheet || !m_editingPlaybackWord)
        return nullptr;
    auto onSave = [self = QPointer(this)](const ORVWord &word) {
        if (self)
            self->onPlaybackSaved(word);
    };
    return m_makePlaybackSheet(*m_editingPlaybackWord, onSave, owner);
}

EditWordDetailsSheetModel *UserLexiconDetailModel::makeEditWordDetailsModel(QObject *owner)
{
    if (!m_editingDetailsWord)
        return nullptr;
    QPointer<UserLexiconDetailModel> self = this;
    auto onSave = [self](ORVWord saved) {
        if (self)
            self->onWordDetailsSaved(saved);
    };
    return new EditWordDetailsSheetModel(
        *m_services.apiClient, m_services.session, *m_editingDetailsWord, onSave, owner);
}

MoveWordToLexiconSheetModel *UserLexiconDetailModel::makeMoveWordModel(QObject *owner)
{
    if (!m_movingWord)
        return nullptr;
    QPointer<UserLexiconDetailModel> self = this;
    auto onMoved = [self](qint64 movedWordId, qint64) {
        if (self)
            self->onWordMoved(movedWordId);
    };
    return new MoveWordToLexiconSheetModel(
        *m_services.apiClient, m_services.session, *m_movingWord, m_lexicon.id, onMoved, owner);
}

AddWordSheetModel *UserLexiconDetailModel::makeAddWordModel(QObject *owner)
{
    QPointer<UserLexiconDetailModel> self = this;
    auto onSaved = [self] {
        if (self)
            self->onWordAdded();
    };
    return new AddWordSheetModel(*m_services.apiClient, m_services.session, m_lexicon.id, onSaved, owner);
}

} // namespace talvoro
