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

// The form that creates a word in a private lexicon: the word, its meanings and,
// optionally, IPA, syllables and an explanation. A creation that succeeds reaches
// `onSaved` also when the sheet was closed meanwhile; failures show the error's
// own description.
class AddWordSheetModel final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Built by the lexicon screen")
    Q_PROPERTY(QString wordDisplay READ wordDisplay WRITE setWordDisplay NOTIFY fieldsChanged)
    Q_PROPERTY(QString translation READ translation WRITE setTranslation NOTIFY fieldsChanged)
    Q_PROPERTY(QString ipa READ ipa WRITE setIpa NOTIFY fieldsChanged)
    Q_PROPERTY(QString syllables READ syllables WRITE setSyllables NOTIFY fieldsChanged)
    Q_PROPERTY(QString explanation READ explanation WRITE setExplanation NOTIFY fieldsChanged)
    Q_PROPERTY(bool canSave READ canSave NOTIFY stateChanged)
    Q_PROPERTY(bool isSubmitting READ isSubmitting NOTIFY stateChanged)
    Q_PROPERTY(QString errorMessage READ errorMessageText NOTIFY stateChanged)

public:
    using SavedCallback = std::function<void()>;

    AddWordSheetModel(ORVMobileAPIClient &apiClient, QPointer<AppSession> session, qint64 lexiconId,
        SavedCallback onSaved, QObject *parent = nullptr);

    qint64 lexiconId() const { return m_lexiconId; }
    QString wordDisplay() const { return m_wordDisplay; }
    QString translation() const { return m_translation; }
    QString ipa() const { return m_ipa; }
    QString syllables() const { return m_syllables; }
    QString explanation() const { return m_explanation; }
    void setWordDisplay(const QString &text) { setField(m_wordDisplay, text); }
    void setTranslation(const QString &text) { setField(m_translation, text); }
    void setIpa(const QString &text) { setField(m_ipa, text); }
    void setSyllables(const QString &text) { setField(m_syllables, text); }
    void setExplanation(const QString &text) { setField(m_explanation, text); }
    bool canSave() const;
    bool isSubmitting() const { return m_isSubmitting; }
    const std::optional<QString> &errorMessage() const { return m_errorMessage; }
    QString errorMessageText() const { return m_errorMessage.value_or(QString()); }

    // The meanings of the meanings field: one per semicolon (either width); a line
    // break stays inside its meaning.
    static QList<QString> meanings(const QString &translation);
    // An optional field: absent when nothing was typed, else trimmed (blanks send "").
    static std::optional<QString> optionalField(const QString &typed);

    // "保存". Does nothing while a creation runs; the task ends with the request.
    Task<> save();
    Q_INVOKABLE void requestSave() { save(); }
    // "取消": the sheet goes; a creation already sent keeps running and still reports.
    Q_INVOKABLE void cancel();

Q_SIGNALS:
    void fieldsChanged();
    void stateChanged();
    void dismissRequested();

private:
    struct Creation;
    static Task<> submit(QPointer<AddWordSheetModel> self, ORVMobileAPIClient *apiClient, SavedCallback onSaved,
        Creation creation);
    void setField(QString &field, const QString &text);
    void setState(bool isSubmitting, std::optional<QString> errorMessage);

    ORVMobileAPIClient &m_apiClient;
    QPointer<AppSession> m_session;
    const qint64 m_lexiconId;
    SavedCallback m_onSaved;
    QString m_wordDisplay;
    QString m_translation;
    QString m_ipa;
    QString m_syllables;
    QString m_explanation;
    bool m_isSubmitting = false;
    bool m_dismissed = false;
    std::optional<QString> m_errorMessage;
};

} // namespace talvoro
