#include "EditWordDetailsSheetModel.h"

#include "Lexicons/WordSheetSupport.h"
#include "Models/MobileAPIError.h"
#include "Platform/Text.h"
#include "Session/SignedInUser.h"

namespace talvoro {

EditWordDetailsSheetModel::EditWordDetailsSheetModel(ORVMobileAPIClient &apiClient, QPointer<AppSession> session,
    ORVWord word, SaveCallback onSave, QObject *parent)
    : QObject(parent)
    , m_apiClient(apiClient)
    , m_session(std::move(session))
    , m_word(std::move(word))
    , m_onSave(std::move(onSave))
    , m_wordDisplay(m_word.wordDisplay)
    , m_translationText(QStringList(m_word.translationsZh).join(QStringLiteral("；")))
    , m_ipa(m_word.ipa.value_or(QString()))
    , m_syllables(m_word.syllables.value_or(QString()))
    , m_explanation(m_word.explanation.value_or(QString()))
    , m_usageScenario(m_word.usageScenario.value_or(QString()))
{ }

void EditWordDetailsSheetModel::setField(QString &field, const QString &text)
{
    if (field == text)
        return;
    field = text;
    Q_EMIT fieldsChanged();
    Q_EMIT stateChanged();
}

bool EditWordDetailsSheetModel::canSave() const
{
    return !text::isBlank(m_wordDisplay) && !text::isBlank(m_translationText) && !m_isSaving;
}

QList<QString> EditWordDetailsSheetModel::meanings(const QString &translationText)
{
    return splitMeanings(translationText, u"；;\n");
}

std::optional<UserWordUpdateRequest> EditWordDetailsSheetModel::buildRequest(const ORVWord &word,
    const QString &wordDisplay, const QString &translationText, const QString &ipa, const QString &syllables,
    const QString &explanation, const QString &usageScenario)
{
    const QString spelling = text::trimmed(wordDisplay);
    const QList<QString> translations = meanings(translationText);
    if (spelling.isEmpty() || translations.isEmpty())
        return std::nullopt;

    UserWordUpdateRequest request;
    request.baseVersion = word.version;
    request.wordDisplay = spelling;
    request.translationsZh = translations;
    // A field left blank is cleared on the server rather than sent as empty text.
    const auto setOrClear = [&request](const QString &typed, std::optional<QString> &value, ORVWordOptionalField field) {
        const QString trimmed = text::trimmed(typed);
        if (trimmed.isEmpty())
            request.clearFields.insert(field);
        else
            value = trimmed;
    };
    setOrClear(ipa, request.ipa, ORVWordOptionalField::ipa);
    setOrClear(syllables, request.syllables, ORVWordOptionalField::syllables);
    setOrClear(explanation, request.explanation, ORVWordOptionalField::explanation);
    setOrClear(usageScenario, request.usageScenario, ORVWordOptionalField::usageScenario);
    return request;
}

void EditWordDetailsSheetModel::finish(std::optional<QString> errorMessage, bool succeeded)
{
    m_isSaving = false;
    m_errorMessage = std::move(errorMessage);
    Q_EMIT stateChanged();
    // Last: whoever closes the sheet may delete this model.
    if (succeeded && !m_dismissed) {
        m_dismissed = true;
        Q_EMIT dismissRequested();
    }
}

Task<> EditWordDetailsSheetModel::save()
{
    // Everything up to the request runs before the press returns: a second press
    // while the update is out would send it twice, the second against a version
    // the first already used up.
    if (m_isSaving)
        co_return;
    const std::optional<QString> accessToken = signedInAccessToken(m_session);
    if (!accessToken) {
        m_errorMessage = MobileAPIError::unauthorized().description();
        Q_EMIT stateChanged();
        co_return;
    }
    const std::optional<UserWordUpdateRequest> request = buildRequest(
        m_word, m_wordDisplay, m_translationText, m_ipa, m_syllables, m_explanation, m_usageScenario);
    if (!request) {
        m_errorMessage = QStringLiteral("单词拼写和中文释义不能为空");
        Q_EMIT stateChanged();
        co_return;
    }
    m_isSaving = true;
    m_errorMessage.reset();
    Q_EMIT stateChanged();
    const QPointer<EditWordDetailsSheetModel> self = this;
    // Nothing of this object is touched after the request: it may be gone by then.
    co_await submitUpdate(self, &m_apiClient, m_onSave, m_word.id, *request, *accessToken);
}

Task<> EditWordDetailsSheetModel::submitUpdate(QPointer<EditWordDetailsSheetModel> self,
    ORVMobileAPIClient *apiClient, SaveCallback onSave, qint64 wordId, UserWordUpdateRequest request,
    QString accessToken)
{
    // The sheet may close while the request runs; the callback and the client are
    // held here so that the result still reaches the lexicon screen.
    std::optional<ORVWord> updated;
    std::exception_ptr failure;
    try {
        updated = co_await apiClient->updateUserWord(wordId, request, accessToken);
    } catch (...) {
        failure = std::current_exception();
    }
    if (updated) {
        if (onSave)
            onSave(*updated);
        if (self)
            self->finish(std::nullopt, true);
        co_return;
    }
    if (!self)
        co_return;
    if (isCancellation(failure))
        self->finish(std::nullopt, false);
    else
        self->finish(QStringLiteral("保存失败：") + describe(failure), false);
}

void EditWordDetailsSheetModel::cancel()
{
    if (m_dismissed)
        return;
    m_dismissed = true;
    Q_EMIT dismissRequested();
}

} // namespace talvoro
