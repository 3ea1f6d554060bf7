#include "PublicLexiconDetailModel.h"

#include "DesignSystem/ORVListRowPosition.h"

namespace talvoro {

PublicLexiconDetailModel::PublicLexiconDetailModel(
    ORVMobileAPIClient &apiClient, qint64 lexiconId, PlaylistSheetFactory makePlaylistSheet, QObject *parent)
    : ScreenListModel(parent)
    , m_apiClient(apiClient)
    , m_lexiconId(lexiconId)
    , m_makePlaylistSheet(std::move(makePlaylistSheet))
{ }

SelectOrCreatePlaylistModel *PublicLexiconDetailModel::makeSelectOrCreatePlaylistModel(QObject *owner)
{
    return m_makePlaylistSheet ? m_makePlaylistSheet(selectedWords(), owner) : nullptr;
}

QString PublicLexiconDetailModel::name() const
{
    return m_detail ? m_detail->name : QString();
}

QString PublicLexiconDetailModel::lexiconDescription() const
{
    return m_detail ? m_detail->description.value_or(QString()) : QString();
}

QList<ORVWord> PublicLexiconDetailModel::selectedWords() const
{
    QList<ORVWord> words;
    for (const ORVWord &word : m_words) {
        if (m_selectedWordIds.contains(word.id))
            words.append(word);
    }
    return words;
}

Task<> PublicLexiconDetailModel::loadDetail()
{
    return runLoad(this, beginLoad());
}

Task<> PublicLexiconDetailModel::runLoad(QPointer<PublicLexiconDetailModel> self, quint64 generation)
{
    ORVMobileAPIClient &apiClient = self->m_apiClient;
    const qint64 lexiconId = self->m_lexiconId;
    std::optional<PublicLexiconDetail> detail;
    std::exception_ptr failure;
    try {
        detail = co_await apiClient.fetchPublicLexicon(lexiconId);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self || !self->isCurrentLoad(generation))
        co_return;
    if (failure) {
        // The bare description, cancellations included; the last words stay behind
        // the error state.
        self->finishLoad(generation, describe(failure));
        co_return;
    }
    QSet<qint64> everyWord;
    for (const ORVWord &word : detail->words)
        everyWord.insert(word.id);
    self->m_detail = detail;
    self->m_selectedWordIds = everyWord;
    self->replaceRows(self->m_words, detail->words);
    Q_EMIT self->detailChanged();
    Q_EMIT self->selectionChanged();
    self->finishLoad(generation);
}

void PublicLexiconDetailModel::toggleAllSelection()
{
    QSet<qint64> ids;
    if (selectedCount() != rowCount()) {
        for (const ORVWord &word : m_words)
            ids.insert(word.id);
    }
    setSelection(std::move(ids));
}

void PublicLexiconDetailModel::toggleSelection(qint64 wordId)
{
    QSet<qint64> ids = m_selectedWordIds;
    if (!ids.remove(wordId))
        ids.insert(wordId);
    setSelection(std::move(ids));
}

void PublicLexiconDetailModel::setSelection(QSet<qint64> ids)
{
    if (ids == m_selectedWordIds)
        return;
    m_selectedWordIds = std::move(ids);
    allRowsChanged({SelectedRole});
    Q_EMIT selectionChanged();
}

QVariant PublicLexiconDetailModel::data(const QModelIndex &index, int role) const
{
    const ORVWord *word = rowAt(m_words, index);
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
    case SelectedRole:
        return m_selectedWordIds.contains(word->id);
    case RowPositionRole:
        return int(ORVListRowPosition::forIndex(index.row(), rowCount()));
    default:
        return {};
    }
}

QHash<int, QByteArray> PublicLexiconDetailModel::roleNames() const
{
    return {{WordIdRole, "wordId"}, {WordDisplayRole, "wordDisplay"}, {IpaRole, "ipa"},
        {TranslationsRole, "translations"}, {SelectedRole, "selected"}, {RowPositionRole, "rowPosition"}};
}

} // namespace talvoro
