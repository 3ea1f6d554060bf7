#include "Playback/PlaybackViewModel.h"

#include "Networking/BackendConfiguration.h"
#include "Networking/MobileAPIClient.h"
#include "Platform/Logging.h"
#include "Platform/Text.h"
#include "Playback/SpeechCacheKey.h"

#include <QPointer>

#include <algorithm>

namespace talvoro {

namespace {

const QString noPlayableContentMessage = QStringLiteral("当前单词没有可播放的内容，请检查播放设置");
const QString unitNotPlayableMessage = QStringLiteral("当前播放单元无法播放，请稍后重试");
const QString previewNotPlayableMessage = QStringLiteral("音频无法播放，请稍后重试");
const QString emptyPreviewMessage = QStringLiteral("试听音频为空，请稍后重试");
const QString previewTitle = QStringLiteral("试听");

float previewRate(float rate)
{
    return std::clamp(rate, 0.5F, 2.0F);
}

} // namespace

PlaybackEnvironment PlaybackEnvironment::standard()
{
    PlaybackEnvironment environment;
    environment.baseURL = [] { return BackendConfiguration::loadFromMainBundle(); };
    environment.legacyVoice = [](const QString &ownerKey) {
        return MobileAPIClient::shared()
            .legacyStoredPreferences(ownerKey, QString::fromUtf16(PlaybackViewModel::defaultEnglishVoiceID))
            .voice;
    };
    return environment;
}

PlaybackViewModel::PlaybackViewModel(TTSServiceProtocol &ttsService, AudioPlayerProtocol &audioPlayer,
    APIClientProtocol &apiClient, AudioCacheProtocol &audioCache, PlaybackEnvironment environment, QObject *parent)
    : QObject(parent)
    , m_ttsService(ttsService)
    , m_audioPlayer(audioPlayer)
    , m_apiClient(apiClient)
    , m_audioCache(audioCache)
    , m_environment(std::move(environment))
{
    m_audioPlayer.setDelegate(this);
}

PlaybackViewModel::~PlaybackViewModel()
{
    cancelRequest();
}

std::optional<QString> PlaybackViewModel::currentUnitRawValue() const
{
    return m_currentUnitPresentation.unit ? std::optional(rawValue(*m_currentUnitPresentation.unit)) : std::nullopt;
}

// MARK: - Controls

void PlaybackViewModel::setPlaylist(const QList<ORVWord> &words)
{
    m_playlist.clear();
    for (const ORVWord &word : words)
        m_playlist.append(PlaybackWordSnapshot(word));
    if (m_currentPlayingIndex && !isInsidePlaylist(m_currentPlayingIndex))
        stop();
}

void PlaybackViewModel::playWord(qsizetype index)
{
    if (!isInsidePlaylist(index)) {
        stop();
        return;
    }
    if (m_ttsRequest)
        m_ttsRequest->cancel();
    m_repeatProgress = 1;
    m_currentSubItemIndex = 0;
    m_currentPlan = makePlan(m_playlist.at(index));
    if (m_currentPlan.isEmpty()) {
        stop();
        showError(noPlayableContentMessage);
        return;
    }
    setCurrentWordRepeatProgress(int(m_repeatProgress));
    m_isTransientPlayback = false;
    setCurrentPlayingIndex(index);
    QList<ORVPlaybackUnit> units;
    for (const ResolvedPlaybackUnit &unit : m_currentPlan)
        units.append(unit.unit);
    setCurrentAvailableUnits(units);
    refreshUnitCacheStates(m_currentPlan);
    playCurrentSubItem();
}

void PlaybackViewModel::playCurrentWord()
{
    if (m_playlist.isEmpty())
        return;
    const qsizetype index = m_currentPlayingIndex.value_or(0);
    if (isInsidePlaylist(index))
        playWord(index);
}

void PlaybackViewModel::pause()
{
    if (m_playbackState != PlaybackState::playing)
        return;
    m_audioPlayer.pause();
    setPlaybackState(PlaybackState::paused);
}

void PlaybackViewModel::resume()
{
    if (m_playbackState != PlaybackState::paused)
        return;
    m_audioPlayer.resume();
    setPlaybackState(PlaybackState::playing);
}

void PlaybackViewModel::stop()
{
    cancelRequest();
    m_audioPlayer.deactivateAudioSession();
    setPlaybackState(PlaybackState::stopped);
    setCurrentPlayingIndex(std::nullopt);
    m_currentPlan.clear();
    m_currentSubItemIndex = 0;
    m_repeatProgress = 0;
    m_isTransientPlayback = false;
    setTransientPlaybackStatus({});
    setCurrentUnitPresentation({});
    setCurrentWordRepeatProgress(1);
    setUnitCacheStates({});
    setCurrentAvailableUnits({});
    m_pausesReplacementUnitAfterLoading = false;
}

void PlaybackViewModel::cycleLoopMode()
{
    m_loopMode = cycled(m_loopMode);
    Q_EMIT loopModeChanged();
}

// MARK: - Sequencing

void PlaybackViewModel::audioPlayerDidFinish(bool successfully)
{
    // Only the end of a clip that is playing counts: a late end of a clip that
    // was stopped, paused or is being replaced changes nothing.
    if (m_playbackState != PlaybackState::playing)
        return;
    if (m_isTransientPlayback) {
        finishTransientClip(successfully);
        return;
    }
    if (!successfully) {
        stop();
        showError(unitNotPlayableMessage);
        return;
    }
    if (!isInsidePlaylist(m_currentPlayingIndex)) {
        stop();
        return;
    }
    if (m_currentSubItemIndex + 1 < m_currentPlan.size()) {
        ++m_currentSubItemIndex;
        playCurrentSubItem();
        return;
    }
    finishWord(*m_currentPlayingIndex);
}

void PlaybackViewModel::finishWord(qsizetype index)
{
    const PlaybackWordSnapshot &word = m_playlist.at(index);
    const qint64 target = std::max<qint64>(word.repeatCount, 1);
    if (m_repeatProgress < target) {
        ++m_repeatProgress;
        setCurrentWordRepeatProgress(int(m_repeatProgress));
        // Planned again, so that a changed preference is heard from this repetition on.
        m_currentPlan = makePlan(word);
        m_currentSubItemIndex = 0;
        if (!m_currentPlan.isEmpty()) {
            QList<ORVPlaybackUnit> units;
            for (const ResolvedPlaybackUnit &unit : m_currentPlan)
                units.append(unit.unit);
            setCurrentAvailableUnits(units);
            refreshUnitCacheStates(m_currentPlan);
            playCurrentSubItem();
            return;
        }
    }
    m_repeatProgress = 1;
    m_currentSubItemIndex = 0;
    advanceToNextWord(index);
}

void PlaybackViewModel::advanceToNextWord(qsizetype index)
{
    RandomSource &random = m_environment.random ? *m_environment.random : RandomSource::system();
    const std::optional<qsizetype> next = nextWordIndex(m_loopMode, index, m_playlist.size(), random);
    if (next)
        playWord(*next);
    else
        stop();
}

QList<ResolvedPlaybackUnit> PlaybackViewModel::makePlan(const PlaybackWordSnapshot &word) const
{
    return word.plan(m_playbackPreference.value_or(PlaybackPreference()), m_selectedVoice);
}

void PlaybackViewModel::refreshUnitCacheStates(const QList<ResolvedPlaybackUnit> &plan)
{
    QHash<ORVPlaybackUnit, bool> states;
    for (const ResolvedPlaybackUnit &unit : plan)
        states.insert(unit.unit, SpeechCacheKey::isCached(unit.text, unit.voice.id, m_audioCache));
    setUnitCacheStates(states);
}

void PlaybackViewModel::playCurrentSubItem()
{
    if (!isInsidePlaylist(m_currentPlayingIndex) || m_currentSubItemIndex < 0
        || m_currentSubItemIndex >= m_currentPlan.size()) {
        stop();
        return;
    }
    const ResolvedPlaybackUnit unit = m_currentPlan.at(m_currentSubItemIndex);
    makeUnitPresentation(unit.unit);
    setPlaybackState(PlaybackState::loading);
    const CancellationToken token = startRequest();
    fetchAndPlay(m_playlist.at(*m_currentPlayingIndex), unit, token);
}

Task<> PlaybackViewModel::fetchAndPlay(PlaybackWordSnapshot word, ResolvedPlaybackUnit unit, CancellationToken token)
{
    const QPointer<PlaybackViewModel> self(this);
    const std::optional<QString> accessToken = m_accessToken;
    QByteArray audio;
    std::exception_ptr error;
    try {
        audio = co_await m_ttsService.fetchAudio(unit.text, unit.voice.id, accessToken, token);
    } catch (...) {
        error = std::current_exception();
    }
    // Stop and another word cancel the request: their result is dropped unseen.
    if (!self || token.isCancelled())
        co_return;
    if (error) {
        stop();
        showError(describe(error));
        co_return;
    }
    QHash<ORVPlaybackUnit, bool> states = m_unitCacheStates;
    states.insert(unit.unit, m_ttsService.isCached(unit.text, unit.voice.id));
    setUnitCacheStates(states);
    setPlaybackState(PlaybackState::playing);
    // The desktop shows the word, whichever of its units is spoken.
    m_audioPlayer.play(audio, word.text, unit.rate);
    if (m_pausesReplacementUnitAfterLoading) {
        m_pausesReplacementUnitAfterLoading = false;
        m_audioPlayer.pause();
        setPlaybackState(PlaybackState::paused);
    }
}

void PlaybackViewModel::makeUnitPresentation(ORVPlaybackUnit unit)
{
    PlaybackUnitPresentation presentation;
    presentation.unit = unit;
    // The letters are shown while they are spoken, not during the word's other units.
    if (unit == ORVPlaybackUnit::spelling && isInsidePlaylist(m_currentPlayingIndex))
        presentation.spellingDisplay = spellingDisplay(m_playlist.at(*m_currentPlayingIndex).text);
    setCurrentUnitPresentation(presentation);
}

// MARK: - Remote commands and interruptions

void PlaybackViewModel::remotePlay()
{
    playCurrentWord();
}

void PlaybackViewModel::remotePause()
{
    pause();
}

void PlaybackViewModel::remoteNextTrack()
{
    const qsizetype count = m_playlist.size();
    if (count > 0)
        playWord((m_currentPlayingIndex.value_or(-1) + 1) % count);
}

void PlaybackViewModel::remotePreviousTrack()
{
    const qsizetype count = m_playlist.size();
    if (count > 0)
        playWord((m_currentPlayingIndex.value_or(0) - 1 + count) % count);
}

// An interruption that began while playing leaves playback paused for good: its
// end then finds nothing playing, and the user resumes.
void PlaybackViewModel::handleInterruption(bool shouldResume)
{
    if (m_playbackState != PlaybackState::playing)
        return;
    if (shouldResume)
        m_audioPlayer.resume();
    else
        pause();
}

// MARK: - Previews

void PlaybackViewModel::playTransient(
    const QString &text, std::optional<TTSVoice> voice, std::optional<float> rate, std::optional<QString> identifier)
{
    const QString trimmed = text::trimmed(text);
    if (trimmed.isEmpty())
        return;
    stop();
    m_isTransientPlayback = true;
    setPlaybackState(PlaybackState::loading);
    setTransientPlaybackStatus(TransientPlaybackStatus::loading(identifier));
    const CancellationToken token = startRequest();
    fetchAndPlayPreview(trimmed, voice.value_or(m_selectedVoice), previewRate(rate.value_or(1.0F)), identifier, token);
}

Task<> PlaybackViewModel::fetchAndPlayPreview(
    QString text, TTSVoice voice, float rate, std::optional<QString> identifier, CancellationToken token)
{
    const QPointer<PlaybackViewModel> self(this);
    const std::optional<QString> accessToken = m_accessToken;
    QByteArray audio;
    std::exception_ptr error;
    try {
        audio = co_await m_ttsService.fetchAudio(text, voice.id, accessToken, token);
    } catch (...) {
        error = std::current_exception();
    }
    if (!self || token.isCancelled())
        co_return;
    if (error) {
        const QString message = describe(error);
        stop();
        setTransientPlaybackStatus(TransientPlaybackStatus::failed(identifier, message));
        showError(message);
        co_return;
    }
    setPlaybackState(PlaybackState::playing);
    setTransientPlaybackStatus(TransientPlaybackStatus::playing(identifier));
    m_audioPlayer.play(audio, previewTitle, rate);
}

void PlaybackViewModel::playPreviewAudio(const QByteArray &data, const QString &title, float rate)
{
    if (data.isEmpty()) {
        showError(emptyPreviewMessage);
        return;
    }
    stop();
    m_isTransientPlayback = true;
    setPlaybackState(PlaybackState::playing);
    setTransientPlaybackStatus(TransientPlaybackStatus::playing(std::nullopt));
    m_audioPlayer.play(data, title, previewRate(rate));
}

void PlaybackViewModel::finishTransientClip(bool successfully)
{
    const std::optional<QString> identifier = m_transientPlaybackStatus.kind == TransientPlaybackStatus::Kind::playing
        ? m_transientPlaybackStatus.identifier
        : std::nullopt;
    stop();
    if (successfully)
        return;
    setTransientPlaybackStatus(TransientPlaybackStatus::failed(identifier, previewNotPlayableMessage));
    showError(previewNotPlayableMessage);
}

// MARK: - Session

void PlaybackViewModel::updateSession(const std::optional<QString> &accessToken, const std::optional<UserSummary> &user)
{
    if (!accessToken || !user) {
        clearSession();
        return;
    }
    const std::optional<QString> ownerKey = BackendConfiguration::ownerKey(
        user->id, BackendConfiguration::environmentPartitionKey(m_environment.baseURL()));
    if (!ownerKey) {
        clearSession();
        showError(QStringLiteral("当前后端环境无法建立安全偏好分区，请检查应用配置"));
        return;
    }
    if (m_accessToken == accessToken && m_ownerKey == ownerKey)
        return;
    ++m_sessionGeneration;
    m_accessToken = accessToken;
    m_ownerKey = ownerKey;
    setSelectedVoice(TTSVoice::catalogVoice(m_environment.legacyVoice(*ownerKey)).value_or(TTSVoice::defaultEnglish()));
}

void PlaybackViewModel::clearSession()
{
    ++m_sessionGeneration;
    m_accessToken.reset();
    m_ownerKey.reset();
    m_playlist.clear();
    setPlaybackPreference(PlaybackPreference());
    stop();
}

// MARK: - Helpers

void PlaybackViewModel::showError(const QString &message)
{
    if (m_errorMessage != message) {
        m_errorMessage = message;
        Q_EMIT errorMessageChanged();
    }
    setShowErrorAlert(true);
}

bool PlaybackViewModel::isInsidePlaylist(std::optional<qsizetype> index) const
{
    return index && *index >= 0 && *index < m_playlist.size();
}

CancellationToken PlaybackViewModel::startRequest()
{
    m_ttsRequest.emplace();
    return m_ttsRequest->token();
}

void PlaybackViewModel::cancelRequest()
{
    if (m_ttsRequest)
        m_ttsRequest->cancel();
    m_ttsRequest.reset();
}

// MARK: - Published state

void PlaybackViewModel::setShowErrorAlert(bool show)
{
    if (m_showErrorAlert == show)
        return;
    m_showErrorAlert = show;
    Q_EMIT showErrorAlertChanged();
}

void PlaybackViewModel::setPlaybackState(PlaybackState state)
{
    if (m_playbackState == state)
        return;
    m_playbackState = state;
    Q_EMIT playbackStateChanged();
}

void PlaybackViewModel::setCurrentPlayingIndex(std::optional<qsizetype> index)
{
    if (m_currentPlayingIndex == index)
        return;
    m_currentPlayingIndex = index;
    Q_EMIT currentPlayingIndexChanged();
}

void PlaybackViewModel::setSelectedVoice(const TTSVoice &voice)
{
    if (m_selectedVoice == voice)
        return;
    m_selectedVoice = voice;
    Q_EMIT selectedVoiceChanged();
}

void PlaybackViewModel::setCurrentUnitPresentation(const PlaybackUnitPresentation &presentation)
{
    if (m_currentUnitPresentation == presentation)
        return;
    m_currentUnitPresentation = presentation;
    Q_EMIT currentUnitPresentationChanged();
}

void PlaybackViewModel::setCurrentWordRepeatProgress(int progress)
{
    if (m_currentWordRepeatProgress == progress)
        return;
    m_currentWordRepeatProgress = progress;
    Q_EMIT currentWordRepeatProgressChanged();
}

void PlaybackViewModel::setUnitCacheStates(const QHash<ORVPlaybackUnit, bool> &states)
{
    if (m_unitCacheStates == states)
        return;
    m_unitCacheStates = states;
    Q_EMIT unitCacheStatesChanged();
}

void PlaybackViewModel::setCurrentAvailableUnits(const QList<ORVPlaybackUnit> &units)
{
    if (m_currentAvailableUnits == units)
        return;
    m_currentAvailableUnits = units;
    Q_EMIT currentAvailableUnitsChanged();
}

void PlaybackViewModel::setPlaybackPreference(const std::optional<PlaybackPreference> &preference)
{
    m_playbackPreference = preference;
    Q_EMIT playbackPreferenceChanged();
}

void PlaybackViewModel::setTransientPlaybackStatus(const TransientPlaybackStatus &status)
{
    if (m_transientPlaybackStatus == status)
        return;
    m_transientPlaybackStatus = status;
    Q_EMIT transientPlaybackStatusChanged();
}

QString PlaybackViewModel::playbackStateName() const
{
    switch (m_playbackState) {
    case PlaybackState::stopped:
        return QStringLiteral("stopped");
    case PlaybackState::playing:
        return QStringLiteral("playing");
    case PlaybackState::paused:
        return QStringLiteral("paused");
    case PlaybackState::loading:
        break;
    }
    return QStringLiteral("loading");
}

QVariantMap PlaybackViewModel::unitCacheStateMap() const
{
    QVariantMap map;
    for (auto it = m_unitCacheStates.cbegin(); it != m_unitCacheStates.cend(); ++it)
        map.insert(rawValue(it.key()), it.value());
    return map;
}

QStringList PlaybackViewModel::currentAvailableUnitNames() const
{
    QStringList names;
    for (const ORVPlaybackUnit unit : m_currentAvailableUnits)
        names.append(rawValue(unit));
    return names;
}

QString PlaybackViewModel::transientStateName() const
{
    switch (m_transientPlaybackStatus.kind) {
    case TransientPlaybackStatus::Kind::idle:
        return QStringLiteral("idle");
    case TransientPlaybackStatus::Kind::loading:
        return QStringLiteral("loading");
    case TransientPlaybackStatus::Kind::playing:
        return QStringLiteral("playing");
    case TransientPlaybackStatus::Kind::failed:
        break;
    }
    return QStringLiteral("failed");
}

} // namespace talvoro
