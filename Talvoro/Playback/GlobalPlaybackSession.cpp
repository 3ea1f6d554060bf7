#include "Playback/GlobalPlaybackSession.h"

namespace talvoro {

GlobalPlaybackSession::GlobalPlaybackSession(
    PlayerFactory playerFactory, SpeechCacheLookup speechCacheLookup, QObject *parent)
    : QObject(parent)
    , m_playerFactory(std::move(playerFactory))
    , m_speechCacheLookup(std::move(speechCacheLookup))
{ }

GlobalPlaybackSession::~GlobalPlaybackSession()
{
    stopObserving();
}

void GlobalPlaybackSession::play(const QString &playlistName, const QList<ORVWord> &words,
    const std::optional<QString> &accessToken, const std::optional<UserSummary> &user, qsizetype startIndex)
{
    if (!user) {
        reset();
        return;
    }
    if (words.isEmpty()) {
        if (m_playbackViewModel)
            m_playbackViewModel->stop();
        setContext(std::nullopt);
        setPresentation(std::nullopt);
        setFullPlayerPresented(false);
        return;
    }
    if (m_activeUserID && *m_activeUserID != user->id)
        reset();
    m_activeUserID = user->id;

    PlaybackViewModel &viewModel = ensurePlaybackViewModel();
    viewModel.stop();
    setContext(GlobalPlaybackContext {QUuid::createUuid(), GlobalPlaybackContext::displayName(playlistName), words});
    viewModel.updateSession(accessToken, user);
    viewModel.setPlaylist(words);
    // Compared as unsigned, so a negative index also starts at the first word.
    viewModel.playWord(size_t(startIndex) < size_t(words.size()) ? startIndex : 0);
    refreshPresentation();
}

void GlobalPlaybackSession::activate(const std::optional<QString> &accessToken, const std::optional<UserSummary> &user)
{
    if (!user) {
        reset();
    } else {
        if (m_activeUserID && *m_activeUserID != user->id)
            reset();
        m_activeUserID = user->id;
        ensurePlaybackViewModel().updateSession(accessToken, user);
    }
    if (m_playbackViewModel)
        m_playbackViewModel->stop();
}

bool GlobalPlaybackSession::updateWord(const ORVWord &word)
{
    if (!m_context)
        return false;
    QList<ORVWord> words = m_context->words;
    bool matched = false;
    for (ORVWord &entry : words) {
        if (entry.id == word.id) {
            entry = word;
            matched = true;
        }
    }
    if (!matched)
        return false;
    setContext(GlobalPlaybackContext {
        m_context->id, GlobalPlaybackContext::displayName(m_context->playlistName), std::move(words)});
    if (m_playbackViewModel) {
        m_playbackViewModel->setPlaylist(m_context->words);
        refreshPresentation();
    }
    return true;
}

void GlobalPlaybackSession::reset()
{
    stopObserving();
    if (m_playbackViewModel) {
        m_playbackViewModel->clearSession();
        const std::unique_ptr<PlaybackViewModel> dropped = std::move(m_playbackViewModel);
        Q_EMIT playbackViewModelChanged();
    }
    setContext(std::nullopt);
    setPresentation(std::nullopt);
    setFullPlayerPresented(false);
    m_activeUserID.reset();
}

PlaybackViewModel &GlobalPlaybackSession::ensurePlaybackViewModel()
{
    if (m_playbackViewModel)
        return *m_playbackViewModel;
    m_playbackViewModel = m_playerFactory();
    Q_EMIT playbackViewModelChanged();

    // Qt signals come after the change, so the view model's current values are
    // the ones just delivered.
    stopObserving();
    PlaybackViewModel *viewModel = m_playbackViewModel.get();
    m_playbackObservation = {
        connect(viewModel, &PlaybackViewModel::playbackStateChanged, this, &GlobalPlaybackSession::refreshPresentation),
        connect(viewModel, &PlaybackViewModel::currentPlayingIndexChanged, this,
            &GlobalPlaybackSession::refreshPresentation),
        connect(viewModel, &PlaybackViewModel::currentUnitPresentationChanged, this,
            &GlobalPlaybackSession::refreshPresentation),
    };
    refreshPresentation();
    return *viewModel;
}

void GlobalPlaybackSession::setFullPlayerPresented(bool presented)
{
    if (m_isFullPlayerPresented == presented)
        return;
    m_isFullPlayerPresented = presented;
    Q_EMIT isFullPlayerPresentedChanged();
}

void GlobalPlaybackSession::setContext(std::optional<GlobalPlaybackContext> context)
{
    if (m_context == context)
        return;
    m_context = std::move(context);
    Q_EMIT contextChanged();
}

void GlobalPlaybackSession::setPresentation(std::optional<GlobalPlaybackPresentation> presentation)
{
    if (m_presentation == presentation)
        return;
    m_presentation = std::move(presentation);
    Q_EMIT presentationChanged();
}

void GlobalPlaybackSession::refreshPresentation()
{
    if (!m_playbackViewModel)
        return;
    setPresentation(GlobalPlaybackPresentation::make(m_context, m_playbackViewModel->playbackState(),
        m_playbackViewModel->currentPlayingIndex(), m_playbackViewModel->currentUnitRawValue()));
}

void GlobalPlaybackSession::stopObserving()
{
    for (const QMetaObject::Connection &connection : std::exchange(m_playbackObservation, {}))
        disconnect(connection);
}

QString GlobalPlaybackSession::presentationActivity() const
{
    return m_presentation ? rawValue(m_presentation->activity) : QString();
}

} // namespace talvoro
