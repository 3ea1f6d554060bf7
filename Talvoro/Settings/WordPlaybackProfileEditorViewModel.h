#pragma once

#include "Models/PlaybackPreference.h"
#include "Models/Word.h"
#include "Networking/APIClientProtocol.h"
#include "Platform/Async.h"
#include "Platform/Cancellation.h"
#include "Playback/GlobalPlaybackSession.h"
#include "Playback/PlaybackWordSnapshot.h"
#include "Playback/TTSServiceProtocol.h"
#include "Session/AppSession.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QtQmlIntegration>

#include <functional>
#include <optional>

namespace talvoro {

// Why the editor would not preview or save; the description is the text shown.
class WordPlaybackProfileEditorError final : public AppError {
public:
    enum class Kind { missingSession, profileNotLoaded, noPlayableContent, invalidServerResponse };
    explicit WordPlaybackProfileEditorError(Kind kind)
        : m_kind(kind)
    { }
    Kind kind() const { return m_kind; }
    QString description() const override;

private:
    Kind m_kind;
};

// The editor of one word's own playback plan: which units play, in which order,
// with which voice and rate, and how often the word repeats. It loads the plan and
// the account's global preference from the backend, keeps the plan within its
// rules, previews one unit through the shared player and saves with the server's
// version check. Every load, preview and save runs in a static coroutine that
// holds the editor weakly: a result that arrives after the editor is gone, or
// after a newer load or preview started, changes nothing here.
class WordPlaybackProfileEditorViewModel final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Built by the per-word playback sheet")
    Q_PROPERTY(QString wordDisplay READ wordDisplay CONSTANT)
    Q_PROPERTY(QString wordIpa READ wordIpa CONSTANT)
    Q_PROPERTY(int repeatCount READ repeatCountValue WRITE setRepeatCountValue NOTIFY repeatCountChanged)
    Q_PROPERTY(QStringList unitOrder READ unitOrder NOTIFY unitsChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(bool isSaving READ isSaving NOTIFY isSavingChanged)
    Q_PROPERTY(bool hasLoadedRemoteProfile READ hasLoadedRemoteProfile NOTIFY hasLoadedRemoteProfileChanged)
    Q_PROPERTY(QString previewingUnit READ previewingUnitRawValue NOTIFY previewingUnitChanged)
    Q_PROPERTY(QString errorMessage READ errorMessageText WRITE setErrorMessageText NOTIFY errorMessageChanged)

public:
    // The signed-in session as it is at the moment of asking; none unless signed in.
    using SessionReader = std::function<std::optional<AuthenticatedSessionSnapshot>()>;

    static constexpr qint64 minimumRepeatCount = 1;
    static constexpr qint64 maximumRepeatCount = 20;

    WordPlaybackProfileEditorViewModel(ORVWord word, APIClientProtocol &apiClient, TTSServiceProtocol &ttsService,
        SessionReader currentSession, QObject *parent = nullptr);
    ~WordPlaybackProfileEditorViewModel() override;

    const ORVWord &word() const { return m_word; }
    const QList<WordPlaybackUnit> &units() const { return m_units; }
    qint64 repeatCount() const { return m_repeatCount; }
    // The stepper's write; it keeps to 1...20 itself.
    void setRepeatCount(qint64 count);
    const PlaybackPreference &globalPreference() const { return m_globalPreference; }
    bool isLoading() const { return m_isLoading; }
    bool isSaving() const { return m_isSaving; }
    bool hasLoadedRemoteProfile() const { return m_hasLoadedRemoteProfile; }
    std::optional<ORVPlaybackUnit> previewingUnit() const { return m_previewingUnit; }
    const QSet<ORVPlaybackUnit> &cachedUnits() const { return m_cachedUnits; }
    const std::optional<QString> &errorMessage() const { return m_errorMessage; }
    void setErrorMessage(std::optional<QString> message);
    const WordPlaybackProfile &profile() const { return m_profile; }
    const std::optional<QString> &accessToken() const { return m_accessToken; }
    bool ownsPlaybackPreview() const { return m_ownsPlaybackPreview; }
    // The entry of a unit; none when the list lacks it.
    const WordPlaybackUnit *entry(ORVPlaybackUnit unit) const;

    // The plan and the global preference from the backend, side by side. Failures
    // land in errorMessage; the task never throws. Cancelling `cancellation` ends
    // the load at once: whatever answers come later are dropped without a message.
    Task<> load(std::optional<QString> accessToken, CancellationToken cancellation = {});
    void setUnitEnabled(bool enabled, ORVPlaybackUnit unit);
    void setVoice(const std::optional<QString> &voiceId, ORVPlaybackUnit unit);
    void updateUnit(std::optional<double> speechRate, ORVPlaybackUnit unit);
    double effectiveSpeechRate(ORVPlaybackUnit unit) const;
    // The dragged unit lands just before the target.
    void moveUnit(ORVPlaybackUnit dragged, ORVPlaybackUnit target);
    void renumberPositions();
    void refreshCachedUnits();
    // Four entries, one per unit, in position order and numbered 1...4.
    static QList<WordPlaybackUnit> normalizedUnits(const QList<WordPlaybackUnit> &units);

    // The unit as it would be spoken now, as the only enabled unit of the plan.
    std::optional<ResolvedPlaybackUnit> resolvedPreviewUnit(ORVPlaybackUnit unit) const;
    // Starts a preview of the unit through the shared player and returns at once.
    void previewUnit(ORVPlaybackUnit unit, const std::optional<AuthenticatedSessionSnapshot> &session,
        GlobalPlaybackSession &playbackSession);
    void stopPreview(GlobalPlaybackSession &playbackSession);
    // The saved word; fails with WordPlaybackProfileEditorError, the plan's
    // validation error or the client's error. The answer is checked and turned into
    // the word even when the editor is gone meanwhile, so a caller that outlives it
    // still gets the saved word.
    static Task<ORVWord> save(QPointer<WordPlaybackProfileEditorViewModel> self);

    // For QML: units by their raw values.
    QStringList unitOrder() const;
    QString wordDisplay() const { return m_word.wordDisplay; }
    QString wordIpa() const { return m_word.ipa.value_or(QString()); }
    int repeatCountValue() const { return int(m_repeatCount); }
    void setRepeatCountValue(int count) { setRepeatCount(count); }
    QString previewingUnitRawValue() const { return m_previewingUnit ? rawValue(*m_previewingUnit) : QString(); }
    QString errorMessageText() const { return m_errorMessage.value_or(QString()); }
    // Any write from the view is the alert clearing the message.
    void setErrorMessageText(const QString &) { setErrorMessage(std::nullopt); }

Q_SIGNALS:
    void unitsChanged();
    void repeatCountChanged();
    void globalPreferenceChanged();
    void isLoadingChanged();
    void isSavingChanged();
    void hasLoadedRemoteProfileChanged();
    void previewingUnitChanged();
    void cachedUnitsChanged();
    void errorMessageChanged();

private:
    static Task<> runLoad(QPointer<WordPlaybackProfileEditorViewModel> self, QString accessToken, quint64 generation,
        CancellationToken cancellation);
    static Task<> runPreview(QPointer<WordPlaybackProfileEditorViewModel> self, ORVPlaybackUnit unit,
        ResolvedPlaybackUnit resolved, std::optional<AuthenticatedSessionSnapshot> session,
        QPointer<GlobalPlaybackSession> playback,
        CancellationToken cancellation);
    bool isCurrentLoad(quint64 generation, const QString &accessToken) const;
    void applyLoadedProfile(const WordPlaybackProfile &validated);
    // The word with `candidate` as its plan, as the playback engine would speak it.
    std::optional<ResolvedPlaybackUnit> firstResolvedUnit(const WordPlaybackProfile &candidate) const;
    WordPlaybackProfile candidateProfile(QList<WordPlaybackUnit> units, qint64 version) const;
    WordPlaybackUnit *mutableEntry(ORVPlaybackUnit unit);
    void setUnits(QList<WordPlaybackUnit> units);
    void setLoading(bool loading);
    void setSaving(bool saving);
    void setHasLoadedRemoteProfile(bool loaded);
    void setPreviewingUnit(std::optional<ORVPlaybackUnit> unit);
    void setCachedUnits(QSet<ORVPlaybackUnit> units);

    QList<WordPlaybackUnit> m_units;
    qint64 m_repeatCount = 1;
    PlaybackPreference m_globalPreference;
    bool m_isLoading = false;
    bool m_isSaving = false;
    bool m_hasLoadedRemoteProfile = false;
    std::optional<ORVPlaybackUnit> m_previewingUnit;
    QSet<ORVPlaybackUnit> m_cachedUnits;
    std::optional<QString> m_errorMessage;
    const ORVWord m_word;
    APIClientProtocol &m_apiClient;
    TTSServiceProtocol &m_ttsService;
    SessionReader m_currentSession;
    WordPlaybackProfile m_profile;
    std::optional<QString> m_accessToken;
    quint64 m_loadGeneration = 0;
    std::optional<CancellationSource> m_previewTask;
    bool m_ownsPlaybackPreview = false;
};

// The word as the lexicon screens keep it after its plan was saved: the new plan
// and the older per-word fields derived from it.
ORVWord wordWithSavedPlaybackProfile(ORVWord word, const WordPlaybackProfile &saved, qint64 editorRepeatCount);

} // namespace talvoro
