#include "WordPlaybackProfileEditorViewModel.h"

#include "Models/MobileAPIError.h"

#include <algorithm>

namespace talvoro {

namespace {

qint64 clampedRepeatCount(qint64 count)
{
    return std::clamp(count, WordPlaybackProfileEditorViewModel::minimumRepeatCount,
        WordPlaybackProfileEditorViewModel::maximumRepeatCount);
}

qsizetype canonicalIndex(ORVPlaybackUnit unit)
{
    return std::find(allPlaybackUnits.begin(), allPlaybackUnits.end(), unit) - allPlaybackUnits.begin();
}

const WordPlaybackUnit *findEntry(const QList<WordPlaybackUnit> &units, ORVPlaybackUnit unit)
{
    for (const WordPlaybackUnit &entry : units) {
        if (entry.unit == unit)
            return &entry;
    }
    return nullptr;
}

// Binds the shared player to the signed-in user, as a preview needs before it
// plays; unlike GlobalPlaybackSession::activate it leaves the player running.
void bindPlayback(GlobalPlaybackSession &playback, const AuthenticatedSessionSnapshot &session)
{
    if (playback.activeUserID() && *playback.activeUserID() != session.user.id)
        playback.reset();
    playback.setActiveUserID(session.user.id);
    playback.ensurePlaybackViewModel().updateSession(session.accessToken, session.user);
}

} // namespace

QString WordPlaybackProfileEditorError::description() const
{
    switch (m_kind) {
    case Kind::missingSession:
        return MobileAPIError::unauthorized().description();
    case Kind::profileNotLoaded:
        return QStringLiteral("尚未取得最新播放设置版本，请刷新后重试");
    case Kind::noPlayableContent:
        return QStringLiteral("当前启用项都没有可播放内容，请至少开启英文单词或逐字母拼写");
    case Kind::invalidServerResponse:
        break;
    }
    return QStringLiteral("服务器未确认播放设置版本，请刷新后重试");
}

WordPlaybackProfileEditorViewModel::WordPlaybackProfileEditorViewModel(ORVWord word, APIClientProtocol &apiClient,
    TTSServiceProtocol &ttsService, SessionReader currentSession, QObject *parent)
    : QObject(parent)
    , m_word(std::move(word))
    , m_apiClient(apiClient)
    , m_ttsService(ttsService)
    , m_currentSession(std::move(currentSession))
    , m_profile(m_word.playbackProfile.value_or(WordPlaybackProfile::makeDefault(m_word.id)))
{
    m_units = normalizedUnits(m_profile.units);
    m_repeatCount = clampedRepeatCount(m_profile.repeatCount.value_or(m_word.repeatCount));
}

WordPlaybackProfileEditorViewModel::~WordPlaybackProfileEditorViewModel()
{
    // A fetch still out must not outlive the editor's interest in it.
    if (m_previewTask)
        m_previewTask->cancel();
}

const WordPlaybackUnit *WordPlaybackProfileEditorViewModel::entry(ORVPlaybackUnit unit) const
{
    return findEntry(m_units, unit);
}

WordPlaybackUnit *WordPlaybackProfileEditorViewModel::mutableEntry(ORVPlaybackUnit unit)
{
    return const_cast<WordPlaybackUnit *>(findEntry(m_units, unit));
}

QList<WordPlaybackUnit> WordPlaybackProfileEditorViewModel::normalizedUnits(const QList<WordPlaybackUnit> &units)
{
    QList<WordPlaybackUnit> result;
    for (const ORVPlaybackUnit unit : allPlaybackUnits) {
        if (const WordPlaybackUnit *given = findEntry(units, unit)) {
            result.append(*given);
        } else {
            WordPlaybackUnit fresh;
            fresh.unit = unit;
            fresh.position = canonicalIndex(unit) + 1;
            result.append(fresh);
        }
    }
    std::stable_sort(result.begin(), result.end(),
        [](const WordPlaybackUnit &a, const WordPlaybackUnit &b) { return a.position < b.position; });
    for (qsizetype i = 0; i < result.size(); ++i)
        result[i].position = i + 1;
    return result;
}

void WordPlaybackProfileEditorViewModel::setUnits(QList<WordPlaybackUnit> units)
{
    if (m_units == units)
        return;
    m_units = std::move(units);
    Q_EMIT unitsChanged();
}

void WordPlaybackProfileEditorViewModel::setRepeatCount(qint64 count)
{
    count = clampedRepeatCount(count);
    if (m_repeatCount == count)
        return;
    m_repeatCount = count;
    Q_EMIT repeatCountChanged();
}

void WordPlaybackProfileEditorViewModel::setErrorMessage(std::optional<QString> message)
{
    if (m_errorMessage == message)
        return;
    m_errorMessage = std::move(message);
    Q_EMIT errorMessageChanged();
}

void WordPlaybackProfileEditorViewModel::setLoading(bool loading)
{
    if (std::exchange(m_isLoading, loading) != loading)
        Q_EMIT isLoadingChanged();
}

void WordPlaybackProfileEditorViewModel::setSaving(bool saving)
{
    if (std::exchange(m_isSaving, saving) != saving)
        Q_EMIT isSavingChanged();
}

void WordPlaybackProfileEditorViewModel::setHasLoadedRemoteProfile(bool loaded)
{
    if (std::exchange(m_hasLoadedRemoteProfile, loaded) != loaded)
        Q_EMIT hasLoadedRemoteProfileChanged();
}

void WordPlaybackProfileEditorViewModel::setPreviewingUnit(std::optional<ORVPlaybackUnit> unit)
{
    if (std::exchange(m_previewingUnit, unit) != unit)
        Q_EMIT previewingUnitChanged();
}

void WordPlaybackProfileEditorViewModel::setCachedUnits(QSet<ORVPlaybackUnit> units)
{
    if (m_cachedUnits == units)
        return;
    m_cachedUnits = std::move(units);
    Q_EMIT cachedUnitsChanged();
}

QStringList WordPlaybackProfileEditorViewModel::unitOrder() const
{
    QStringList order;
    for (const WordPlaybackUnit &entry : m_units)
        order.append(rawValue(entry.unit));
    return order;
}

// Loading

Task<> WordPlaybackProfileEditorViewModel::load(std::optional<QString> accessToken, CancellationToken cancellation)
{
    if (!accessToken || accessToken->isEmpty()) {
        setErrorMessage(MobileAPIError::unauthorized().description());
        co_return;
    }
    const quint64 generation = ++m_loadGeneration;
    m_accessToken = accessToken;
    setLoading(true);
    setHasLoadedRemoteProfile(false);
    co_await runLoad(this, *accessToken, generation, std::move(cancellation));
}

bool WordPlaybackProfileEditorViewModel::isCurrentLoad(quint64 generation, const QString &accessToken) const
{
    return m_loadGeneration == generation && m_accessToken == accessToken;
}

void WordPlaybackProfileEditorViewModel::applyLoadedProfile(const WordPlaybackProfile &validated)
{
    m_profile = validated;
    setUnits(normalizedUnits(validated.units));
    setRepeatCount(validated.repeatCount.value_or(m_word.repeatCount));
    setHasLoadedRemoteProfile(true);
    refreshCachedUnits();
}

Task<> WordPlaybackProfileEditorViewModel::runLoad(QPointer<WordPlaybackProfileEditorViewModel> self,
    QString accessToken, quint64 generation, CancellationToken cancellation)
{
    // The client cannot take a request back, so a cancelled load ends here and
    // now; its answers, when they come, change nothing.
    const CancellationRegistration ended = cancellation.onCancel([self, generation] {
        if (self && self->m_loadGeneration == generation)
            self->setLoading(false);
    });
    APIClientProtocol &api = self->m_apiClient;
    const qint64 wordId = self->m_word.id;
    // Both requests are out before either answer is awaited.
    Task<WordPlaybackProfile> profileRequest = api.fetchWordPlaybackProfile(wordId, accessToken);
    Task<PlaybackPreference> preferenceRequest = api.fetchPlaybackPreferences(accessToken);

    // A cancelled or overtaken profile makes the preference of the same load moot.
    bool preferenceMatters = true;
    try {
        const WordPlaybackProfile fetched = co_await profileRequest;
        cancellation.throwIfCancelled();
        if (self) {
            try {
                const WordPlaybackProfile validated = fetched.validated();
                if (self->isCurrentLoad(generation, accessToken))
                    self->applyLoadedProfile(validated);
                else
                    preferenceMatters = false;
            } catch (const WordPlaybackProfileValidationError &error) {
                self->setErrorMessage(QStringLiteral("加载播放设置失败：") + error.description());
            }
        }
    } catch (...) {
        const std::exception_ptr error = std::current_exception();
        if (isCancellation(error))
            preferenceMatters = false;
        else if (self)
            self->setErrorMessage(QStringLiteral("加载播放设置失败：") + describe(error));
    }

    // Awaited even when it no longer matters: the client cannot take the request
    // back, and the load counts as running until its last answer is in.
    try {
        const PlaybackPreference preference = co_await preferenceRequest;
        cancellation.throwIfCancelled();
        if (self && preferenceMatters && self->isCurrentLoad(generation, accessToken)) {
            self->m_globalPreference = preference;
            Q_EMIT self->globalPreferenceChanged();
            self->refreshCachedUnits();
        }
    } catch (...) {
        const std::exception_ptr error = std::current_exception();
        if (self && preferenceMatters && !isCancellation(error))
            self->setErrorMessage(QStringLiteral("全局音色暂不可用，继承项将使用默认值：") + describe(error));
    }

    if (self && self->m_loadGeneration == generation)
        self->setLoading(false);
}

// Edits

void WordPlaybackProfileEditorViewModel::setUnitEnabled(bool enabled, ORVPlaybackUnit unit)
{
    WordPlaybackUnit *target = mutableEntry(unit);
    if (!target)
        return;
    if (!enabled) {
        const auto enabledCount
            = std::count_if(m_units.begin(), m_units.end(), [](const WordPlaybackUnit &e) { return e.enabled; });
        if (enabledCount < 2) {
            setErrorMessage(QStringLiteral("至少需要开启一个播放单元"));
            return;
        }
    }
    if (target->enabled == enabled)
        return;
    target->enabled = enabled;
    Q_EMIT unitsChanged();
    refreshCachedUnits();
}

void WordPlaybackProfileEditorViewModel::setVoice(const std::optional<QString> &voiceId, ORVPlaybackUnit unit)
{
    WordPlaybackUnit *target = mutableEntry(unit);
    if (!target)
        return;
    if (voiceId) {
        const std::optional<TTSVoice> voice = TTSVoice::catalogVoice(voiceId);
        const std::optional<TTSVoiceCategory> category = voice ? voice->category() : std::nullopt;
        if (!category || language(*category) != voiceLanguage(unit)) {
            setErrorMessage(QStringLiteral("所选音色与播放单元语言不匹配"));
            return;
        }
    }
    if (target->voiceId != voiceId) {
        target->voiceId = voiceId;
        Q_EMIT unitsChanged();
    }
    refreshCachedUnits();
}

void WordPlaybackProfileEditorViewModel::updateUnit(std::optional<double> speechRate, ORVPlaybackUnit unit)
{
    WordPlaybackUnit *target = mutableEntry(unit);
    if (!target)
        return;
    // Written so that NaN becomes the slowest rate rather than slipping through.
    if (speechRate)
        speechRate = *speechRate > 2.0 ? 2.0 : (*speechRate >= 0.5 ? *speechRate : 0.5);
    if (target->speechRate == speechRate)
        return;
    target->speechRate = speechRate;
    Q_EMIT unitsChanged();
}

double WordPlaybackProfileEditorViewModel::effectiveSpeechRate(ORVPlaybackUnit unit) const
{
    if (const WordPlaybackUnit *own = entry(unit); own && own->speechRate)
        return *own->speechRate;
    switch (unit) {
    case ORVPlaybackUnit::word:
        return m_globalPreference.speechRateEn;
    case ORVPlaybackUnit::spelling:
        return m_globalPreference.spellingRate;
    case ORVPlaybackUnit::translation:
    case ORVPlaybackUnit::explanation:
        break;
    }
    return m_globalPreference.speechRateZh;
}

void WordPlaybackProfileEditorViewModel::moveUnit(ORVPlaybackUnit dragged, ORVPlaybackUnit target)
{
    if (dragged == target)
        return;
    const WordPlaybackUnit *from = entry(dragged);
    const WordPlaybackUnit *to = entry(target);
    if (!from || !to)
        return;
    const qsizetype i = from - m_units.constData();
    const qsizetype j = to - m_units.constData();
    QList<WordPlaybackUnit> units = m_units;
    const WordPlaybackUnit moved = units.takeAt(i);
    units.insert(i < j ? j - 1 : j, moved);
    m_units = std::move(units);
    renumberPositions();
    Q_EMIT unitsChanged();
}

void WordPlaybackProfileEditorViewModel::renumberPositions()
{
    bool changed = false;
    for (qsizetype i = 0; i < m_units.size(); ++i) {
        if (m_units[i].position != i + 1) {
            m_units[i].position = i + 1;
            changed = true;
        }
    }
    if (changed)
        Q_EMIT unitsChanged();
}

void WordPlaybackProfileEditorViewModel::refreshCachedUnits()
{
    QSet<ORVPlaybackUnit> cached;
    for (const ORVPlaybackUnit unit : allPlaybackUnits) {
        const std::optional<ResolvedPlaybackUnit> resolved = resolvedPreviewUnit(unit);
        if (resolved && m_ttsService.isCached(resolved->text, resolved->voice.id))
            cached.insert(unit);
    }
    setCachedUnits(std::move(cached));
}

// Preview

WordPlaybackProfile WordPlaybackProfileEditorViewModel::candidateProfile(
    QList<WordPlaybackUnit> units, qint64 version) const
{
    WordPlaybackProfile candidate;
    candidate.wordId = m_word.id;
    candidate.version = version;
    candidate.repeatCount = m_repeatCount;
    candidate.units = std::move(units);
    candidate.updatedAt = m_profile.updatedAt;
    return candidate;
}

std::optional<ResolvedPlaybackUnit> WordPlaybackProfileEditorViewModel::firstResolvedUnit(
    const WordPlaybackProfile &candidate) const
{
    ORVWord word = m_word;
    word.playbackProfile = candidate;
    const PlaybackWordSnapshot snapshot(word);
    for (const WordPlaybackUnit &unit : snapshot.effectiveUnits(m_globalPreference)) {
        if (auto resolved = snapshot.resolve(unit, m_globalPreference, TTSVoice::defaultEnglish()))
            return resolved;
    }
    return std::nullopt;
}

std::optional<ResolvedPlaybackUnit> WordPlaybackProfileEditorViewModel::resolvedPreviewUnit(ORVPlaybackUnit unit) const
{
    QList<WordPlaybackUnit> only = m_units;
    for (WordPlaybackUnit &entry : only)
        entry.enabled = entry.unit == unit;
    return firstResolvedUnit(candidateProfile(std::move(only), std::max<qint64>(m_profile.version, 1)));
}

void WordPlaybackProfileEditorViewModel::previewUnit(ORVPlaybackUnit unit,
    const std::optional<AuthenticatedSessionSnapshot> &session, GlobalPlaybackSession &playbackSession)
{
    if (m_previewTask)
        m_previewTask->cancel();
    const std::optional<ResolvedPlaybackUnit> resolved = resolvedPreviewUnit(unit);
    if (!resolved) {
        setErrorMessage(QStringLiteral("当前单元没有可试听的内容"));
        return;
    }
    playbackSession.activate(session ? std::optional(session->accessToken) : std::nullopt,
        session ? std::optional(session->user) : std::nullopt);
    m_ownsPlaybackPreview = true;
    setPreviewingUnit(unit);
    m_previewTask.emplace();
    runPreview(this, unit, *resolved, session, &playbackSession, m_previewTask->token());
}

Task<> WordPlaybackProfileEditorViewModel::runPreview(QPointer<WordPlaybackProfileEditorViewModel> self,
    ORVPlaybackUnit unit, ResolvedPlaybackUnit resolved, std::optional<AuthenticatedSessionSnapshot> session,
    QPointer<GlobalPlaybackSession> playback, CancellationToken cancellation)
{
    QByteArray audio;
    try {
        // Made before it is awaited: GCC 12 destroys temporaries of a co_await
        // expression twice.
        Task<QByteArray> fetch
            = self->m_ttsService.fetchAudio(resolved.text, resolved.voice.id, self->m_accessToken, cancellation);
        audio = co_await std::move(fetch);
    } catch (...) {
        if (cancellation.isCancelled() || !self)
            co_return;
        self->setPreviewingUnit(std::nullopt);
        self->setErrorMessage(QStringLiteral("试听失败：") + describe(std::current_exception()));
        co_return;
    }
    if (cancellation.isCancelled() || !self)
        co_return;
    if (self->m_ttsService.isCached(resolved.text, resolved.voice.id)) {
        QSet<ORVPlaybackUnit> cached = self->m_cachedUnits;
        cached.insert(unit);
        self->setCachedUnits(std::move(cached));
    }
    self->setPreviewingUnit(std::nullopt);
    // The answer may come after a sign-out or a change of account: it plays only
    // for the user who asked for it, with that user's current token, so the shared
    // player is never bound back to an account that has left.
    const std::optional<AuthenticatedSessionSnapshot> current = self->m_currentSession();
    if (!playback || !session || !current || current->user.id != session->user.id)
        co_return;
    bindPlayback(*playback, *current);
    if (PlaybackViewModel *player = playback->playbackViewModel())
        player->playPreviewAudio(audio, title(unit), resolved.rate);
}

void WordPlaybackProfileEditorViewModel::stopPreview(GlobalPlaybackSession &playbackSession)
{
    if (m_previewTask) {
        m_previewTask->cancel();
        m_previewTask.reset();
    }
    setPreviewingUnit(std::nullopt);
    if (std::exchange(m_ownsPlaybackPreview, false)) {
        if (PlaybackViewModel *player = playbackSession.playbackViewModel())
            player->stop();
    }
}

// Saving

ORVWord wordWithSavedPlaybackProfile(ORVWord word, const WordPlaybackProfile &saved, qint64 editorRepeatCount)
{
    const auto own = [&saved](ORVPlaybackUnit unit) { return findEntry(saved.units, unit); };
    word.playbackProfile = saved;
    word.repeatCount = saved.repeatCount.value_or(editorRepeatCount);
    QList<QString> items;
    for (const WordPlaybackUnit &entry : saved.units) {
        if (entry.enabled)
            items.append(rawValue(entry.unit));
    }
    word.playbackItems = items;
    word.voiceEn = own(ORVPlaybackUnit::word) ? own(ORVPlaybackUnit::word)->voiceId : std::nullopt;
    word.voiceZh.reset();
    for (const ORVPlaybackUnit unit :
        {ORVPlaybackUnit::translation, ORVPlaybackUnit::explanation, ORVPlaybackUnit::spelling}) {
        if (const WordPlaybackUnit *entry = own(unit); entry && entry->voiceId) {
            word.voiceZh = entry->voiceId;
            break;
        }
    }
    word.speechRate = own(ORVPlaybackUnit::word) ? own(ORVPlaybackUnit::word)->speechRate : std::nullopt;
    return word;
}

Task<ORVWord> WordPlaybackProfileEditorViewModel::save(QPointer<WordPlaybackProfileEditorViewModel> self)
{
    using Error = WordPlaybackProfileEditorError;
    if (!self->m_accessToken)
        throw Error(Error::Kind::missingSession);
    if (!self->m_hasLoadedRemoteProfile)
        throw Error(Error::Kind::profileNotLoaded);
    self->renumberPositions();
    const WordPlaybackProfile candidate = self->candidateProfile(self->m_units, self->m_profile.version);
    const WordPlaybackProfile valid = candidate.validated();
    if (!self->firstResolvedUnit(valid))
        throw Error(Error::Kind::noPlayableContent);

    // What the result is built from, taken now: the editor may be gone when the
    // answer arrives, and the caller still has to learn what was saved.
    const ORVWord word = self->m_word;
    const qint64 editorRepeatCount = self->m_repeatCount;
    const qint64 sentVersion = self->m_profile.version;
    const QString accessToken = *self->m_accessToken;
    APIClientProtocol &api = self->m_apiClient;
    self->setSaving(true);

    WordPlaybackProfile answer;
    try {
        answer = co_await api.updateWordPlaybackProfile(candidate, accessToken);
        if (answer.wordId != word.id || answer.version <= sentVersion)
            throw Error(Error::Kind::invalidServerResponse);
        answer = answer.validated();
    } catch (const MobileAPIError &error) {
        if (self) {
            self->setSaving(false);
            // Another device saved first: this version can never be saved again,
            // so the sheet offers to load the newer one.
            if (error.kind() == MobileAPIError::Kind::server && error.statusCode() == 409)
                self->setHasLoadedRemoteProfile(false);
        }
        throw;
    } catch (...) {
        if (self)
            self->setSaving(false);
        throw;
    }
    if (self) {
        self->m_profile = answer;
        self->setUnits(normalizedUnits(answer.units));
        self->setSaving(false);
    }
    const ORVWord saved = wordWithSavedPlaybackProfile(word, answer, editorRepeatCount);
    co_return saved;
}

} // namespace talvoro
