#pragma once

#include "Screens/DelayScheduler.h"

#include "Settings/PlaybackSettingsModel.h"

#include <QObject>
#include <QtQmlIntegration>

#include <functional>

namespace talvoro {

class GlobalPlaybackSession;
class PlaybackPageModel;
class RandomSource;

// The state of the layer over the home screen that shows the playback bar and
// morphs it into the player page and back. The session's isFullPlayerPresented is
// the only switch; this model follows it: an expand mounts the page, waits one
// turn of the event loop and then animates to 1; a collapse animates to 0 and
// takes the page out 650 ms later, unless it was reopened meanwhile. The view
// animates `progress` towards `targetProgress` while `animated`, else jumps.
class PlaybackSurfaceHostModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by the container")
    Q_PROPERTY(bool presented READ presented NOTIFY presentedChanged)
    Q_PROPERTY(qreal targetProgress READ targetProgress NOTIFY transitionChanged)
    Q_PROPERTY(qreal contentVisibility READ contentVisibility NOTIFY transitionChanged)
    Q_PROPERTY(bool animated READ animated NOTIFY transitionChanged)
    Q_PROPERTY(bool pageMounted READ pageMounted NOTIFY pageMountedChanged)
    Q_PROPERTY(bool childDestinationPresented READ childDestinationPresented WRITE setChildDestinationPresented NOTIFY
            sharedChromeActiveChanged)
    Q_PROPERTY(bool sharedChromeActive READ sharedChromeActive NOTIFY sharedChromeActiveChanged)
    Q_PROPERTY(bool reduceMotion READ reduceMotion WRITE setReduceMotion NOTIFY reduceMotionChanged)
    Q_PROPERTY(QString contextId READ contextId NOTIFY contextIdChanged)
    // What the bar and the travelling elements show: the session's presentation.
    Q_PROPERTY(bool hasPresentation READ hasPresentation NOTIFY presentationChanged)
    Q_PROPERTY(QString word READ word NOTIFY presentationChanged)
    Q_PROPERTY(QString playlistName READ playlistName NOTIFY presentationChanged)
    Q_PROPERTY(QString statusText READ statusText NOTIFY presentationChanged)
    Q_PROPERTY(QString progressText READ progressText NOTIFY presentationChanged)
    // A PlaybackState (PlaybackState.Loading in QML): stopped without a presentation.
    Q_PROPERTY(int activity READ activityValue NOTIFY presentationChanged)
    // The activity icon, and the play/pause control's glyphs (bar and page) and label.
    Q_PROPERTY(QString activitySymbol READ activitySymbol NOTIFY presentationChanged)
    Q_PROPERTY(QString controlSymbol READ controlSymbol NOTIFY presentationChanged)
    Q_PROPERTY(QString expandedControlSymbol READ expandedControlSymbol NOTIFY presentationChanged)
    Q_PROPERTY(QString controlLabel READ controlLabel NOTIFY presentationChanged)

public:
    static constexpr std::chrono::milliseconds unmountDelay {650};

    using PlaybackSettingsFactory = std::function<PlaybackSettingsModel *(QObject *owner)>;

    PlaybackSurfaceHostModel(GlobalPlaybackSession &session, DelayScheduler &scheduler, RandomSource &random,
        PlaybackSettingsFactory makePlaybackSettings = {}, QObject *parent = nullptr);

    bool presented() const;
    qreal targetProgress() const { return m_targetProgress; }
    qreal contentVisibility() const { return m_contentVisibility; }
    bool animated() const { return m_animated; }
    bool pageMounted() const { return m_pageMounted; }
    bool childDestinationPresented() const { return m_childDestinationPresented; }
    void setChildDestinationPresented(bool presented);
    // The travelling copies are drawn (and the bar's and page's own hidden) while
    // something is presented, the page is mounted and shows no pushed screen.
    bool sharedChromeActive() const;
    bool reduceMotion() const { return m_reduceMotion; }
    void setReduceMotion(bool reduceMotion);
    // The id of the list the page is for: the session's current one, kept when the
    // session's list goes away so a closing page does not flip to its waiting state.
    QString contextId() const { return m_contextId; }
    bool hasPresentation() const;
    QString word() const;
    QString playlistName() const;
    QString statusText() const;
    QString progressText() const;
    // What plays, as the bar shows it: stopped while there is nothing to show.
    PlaybackState activity() const;
    int activityValue() const { return int(activity()); }
    QString activitySymbol() const;
    QString controlSymbol() const;
    QString expandedControlSymbol() const;
    QString controlLabel() const;

    // The bar's open action: only a session with a list opens the page.
    Q_INVOKABLE void openFullPlayer();
    // The page's collapse button.
    Q_INVOKABLE void collapse();
    // The bar's and the travelling control's pause and resume; nothing while
    // stopped or loading.
    Q_INVOKABLE void togglePlayback();
    // The page's model, owned by `owner` and kept on the live list: a list started
    // while the page is open is shown, never the waiting state for good.
    Q_INVOKABLE talvoro::PlaybackPageModel *makePageModel(QObject *owner);
    // The page's "播放偏好设置" screen, owned by `owner`; none without a factory.
    Q_INVOKABLE talvoro::PlaybackSettingsModel *makePlaybackSettingsModel(QObject *owner);

Q_SIGNALS:
    void presentedChanged();
    void transitionChanged();
    void pageMountedChanged();
    void sharedChromeActiveChanged();
    void reduceMotionChanged();
    void contextIdChanged();
    void presentationChanged();

private:
    void presentationSwitched();
    void expandOnNextTurn();
    void setTransition(qreal progress, qreal visibility, bool animated);
    void setPageMounted(bool mounted);
    void followContext();

    GlobalPlaybackSession &m_session;
    DelayScheduler &m_scheduler;
    RandomSource &m_random;
    PlaybackSettingsFactory m_makePlaybackSettings;
    qreal m_targetProgress = 0;
    qreal m_contentVisibility = 1;
    bool m_animated = false;
    bool m_pageMounted = false;
    bool m_childDestinationPresented = false;
    bool m_reduceMotion = false;
    QString m_contextId;
    // Each transition's pending half runs only while its generation is current.
    quint64 m_transition = 0;
};

} // namespace talvoro
