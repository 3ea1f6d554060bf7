#pragma once

#include "Settings/CacheManagementModel.h"
#include "Settings/PlaybackPreferenceEditor.h"
#include "Settings/SettingsScreens.h"
#include "Settings/VoiceSelectionModel.h"

#include <QObject>
#include <QVariantList>
#include <QtQmlIntegration>

#include <optional>

namespace talvoro {

// "播放偏好设置": which of the four units a word without its own plan plays, and in
// which order. Switching a unit on appends it to the end of the order; nothing is
// stored before Save, which keeps the change on the device first and then sends it
// (see PlaybackPreferenceEditor). The screen loads once per account while it lives,
// and reloads the device's record when the voice sheet closes.
class PlaybackSettingsModel final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by the screen that opens it")
    // The four rows, in fixed order: { rawName, title, rowPosition }.
    Q_PROPERTY(QVariantList allSegments READ allSegments CONSTANT)
    // Whether each row's switch is on, by raw name.
    Q_PROPERTY(QVariantMap itemEnabled READ itemEnabled NOTIFY preferenceChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY busyChanged)
    Q_PROPERTY(bool isSaving READ isSaving NOTIFY busyChanged)
    Q_PROPERTY(bool isSaved READ isSaved WRITE setIsSaved NOTIFY savedChanged)
    Q_PROPERTY(QString saveConfirmationMessage READ saveConfirmationMessage NOTIFY savedChanged)
    Q_PROPERTY(bool showOperationError READ showOperationError WRITE setShowOperationError NOTIFY operationErrorChanged)
    Q_PROPERTY(QString operationErrorMessage READ operationErrorMessage NOTIFY operationErrorChanged)
    Q_PROPERTY(bool showVoiceSelection READ showVoiceSelection WRITE setShowVoiceSelection NOTIFY
            showVoiceSelectionChanged)

public:
    PlaybackSettingsModel(PlaybackPreferenceEditorServices services, SettingsScreens screens, QObject *parent = nullptr);

    const PlaybackPreference &preference() const { return m_editor->preference(); }
    const QList<QString> &editingBaselineItems() const { return m_editingBaselineItems; }
    const std::optional<QString> &loadedOwnerKey() const { return m_loadedOwnerKey; }
    bool hasConfirmedBaseline() const { return m_editor->hasConfirmedBaseline(); }
    bool hasPendingSynchronization() const { return m_editor->hasPendingSynchronization(); }
    QVariantList allSegments() const;
    QVariantMap itemEnabled() const;
    bool isLoading() const { return m_isLoading; }
    bool isSaving() const { return m_isSaving; }
    bool isSaved() const { return m_isSaved; }
    void setIsSaved(bool shown);
    QString saveConfirmationMessage() const { return m_saveConfirmationMessage; }
    bool showOperationError() const { return m_showOperationError; }
    void setShowOperationError(bool shown);
    QString operationErrorMessage() const { return m_operationErrorMessage; }
    bool showVoiceSelection() const { return m_showVoiceSelection; }
    void setShowVoiceSelection(bool shown);

    std::optional<QString> accountOwnerKey() const { return m_editor->accountOwnerKey(); }
    bool isItemEnabled(const QString &rawName) const;
    // On appends the unit at the end; off removes every entry of it, unless the list
    // has fewer than two entries or nothing would be left.
    Q_INVOKABLE void setItemEnabled(const QString &rawName, bool on);

    // Once per account while the screen lives: the device's record, then the
    // pending write pushed or the server's copy confirmed.
    Task<> load();
    // Stores the edited items as a pending write and sends it.
    Task<> save();
    // Shows the device's record again, as the voice screen may have changed it.
    void reloadFromLocalRecord();

    // The view's hooks: the page shows, "保存", the voice sheet closed.
    Q_INVOKABLE void appeared();
    Q_INVOKABLE void requestSave() { save(); }
    Q_INVOKABLE void voiceSelectionClosed();
    Q_INVOKABLE talvoro::CacheManagementModel *makeCacheManagementModel(QObject *owner);
    Q_INVOKABLE talvoro::VoiceSelectionModel *makeVoiceSelectionModel(QObject *owner);

Q_SIGNALS:
    void preferenceChanged();
    void busyChanged();
    void savedChanged();
    void operationErrorChanged();
    void showVoiceSelectionChanged();

private:
    void applySyncResult(PlaybackPreferenceSyncResult::State state, bool showMessages);
    void followAccount();
    void showError(const QString &message);
    void showSuccess(const QString &message);
    void setLoading(bool loading);
    void setSaving(bool saving);

    PlaybackPreferenceEditor *m_editor;
    SettingsScreens m_screens;
    QList<QString> m_editingBaselineItems;
    std::optional<QString> m_loadedOwnerKey;
    // The account the running load is for; a load for another account takes over.
    std::optional<QString> m_taskKey;
    quint64 m_loadGeneration = 0;
    bool m_isLoading = false;
    bool m_isSaving = false;
    bool m_isSaved = false;
    QString m_saveConfirmationMessage = QStringLiteral("播放偏好设置已更新");
    bool m_showOperationError = false;
    QString m_operationErrorMessage;
    bool m_showVoiceSelection = false;
};

} // namespace talvoro
