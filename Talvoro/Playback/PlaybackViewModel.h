#pragma once

#include "Models/Account.h"
#include "Models/Playback.h"
#include "Networking/APIClientProtocol.h"
#include "Persistence/PlaybackPreferenceSyncCoordinator.h"
#include "Platform/Cancellation.h"
#include "Playback/AudioCacheProtocol.h"
#include "Playback/AudioPlayerManagerDelegate.h"
#include "Playback/AudioPlayerProtocol.h"
#include "Playback/PlaybackWordSnapshot.h"
#include "Playback/TTSServiceProtocol.h"

#include <QHash>
#include <QObject>
#include <QUrl>
#include <QVariantMap>

#include <functional>

namespace talvoro {

// The unit being spoken, and the word's letters while its spelling is spoken.
struct PlaybackUnitPresentation {
    std::optional<ORVPlaybackUnit> unit;
    std::optional<QString> spellingDisplay;

    bool operator==(const PlaybackUnitPresentation &) const = default;
};

// How a one-off preview is doing, tagged with the identifier its caller chose.
struct TransientPlaybackStatus {
    enum class Kind { idle, loading, playing, failed };

    Kind kind = Kind::idle;
    std::optional<QString> identifier;
    QString message; // only when failed

    static TransientPlaybackStatus loading(std::optional<QString> identifier)
    {
        return {Kind::loading, identifier, {}};
    }
    static TransientPlaybackStatus playing(std::optional<QString> identifier)
    {
        return {Kind::playing, identifier, {}};
    }
    static TransientPlaybackStatus failed(std::optional<QString> identifier, QString message)
    {
        return {Kind::failed, identifier, message};
    }

    bool operator==(const TransientPlaybackStatus &) const = default;
};

// What the view model reads of its surroundings besides its services.
struct PlaybackEnvironment {
    // The backend's base URL; the user's owner key is derived from it.
    std::function<std::optional<QUrl>()> baseURL;
    // The older per-user voice setting, by owner key.
    std::function<QString(const QString &ownerKey)> legacyVoice;
    RandomSource *random = nullptr; // for shuffle; required
    // Where each user's playback preference is kept, and what sends its changes.
    KeyValueStore *defaults = nullptr;
    PlaybackPreferenceSyncCoordinator *preferenceSync = nullptr;
};

// Plays a list of words unit by unit: fetches each unit's speech, hands it to the
// audio player, repeats the word, moves on by the loop mode, and publishes what it
// is doing for the player screens. It is the audio player's delegate, so clip ends,
// media keys and interruptions come back here. Also plays one-off previews.
// Everything runs on the main thread; a result that arrives for a unit that was
// stopped or replaced is dropped.
class PlaybackViewModel : public QObject, public AudioPlayerManagerDelegate {
    Q_OBJECT
    Q_PROPERTY(talvoro::PlaybackState playbackState READ playbackState NOTIFY playbackStateChanged)
    Q_PROPERTY(talvoro::LoopMode loopMode READ loopMode NOTIFY loopModeChanged)
    Q_PROPERTY(int currentPlayingIndex READ currentPlayingIndexValue NOTIFY currentPlayingIndexChanged)
    Q_PROPERTY(QString selectedVoiceId READ selectedVoiceId NOTIFY selectedVoiceChanged)
    Q_PROPERTY(QString currentUnit READ currentUnitName NOTIFY currentUnitPresentationChanged)
    Q_PROPERTY(QString spellingDisplay READ spellingDisplayText NOTIFY currentUnitPresentationChanged)
    Q_PROPERTY(int currentWordRepeatProgress READ currentWordRepeatProgress NOTIFY currentWordRepeatProgressChanged)
    Q_PROPERTY(QVariantMap unitCacheStates READ unitCacheStateMap NOTIFY unitCacheStatesChanged)
    Q_PROPERTY(QStringList currentAvailableUnits READ currentAvailableUnitNames NOTIFY currentAvailableUnitsChanged)
    Q_PROPERTY(bool showErrorAlert READ showErrorAlert WRITE setShowErrorAlert NOTIFY showErrorAlertChanged)
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY errorMessageChanged)
    Q_PROPERTY(QString transientState READ transientStateName NOTIFY transientPlaybackStatusChanged)
    Q_PROPERTY(QString transientIdentifier READ transientIdentifier NOTIFY transientPlaybackStatusChanged)

public:
    static constexpr auto defaultEnglishVoiceID = u"en-US-JennyNeural";

    PlaybackViewModel(TTSServiceProtocol &ttsService, AudioPlayerProtocol &audioPlayer, APIClientProtocol &apiClient,
        AudioCacheProtocol &audioCache, PlaybackEnvironment environment,
        QObject *parent = nullptr);
    ~PlaybackViewModel() override;

    PlaybackState playbackState() const { return m_playbackState; }
    LoopMode loopMode() const { return m_loopMode; }
    std::optional<qsizetype> currentPlayingIndex() const { return m_currentPlayingIndex; }
    const TTSVoice &selectedVoice() const { return m_selectedVoice; }
    const PlaybackUnitPresentation &currentUnitPresentation() const { return m_currentUnitPresentation; }
    int currentWordRepeatProgress() const { return m_currentWordRepeatProgress; }
    const QHash<ORVPlaybackUnit, bool> &unitCacheStates() const { return m_unitCacheStates; }
    const QList<ORVPlaybackUnit> &currentAvailableUnits() const { return m_currentAvailableUnits; }
    const std::optional<PlaybackPreference> &playbackPreference() const { return m_playbackPreference; }
    bool showErrorAlert() const { return m_showErrorAlert; }
    void setShowErrorAlert(bool show);
    QString errorMessage() const { return m_errorMessage; }
    const TransientPlaybackStatus &transientPlaybackStatus() const { return m_transientPlaybackStatus; }
    // The raw value of the unit being spoken; none when nothing is.
    std::optional<QString> currentUnitRawValue() const;

    // The list to play; a word in progress that is still inside it plays on.
    void setPlaylist(const QList<ORVWord> &words);
    // That word from its first unit, repetition 1. The clip still sounding goes on
    // until the new unit's audio replaces it.
    Q_INVOKABLE void playWord(int index) { playWord(qsizetype(index)); }
    void playWord(qsizetype index);
    Q_INVOKABLE void playCurrentWord();
    // Only a clip that is playing can be paused; a unit still loading cannot.
    Q_INVOKABLE void pause();
    Q_INVOKABLE void resume();
    // Ends all playback; the list, the loop mode, the session and the preference stay.
    Q_INVOKABLE void stop();
    Q_INVOKABLE void cycleLoopMode();

    // One text spoken outside the list, with the selected voice and rate 1.0 unless
    // given; a blank text does nothing at all.
    void playTransient(const QString &text, std::optional<TTSVoice> voice = std::nullopt,
        std::optional<float> rate = std::nullopt, std::optional<QString> identifier = std::nullopt);
    // A clip the caller already has, played as a preview.
    void playPreviewAudio(const QByteArray &data, const QString &title, float rate);

    // Binds the signed-in user (or clears the binding without token or user) and
    // restores that user's playback preference.
    void updateSession(const std::optional<QString> &accessToken, const std::optional<UserSummary> &user);
    // Forgets the user, the list and the preference, and stops.
    void clearSession();
    // Applies a valid preference; a change of its items refits the word in progress.
    void applyServerPreference(const PlaybackPreference &preference);

    // The audio player's events.
    void audioPlayerDidFinish(bool successfully) override;
    void remotePlay() override;
    void remotePause() override;
    void remoteNextTrack() override;
    void remotePreviousTrack() override;
    void handleInterruption(bool shouldResume) override;

Q_SIGNALS:
    void playbackStateChanged();
    void loopModeChanged();
    void currentPlayingIndexChanged();
    void selectedVoiceChanged();
    void currentUnitPresentationChanged();
    void currentWordRepeatProgressChanged();
    void unitCacheStatesChanged();
    void currentAvailableUnitsChanged();
    void playbackPreferenceChanged();
    void showErrorAlertChanged();
    void errorMessageChanged();
    void transientPlaybackStatusChanged();

private:
    // Sequencing.
    void finishWord(qsizetype index);
    void advanceToNextWord(qsizetype index);
    QList<ResolvedPlaybackUnit> makePlan(const PlaybackWordSnapshot &word) const;
    void refreshUnitCacheStates(const QList<ResolvedPlaybackUnit> &plan);
    void playCurrentSubItem();
    void makeUnitPresentation(ORVPlaybackUnit unit);
    void finishTransientClip(bool successfully);
    void showError(const QString &message);
    bool isInsidePlaylist(std::optional<qsizetype> index) const;
    CancellationToken startRequest();
    void cancelRequest();

    void restorePreferenceFromServer(QString accessToken, QString ownerKey, quint64 generation);
    Task<> restorePreference(QString accessToken, QString ownerKey, quint64 generation, CancellationToken token);
    bool isCurrentSession(const CancellationToken &token, quint64 generation, const QString &accessToken) const;
    void replanCurrentWord();

    Task<> fetchAndPlay(PlaybackWordSnapshot word, ResolvedPlaybackUnit unit, CancellationToken token);
    Task<> fetchAndPlayPreview(
        QString text, TTSVoice voice, float rate, std::optional<QString> identifier, CancellationToken token);

    // Published state.
    void setPlaybackState(PlaybackState state);
    void setCurrentPlayingIndex(std::optional<qsizetype> index);
    void setSelectedVoice(const TTSVoice &voice);
    void setCurrentUnitPresentation(const PlaybackUnitPresentation &presentation);
    void setCurrentWordRepeatProgress(int progress);
    void setUnitCacheStates(const QHash<ORVPlaybackUnit, bool> &states);
    void setCurrentAvailableUnits(const QList<ORVPlaybackUnit> &units);
    void setPlaybackPreference(const std::optional<PlaybackPreference> &preference);
    void setTransientPlaybackStatus(const TransientPlaybackStatus &status);

    // The same state as QML reads it.
    int currentPlayingIndexValue() const { return m_currentPlayingIndex ? int(*m_currentPlayingIndex) : -1; }
    QString selectedVoiceId() const { return m_selectedVoice.id; }
    QString currentUnitName() const { return currentUnitRawValue().value_or(QString()); }
    QString spellingDisplayText() const { return m_currentUnitPresentation.spellingDisplay.value_or(QString()); }
    QVariantMap unitCacheStateMap() const;
    QStringList currentAvailableUnitNames() const;
    QString transientStateName() const;
    QString transientIdentifier() const { return m_transientPlaybackStatus.identifier.value_or(QString()); }

    TTSServiceProtocol &m_ttsService;
    AudioPlayerProtocol &m_audioPlayer;
    APIClientProtocol &m_apiClient;
    AudioCacheProtocol &m_audioCache;
    PlaybackEnvironment m_environment;

    PlaybackState m_playbackState = PlaybackState::stopped;
    LoopMode m_loopMode = LoopMode::sequential;
    std::optional<qsizetype> m_currentPlayingIndex;
    TTSVoice m_selectedVoice = TTSVoice::defaultEnglish();
    PlaybackUnitPresentation m_currentUnitPresentation;
    int m_currentWordRepeatProgress = 1;
    QHash<ORVPlaybackUnit, bool> m_unitCacheStates;
    QList<ORVPlaybackUnit> m_currentAvailableUnits;
    std::optional<PlaybackPreference> m_playbackPreference = PlaybackPreference();
    bool m_showErrorAlert = false;
    QString m_errorMessage;
    TransientPlaybackStatus m_transientPlaybackStatus;

    std::optional<QString> m_accessToken;
    std::optional<QString> m_ownerKey;
    QList<PlaybackWordSnapshot> m_playlist;
    QList<ResolvedPlaybackUnit> m_currentPlan;
    qsizetype m_currentSubItemIndex = 0;
    qint64 m_repeatProgress = 0;
    bool m_isTransientPlayback = false;
    quint64 m_sessionGeneration = 0;
    // The one fetch in flight, cancelled by stop and by starting another word.
    std::optional<CancellationSource> m_ttsRequest;
    // The one preference restore in flight, cancelled by every new session binding.
    std::optional<CancellationSource> m_preferenceRequest;
    bool m_pausesReplacementUnitAfterLoading = false;
};

} // namespace talvoro
