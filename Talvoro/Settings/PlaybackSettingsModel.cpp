#include "Settings/PlaybackSettingsModel.h"

#include "DesignSystem/ORVListRowPosition.h"
#include "Models/MobileAPIError.h"

namespace talvoro {

namespace {

using SyncState = PlaybackPreferenceSyncResult::State;

const QString noPartitionText = QStringLiteral("当前账号无法建立安全的本地设置分区");
const QString notSignedInText = MobileAPIError::unauthorized().description();
const QString firstSetupText = QStringLiteral("首次设置需要联网获取账号当前配置");
const QString storedLocallyText = QStringLiteral("设置已在本机生效，将在网络恢复后自动同步");

struct Segment {
    const char16_t *rawName;
    const char16_t *title;
};

// This screen's own row titles, in the canonical order of the units.
constexpr Segment segments[] = {
    {u"WORD", u"单词原文"},
    {u"SPELLING", u"逐字母拼写"},
    {u"TRANSLATION_ZH", u"中文译词"},
    {u"EXPLANATION", u"说明/场景"},
};

} // namespace

PlaybackSettingsModel::PlaybackSettingsModel(
    PlaybackPreferenceEditorServices services, SettingsScreens screens, QObject *parent)
    : QObject(parent)
    , m_editor(new PlaybackPreferenceEditor(std::move(services), this))
    , m_screens(std::move(screens))
    , m_editingBaselineItems(m_editor->preference().playbackItems)
{
    connect(m_editor, &PlaybackPreferenceEditor::preferenceChanged, this, &PlaybackSettingsModel::preferenceChanged);
    // Whatever was loaded, saved or synchronised is what Save compares with next.
    connect(m_editor, &PlaybackPreferenceEditor::preferenceApplied, this,
        [this] { m_editingBaselineItems = m_editor->preference().playbackItems; });
    if (AppSession *session = m_editor->services().session)
        connect(session, &AppSession::stateChanged, this, &PlaybackSettingsModel::followAccount);
}

QVariantList PlaybackSettingsModel::allSegments() const
{
    QVariantList rows;
    const int count = int(std::size(segments));
    for (int i = 0; i < count; ++i) {
        rows.append(QVariantMap {{QStringLiteral("rawName"), QString::fromUtf16(segments[i].rawName)},
            {QStringLiteral("title"), QString::fromUtf16(segments[i].title)},
            {QStringLiteral("rowPosition"), int(ORVListRowPosition::forIndex(i, count))}});
    }
    return rows;
}

QVariantMap PlaybackSettingsModel::itemEnabled() const
{
    QVariantMap enabled;
    for (const Segment &segment : segments) {
        const QString rawName = QString::fromUtf16(segment.rawName);
        enabled.insert(rawName, isItemEnabled(rawName));
    }
    return enabled;
}

bool PlaybackSettingsModel::isItemEnabled(const QString &rawName) const
{
    return preference().playbackItems.contains(rawName);
}

void PlaybackSettingsModel::setItemEnabled(const QString &rawName, bool on)
{
    PlaybackPreference edited = preference();
    QList<QString> &items = edited.playbackItems;
    if (on) {
        if (items.contains(rawName))
            return;
        items.append(rawName);
    } else {
        // Counting entries is not enough: ["WORD", "WORD"] has two, and taking
        // every "WORD" out would leave a preference that plays nothing.
        if (items.size() < 2 || items.count(rawName) == items.size())
            return;
        items.removeAll(rawName);
    }
    m_editor->setPreference(edited);
}

void PlaybackSettingsModel::setIsSaved(bool shown)
{
    if (m_isSaved == shown)
        return;
    m_isSaved = shown;
    Q_EMIT savedChanged();
}

void PlaybackSettingsModel::setShowOperationError(bool shown)
{
    if (m_showOperationError == shown)
        return;
    m_showOperationError = shown;
    Q_EMIT operationErrorChanged();
}

void PlaybackSettingsModel::setShowVoiceSelection(bool shown)
{
    if (m_showVoiceSelection == shown)
        return;
    m_showVoiceSelection = shown;
    Q_EMIT showVoiceSelectionChanged();
}

void PlaybackSettingsModel::showError(const QString &message)
{
    m_operationErrorMessage = message;
    m_showOperationError = true;
    Q_EMIT operationErrorChanged();
}

void PlaybackSettingsModel::showSuccess(const QString &message)
{
    m_saveConfirmationMessage = message;
    m_isSaved = true;
    Q_EMIT savedChanged();
}

void PlaybackSettingsModel::setLoading(bool loading)
{
    if (m_isLoading == loading)
        return;
    m_isLoading = loading;
    Q_EMIT busyChanged();
}

void PlaybackSettingsModel::setSaving(bool saving)
{
    if (m_isSaving == saving)
        return;
    m_isSaving = saving;
    Q_EMIT busyChanged();
}

void PlaybackSettingsModel::followAccount()
{
    // The load follows the account: another user, another backend, a sign-out.
    if (accountOwnerKey() == m_taskKey)
        return;
    m_taskKey = accountOwnerKey();
    load();
}

void PlaybackSettingsModel::appeared()
{
    m_taskKey = accountOwnerKey();
    load();
}

Task<> PlaybackSettingsModel::load()
{
    using Kind = PreferenceLoadOutcome::Kind;
    const std::optional<QString> key = accountOwnerKey();
    if (!key) {
        // No account to load for: a load still running belongs to the one before.
        ++m_loadGeneration;
        setLoading(false);
        showError(noPartitionText);
        co_return;
    }
    // Once per account: coming back from the cache screen keeps unsaved switches,
    // and a load that failed is not repeated.
    if (m_loadedOwnerKey == key)
        co_return;
    m_loadedOwnerKey = key;
    const quint64 generation = ++m_loadGeneration;
    setLoading(true);
    QPointer<PlaybackSettingsModel> self(this);
    const PreferenceLoadOutcome outcome = co_await m_editor->load();
    if (!self || self->m_loadGeneration != generation)
        co_return;
    switch (outcome.kind) {
    case Kind::noOwnerKey:
        self->showError(noPartitionText);
        break;
    case Kind::notSignedIn:
        self->showError(notSignedInText);
        break;
    case Kind::offline:
        if (!self->hasConfirmedBaseline())
            self->showError(firstSetupText);
        break;
    case Kind::pushed:
        self->applySyncResult(*outcome.syncState, false);
        break;
    case Kind::fetchFailed:
        // Without a baseline the user has to know why nothing can be saved.
        if (!outcome.connectivityFailure || !self->hasConfirmedBaseline())
            self->showError(QStringLiteral("播放偏好加载失败：") + outcome.errorDescription);
        break;
    case Kind::confirmed:
    case Kind::dropped:
        break;
    }
    self->setLoading(false);
}

Task<> PlaybackSettingsModel::save()
{
    using Kind = PreferenceSaveOutcome::Kind;
    if (m_isSaving)
        co_return;
    // Unchanged items need no account, network or baseline.
    if (preference().playbackItems == m_editingBaselineItems) {
        showSuccess(QStringLiteral("播放偏好未发生变化"));
        co_return;
    }
    if (!m_editor->authenticatedSnapshot() || !accountOwnerKey()) {
        showError(notSignedInText);
        co_return;
    }
    if (!hasConfirmedBaseline()) {
        showError(firstSetupText);
        co_return;
    }
    setSaving(true);
    const PlaybackPreference edited = preference();
    const QSet<PlaybackPreferenceField> fields {PlaybackPreferenceField::playbackItems};
    QPointer<PlaybackSettingsModel> self(this);
    const PreferenceSaveOutcome outcome = co_await m_editor->save(edited, fields);
    if (!self)
        co_return;
    switch (outcome.kind) {
    case Kind::notSignedIn:
        self->showError(notSignedInText);
        break;
    case Kind::missingBaseline:
        self->showError(firstSetupText);
        break;
    case Kind::storeFailed:
        self->showError(QStringLiteral("播放偏好无法安全保存：") + outcome.errorDescription);
        break;
    case Kind::storedOffline:
        self->showSuccess(storedLocallyText);
        break;
    case Kind::pushed:
        self->applySyncResult(*outcome.syncState, true);
        break;
    case Kind::dropped:
        break;
    }
    self->setSaving(false);
}

void PlaybackSettingsModel::applySyncResult(PlaybackPreferenceSyncResult::State state, bool showMessages)
{
    // The editor has applied the result's preference and set both flags from the record.
    switch (state) {
    case SyncState::deferred:
    case SyncState::connectivityUnavailable:
    case SyncState::failed:
        if (showMessages)
            showSuccess(storedLocallyText);
        break;
    case SyncState::authenticationRequired:
        showError(QStringLiteral("设置已保存到本机，但登录状态已失效，重新登录后将同步"));
        break;
    case SyncState::noPending:
    case SyncState::synchronized:
        if (showMessages)
            showSuccess(QStringLiteral("播放偏好设置已更新"));
        break;
    }
}

void PlaybackSettingsModel::reloadFromLocalRecord()
{
    if (const std::optional<QString> key = accountOwnerKey())
        m_editor->readLocalRecord(*key);
}

void PlaybackSettingsModel::voiceSelectionClosed()
{
    setShowVoiceSelection(false);
    reloadFromLocalRecord();
}

CacheManagementModel *PlaybackSettingsModel::makeCacheManagementModel(QObject *owner)
{
    return m_screens.cacheManagement ? m_screens.cacheManagement(owner) : nullptr;
}

VoiceSelectionModel *PlaybackSettingsModel::makeVoiceSelectionModel(QObject *owner)
{
    return m_screens.voiceSelection ? m_screens.voiceSelection(owner) : nullptr;
}

} // namespace talvoro
