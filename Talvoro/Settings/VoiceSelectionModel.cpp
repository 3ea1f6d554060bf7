#include "Settings/VoiceSelectionModel.h"

#include "DesignSystem/ORVListRowPosition.h"
#include "Models/MobileAPIError.h"
#include "Models/PlaybackUnit.h"
#include "Platform/Text.h"

namespace talvoro {

namespace {

using SyncState = PlaybackPreferenceSyncResult::State;
using Presentation = VoiceCatalogPresentation;

TTSVoiceLanguage voiceLanguage(VoiceSelectionModel::Language language)
{
    return language == VoiceSelectionModel::Language::English ? TTSVoiceLanguage::english : TTSVoiceLanguage::chinese;
}

QString languageTitle(TTSVoiceLanguage language)
{
    return language == TTSVoiceLanguage::english ? QStringLiteral("英文音色") : QStringLiteral("中文音色");
}

const QString notSignedInMessage = MobileAPIError::unauthorized().description();

} // namespace

void VoiceCatalogRowsModel::setOffline(const QList<bool> &offline)
{
    QList<int> changed;
    for (qsizetype i = 0; i < m_rows.size() && i < offline.size(); ++i) {
        if (m_rows[i].isOffline != offline[i]) {
            m_rows[i].isOffline = offline[i];
            changed.append(int(i));
        }
    }
    for (int row : changed)
        Q_EMIT dataChanged(index(row), index(row), {IsOfflineRole});
}

void VoiceCatalogRowsModel::setContext(Context context, const QList<int> &changedRoles)
{
    m_context = std::move(context);
    allRowsChanged(changedRoles);
}

QVariant VoiceCatalogRowsModel::data(const QModelIndex &index, int role) const
{
    const Row *row = rowAt(m_rows, index);
    if (!row)
        return {};
    const TTSVoice &voice = row->voice;
    const bool isGlobal = m_context.isGlobal && m_context.isGlobal(voice);
    const bool isPendingGlobal = m_context.hasPendingSynchronization && isGlobal;
    const bool isSaving = !m_context.savingVoiceID.isEmpty() && m_context.savingVoiceID == voice.id;
    switch (Role(role)) {
    case VoiceIdRole:
        return voice.id;
    case DisplayNameRole:
        return voice.displayName;
    case LocaleRole:
        return voice.locale;
    case IsGlobalRole:
        return isGlobal;
    case IsPendingGlobalRole:
        return isPendingGlobal;
    case IsSavingRole:
        return isSaving;
    case IsOfflineRole:
        return row->isOffline;
    case RowPositionRole:
        return int(ORVListRowPosition::forIndex(index.row(), rowCount()));
    case SetGlobalTextRole:
        return Presentation::setGlobalText(isSaving, isPendingGlobal, isGlobal);
    case SetGlobalAccessibleNameRole:
        return Presentation::setGlobalAccessibleName(voice.displayName, isPendingGlobal, isGlobal);
    case PreviewSymbolRole:
        return Presentation::previewPresentation(m_context.previewStatus, voice.id).symbol;
    case PreviewStatusTextRole:
        return Presentation::previewPresentation(m_context.previewStatus, voice.id).statusText;
    case PreviewToneRole:
        return int(Presentation::previewPresentation(m_context.previewStatus, voice.id).tone);
    case PreviewLoadingRole:
        return Presentation::previewPresentation(m_context.previewStatus, voice.id).isLoading;
    }
    return {};
}

QHash<int, QByteArray> VoiceCatalogRowsModel::roleNames() const
{
    return {
        {VoiceIdRole, "voiceId"},
        {DisplayNameRole, "displayName"},
        {LocaleRole, "locale"},
        {IsGlobalRole, "isGlobal"},
        {IsPendingGlobalRole, "isPendingGlobal"},
        {IsSavingRole, "isSaving"},
        {IsOfflineRole, "isOffline"},
        {RowPositionRole, "rowPosition"},
        {SetGlobalTextRole, "setGlobalText"},
        {SetGlobalAccessibleNameRole, "setGlobalAccessibleName"},
        {PreviewSymbolRole, "previewSymbol"},
        {PreviewStatusTextRole, "previewStatusText"},
        {PreviewToneRole, "previewTone"},
        {PreviewLoadingRole, "previewLoading"},
    };
}

VoiceSelectionModel::VoiceSelectionModel(PlaybackPreferenceEditorServices services, QObject *parent)
    : QObject(parent)
    , m_editor(std::move(services), this)
    , m_voices(this)
{
    connect(&m_editor, &PlaybackPreferenceEditor::preferenceChanged, this, [this] {
        Q_EMIT preferenceChanged();
        refreshRowContext({VoiceCatalogRowsModel::IsGlobalRole, VoiceCatalogRowsModel::IsPendingGlobalRole,
            VoiceCatalogRowsModel::SetGlobalTextRole, VoiceCatalogRowsModel::SetGlobalAccessibleNameRole});
    });
    connect(&m_editor, &PlaybackPreferenceEditor::preferenceApplied, this,
        [this] { setSpellingRate(preference().spellingRate); });
    connect(&m_editor, &PlaybackPreferenceEditor::pendingWriteStored, this, [this] { setSynchronizationFailed(false); });
    connect(&m_editor, &PlaybackPreferenceEditor::hasConfirmedBaselineChanged, this, &VoiceSelectionModel::bannerChanged);
    connect(&m_editor, &PlaybackPreferenceEditor::hasPendingSynchronizationChanged, this, [this] {
        Q_EMIT bannerChanged();
        refreshRowContext({VoiceCatalogRowsModel::IsPendingGlobalRole, VoiceCatalogRowsModel::SetGlobalTextRole,
            VoiceCatalogRowsModel::SetGlobalAccessibleNameRole});
    });
    connect(&m_editor, &PlaybackPreferenceEditor::availabilityChanged, this, [this] {
        Q_EMIT bannerChanged();
        handleAvailabilityChange();
    });
    if (GlobalPlaybackSession *playback = m_editor.services().playbackSession) {
        connect(playback, &GlobalPlaybackSession::playbackViewModelChanged, this, [this] {
            observePlaybackViewModel();
            Q_EMIT hasPlaybackViewModelChanged();
        });
    }
    if (AppActivity *activity = m_editor.services().appActivity) {
        connect(activity, &AppActivity::activeChanged, this, [this](bool active) {
            if (active)
                sceneBecameActive();
        });
    }
    observePlaybackViewModel();
    rebuildRows();
}

void VoiceSelectionModel::setSampleText(const QString &text)
{
    const QString limited = text.left(maximumSampleTextLength);
    if (limited == m_sampleText)
        return;
    const QString previousSample = previewSample();
    m_sampleText = limited;
    Q_EMIT sampleTextChanged();
    if (previewSample() != previousSample)
        refreshOfflineBadges();
}

void VoiceSelectionModel::setSpellingSample(const QString &text)
{
    if (text == m_spellingSample)
        return;
    m_spellingSample = text;
    Q_EMIT spellingSampleChanged();
}

bool VoiceSelectionModel::canPreviewSpelling() const
{
    return !spokenSpelling(m_spellingSample).isEmpty();
}

QString VoiceSelectionModel::previewSample() const
{
    const QString trimmed = m_sampleText.trimmed();
    return trimmed.isEmpty() ? defaultSampleText() : trimmed;
}

void VoiceSelectionModel::setSelectedLanguage(Language language)
{
    if (language == m_selectedLanguage)
        return;
    m_selectedLanguage = language;
    m_selectedCategory.reset();
    Q_EMIT filterChanged();
    rebuildRows();
}

void VoiceSelectionModel::setSelectedCategory(std::optional<TTSVoiceCategory> category)
{
    // A category of the other language would list nothing.
    if (category && language(*category) != voiceLanguage(m_selectedLanguage))
        category.reset();
    if (category == m_selectedCategory)
        return;
    m_selectedCategory = category;
    Q_EMIT filterChanged();
    rebuildRows();
}

void VoiceSelectionModel::setSelectedCategoryCode(const QString &code)
{
    setSelectedCategory(voiceCategoryFromLocaleCode(code));
}

QVariantList VoiceSelectionModel::filterPills() const
{
    const TTSVoiceLanguage language = voiceLanguage(m_selectedLanguage);
    QVariantList pills;
    auto add = [&pills](const QString &title, int count, bool selected, const QString &category) {
        pills.append(QVariantMap {{QStringLiteral("title"), title}, {QStringLiteral("count"), count},
            {QStringLiteral("isSelected"), selected}, {QStringLiteral("category"), category},
            {QStringLiteral("accessibleName"), Presentation::pillAccessibleName(title, count)}});
    };
    add(QStringLiteral("全部"), int(TTSVoice::voices(language).size()), !m_selectedCategory, QString());
    for (TTSVoiceCategory category : categories(language)) {
        add(title(category), int(TTSVoice::voices(language, category).size()), m_selectedCategory == category,
            localeCode(category));
    }
    return pills;
}

QString VoiceSelectionModel::voiceListHeader() const
{
    if (m_selectedCategory)
        return title(*m_selectedCategory);
    return languageTitle(voiceLanguage(m_selectedLanguage)) + QStringLiteral(" · 全部");
}

QList<TTSVoice> VoiceSelectionModel::listedVoices() const
{
    return TTSVoice::voices(voiceLanguage(m_selectedLanguage), m_selectedCategory);
}

void VoiceSelectionModel::setSpeechRateEn(double rate)
{
    const double snapped = Presentation::snappedRate(rate);
    if (snapped == preference().speechRateEn)
        return;
    PlaybackPreference edited = preference();
    edited.speechRateEn = snapped;
    m_editor.setPreference(edited);
}

void VoiceSelectionModel::setSpeechRateZh(double rate)
{
    const double snapped = Presentation::snappedRate(rate);
    if (snapped == preference().speechRateZh)
        return;
    PlaybackPreference edited = preference();
    edited.speechRateZh = snapped;
    m_editor.setPreference(edited);
}

void VoiceSelectionModel::setSpellingRate(double rate)
{
    if (rate == m_spellingRate)
        return;
    m_spellingRate = rate;
    Q_EMIT spellingRateChanged();
}

bool VoiceSelectionModel::hasPlaybackViewModel() const
{
    const GlobalPlaybackSession *playback = m_editor.services().playbackSession;
    return playback && playback->playbackViewModel();
}

std::optional<VoiceOfflineBehaviorPresentation> VoiceSelectionModel::offlineBehavior(ORVNetworkAvailability availability,
    bool hasConfirmedBaseline, bool hasPendingSynchronization, bool synchronizationFailed)
{
    const QString pendingMessage
        = QStringLiteral("设置已经在本机生效；应用会保留待同步记录，不会因页面关闭或应用重启而丢失。");
    const QString syncSymbol = QStringLiteral("arrow.triangle.2.circlepath");
    const QString offlineSymbol = QStringLiteral("wifi.slash");
    if (availability == ORVNetworkAvailability::unavailable) {
        if (!hasConfirmedBaseline) {
            return VoiceOfflineBehaviorPresentation {QStringLiteral("首次设置需要联网"),
                QStringLiteral("当前设备没有可验证的账号音色基线。联网加载一次后，后续离线更改可在本机立即生效。"),
                offlineSymbol, Presentation::Warning};
        }
        if (hasPendingSynchronization) {
            return VoiceOfflineBehaviorPresentation {QStringLiteral("已离线保存"),
                QStringLiteral("更改已在本机生效，并会在网络恢复后按账号版本自动同步。"), syncSymbol,
                Presentation::Warning};
        }
        return VoiceOfflineBehaviorPresentation {QStringLiteral("离线模式"),
            QStringLiteral("可以继续更改音色和语速；更改会先在本机生效，并安全排队等待联网同步。"), offlineSymbol,
            Presentation::Warning};
    }
    if (!hasPendingSynchronization)
        return std::nullopt;
    if (synchronizationFailed) {
        return VoiceOfflineBehaviorPresentation {
            QStringLiteral("云端同步待重试"), pendingMessage, syncSymbol, Presentation::Warning};
    }
    return VoiceOfflineBehaviorPresentation {QStringLiteral("正在同步设置"), pendingMessage, syncSymbol, Presentation::Accent};
}

std::optional<VoiceOfflineBehaviorPresentation> VoiceSelectionModel::offlineBehavior() const
{
    return offlineBehavior(
        m_editor.availability(), hasConfirmedBaseline(), hasPendingSynchronization(), m_synchronizationFailed);
}

QString VoiceSelectionModel::bannerTitle() const
{
    const auto banner = offlineBehavior();
    return banner ? banner->title : QString();
}

QString VoiceSelectionModel::bannerMessage() const
{
    const auto banner = offlineBehavior();
    return banner ? banner->message : QString();
}

QString VoiceSelectionModel::bannerSymbol() const
{
    const auto banner = offlineBehavior();
    return banner ? banner->systemImage : QString();
}

VoiceCatalogPresentation::Tone VoiceSelectionModel::bannerTone() const
{
    const auto banner = offlineBehavior();
    return banner ? banner->color : Presentation::Warning;
}

TTSVoice VoiceSelectionModel::globalEnglishVoice() const
{
    return TTSVoice::catalogVoice(preference().voiceEn).value_or(TTSVoice::defaultEnglish());
}

bool VoiceSelectionModel::isGlobal(const TTSVoice &voice) const
{
    const std::optional<TTSVoiceCategory> category = voice.category();
    if (!category)
        return false;
    return language(*category) == TTSVoiceLanguage::english ? voice.id == preference().voiceEn
                                                            : voice.id == preference().voiceZh;
}

double VoiceSelectionModel::speechRate(const TTSVoice &voice) const
{
    const std::optional<TTSVoiceCategory> category = voice.category();
    if (category && language(*category) == TTSVoiceLanguage::chinese)
        return preference().speechRateZh;
    return preference().speechRateEn;
}

Task<> VoiceSelectionModel::load()
{
    using Kind = PreferenceLoadOutcome::Kind;
    QPointer<VoiceSelectionModel> self(this);
    const PreferenceLoadOutcome outcome = co_await m_editor.load();
    if (!self)
        co_return;
    switch (outcome.kind) {
    case Kind::noOwnerKey:
        showError(QStringLiteral("当前账号无法建立安全的本地设置分区，请检查应用配置"));
        break;
    case Kind::notSignedIn:
        showError(notSignedInMessage);
        break;
    case Kind::pushed:
        applySyncState(*outcome.syncState);
        break;
    case Kind::confirmed:
        setSynchronizationFailed(false);
        break;
    case Kind::fetchFailed:
        if (!outcome.connectivityFailure)
            showError(QStringLiteral("加载音色设置失败：") + outcome.errorDescription);
        break;
    case Kind::offline:
    case Kind::dropped:
        break;
    }
}

Task<std::optional<PlaybackPreferenceSyncResult::State>> VoiceSelectionModel::save(
    PlaybackPreference preference, QSet<PlaybackPreferenceField> changedFields)
{
    using Kind = PreferenceSaveOutcome::Kind;
    QPointer<VoiceSelectionModel> self(this);
    const PreferenceSaveOutcome outcome = co_await m_editor.save(std::move(preference), std::move(changedFields));
    if (!self)
        co_return std::nullopt;
    std::optional<SyncState> state;
    switch (outcome.kind) {
    case Kind::notSignedIn:
        showError(notSignedInMessage);
        break;
    case Kind::missingBaseline:
        showError(QStringLiteral("首次设置需要联网获取账号当前配置，当前未写入任何默认值"));
        break;
    case Kind::storeFailed:
        showError(QStringLiteral("保存设置失败：") + outcome.errorDescription);
        break;
    case Kind::storedOffline:
        state = SyncState::connectivityUnavailable;
        break;
    case Kind::pushed:
        state = outcome.syncState;
        applySyncState(*state);
        break;
    case Kind::dropped:
        break;
    }
    co_return state;
}

Task<std::optional<PlaybackPreferenceSyncResult::State>> VoiceSelectionModel::synchronizePending(bool force)
{
    QPointer<VoiceSelectionModel> self(this);
    const std::optional<PlaybackPreferenceSyncResult> result = co_await m_editor.synchronizePending(force);
    if (!self || !result)
        co_return std::nullopt;
    applySyncState(result->state);
    const std::optional<SyncState> state = result->state;
    co_return state;
}

void VoiceSelectionModel::applySyncState(PlaybackPreferenceSyncResult::State state)
{
    // The editor has set the baseline and pending flags; these are the screen's own.
    switch (state) {
    case SyncState::noPending:
    case SyncState::synchronized:
        setSynchronizationFailed(false);
        break;
    case SyncState::failed:
        setSynchronizationFailed(true);
        break;
    case SyncState::authenticationRequired:
        showError(notSignedInMessage);
        break;
    case SyncState::deferred:
    case SyncState::connectivityUnavailable:
        break;
    }
}

Task<> VoiceSelectionModel::saveAll()
{
    setIsSaving(true);
    PlaybackPreference edited = preference();
    edited.spellingRate = m_spellingRate;
    QPointer<VoiceSelectionModel> self(this);
    const QSet<PlaybackPreferenceField> fields = everyPlaybackPreferenceField();
    const std::optional<SyncState> state = co_await save(edited, fields);
    if (!self)
        co_return;
    if (state == SyncState::synchronized)
        Q_EMIT dismissRequested();
    setIsSaving(false);
}

Task<> VoiceSelectionModel::setGlobalVoice(TTSVoice voice)
{
    if (m_pendingGlobalVoiceID)
        co_return;
    const std::optional<TTSVoiceCategory> category = voice.category();
    if (!category)
        co_return;
    PlaybackPreference edited = preference();
    QSet<PlaybackPreferenceField> fields;
    if (language(*category) == TTSVoiceLanguage::english) {
        edited.voiceEn = voice.id;
        fields = {PlaybackPreferenceField::englishVoice};
    } else {
        edited.voiceZh = voice.id;
        fields = {PlaybackPreferenceField::chineseVoice};
    }
    setPendingGlobalVoiceID(voice.id);
    QPointer<VoiceSelectionModel> self(this);
    co_await save(edited, fields);
    if (self)
        setPendingGlobalVoiceID(std::nullopt);
}

void VoiceSelectionModel::previewVoice(const TTSVoice &voice)
{
    playPreview(previewSample(), voice, speechRate(voice));
}

void VoiceSelectionModel::previewSpelling()
{
    const QString spelling = spokenSpelling(m_spellingSample);
    if (spelling.isEmpty())
        return;
    playPreview(spelling, globalEnglishVoice(), m_spellingRate);
}

void VoiceSelectionModel::playPreview(const QString &text, const TTSVoice &voice, double rate)
{
    GlobalPlaybackSession *playback = m_editor.services().playbackSession;
    if (!playback)
        return;
    const std::optional<AuthenticatedSessionSnapshot> snapshot = m_editor.authenticatedSnapshot();
    if (!snapshot) {
        playback->reset();
        return;
    }
    if (const std::optional<qint64> active = playback->activeUserID(); active && *active != snapshot->user.id)
        playback->reset();
    playback->setActiveUserID(snapshot->user.id);
    PlaybackViewModel &viewModel = playback->ensurePlaybackViewModel();
    viewModel.updateSession(snapshot->accessToken, snapshot->user);
    viewModel.playTransient(text, voice, float(rate), voice.id);
}

void VoiceSelectionModel::start()
{
    load();
}

void VoiceSelectionModel::startSaveAll()
{
    if (!m_isSaving)
        saveAll();
}

void VoiceSelectionModel::startSetGlobalVoice(const QString &voiceId)
{
    if (const std::optional<TTSVoice> voice = TTSVoice::catalogVoice(voiceId))
        setGlobalVoice(*voice);
}

void VoiceSelectionModel::startPreview(const QString &voiceId)
{
    if (const std::optional<TTSVoice> voice = TTSVoice::catalogVoice(voiceId))
        previewVoice(*voice);
}

void VoiceSelectionModel::clearOperationError()
{
    if (!m_operationError)
        return;
    m_operationError.reset();
    Q_EMIT operationErrorChanged();
}

void VoiceSelectionModel::sceneBecameActive()
{
    if (!m_editor.isOffline() && hasPendingSynchronization())
        synchronizePending(false);
}

void VoiceSelectionModel::handleAvailabilityChange()
{
    if (m_editor.availability() == ORVNetworkAvailability::available && hasPendingSynchronization())
        synchronizePending(true);
}

void VoiceSelectionModel::showError(const QString &message)
{
    m_operationError = OperationError {text::newUuidText(), message};
    Q_EMIT operationErrorChanged();
}

void VoiceSelectionModel::setIsSaving(bool saving)
{
    if (saving == m_isSaving)
        return;
    m_isSaving = saving;
    Q_EMIT isSavingChanged();
}

void VoiceSelectionModel::setPendingGlobalVoiceID(std::optional<QString> id)
{
    if (id == m_pendingGlobalVoiceID)
        return;
    m_pendingGlobalVoiceID = std::move(id);
    Q_EMIT pendingGlobalVoiceIDChanged();
    refreshRowContext({VoiceCatalogRowsModel::IsSavingRole, VoiceCatalogRowsModel::SetGlobalTextRole});
}

void VoiceSelectionModel::setSynchronizationFailed(bool failed)
{
    if (failed == m_synchronizationFailed)
        return;
    m_synchronizationFailed = failed;
    Q_EMIT bannerChanged();
}

void VoiceSelectionModel::rebuildRows()
{
    QList<VoiceCatalogRowsModel::Row> rows;
    for (const TTSVoice &voice : listedVoices())
        rows.append({voice, false});
    refreshRowContext({});
    m_voices.setRows(std::move(rows));
    refreshOfflineBadges();
}

void VoiceSelectionModel::refreshOfflineBadges()
{
    const GlobalPlaybackSession *playback = m_editor.services().playbackSession;
    if (!playback || !playback->speechCacheLookup())
        return;
    const QString sample = previewSample();
    QList<bool> offline;
    for (const VoiceCatalogRowsModel::Row &row : m_voices.rows())
        offline.append(playback->speechCacheLookup()(sample, row.voice));
    m_voices.setOffline(offline);
}

void VoiceSelectionModel::refreshRowContext(const QList<int> &roles)
{
    VoiceCatalogRowsModel::Context context;
    context.isGlobal = [this](const TTSVoice &voice) { return isGlobal(voice); };
    context.hasPendingSynchronization = hasPendingSynchronization();
    context.savingVoiceID = pendingGlobalVoiceIDText();
    if (m_observedViewModel)
        context.previewStatus = m_observedViewModel->transientPlaybackStatus();
    m_voices.setContext(std::move(context), roles);
}

void VoiceSelectionModel::observePlaybackViewModel()
{
    GlobalPlaybackSession *playback = m_editor.services().playbackSession;
    PlaybackViewModel *viewModel = playback ? playback->playbackViewModel() : nullptr;
    if (viewModel == m_observedViewModel)
        return;
    disconnect(m_previewObservation);
    m_observedViewModel = viewModel;
    if (viewModel) {
        m_previewObservation
            = connect(viewModel, &PlaybackViewModel::transientPlaybackStatusChanged, this, [this, viewModel] {
                  const TransientPlaybackStatus::Kind kind = viewModel->transientPlaybackStatus().kind;
                  refreshRowContext({VoiceCatalogRowsModel::PreviewSymbolRole,
                      VoiceCatalogRowsModel::PreviewStatusTextRole, VoiceCatalogRowsModel::PreviewToneRole,
                      VoiceCatalogRowsModel::PreviewLoadingRole});
                  // A preview that ended has usually just put its audio in the cache.
                  if (kind == TransientPlaybackStatus::Kind::idle || kind == TransientPlaybackStatus::Kind::failed)
                      refreshOfflineBadges();
              });
    }
    refreshRowContext({VoiceCatalogRowsModel::PreviewSymbolRole, VoiceCatalogRowsModel::PreviewStatusTextRole,
        VoiceCatalogRowsModel::PreviewToneRole, VoiceCatalogRowsModel::PreviewLoadingRole});
}

} // namespace talvoro
