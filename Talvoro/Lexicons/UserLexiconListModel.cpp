#include "UserLexiconListModel.h"

#include "DesignSystem/ORVListRowPosition.h"
#include "Models/MobileAPIError.h"
#include "Platform/Text.h"

namespace talvoro {

namespace {

const QString invalidOwnerText = QStringLiteral("当前登录环境无效，无法安全读取私人词库");

} // namespace

const UserLexicon *UserLexiconRowsModel::find(qint64 lexiconId) const
{
    for (const UserLexicon &lexicon : m_rows) {
        if (lexicon.id == lexiconId)
            return &lexicon;
    }
    return nullptr;
}

QVariant UserLexiconRowsModel::data(const QModelIndex &index, int role) const
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
    case LexiconDescriptionRole:
        return lexicon->description.value_or(QString());
    case WordCountRole:
        return lexicon->wordCount;
    case RowPositionRole:
        return int(ORVListRowPosition::forIndex(index.row(), rowCount()));
    default:
        return {};
    }
}

QHash<int, QByteArray> UserLexiconRowsModel::roleNames() const
{
    return {{LexiconIdRole, "lexiconId"}, {NameRole, "name"}, {LexiconDescriptionRole, "lexiconDescription"},
        {WordCountRole, "wordCount"}, {RowPositionRole, "rowPosition"}};
}

UserLexiconListModel::UserLexiconListModel(UserLexiconServices services, DetailFactory makeDetail, QObject *parent)
    : QObject(parent)
    , m_services(std::move(services))
    , m_makeDetail(std::move(makeDetail))
{
    connect(&m_rows, &ScreenListModel::loadingChanged, this, &UserLexiconListModel::isLoadingChanged);
}

UserLexiconDetailModel *UserLexiconListModel::makeUserLexiconDetailModel(qint64 lexiconId, QObject *owner)
{
    if (!m_makeDetail)
        return nullptr;
    UserLexicon lexicon;
    lexicon.id = lexiconId;
    if (const UserLexicon *row = m_rows.find(lexiconId))
        lexicon = *row;
    return m_makeDetail(std::move(lexicon), owner);
}

void UserLexiconListModel::setShowCreateSheet(bool shown)
{
    if (m_showCreateSheet == shown)
        return;
    m_showCreateSheet = shown;
    Q_EMIT showCreateSheetChanged();
}

void UserLexiconListModel::setNewLexiconName(const QString &name)
{
    if (m_newLexiconName == name)
        return;
    m_newLexiconName = name;
    Q_EMIT createStateChanged();
}

void UserLexiconListModel::setNewLexiconDesc(const QString &description)
{
    if (m_newLexiconDesc == description)
        return;
    m_newLexiconDesc = description;
    Q_EMIT createStateChanged();
}

bool UserLexiconListModel::canCreate() const
{
    return !m_isCreating && !text::trimmed(m_newLexiconName).isEmpty();
}

void UserLexiconListModel::setCreating(bool creating)
{
    if (m_isCreating == creating)
        return;
    m_isCreating = creating;
    Q_EMIT createStateChanged();
}

void UserLexiconListModel::setErrorMessage(std::optional<QString> message)
{
    if (m_errorMessage == message)
        return;
    m_errorMessage = std::move(message);
    Q_EMIT errorMessageChanged();
}

Task<> UserLexiconListModel::loadLocalLexicons()
{
    return runLoad(this);
}

Task<> UserLexiconListModel::runLoad(QPointer<UserLexiconListModel> self)
{
    if (!self)
        co_return;
    const UserLexiconServices services = self->m_services;
    UserLexiconRowsModel &rows = self->m_rows;
    const quint64 generation = rows.beginLoad();
    // Each flow reports its own outcome; an older failure does not linger.
    self->setErrorMessage(std::nullopt);
    const std::optional<QString> ownerKey = services.ownerKey();
    if (!services.accessToken() || !ownerKey) {
        self->setErrorMessage(invalidOwnerText);
        rows.finishLoad(generation);
        co_return;
    }
    try {
        rows.setRows(services.store->fetchPrivateLexicons(*ownerKey));
    } catch (...) {
        self->setErrorMessage(QStringLiteral("读取本地私人词库失败：") + describe(std::current_exception()));
        rows.finishLoad(generation);
        co_return;
    }

    // The session is read again: the rows stay when it ended meanwhile.
    const std::optional<QString> accessToken = services.accessToken();
    if (!accessToken) {
        rows.finishLoad(generation);
        co_return;
    }
    co_await services.synchronizePrivateLexicons(*accessToken, *ownerKey);
    if (!self || !self->m_rows.isCurrentLoad(generation))
        co_return;
    try {
        self->m_rows.setRows(services.store->fetchPrivateLexicons(*ownerKey));
    } catch (...) {
        self->setErrorMessage(QStringLiteral("刷新本地私人词库失败：") + describe(std::current_exception()));
    }
    self->m_rows.finishLoad(generation);
}

Task<> UserLexiconListModel::createLexicon()
{
    return runCreate(this);
}

Task<> UserLexiconListModel::runCreate(QPointer<UserLexiconListModel> self)
{
    // A second tap while the server is asked would create a second lexicon. The
    // flag is set before the first suspension, so a tap right after is refused.
    if (!self || self->m_isCreating)
        co_return;
    const UserLexiconServices services = self->m_services;
    const std::optional<QString> accessToken = services.accessToken();
    if (!accessToken) {
        self->setErrorMessage(MobileAPIError::unauthorized().description());
        co_return;
    }
    self->setErrorMessage(std::nullopt);
    self->setCreating(true);
    // The name goes as typed; an empty description is none.
    const QString name = self->m_newLexiconName;
    const std::optional<QString> description
        = self->m_newLexiconDesc.isEmpty() ? std::nullopt : std::optional(self->m_newLexiconDesc);
    std::exception_ptr failure;
    try {
        co_await services.apiClient->createUserLexicon(name, description, *accessToken);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self)
        co_return;
    self->setCreating(false);
    if (failure) {
        self->setErrorMessage(describe(failure));
        co_return;
    }
    self->setShowCreateSheet(false);
    self->setNewLexiconName(QString());
    self->setNewLexiconDesc(QString());
    co_await runLoad(self);
}

} // namespace talvoro
