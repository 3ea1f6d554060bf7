#pragma once

#include "Screens/ScreenListModel.h"
#include "Settings/PlaybackPreferenceEditor.h"
#include "Settings/VoiceCatalogPresentation.h"

#include <QObject>
#include <QPointer>
#include <QVariantList>
#include <QtQmlIntegration>

#include <functional>
#include <optional>

namespace talvoro {

// The catalogue voices the screen lists, with what each row shows. Whether a row's
// preview sample is cached is looked up only when the sample or the list changes
// and when a preview ends, not each time a row is drawn.
class VoiceCatalogRowsModel : public talvoro::ScreenListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Part of VoiceSelectionModel")

public:
    enum Role {
        VoiceIdRole = Qt::UserRole + 1,
        DisplayNameRole,
        LocaleRole,
        IsGlobalRole,
        IsPendingGlobalRole,
        IsSavingRole,
        IsOfflineRole,
        RowPositionRole,
        SetGlobalTextRole,
        SetGlobalAccessibleNameRole,
        PreviewSymbolRole,
        PreviewStatusTextRole,
        PreviewToneRole,
        PreviewLoadingRole,
    };
    Q_ENUM(Role)

    struct Row {
        TTSVoice voice;
        bool isOffline = false;
    };
    // What every row reads from the screen.
    struct Context {
        std::function<bool(const TTSVoice &)> isGlobal;
        bool hasPendingSynchronization = false;
        QString savingVoiceID;
        TransientPlaybackStatus previewStatus;
    };

    using ScreenListModel::ScreenListModel;

    const QList<Row> &rows() const { return m_rows; }
    void setRows(QList<Row> rows) { replaceRows(m_rows, std::move(rows)); }
    void setOffline(const QList<bool> &offline);
    void setContext(Context context, const QList<int> &changedRoles);
    const Context &context() const { return m_context; }

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_rows.size()); }
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    QList<Row> m_rows;
    Context m_context;
};

// One entry of the banner that explains the offline and synchronisation state.
struct VoiceOfflineBehaviorPresentation {
    QString title;
    QString message;
    QString systemImage;
    VoiceCatalogPresentation::Tone color = VoiceCatalogPresentation::Warning;

    bool operator==(const VoiceOfflineBehaviorPresentation &) const = default;
};

// The sheet on which the user picks the account's global English and Chinese
// voices, the English and Chinese rates and the spelling rate, and auditions voices.
// Values load and save offline first through its PlaybackPreferenceEditor; a
// toolbar save closes the sheet only once the server confirmed it.
class VoiceSelectionModel final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Built by the app container")
    Q_PROPERTY(QString sampleText READ sampleText WRITE setSampleText NOTIFY sampleTextChanged)
    Q_PROPERTY(QString spellingSample READ spellingSample WRITE setSpellingSample NOTIFY spellingSampleChanged)
    Q_PROPERTY(bool canPreviewSpelling READ canPreviewSpelling NOTIFY spellingSampleChanged)
    Q_PROPERTY(Language selectedLanguage READ selectedLanguage WRITE setSelectedLanguage NOTIFY filterChanged)
    // The locale code of the category filter; empty for all categories.
    Q_PROPERTY(QString selectedCategory READ selectedCategoryCode WRITE setSelectedCategoryCode NOTIFY filterChanged)
    // {title, count, isSelected, category, accessibleName} per chip, "全部" first.
    Q_PROPERTY(QVariantList filterPills READ filterPills NOTIFY filterChanged)
    Q_PROPERTY(QString voiceListHeader READ voiceListHeader NOTIFY filterChanged)
    Q_PROPERTY(talvoro::VoiceCatalogRowsModel *voices READ voiceRows CONSTANT)
    Q_PROPERTY(double speechRateEn READ speechRateEn WRITE setSpeechRateEn NOTIFY preferenceChanged)
    Q_PROPERTY(double speechRateZh READ speechRateZh WRITE setSpeechRateZh NOTIFY preferenceChanged)
    Q_PROPERTY(double spellingRate READ spellingRate WRITE editSpellingRate NOTIFY spellingRateChanged)
    Q_PROPERTY(bool isSaving READ isSaving NOTIFY isSavingChanged)
    Q_PROPERTY(QString pendingGlobalVoiceID READ pendingGlobalVoiceIDText NOTIFY pendingGlobalVoiceIDChanged)
    Q_PROPERTY(bool hasConfirmedBaseline READ hasConfirmedBaseline NOTIFY bannerChanged)
    Q_PROPERTY(bool hasPendingSynchronization READ hasPendingSynchronization NOTIFY bannerChanged)
    Q_PROPERTY(bool synchronizationFailed READ synchronizationFailed NOTIFY bannerChanged)
    Q_PROPERTY(bool hasBanner READ hasBanner NOTIFY bannerChanged)
    Q_PROPERTY(QString bannerTitle READ bannerTitle NOTIFY bannerChanged)
    Q_PROPERTY(QString bannerMessage READ bannerMessage NOTIFY bannerChanged)
    Q_PROPERTY(QString bannerSymbol READ bannerSymbol NOTIFY bannerChanged)
    Q_PROPERTY(talvoro::VoiceCatalogPresentation::Tone bannerTone READ bannerTone NOTIFY bannerChanged)
    Q_PROPERTY(bool hasPlaybackViewModel READ hasPlaybackViewModel NOTIFY hasPlaybackViewModelChanged)
    Q_PROPERTY(QString operationErrorId READ operationErrorId NOTIFY operationErrorChanged)
    Q_PROPERTY(QString operationErrorMessage READ operationErrorMessage NOTIFY operationErrorChanged)

public:
    enum class Language { English, Chinese };
    Q_ENUM(Language)

    struct OperationError {
        QString id; // new for every error, so the same text raised twice shows twice
        QString message;
    };

    static constexpr int maximumSampleTextLength = 500; // the speech service refuses longer text
    static QString defaultSampleText() { return QStringLiteral("Hello, welcome to Quenbry!"); }

    explicit VoiceSelectionModel(PlaybackPreferenceEditorServices services, QObject *parent = nullptr);

    PlaybackPreferenceEditor &editor() { return m_editor; }
    const PlaybackPreference &preference() const { return m_editor.preference(); }

    QString sampleText() const { return m_sampleText; }
    // Cut to the first 500 characters.
    void setSampleText(const QString &text);
    QString spellingSample() const { return m_spellingSample; }
    void setSpellingSample(const QString &text);
    bool canPreviewSpelling() const;
    // The sample trimmed of white space and newlines; the default text when blank.
    QString previewSample() const;

    Language selectedLanguage() const { return m_selectedLanguage; }
    // A change of language clears the category filter.
    void setSelectedLanguage(Language language);
    std::optional<TTSVoiceCategory> selectedCategory() const { return m_selectedCategory; }
    void setSelectedCategory(std::optional<TTSVoiceCategory> category);
    QString selectedCategoryCode() const { return m_selectedCategory ? localeCode(*m_selectedCategory) : QString(); }
    void setSelectedCategoryCode(const QString &code);
    QVariantList filterPills() const;
    QString voiceListHeader() const;
    VoiceCatalogRowsModel *voiceRows() { return &m_voices; }
    QList<TTSVoice> listedVoices() const;

    double speechRateEn() const { return preference().speechRateEn; }
    void setSpeechRateEn(double rate);
    double speechRateZh() const { return preference().speechRateZh; }
    void setSpeechRateZh(double rate);
    double spellingRate() const { return m_spellingRate; }
    // The slider's edit, on its grid; an applied preference keeps its own value.
    void editSpellingRate(double rate) { setSpellingRate(VoiceCatalogPresentation::snappedRate(rate)); }

    bool isSaving() const { return m_isSaving; }
    std::optional<QString> pendingGlobalVoiceID() const { return m_pendingGlobalVoiceID; }
    bool hasConfirmedBaseline() const { return m_editor.hasConfirmedBaseline(); }
    bool hasPendingSynchronization() const { return m_editor.hasPendingSynchronization(); }
    bool synchronizationFailed() const { return m_synchronizationFailed; }
    const std::optional<OperationError> &operationError() const { return m_operationError; }
    QString operationErrorId() const { return m_operationError ? m_operationError->id : QString(); }
    QString operationErrorMessage() const { return m_operationError ? m_operationError->message : QString(); }
    bool hasPlaybackViewModel() const;

    // The banner's content for the availability and the three flags; first row wins.
    static std::optional<VoiceOfflineBehaviorPresentation> offlineBehavior(
        ORVNetworkAvailability availability, bool hasConfirmedBaseline, bool hasPendingSynchronization,
        bool synchronizationFailed);
    std::optional<VoiceOfflineBehaviorPresentation> offlineBehavior() const;
    bool hasBanner() const { return offlineBehavior().has_value(); }
    QString bannerTitle() const;
    QString bannerMessage() const;
    QString bannerSymbol() const;
    VoiceCatalogPresentation::Tone bannerTone() const;

    // The catalogue voice of preference.voiceEn, else the default English voice.
    TTSVoice globalEnglishVoice() const;
    bool isGlobal(const TTSVoice &voice) const;
    // The English or Chinese rate by the voice's language.
    double speechRate(const TTSVoice &voice) const;

    std::optional<QString> accountOwnerKey() const { return m_editor.accountOwnerKey(); }
    void applyPreference(const PlaybackPreference &preference) { m_editor.applyPreference(preference); }
    Task<> load();
    // Nil when nothing was stored; connectivityUnavailable when stored while offline;
    // else the state of the push.
    Task<std::optional<PlaybackPreferenceSyncResult::State>> save(
        PlaybackPreference preference, QSet<PlaybackPreferenceField> changedFields);
    Task<std::optional<PlaybackPreferenceSyncResult::State>> synchronizePending(bool force);
    // The toolbar save: every field, the spelling slider's rate; closes on `synchronized`.
    Task<> saveAll();
    // One set-as-global at a time; the screen stays open.
    Task<> setGlobalVoice(TTSVoice voice);
    void previewVoice(const TTSVoice &voice);
    void previewSpelling();

    // For the view: each starts its work and returns at once.
    Q_INVOKABLE void start();
    Q_INVOKABLE void startSaveAll();
    Q_INVOKABLE void startSetGlobalVoice(const QString &voiceId);
    Q_INVOKABLE void startPreview(const QString &voiceId);
    Q_INVOKABLE void startSpellingPreview() { previewSpelling(); }
    Q_INVOKABLE void clearOperationError();
    Q_INVOKABLE void cancel() { Q_EMIT dismissRequested(); }
    // The app came to the foreground.
    void sceneBecameActive();

Q_SIGNALS:
    void sampleTextChanged();
    void spellingSampleChanged();
    void filterChanged();
    void preferenceChanged();
    void spellingRateChanged();
    void isSavingChanged();
    void pendingGlobalVoiceIDChanged();
    void bannerChanged();
    void hasPlaybackViewModelChanged();
    void operationErrorChanged();
    // The sheet is to close.
    void dismissRequested();

private:
    void applySyncState(PlaybackPreferenceSyncResult::State state);
    void playPreview(const QString &text, const TTSVoice &voice, double rate);
    void showError(const QString &message);
    void setSpellingRate(double rate);
    void setIsSaving(bool saving);
    void setPendingGlobalVoiceID(std::optional<QString> id);
    void setSynchronizationFailed(bool failed);
    void rebuildRows();
    void refreshOfflineBadges();
    void refreshRowContext(const QList<int> &roles);
    void observePlaybackViewModel();
    void handleAvailabilityChange();
    QString pendingGlobalVoiceIDText() const { return m_pendingGlobalVoiceID.value_or(QString()); }

    PlaybackPreferenceEditor m_editor;
    VoiceCatalogRowsModel m_voices;
    QString m_sampleText = defaultSampleText();
    QString m_spellingSample = QStringLiteral("Android");
    Language m_selectedLanguage = Language::English;
    std::optional<TTSVoiceCategory> m_selectedCategory;
    double m_spellingRate = 1.3;
    bool m_isSaving = false;
    std::optional<QString> m_pendingGlobalVoiceID;
    bool m_synchronizationFailed = false;
    std::optional<OperationError> m_operationError;
    QPointer<PlaybackViewModel> m_observedViewModel;
    QMetaObject::Connection m_previewObservation;
};

} // namespace talvoro
