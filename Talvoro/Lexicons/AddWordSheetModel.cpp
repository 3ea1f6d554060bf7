#include "AddWordSheetModel.h"

#include "Lexicons/WordSheetSupport.h"
#include "Platform/Text.h"
#include "Session/SignedInUser.h"

namespace talvoro {

struct AddWordSheetModel::Creation {
    QString word;
    std::optional<QString> ipa;
    std::optional<QString> syllables;
    QList<QString> translationsZh;
    std::optional<QString> explanation;
    qint64 lexiconId = 0;
    QString accessToken;
};

AddWordSheetModel::AddWordSheetModel(ORVMobileAPIClient &apiClient, QPointer<AppSession> session, qint64 lexiconId,
    SavedCallback onSaved, QObject *parent)
    : QObject(parent)
    , m_apiClient(apiClient)
    , m_session(std::move(session))
    , m_lexiconId(lexiconId)
    , m_onSaved(std::move(onSaved))
{ }

void AddWordSheetModel::setField(QString &field, const QString &text)
{
    if (field == text)
        return;
    field = text;
    Q_EMIT fieldsChanged();
    Q_EMIT stateChanged();
}

void AddWordSheetModel::setState(bool isSubmitting, std::optional<QString> errorMessage)
{
    if (m_isSubmitting == isSubmitting && m_errorMessage == errorMessage)
        return;
    m_isSubmitting = isSubmitting;
    m_errorMessage = std::move(errorMessage);
    Q_EMIT stateChanged();
}

bool AddWordSheetModel::canSave() const
{
    return !text::isBlank(m_wordDisplay) && !text::isBlank(m_translation) && !m_isSubmitting;
}

QList<QString> AddWordSheetModel::meanings(const QString &translation)
{
    return splitMeanings(translation, u"；;");
}

std::optional<QString> AddWordSheetModel::optionalField(const QString &typed)
{
    if (typed.isEmpty())
        return std::nullopt;
    return text::trimmed(typed);
}

Task<> AddWordSheetModel::save()
{
    // Everything up to the request runs before the press returns, so a second
    // press while the creation is out cannot create the word twice.
    if (m_isSubmitting)
        co_return;
    const std::optional<QString> accessToken = signedInAccessToken(m_session);
    if (!accessToken) {
        setState(false, QStringLiteral("未登录或登录已失效"));
        co_return;
    }
    Creation creation {text::trimmed(m_wordDisplay), optionalField(m_ipa), optionalField(m_syllables),
        meanings(m_translation), optionalField(m_explanation), m_lexiconId, *accessToken};
    // Separators alone are no meaning: storing them as the word's translation
    // would only leave junk to correct later.
    if (creation.word.isEmpty() || creation.translationsZh.isEmpty()) {
        setState(false, QStringLiteral("单词拼写和中文释义不能为空"));
        co_return;
    }
    setState(true, std::nullopt);
    const QPointer<AddWordSheetModel> self = this;
    // Nothing of this object is touched after the request: it may be gone by then.
    co_await submit(self, &m_apiClient, m_onSaved, std::move(creation));
}

Task<> AddWordSheetModel::submit(
    QPointer<AddWordSheetModel> self, ORVMobileAPIClient *apiClient, SavedCallback onSaved, Creation creation)
{
    // The sheet may close while the request runs; the callback and the client are
    // held here so that the lexicon screen still hears of the new word.
    std::exception_ptr failure;
    try {
        co_await apiClient->createUserWord(creation.word, creation.ipa, creation.syllables, creation.translationsZh,
            creation.explanation, creation.lexiconId, creation.accessToken);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!failure) {
        if (onSaved)
            onSaved();
        if (self) {
            self->setState(false, std::nullopt);
            // Last: whoever closes the sheet may delete this model.
            if (!self->m_dismissed) {
                self->m_dismissed = true;
                Q_EMIT self->dismissRequested();
            }
        }
        co_return;
    }
    // Every failure, a cancellation too, shows the error's own words.
    if (self)
        self->setState(false, describe(failure));
}

void AddWordSheetModel::cancel()
{
    if (m_dismissed)
        return;
    m_dismissed = true;
    Q_EMIT dismissRequested();
}

} // namespace talvoro
