#pragma once

#include "DesignSystem/Haptics.h"

#include <QObject>
#include <QPointer>
#include <QQmlEngine>
#include <QString>

namespace talvoro {

// The pull-to-refresh behaviour of ORVRefreshScrollView, apart from any drawing:
// the view reports its pull distance (how far the content is dragged below its
// resting place) and the end of each drag; the coordinator decides what the status
// capsule shows, plays the threshold haptic on `haptics` (set from QML:
// `haptics: Haptics`), asks for a refresh and holds the content down (the top
// inset) until the refresh is finished.
class ORVRefreshScrollCoordinator : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(State state READ state NOTIFY presentationChanged)
    Q_PROPERTY(qreal progress READ progress NOTIFY presentationChanged)
    Q_PROPERTY(QString title READ title NOTIFY presentationChanged)
    Q_PROPERTY(QString detail READ detail NOTIFY presentationChanged)
    Q_PROPERTY(bool isRefreshing READ isRefreshing NOTIFY isRefreshingChanged)
    Q_PROPERTY(bool isCompleting READ isCompleting NOTIFY isCompletingChanged)
    Q_PROPERTY(qreal restingContentInsetTop READ restingContentInsetTop WRITE setRestingContentInsetTop NOTIFY
            contentInsetTopChanged)
    Q_PROPERTY(qreal contentInsetTop READ contentInsetTop NOTIFY contentInsetTopChanged)
    Q_PROPERTY(int insetAnimationDuration READ insetAnimationDuration NOTIFY contentInsetTopChanged)
    Q_PROPERTY(int insetAnimationEasing READ insetAnimationEasing NOTIFY contentInsetTopChanged)
    Q_PROPERTY(qreal statusHeight MEMBER statusHeight CONSTANT)
    Q_PROPERTY(qreal statusGap MEMBER statusGap CONSTANT)

    Q_PROPERTY(QString pullingTitle MEMBER m_pullingTitle NOTIFY presentationChanged)
    Q_PROPERTY(QString pullingDetail MEMBER m_pullingDetail NOTIFY presentationChanged)
    Q_PROPERTY(QString armedTitle MEMBER m_armedTitle NOTIFY presentationChanged)
    Q_PROPERTY(QString armedDetail MEMBER m_armedDetail NOTIFY presentationChanged)
    Q_PROPERTY(QString refreshingTitle MEMBER m_refreshingTitle NOTIFY presentationChanged)
    Q_PROPERTY(QString refreshingDetail MEMBER m_refreshingDetail NOTIFY presentationChanged)
    Q_PROPERTY(talvoro::Haptics *haptics READ haptics WRITE setHaptics NOTIFY hapticsChanged)

public:
    enum State { Pulling, Idle, Armed, Refreshing };
    Q_ENUM(State)

    static constexpr qreal threshold = 72;
    static constexpr qreal statusHeight = 52;
    static constexpr qreal statusGap = 8;

    using QObject::QObject;

    State state() const { return m_state; }
    qreal progress() const { return m_progress; }
    QString title() const;
    QString detail() const;
    bool isRefreshing() const { return m_isRefreshing; }
    bool isCompleting() const { return m_isCompleting; }
    bool didEmitThresholdHaptic() const { return m_didEmitThresholdHaptic; }
    qreal restingContentInsetTop() const { return m_restingContentInsetTop; }
    void setRestingContentInsetTop(qreal inset);
    qreal contentInsetTop() const { return m_contentInsetTop; }
    int insetAnimationDuration() const { return m_insetAnimationDuration; }
    int insetAnimationEasing() const { return m_insetAnimationEasing; }
    Haptics *haptics() const { return m_haptics; }
    void setHaptics(Haptics *haptics);

    Q_INVOKABLE void didScroll(qreal pull, bool isDragging);
    Q_INVOKABLE void didEndDragging(qreal pull);
    // The refresh asked for by refreshRequested() has returned.
    Q_INVOKABLE void finishRefresh();
    // The inset animation started by the end of a refresh has come to rest.
    Q_INVOKABLE void insetAnimationFinished(qreal pull, bool isDragging);
    // The view is going away: a refresh in flight is forgotten and touches nothing
    // when it returns, and scroll events are no longer heard.
    Q_INVOKABLE void dismantle();

Q_SIGNALS:
    void presentationChanged();
    void isRefreshingChanged();
    void isCompletingChanged();
    void contentInsetTopChanged();
    void refreshRequested();
    void hapticsChanged();

private:
    void apply(State state, qreal progress = 0);
    void setContentInsetTop(qreal inset, int duration, int easing);
    void setIsRefreshing(bool on);
    void setIsCompleting(bool on);

    State m_state = Idle;
    qreal m_progress = 0;
    bool m_isRefreshing = false;
    bool m_isCompleting = false;
    bool m_didEmitThresholdHaptic = false;
    bool m_dismantled = false;
    QPointer<Haptics> m_haptics;
    qreal m_restingContentInsetTop = 0;
    qreal m_contentInsetTop = 0;
    int m_insetAnimationDuration = 0;
    int m_insetAnimationEasing = 0;

    QString m_pullingTitle = QStringLiteral("下拉刷新");
    QString m_pullingDetail = QStringLiteral("继续下拉以更新首页");
    QString m_armedTitle = QStringLiteral("松手刷新");
    QString m_armedDetail = QStringLiteral("松开后开始获取最新数据");
    QString m_refreshingTitle = QStringLiteral("正在刷新");
    QString m_refreshingDetail = QStringLiteral("正在获取最新数据，请稍候");
};

} // namespace talvoro
