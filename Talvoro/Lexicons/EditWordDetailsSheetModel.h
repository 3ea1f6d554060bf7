#pragma once

#include "Models/Word.h"
#include "Networking/ORVMobileAPIClient.h"
#include "Platform/Async.h"
#include "Session/AppSession.h"

#include <QObject>
#include <QPointer>
#include <QtQmlIntegration>

#include <functional>
#include <optional>

namespace talvoro {

// The form that corrects one word of a private lexicon: spelling, meanings, IPA,
// syllables, explanation and usage scenario. A save sends one update against the
// word's version; an optional field left blank is cleared on the server. The
// word the server answers with goes to `onSave`, also when the sheet was closed
// while the request ran, and the sheet asks to be dismissed.
class EditWordDetailsSheetModel final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Built by the lexicon screen")
    Q_PROPERTY(QString wordDisplay READ wordDisplay WRITE setWordDisplay NOTIFY fieldsChanged)
    Q_PROPERTY(QString translationText READ translationText WRITE setTranslationText NOTIFY fieldsChanged)
    Q_PROPERTY(QString ipa READ ipa WRITE setIpa NOTIFY fieldsChanged)
    Q_PROPERTY(QString syllables READ syllables WRITE setSyllables NOTIFY fieldsChanged)
    Q_PROPERTY(QString explanation READ explanation WRITE setExplanation NOTIFY fieldsChanged)
    Q_PROPERTY(QString usageScenario READ usageScenario WRITE setUsageScenario NOTIFY fieldsChanged)
    Q_PROPERTY(bool canSave READ canSave NOTIFY stateChanged)
    Q_PROPERTY(bool isSaving READ isSaving NOTIFY stateChanged)
    Q_PROPERTY(QString errorMessage READ errorMessageText NOTIFY stateChanged)

public:
    using SaveCallback = std::function<void(ORVWord)>;

    EditWordDetailsSheetModel(ORVMobileAPIClient &apiClient, QPointer<AppSession> session, ORVWord word,
        SaveCallback onSave, QObject *parent = nullptr);

    const ORVWord &word() const { return m_word; }
    QString wordDisplay() const { return m_wordDisplay; }
    QString translationText() const { return m_translationText; }
    QString ipa() const { return m_ipa; }
    QString syllables() const { return m_syllables; }
    QString explanation() const { return m_explanation; }
    QString usageScenario() const { return m_usageScenario; }
    void setWordDisplay(const QString &text) { setField(m_wordDisplay, text); }
    void setTranslationText(const QString &text) { setField(m_translationText, text); }
    void setIpa(const QString &text) { setField(m_ipa, text); }
    void setSyllables(const QString &text) { setField(m_syllables, text); }
    void setExplanation(const QString &text) { setField(m_explanation, text); }
    void setUsageScenario(const QString &text) { setField(m_usageScenario, text); }
    bool canSave() const;
    bool isSaving() const { return m_isSaving; }
    const std::optional<QString> &errorMessage() const { return m_errorMessage; }
    QString errorMessageText() const { return m_errorMessage.value_or(QString()); }

    // The meanings of the meanings field: one per line or semicolon (either width).
    static QList<QString> meanings(const QString &translationText);
    // The update the fields ask for against `word`'s version; none when the spelling
    // or every meaning is blank.
    static std::optional<UserWordUpdateRequest> buildRequest(const ORVWord &word, const QString &wordDisplay,
        const QString &translationText, const QString &ipa, const QString &syllables, const QString &explanation,
        const QString &usageScenario);

    // "保存". Does nothing while a save runs; the task ends with the request.
    Task<> save();
    Q_INVOKABLE void requestSave() { save(); }
    // "取消": the sheet goes; a save already sent keeps running and still reports.
    Q_INVOKABLE void cancel();

Q_SIGNALS:
    void fieldsChanged();
    void stateChanged();
    void dismissRequested();

private:
    static Task<> submitUpdate(QPointer<EditWordDetailsSheetModel> self, ORVMobileAPIClient *apiClient,
        SaveCallback onSave, qint64 wordId, UserWordUpdateRequest request, QString accessToken);
    void setField(QString &field, const QString &text);
    void finish(std::optional<QString> errorMessage, bool succeeded);

    ORVMobileAPIClient &m_apiClient;
    QPointer<AppSession> m_session;
    const ORVWord m_word;
    SaveCallback m_onSave;
    QString m_wordDisplay;
    QString m_translationText;
    QString m_ipa;
    QString m_syllables;
    QString m_explanation;
    QString m_usageScenario;
    bool m_isSaving = false;
    bool m_dismissed = false;
    std::optional<QString> m_errorMessage;
};

} // namespace talvoro
