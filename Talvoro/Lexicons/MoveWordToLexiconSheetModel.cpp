#include "MoveWordToLexiconSheetModel.h"

#include "DesignSystem/ORVListRowPosition.h"
#include "Models/MobileAPIError.h"
#include "Session/SignedInUser.h"

namespace talvoro {

void MoveTargetRowsModel::setRows(QList<UserLexicon> rows)
{
    replaceRows(m_rows, std::move(rows));
}

void MoveTargetRowsModel::setSelectedId(std::optional<qint64> id)
{
    if (id == m_selectedId)
        return;
    m_selectedId = id;
    allRowsChanged({SelectedRole});
}

QVariant MoveTargetRowsModel::data(const QModelIndex &index, int role) const
{
    const UserLexicon *lexicon = rowAt(m_rows, index);
    if (!lexicon)
        return {};
    switch (role) {
    case LexiconIdRole:
        return lexicon->id;
    case NameRole:
    case Qt::DisplayRole:
        return lexicon->name;
    case WordCountRole:
        return lexicon->wordCount;
    case RowPositionRole:
        return int(ORVListRowPosition::forIndex(index.row(), rowCount()));
    case SelectedRole:
        return m_selectedId == lexicon->id;
    default:
        return {};
    }
}

QHash<int, QByteArray> MoveTargetRowsModel::roleNames() const
{
    return {{LexiconIdRole, "lexiconId"}, {NameRole, "name"}, {WordCountRole, "wordCount"},
        {RowPositionRole, "rowPosition"}, {SelectedRole, "selected"}};
}

MoveWordToLexiconSheetModel::MoveWordToLexiconSheetModel(ORVMobileAPIClient &apiClient, QPointer<AppSession> session,
    ORVWord word, qint64 currentLexiconId, MovedCallback onMoved, QObject *parent)
    : QObject(parent)
    , m_apiClient(apiClient)
    , m_session(std::move(session))
    , m_word(std::move(word))
    , m_currentLexiconId(currentLexiconId)
    , m_onMoved(std::move(onMoved))
{ }

MoveWordToLexiconSheetModel::Phase MoveWordToLexiconSheetModel::phase() const
{
    if (m_isLoading && m_lexicons.isEmpty())
        return Loading;
    if (m_errorMessage && m_lexicons.isEmpty())
        return LoadError;
    return m_candidates.rowCount() == 0 ? Empty : Content;
}

void MoveWordToLexiconSheetModel::setState(bool isLoading, bool isSubmitting, std::optional<QString> errorMessage)
{
    if (m_isLoading == isLoading && m_isSubmitting == isSubmitting && m_errorMessage == errorMessage)
        return;
    m_isLoading = isLoading;
    m_isSubmitting = isSubmitting;
    m_errorMessage = std::move(errorMessage);
    Q_EMIT stateChanged();
}

void MoveWordToLexiconSheetModel::setLexicons(QList<UserLexicon> lexicons)
{
    m_lexicons = std::move(lexicons);
    QList<UserLexicon> candidates;
    for (const UserLexicon &lexicon : m_lexicons) {
        if (lexicon.id != m_currentLexiconId)
            candidates.append(lexicon);
    }
    // A fresh list replaces an earlier choice with its first candidate.
    const std::optional<qint64> first = candidates.isEmpty() ? std::nullopt : std::optional(candidates.first().id);
    m_candidates.setRows(std::move(candidates));
    setSelectedLexiconId(first);
}

void MoveWordToLexiconSheetModel::select(qint64 lexiconId)
{
    setSelectedLexiconId(lexiconId);
}

void MoveWordToLexiconSheetModel::setSelectedLexiconId(std::optional<qint64> lexiconId)
{
    if (m_selectedLexiconId == lexiconId)
        return;
    m_selectedLexiconId = lexiconId;
    m_candidates.setSelectedId(lexiconId);
    Q_EMIT stateChanged();
}

Task<> MoveWordToLexiconSheetModel::loadLexicons()
{
    const std::optional<QString> accessToken = signedInAccessToken(m_session);
    if (!accessToken) {
        setState(m_isLoading, m_isSubmitting, MobileAPIError::unauthorized().description());
        co_return;
    }
    const quint64 generation = m_candidates.beginLoad();
    setState(true, m_isSubmitting, std::nullopt);
    const QPointer<MoveWordToLexiconSheetModel> self = this;
    // Nothing of this object is touched after the request: it may be gone by then.
    co_await runLoad(self, &m_apiClient, *accessToken, generation);
}

Task<> MoveWordToLexiconSheetModel::runLoad(QPointer<MoveWordToLexiconSheetModel> self,
    ORVMobileAPIClient *apiClient, QString accessToken, quint64 generation)
{
    QList<UserLexicon> lexicons;
    std::exception_ptr failure;
    try {
        lexicons = co_await apiClient->fetchUserLexicons(accessToken);
    } catch (...) {
        failure = std::current_exception();
    }
    // Only the newest load applies; a sheet that closed takes nothing.
    if (!self || !self->m_candidates.isCurrentLoad(generation))
        co_return;
    self->m_candidates.finishLoad(generation);
    if (!failure) {
        self->setLexicons(std::move(lexicons));
        self->setState(false, self->m_isSubmitting, self->m_errorMessage);
    } else if (isCancellation(failure)) {
        self->setState(false, self->m_isSubmitting, self->m_errorMessage);
    } else {
        self->setState(false, self->m_isSubmitting, QStringLiteral("加载词库列表失败：") + describe(failure));
    }
}

Task<> MoveWordToLexiconSheetModel::moveWord()
{
    // Everything up to the request runs before the press returns, so a second
    // press while the move is out sends nothing.
    if (m_isSubmitting)
        co_return;
    if (!m_selectedLexiconId) {
        setState(m_isLoading, false, QStringLiteral("请选择目标词库"));
        co_return;
    }
    if (*m_selectedLexiconId == m_currentLexiconId) {
        setState(m_isLoading, false, QStringLiteral("目标词库不能与当前词库相同"));
        co_return;
    }
    const std::optional<QString> accessToken = signedInAccessToken(m_session);
    if (!accessToken) {
        setState(m_isLoading, false, MobileAPIError::unauthorized().description());
        co_return;
    }
    setState(m_isLoading, true, std::nullopt);
    const QPointer<MoveWordToLexiconSheetModel> self = this;
    // Nothing of this object is touched after the request: it may be gone by then.
    co_await runMove(self, &m_apiClient, m_onMoved, m_word.id, m_currentLexiconId, *m_selectedLexiconId, *accessToken);
}

Task<> MoveWordToLexiconSheetModel::runMove(QPointer<MoveWordToLexiconSheetModel> self,
    ORVMobileAPIClient *apiClient, MovedCallback onMoved, qint64 wordId, qint64 sourceId, qint64 targetId,
    QString accessToken)
{
    // The sheet may close while the request runs; the callback and the client are
    // held here so that the lexicon screen still hears of the move.
    std::exception_ptr failure;
    try {
        co_await apiClient->moveUserWord(wordId, sourceId, targetId, accessToken);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!failure) {
        if (onMoved)
            onMoved(wordId, targetId);
        if (self) {
            self->setState(self->m_isLoading, false, std::nullopt);
            // Last: whoever closes the sheet may delete this model.
            if (!self->m_dismissed) {
                self->m_dismissed = true;
                Q_EMIT self->dismissRequested();
            }
        }
        co_return;
    }
    if (!self)
        co_return;
    if (isCancellation(failure))
        self->setState(self->m_isLoading, false, self->m_errorMessage);
    else
        self->setState(self->m_isLoading, false, QStringLiteral("移动词库失败：") + describe(failure));
}

void MoveWordToLexiconSheetModel::cancel()
{
    if (m_dismissed)
        return;
    m_dismissed = true;
    Q_EMIT dismissRequested();
}

} // namespace talvoro
