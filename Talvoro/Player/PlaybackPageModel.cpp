#include "Player/PlaybackPageModel.h"

#include "Platform/RandomSource.h"
#include "Platform/Text.h"
#include "Playback/GlobalPlaybackSession.h"

namespace talvoro {

PlaybackPageModel::PlaybackPageModel(GlobalPlaybackSession &session, RandomSource &random, QObject *parent)
    : QObject(parent)
    , m_session(session)
    , m_random(random)
{
    connect(&m_session, &GlobalPlaybackSession::contextChanged, this, &PlaybackPageModel::changed);
    connect(&m_session, &GlobalPlaybackSession::playbackViewModelChanged, this, [this] {
        observeViewModel();
        Q_EMIT changed();
    });
    observeViewModel();
    resetIndex();
}

void PlaybackPageModel::setExpectedContextId(const QString &id)
{
    if (m_expectedContextId == id)
        return;
    m_expectedContextId = id;
    // Another list is another page: it starts from that list's playing word.
    resetIndex();
    Q_EMIT changed();
}

void PlaybackPageModel::observeViewModel()
{
    PlaybackViewModel *current = m_session.playbackViewModel();
    if (m_observed == current)
        return;
    for (const auto &connection : std::as_const(m_observation))
        disconnect(connection);
    m_observation.clear();
    m_observed = current;
    if (!current)
        return;
    m_observation = {
        connect(current, &PlaybackViewModel::currentPlayingIndexChanged, this, &PlaybackPageModel::syncCurrentIndex),
        connect(current, &PlaybackViewModel::playbackStateChanged, this, &PlaybackPageModel::changed),
        connect(current, &PlaybackViewModel::loopModeChanged, this, &PlaybackPageModel::changed),
        connect(current, &PlaybackViewModel::currentUnitPresentationChanged, this, &PlaybackPageModel::changed),
        connect(current, &PlaybackViewModel::currentWordRepeatProgressChanged, this, &PlaybackPageModel::changed),
        connect(current, &PlaybackViewModel::currentAvailableUnitsChanged, this, &PlaybackPageModel::changed),
        connect(current, &PlaybackViewModel::unitCacheStatesChanged, this, &PlaybackPageModel::changed),
    };
}

PlaybackViewModel *PlaybackPageModel::viewModel() const
{
    return m_session.playbackViewModel();
}

std::optional<qsizetype> PlaybackPageModel::playingIndex() const
{
    const PlaybackViewModel *model = viewModel();
    return model ? model->currentPlayingIndex() : std::nullopt;
}

void PlaybackPageModel::resetIndex()
{
    m_currentIndex = playingIndex().value_or(0);
}

bool PlaybackPageModel::waiting() const
{
    const auto &context = m_session.context();
    return !viewModel() || !context || context->id.toString(QUuid::WithoutBraces) != m_expectedContextId;
}

qsizetype PlaybackPageModel::wordCount() const
{
    const auto &context = m_session.context();
    return context ? context->words.size() : 0;
}

int PlaybackPageModel::displayedIndex() const
{
    return int(playingIndex().value_or(m_currentIndex));
}

const ORVWord *PlaybackPageModel::currentWord() const
{
    const auto &context = m_session.context();
    const int index = displayedIndex();
    if (!context || index < 0 || index >= context->words.size())
        return nullptr;
    return &context->words.at(index);
}

QString PlaybackPageModel::playlistName() const
{
    const auto &context = m_session.context();
    return context ? context->playlistName : QString();
}

QString PlaybackPageModel::positionText() const
{
    return QStringLiteral("%1 / %2").arg(m_currentIndex + 1).arg(wordCount());
}

LoopMode PlaybackPageModel::loopMode() const
{
    const PlaybackViewModel *model = viewModel();
    return model ? model->loopMode() : LoopMode::sequential;
}

QString PlaybackPageModel::loopText() const
{
    return title(loopMode());
}

QString PlaybackPageModel::loopSymbol() const
{
    return symbolName(loopMode());
}

PlaybackState PlaybackPageModel::playbackState() const
{
    const PlaybackViewModel *model = viewModel();
    return model ? model->playbackState() : PlaybackState::stopped;
}

bool PlaybackPageModel::previousEnabled() const
{
    return m_currentIndex >= 1 || loopMode() == LoopMode::loop;
}

bool PlaybackPageModel::nextEnabled() const
{
    return m_currentIndex < wordCount() - 1 || loopMode() == LoopMode::loop;
}

QString PlaybackPageModel::centerSymbol() const
{
    switch (playbackState()) {
    case PlaybackState::playing:
        return QStringLiteral("pause.circle.fill");
    case PlaybackState::loading:
        return QStringLiteral("ellipsis.circle.fill");
    case PlaybackState::stopped:
    case PlaybackState::paused:
        break;
    }
    return QStringLiteral("play.circle.fill");
}

QString PlaybackPageModel::centerLabel() const
{
    switch (playbackState()) {
    case PlaybackState::stopped:
        return QStringLiteral("开始播放");
    case PlaybackState::playing:
        return QStringLiteral("暂停播放");
    case PlaybackState::paused:
        return QStringLiteral("继续播放");
    case PlaybackState::loading:
        break;
    }
    return QStringLiteral("正在准备音频");
}

void PlaybackPageModel::syncCurrentIndex()
{
    const auto playing = playingIndex();
    if (playing && *playing >= 0 && *playing < wordCount())
        m_currentIndex = *playing;
    Q_EMIT changed();
}

void PlaybackPageModel::previous()
{
    PlaybackViewModel *model = viewModel();
    if (!model || waiting())
        return;
    if (m_currentIndex < 1) {
        if (loopMode() == LoopMode::loop)
            m_currentIndex = std::max<qsizetype>(wordCount() - 1, 0);
    } else {
        --m_currentIndex;
    }
    Q_EMIT changed();
    model->playWord(m_currentIndex);
}

void PlaybackPageModel::next()
{
    PlaybackViewModel *model = viewModel();
    if (!model || waiting())
        return;
    const qsizetype count = wordCount();
    switch (loopMode()) {
    case LoopMode::sequential:
        if (m_currentIndex < count - 1)
            ++m_currentIndex;
        break;
    case LoopMode::loop:
        if (count > 0)
            m_currentIndex = (m_currentIndex + 1) % count;
        break;
    case LoopMode::shuffle:
        if (count >= 2) {
            qsizetype drawn = m_currentIndex;
            while (drawn == m_currentIndex)
                drawn = qsizetype(m_random.bounded(quint64(count)));
            m_currentIndex = drawn;
        }
        break;
    }
    Q_EMIT changed();
    model->playWord(m_currentIndex);
}

void PlaybackPageModel::togglePlayback()
{
    PlaybackViewModel *model = viewModel();
    if (!model || waiting())
        return;
    switch (model->playbackState()) {
    case PlaybackState::stopped:
        m_currentIndex = 0;
        Q_EMIT changed();
        model->playCurrentWord();
        break;
    case PlaybackState::playing:
        model->pause();
        break;
    case PlaybackState::paused:
        model->resume();
        break;
    case PlaybackState::loading:
        break;
    }
}

void PlaybackPageModel::cycleLoopMode()
{
    if (PlaybackViewModel *model = viewModel())
        model->cycleLoopMode();
}

qint64 PlaybackPageModel::effectiveRepeatCount(const ORVWord &word)
{
    if (word.playbackProfile && word.playbackProfile->repeatCount)
        return *word.playbackProfile->repeatCount;
    return word.repeatCount;
}

QString PlaybackPageModel::wordDisplay() const
{
    const ORVWord *word = currentWord();
    return word ? word->wordDisplay : QString();
}

bool PlaybackPageModel::hasIpa() const
{
    const ORVWord *word = currentWord();
    return word && word->ipa.has_value();
}

QString PlaybackPageModel::ipa() const
{
    const ORVWord *word = currentWord();
    return word ? word->ipa.value_or(QString()) : QString();
}

bool PlaybackPageModel::hasSyllables() const
{
    const ORVWord *word = currentWord();
    return word && word->syllables.has_value();
}

QString PlaybackPageModel::syllables() const
{
    const ORVWord *word = currentWord();
    return word ? word->syllables.value_or(QString()) : QString();
}

QString PlaybackPageModel::meanings() const
{
    const ORVWord *word = currentWord();
    return word ? word->translationsZh.join(QStringLiteral("；")) : QString();
}

QString PlaybackPageModel::explanation() const
{
    const ORVWord *word = currentWord();
    return word ? text::trimmed(word->explanation.value_or(QString())) : QString();
}

QString PlaybackPageModel::usageScenario() const
{
    const ORVWord *word = currentWord();
    return word ? text::trimmed(word->usageScenario.value_or(QString())) : QString();
}

bool PlaybackPageModel::hasUnit() const
{
    const PlaybackViewModel *model = viewModel();
    return model && model->currentUnitPresentation().unit.has_value();
}

QString PlaybackPageModel::unitSymbol() const
{
    const PlaybackViewModel *model = viewModel();
    const auto unit = model ? model->currentUnitPresentation().unit : std::nullopt;
    return unit ? symbolName(*unit) : QStringLiteral("music.note");
}

QString PlaybackPageModel::unitTitle() const
{
    const PlaybackViewModel *model = viewModel();
    const auto unit = model ? model->currentUnitPresentation().unit : std::nullopt;
    return unit ? title(*unit) : QStringLiteral("准备播放");
}

QString PlaybackPageModel::repeatText() const
{
    const ORVWord *word = currentWord();
    const PlaybackViewModel *model = viewModel();
    if (!word || !model)
        return QString();
    const qint64 count = effectiveRepeatCount(*word);
    if (count < 2)
        return QString();
    return QStringLiteral("重复 %1 / %2 次").arg(model->currentWordRepeatProgress()).arg(count);
}

bool PlaybackPageModel::hasSpelling() const
{
    const PlaybackViewModel *model = viewModel();
    if (!model)
        return false;
    const auto &presentation = model->currentUnitPresentation();
    return presentation.unit == ORVPlaybackUnit::spelling && presentation.spellingDisplay.has_value();
}

QString PlaybackPageModel::spelling() const
{
    return hasSpelling() ? *viewModel()->currentUnitPresentation().spellingDisplay : QString();
}

QVariantList PlaybackPageModel::units() const
{
    const PlaybackViewModel *model = viewModel();
    if (!model)
        return {};
    QVariantList rows;
    for (ORVPlaybackUnit unit : model->currentAvailableUnits()) {
        rows.append(QVariantMap {
            {QStringLiteral("unit"), rawValue(unit)},
            {QStringLiteral("title"), title(unit)},
            {QStringLiteral("symbol"), symbolName(unit)},
            {QStringLiteral("current"), model->currentUnitPresentation().unit == unit},
            {QStringLiteral("cached"), model->unitCacheStates().value(unit, false)},
        });
    }
    return rows;
}

int PlaybackPageModel::loopModeValue() const
{
    return int(loopMode());
}

int PlaybackPageModel::playbackStateValue() const
{
    return int(playbackState());
}

} // namespace talvoro
