#include "Playback/PlaybackViewModel.h"

#include "Models/MobileAPIError.h"
#include "Networking/BackendConfiguration.h"
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

QList<ORVPlaybackUnit> unitsOf(const QList<ResolvedPlaybackUnit> &plan)
{
    QList<ORVPlaybackUnit> units;
    for (const ResolvedPlaybackUnit &unit : plan)
        units.append(unit.unit);
    return units;
}

} // namespace

PlaybackViewModel::PlaybackViewModel(TTSServiceProtocol &ttsService, AudioPlayerProtocol &audioPlayer,
    APIClientProtocol &apiClient, AudioCacheProtocol &audioCache, PlaybackEnvironment environment, QObject *parent)
    : QObject(parent)
    , m_ttsService(ttsService)
    , m_audioPlayer(audioPlayer)
    , m_apiClient(apiClient)
    , m_audioCache(audioCache)
    , m_environment(std::move(environment))
{
    Q_ASSERT(m_environment.random);
    m_audioPlayer.setDelegate(this);
}

PlaybackViewModel::~PlaybackViewModel()
{
    cancelRequest();
    if (m_preferenceRequest)
        m_preferenceRequest->cancel();
}

std::optional<QString> PlaybackViewModel::currentUnitRawValue() const
{
    return m_currentUnitPresentation.unit ? std::optional(rawValue(*m_currentUnitPresentation.unit)) : std::nullopt;
}

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
    setCurrentAvailableUnits(unitsOf(m_currentPlan));
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
            setCurrentAvailableUnits(unitsOf(m_currentPlan));
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
    const std::optional<qsizetype> next = nextWordIndex(m_loopMode, index, m_playlist.size(), *m_environment.random);
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

    // The user's own preference is heard at once; an unsent change wins over what
    // the server last confirmed.
    try {
        const std::optional<PlaybackPreference> effective
            = PlaybackPreferenceOfflineStore::loadRecord(*ownerKey, *m_environment.defaults).effectivePreference();
        if (effective)
            applyServerPreference(*effective);
    } catch (const std::exception &) {
        qCInfo(log::playback).noquote() << QStringLiteral("本地全局播放偏好不可用，将尝试从服务端恢复");
    }
    restorePreferenceFromServer(*accessToken, *ownerKey, m_sessionGeneration);
}

void PlaybackViewModel::clearSession()
{
    ++m_sessionGeneration;
    if (m_preferenceRequest)
        m_preferenceRequest->cancel();
    m_preferenceRequest.reset();
    m_accessToken.reset();
    m_ownerKey.reset();
    m_playlist.clear();
    setPlaybackPreference(PlaybackPreference());
    stop();
}

void PlaybackViewModel::applyServerPreference(const PlaybackPreference &preference)
{
    if (!isValid(preference)) {
        showError(QStringLiteral("服务器返回的全局播放设置无效，请稍后重试"));
        return;
    }
    const std::optional<PlaybackPreference> previous = m_playbackPreference;
    setPlaybackPreference(preference);
    // Voices and rates are heard from the next repetition or word; only a change
    // of the units refits the word in progress.
    if (previous && previous->playbackItems == preference.playbackItems)
        return;
    replanCurrentWord();
}

void PlaybackViewModel::restorePreferenceFromServer(QString accessToken, QString ownerKey, quint64 generation)
{
    if (m_preferenceRequest)
        m_preferenceRequest->cancel();
    m_preferenceRequest.emplace();
    restorePreference(std::move(accessToken), std::move(ownerKey), generation, m_preferenceRequest->token());
}

bool PlaybackViewModel::isCurrentSession(
    const CancellationToken &token, quint64 generation, const QString &accessToken) const
{
    return !token.isCancelled() && generation == m_sessionGeneration && m_accessToken == accessToken;
}

Task<> PlaybackViewModel::restorePreference(
    QString accessToken, QString ownerKey, quint64 generation, CancellationToken token)
{
    const QPointer<PlaybackViewModel> self(this);
    PlaybackPreferenceSyncCoordinator &coordinator = *m_environment.preferenceSync;
    APIClientProtocol &apiClient = m_apiClient;

    const PlaybackPreferenceSyncResult result
        = co_await coordinator.synchronize(ownerKey, accessToken, false, apiClient);
    if (!self || !isCurrentSession(token, generation, accessToken))
        co_return;
    if (result.preference)
        applyServerPreference(*result.preference);
    // Only when nothing local is waiting to be sent is the server's copy the one to use.
    using State = PlaybackPreferenceSyncResult::State;
    if (result.state != State::noPending && !(result.state == State::failed && !result.preference))
        co_return;

    PlaybackPreference preference;
    try {
        preference = co_await coordinator.fetchRemotePreference(ownerKey, accessToken, apiClient);
    } catch (const std::exception &error) {
        if (self && isCurrentSession(token, generation, accessToken) && !isCancellation(error))
            qCInfo(log::playback).noquote() << QStringLiteral("全局播放偏好暂不可用，继续使用本地安全默认值");
        co_return;
    }
    if (!self || !isCurrentSession(token, generation, accessToken))
        co_return;
    try {
        if (!isValid(preference))
            throw PlaybackPreferenceOfflineStoreError(PlaybackPreferenceOfflineStoreError::Kind::invalidPreference);
        PlaybackPreferenceLocalRecord record
            = PlaybackPreferenceOfflineStore::loadRecord(ownerKey, *m_environment.defaults);
        record.confirmed = preference;
        PlaybackPreferenceOfflineStore::saveRecord(record, ownerKey, *m_environment.defaults);
    } catch (const std::exception &) {
        qCCritical(log::playback).noquote() << QStringLiteral("服务端播放偏好无法写入本地确认快照");
    }
    applyServerPreference(preference);
}

// Fits the word in progress to a preference with other units: what was played in
// this repetition stays played, the unit in progress goes on if it is still
// wanted, and the units after it come from the new plan. A word with its own
// profile is not affected by the global preference.
void PlaybackViewModel::replanCurrentWord()
{
    if (m_isTransientPlayback || m_playbackState == PlaybackState::stopped || !isInsidePlaylist(m_currentPlayingIndex))
        return;
    const qsizetype index = *m_currentPlayingIndex;
    const PlaybackWordSnapshot &word = m_playlist.at(index);
    if (word.profile || m_currentSubItemIndex < 0 || m_currentSubItemIndex >= m_currentPlan.size())
        return;
    const QList<ResolvedPlaybackUnit> newPlan = makePlan(word);
    if (newPlan.isEmpty())
        return;

    const QList<ResolvedPlaybackUnit> played = m_currentPlan.mid(0, m_currentSubItemIndex);
    const QList<ORVPlaybackUnit> playedUnits = unitsOf(played);
    const ORVPlaybackUnit current = m_currentPlan.at(m_currentSubItemIndex).unit;
    std::optional<ResolvedPlaybackUnit> replacement;
    QList<ResolvedPlaybackUnit> remaining;
    for (const ResolvedPlaybackUnit &entry : newPlan) {
        if (entry.unit == current) {
            if (!replacement)
                replacement = entry;
        } else if (!playedUnits.contains(entry.unit)) {
            remaining.append(entry);
        }
    }
    setCurrentAvailableUnits(unitsOf(newPlan));
    refreshUnitCacheStates(newPlan);

    if (replacement) {
        // The clip in progress (or its fetch) goes on undisturbed.
        m_currentPlan = played + QList<ResolvedPlaybackUnit> {*replacement} + remaining;
        m_currentSubItemIndex = played.size();
        makeUnitPresentation(current);
        return;
    }

    // The unit in progress is no longer wanted: it stops, and the next one starts
    // at once, paused again once loaded when playback was paused.
    cancelRequest();
    const bool wasPaused = m_playbackState == PlaybackState::paused;
    setPlaybackState(PlaybackState::loading);
    m_audioPlayer.deactivateAudioSession();
    m_pausesReplacementUnitAfterLoading = wasPaused;
    m_currentPlan = played + remaining;
    m_currentSubItemIndex = played.size();
    if (m_currentSubItemIndex >= m_currentPlan.size()) {
        m_pausesReplacementUnitAfterLoading = false;
        finishWord(index);
    } else {
        playCurrentSubItem();
    }
}

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
