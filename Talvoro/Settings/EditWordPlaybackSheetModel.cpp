#include "EditWordPlaybackSheetModel.h"

#include "Models/MobileAPIError.h"

namespace talvoro {

// Rows

PlaybackUnitEditorRows::PlaybackUnitEditorRows(WordPlaybackProfileEditorViewModel &editor, QObject *parent)
    : QAbstractListModel(parent)
    , m_editor(editor)
{
    for (const WordPlaybackUnit &entry : m_editor.units())
        m_order.append(entry.unit);
    using Editor = WordPlaybackProfileEditorViewModel;
    for (auto change : {&Editor::unitsChanged, &Editor::globalPreferenceChanged, &Editor::cachedUnitsChanged,
             &Editor::previewingUnitChanged})
        connect(&m_editor, change, this, &PlaybackUnitEditorRows::rebuild);
}

void PlaybackUnitEditorRows::rebuild()
{
    QList<ORVPlaybackUnit> order;
    for (const WordPlaybackUnit &entry : m_editor.units())
        order.append(entry.unit);
    if (order != m_order) {
        // A move re-creates the rows: a row being dragged is dropped where it lands.
        const bool countChanges = order.size() != m_order.size();
        beginResetModel();
        m_order = order;
        endResetModel();
        if (countChanges)
            Q_EMIT countChanged();
        return;
    }
    if (!m_order.isEmpty())
        Q_EMIT dataChanged(index(0), index(int(m_order.size()) - 1));
}

int PlaybackUnitEditorRows::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_order.size());
}

QHash<int, QByteArray> PlaybackUnitEditorRows::roleNames() const
{
    return {{UnitRole, "unit"}, {TitleRole, "title"}, {SymbolRole, "symbol"}, {UnitEnabledRole, "unitEnabled"},
        {VoiceIdRole, "voiceId"}, {VoiceTitleRole, "voiceTitle"}, {InheritedVoiceTitleRole, "inheritedVoiceTitle"},
        {HasOwnRateRole, "hasOwnRate"}, {RateTextRole, "rateText"}, {OwnRateRole, "ownRate"},
        {OwnRateTextRole, "ownRateText"}, {IsCachedRole, "isCached"}, {IsPreviewingRole, "isPreviewing"}};
}

QString PlaybackUnitEditorRows::inheritedVoiceTitle(ORVPlaybackUnit unit)
{
    return voiceLanguage(unit) == TTSVoiceLanguage::english ? QStringLiteral("继承全局英文音色")
                                                            : QStringLiteral("继承全局中文音色");
}

QString PlaybackUnitEditorRows::voiceTitle(const WordPlaybackUnit *entry, ORVPlaybackUnit unit)
{
    if (entry) {
        if (const std::optional<TTSVoice> voice = TTSVoice::catalogVoice(entry->voiceId))
            return voice->displayName;
    }
    return inheritedVoiceTitle(unit);
}

QString PlaybackUnitEditorRows::ownRateText(double rate)
{
    return QString::asprintf("%.2f 倍", rate);
}

QString PlaybackUnitEditorRows::rateText(const WordPlaybackUnit *entry)
{
    if (entry && entry->speechRate)
        return QStringLiteral("自定义 ") + ownRateText(*entry->speechRate);
    return QStringLiteral("继承全局语速");
}

QVariant PlaybackUnitEditorRows::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const ORVPlaybackUnit unit = m_order.at(index.row());
    const WordPlaybackUnit *entry = m_editor.entry(unit);
    const bool hasOwnRate = entry && entry->speechRate;
    switch (Role(role)) {
    case UnitRole:
        return rawValue(unit);
    case TitleRole:
        return title(unit);
    case SymbolRole:
        return symbolName(unit);
    case UnitEnabledRole:
        return entry && entry->enabled;
    case VoiceIdRole:
        return entry ? entry->voiceId.value_or(QString()) : QString();
    case VoiceTitleRole:
        return voiceTitle(entry, unit);
    case InheritedVoiceTitleRole:
        return inheritedVoiceTitle(unit);
    case HasOwnRateRole:
        return hasOwnRate;
    case RateTextRole:
        return rateText(entry);
    case OwnRateRole:
        return hasOwnRate ? *entry->speechRate : m_editor.effectiveSpeechRate(unit);
    case OwnRateTextRole:
        return ownRateText(hasOwnRate ? *entry->speechRate : m_editor.effectiveSpeechRate(unit));
    case IsCachedRole:
        return m_editor.cachedUnits().contains(unit);
    case IsPreviewingRole:
        return m_editor.previewingUnit() == unit;
    }
    return {};
}

// Sheet

EditWordPlaybackSheetModel::EditWordPlaybackSheetModel(ORVWord word, SaveCallback onSave, APIClientProtocol &apiClient,
    TTSServiceProtocol &ttsService, AppSession &session, GlobalPlaybackSession &playbackSession, QObject *parent)
    : QObject(parent)
    , m_onSave(std::move(onSave))
    , m_session(&session)
    , m_playbackSession(&playbackSession)
    , m_editor(std::move(word), apiClient, ttsService,
          [session = m_session]() -> std::optional<AuthenticatedSessionSnapshot> {
              return session ? session->state().snapshot() : std::nullopt;
          },
          this)
    , m_rows(m_editor, this)
{
    using Editor = WordPlaybackProfileEditorViewModel;
    for (auto change : {&Editor::isLoadingChanged, &Editor::isSavingChanged, &Editor::hasLoadedRemoteProfileChanged})
        connect(&m_editor, change, this, &EditWordPlaybackSheetModel::formStateChanged);
    connect(&session, &AppSession::stateChanged, this, [this] {
        if (m_started && m_loadedToken != currentToken())
            loadForCurrentToken();
    });
}

EditWordPlaybackSheetModel::~EditWordPlaybackSheetModel()
{
    closed();
}

bool EditWordPlaybackSheetModel::canSave() const
{
    return !m_editor.isLoading() && !m_editor.isSaving() && m_editor.hasLoadedRemoteProfile();
}

std::optional<QString> EditWordPlaybackSheetModel::currentToken() const
{
    if (!m_session || !m_session->state().snapshot())
        return std::nullopt;
    return m_session->state().snapshot()->accessToken;
}

void EditWordPlaybackSheetModel::loadForCurrentToken()
{
    m_loadedToken = currentToken();
    startLoad(*m_loadedToken);
}

void EditWordPlaybackSheetModel::startLoad(std::optional<QString> token)
{
    // Without a token the editor starts no load of its own, so the one still out
    // for the previous token has to be ended here, or its plan would be applied
    // and saved with a token that is no longer the session's.
    if (m_loadRun)
        m_loadRun->cancel();
    m_loadRun.emplace();
    m_editor.load(std::move(token), m_loadRun->token());
}

void EditWordPlaybackSheetModel::start()
{
    if (std::exchange(m_started, true))
        return;
    loadForCurrentToken();
}

void EditWordPlaybackSheetModel::reload()
{
    startLoad(currentToken());
}

void EditWordPlaybackSheetModel::save()
{
    if (m_editor.isSaving())
        return;
    runSave(this, &m_editor, m_onSave);
}

Task<> EditWordPlaybackSheetModel::runSave(QPointer<EditWordPlaybackSheetModel> self,
    QPointer<WordPlaybackProfileEditorViewModel> editor, SaveCallback onSave)
{
    try {
        const ORVWord saved = co_await WordPlaybackProfileEditorViewModel::save(editor);
        // The presenting screen learns of the save even when the sheet closed first.
        if (onSave)
            onSave(saved);
        if (self)
            Q_EMIT self->dismissRequested();
    } catch (...) {
        const std::exception_ptr error = std::current_exception();
        if (self && !isCancellation(error))
            self->m_editor.setErrorMessage(QStringLiteral("保存失败：") + describe(error));
    }
}

void EditWordPlaybackSheetModel::cancel()
{
    closed();
    Q_EMIT dismissRequested();
}

void EditWordPlaybackSheetModel::closed()
{
    if (m_playbackSession)
        m_editor.stopPreview(*m_playbackSession);
}

bool EditWordPlaybackSheetModel::handleDrop(const QString &text, const QString &targetUnit)
{
    const std::optional<ORVPlaybackUnit> dragged = playbackUnitFromRawValue(text);
    const std::optional<ORVPlaybackUnit> target = playbackUnitFromRawValue(targetUnit);
    if (!dragged || !target)
        return false;
    // Moved on the next turn: the move rebuilds the rows, and the drop is still
    // being delivered to one of them.
    QMetaObject::invokeMethod(
        this, [this, from = *dragged, to = *target] { m_editor.moveUnit(from, to); }, Qt::QueuedConnection);
    return true;
}

void EditWordPlaybackSheetModel::setUnitEnabled(const QString &unit, bool enabled)
{
    if (const auto u = playbackUnitFromRawValue(unit))
        m_editor.setUnitEnabled(enabled, *u);
}

void EditWordPlaybackSheetModel::setVoice(const QString &unit, const QString &voiceId)
{
    if (const auto u = playbackUnitFromRawValue(unit))
        m_editor.setVoice(voiceId.isEmpty() ? std::nullopt : std::optional(voiceId), *u);
}

void EditWordPlaybackSheetModel::inheritRate(const QString &unit)
{
    if (const auto u = playbackUnitFromRawValue(unit))
        m_editor.updateUnit(std::nullopt, *u);
}

void EditWordPlaybackSheetModel::useOwnRate(const QString &unit)
{
    if (const auto u = playbackUnitFromRawValue(unit))
        m_editor.updateUnit(m_editor.effectiveSpeechRate(*u), *u);
}

void EditWordPlaybackSheetModel::setOwnRate(const QString &unit, double rate)
{
    if (const auto u = playbackUnitFromRawValue(unit))
        m_editor.updateUnit(rate, *u);
}

void EditWordPlaybackSheetModel::preview(const QString &unit)
{
    const auto u = playbackUnitFromRawValue(unit);
    if (!u || !m_playbackSession)
        return;
    m_editor.previewUnit(*u, m_session ? m_session->state().snapshot() : std::nullopt, *m_playbackSession);
}

QVariantList EditWordPlaybackSheetModel::voiceMenuEntries(const QString &unit) const
{
    QVariantList entries;
    const auto u = playbackUnitFromRawValue(unit);
    if (!u)
        return entries;
    const TTSVoiceLanguage language = voiceLanguage(*u);
    for (const TTSVoiceCategory category : categories(language)) {
        entries.append(QVariantMap {{QStringLiteral("isHeader"), true}, {QStringLiteral("title"), title(category)},
            {QStringLiteral("id"), QString()}});
        for (const TTSVoice &voice : TTSVoice::voices(language, category)) {
            entries.append(QVariantMap {{QStringLiteral("isHeader"), false},
                {QStringLiteral("title"), voice.displayName}, {QStringLiteral("id"), voice.id}});
        }
    }
    return entries;
}

} // namespace talvoro
