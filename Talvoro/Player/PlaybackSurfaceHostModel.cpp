#include "Player/PlaybackSurfaceHostModel.h"

#include "Playback/GlobalPlaybackSession.h"
#include "Player/PlaybackPageModel.h"

namespace talvoro {

PlaybackSurfaceHostModel::PlaybackSurfaceHostModel(GlobalPlaybackSession &session, DelayScheduler &scheduler,
    RandomSource &random, PlaybackSettingsFactory makePlaybackSettings, QObject *parent)
    : QObject(parent)
    , m_session(session)
    , m_scheduler(scheduler)
    , m_random(random)
    , m_makePlaybackSettings(std::move(makePlaybackSettings))
{
    followContext();
    connect(&m_session, &GlobalPlaybackSession::contextChanged, this, &PlaybackSurfaceHostModel::followContext);
    connect(&m_session, &GlobalPlaybackSession::presentationChanged, this, [this] {
        Q_EMIT presentationChanged();
        Q_EMIT sharedChromeActiveChanged();
    });
    connect(&m_session, &GlobalPlaybackSession::isFullPlayerPresentedChanged, this,
        &PlaybackSurfaceHostModel::presentationSwitched);

    // A host that appears while the page is open fades in as it grows.
    if (presented()) {
        m_contentVisibility = 0;
        m_pageMounted = true;
        expandOnNextTurn();
    }
}

// The page grows from the next turn of the event loop on, once it has been laid
// out; an expand overtaken meanwhile does nothing.
void PlaybackSurfaceHostModel::expandOnNextTurn()
{
    const quint64 transition = ++m_transition;
    m_scheduler.after(std::chrono::milliseconds(0), this, [this, transition] {
        if (transition == m_transition && presented())
            setTransition(1, 1, !m_reduceMotion);
    });
}

bool PlaybackSurfaceHostModel::presented() const
{
    return m_session.isFullPlayerPresented();
}

void PlaybackSurfaceHostModel::presentationSwitched()
{
    Q_EMIT presentedChanged();
    const bool presented = this->presented();
    const quint64 transition = ++m_transition; // overtakes whatever was pending
    if (m_reduceMotion) {
        setTransition(presented ? 1 : 0, 1, false);
        setPageMounted(presented);
        return;
    }
    if (presented) {
        // Mounted at progress 0, where the page is still invisible.
        setPageMounted(true);
        expandOnNextTurn();
        return;
    }
    setTransition(0, 1, true);
    m_scheduler.after(unmountDelay, this, [this, transition] {
        if (transition == m_transition && !this->presented())
            setPageMounted(false);
    });
}

void PlaybackSurfaceHostModel::setTransition(qreal progress, qreal visibility, bool animated)
{
    if (m_targetProgress == progress && m_contentVisibility == visibility && m_animated == animated)
        return;
    // The flag first: the view decides whether to animate when the target moves.
    m_animated = animated;
    m_targetProgress = progress;
    m_contentVisibility = visibility;
    Q_EMIT transitionChanged();
}

void PlaybackSurfaceHostModel::setPageMounted(bool mounted)
{
    if (m_pageMounted == mounted)
        return;
    m_pageMounted = mounted;
    if (!mounted)
        m_childDestinationPresented = false; // the pushed screen leaves with the page
    Q_EMIT pageMountedChanged();
    Q_EMIT sharedChromeActiveChanged();
}

void PlaybackSurfaceHostModel::setChildDestinationPresented(bool presented)
{
    if (m_childDestinationPresented == presented)
        return;
    m_childDestinationPresented = presented;
    Q_EMIT sharedChromeActiveChanged();
}

bool PlaybackSurfaceHostModel::sharedChromeActive() const
{
    return hasPresentation() && m_pageMounted && !m_childDestinationPresented;
}

void PlaybackSurfaceHostModel::setReduceMotion(bool reduceMotion)
{
    if (m_reduceMotion == reduceMotion)
        return;
    m_reduceMotion = reduceMotion;
    Q_EMIT reduceMotionChanged();
}

void PlaybackSurfaceHostModel::followContext()
{
    const auto &context = m_session.context();
    if (!context)
        return;
    const QString id = context->id.toString(QUuid::WithoutBraces);
    if (id == m_contextId)
        return;
    m_contextId = id;
    Q_EMIT contextIdChanged();
}

bool PlaybackSurfaceHostModel::hasPresentation() const
{
    return m_session.presentation().has_value();
}

QString PlaybackSurfaceHostModel::word() const
{
    const auto &presentation = m_session.presentation();
    return presentation ? presentation->word : QString();
}

QString PlaybackSurfaceHostModel::playlistName() const
{
    const auto &presentation = m_session.presentation();
    return presentation ? presentation->playlistName : QString();
}

QString PlaybackSurfaceHostModel::statusText() const
{
    const auto &presentation = m_session.presentation();
    return presentation ? presentation->statusText : QString();
}

QString PlaybackSurfaceHostModel::progressText() const
{
    const auto &presentation = m_session.presentation();
    return presentation ? presentation->progressText : QString();
}

PlaybackState PlaybackSurfaceHostModel::activity() const
{
    const auto &presentation = m_session.presentation();
    if (!presentation)
        return PlaybackState::stopped;
    switch (presentation->activity) {
    case GlobalPlaybackActivity::loading:
        return PlaybackState::loading;
    case GlobalPlaybackActivity::playing:
        return PlaybackState::playing;
    case GlobalPlaybackActivity::paused:
        break;
    }
    return PlaybackState::paused;
}

QString PlaybackSurfaceHostModel::activitySymbol() const
{
    return activity() == PlaybackState::paused ? QStringLiteral("pause.fill") : QStringLiteral("speaker.wave.2.fill");
}

QString PlaybackSurfaceHostModel::controlSymbol() const
{
    switch (activity()) {
    case PlaybackState::playing:
        return QStringLiteral("pause.fill");
    case PlaybackState::paused:
        return QStringLiteral("play.fill");
    default:
        return QStringLiteral("ellipsis");
    }
}

QString PlaybackSurfaceHostModel::expandedControlSymbol() const
{
    switch (activity()) {
    case PlaybackState::playing:
        return QStringLiteral("pause.circle.fill");
    case PlaybackState::paused:
        return QStringLiteral("play.circle.fill");
    default:
        return QStringLiteral("ellipsis.circle.fill");
    }
}

QString PlaybackSurfaceHostModel::controlLabel() const
{
    switch (activity()) {
    case PlaybackState::playing:
        return QStringLiteral("暂停播放");
    case PlaybackState::paused:
        return QStringLiteral("继续播放");
    default:
        return QStringLiteral("正在准备音频");
    }
}

void PlaybackSurfaceHostModel::openFullPlayer()
{
    if (m_session.context())
        m_session.setFullPlayerPresented(true);
}

void PlaybackSurfaceHostModel::collapse()
{
    if (m_session.isFullPlayerPresented())
        m_session.setFullPlayerPresented(false);
}

void PlaybackSurfaceHostModel::togglePlayback()
{
    PlaybackViewModel *viewModel = m_session.playbackViewModel();
    if (!viewModel)
        return;
    switch (viewModel->playbackState()) {
    case PlaybackState::playing:
        viewModel->pause();
        break;
    case PlaybackState::paused:
        viewModel->resume();
        break;
    case PlaybackState::stopped:
    case PlaybackState::loading:
        break;
    }
}

PlaybackPageModel *PlaybackSurfaceHostModel::makePageModel(QObject *owner)
{
    auto *page = new PlaybackPageModel(m_session, m_random, owner);
    page->setExpectedContextId(m_contextId);
    connect(this, &PlaybackSurfaceHostModel::contextIdChanged, page,
        [this, page] { page->setExpectedContextId(m_contextId); });
    return page;
}

PlaybackSettingsModel *PlaybackSurfaceHostModel::makePlaybackSettingsModel(QObject *owner)
{
    return m_makePlaybackSettings ? m_makePlaybackSettings(owner) : nullptr;
}

} // namespace talvoro
