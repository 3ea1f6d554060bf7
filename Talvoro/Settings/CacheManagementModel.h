#pragma once

#include <QObject>
#include <QtQmlIntegration>

namespace talvoro {

class AudioCacheManager;
class DelayScheduler;

// How much room the device's speech clips take, and clearing them after a
// confirmation. The figure is measured when the screen opens and again after each
// clear, not while it shows. Each clear shows the success toast for 2.5 s; a hide
// once scheduled is never called off, so a second clear within that time does not
// keep the toast up longer.
class CacheManagementModel final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by the screen that opens it")
    Q_PROPERTY(bool showingClearAlert READ showingClearAlert WRITE setShowingClearAlert NOTIFY showingClearAlertChanged)
    Q_PROPERTY(bool showSuccessToast READ showSuccessToast NOTIFY showSuccessToastChanged)
    Q_PROPERTY(QString cacheUsageText READ cacheUsageText NOTIFY cacheUsageTextChanged)

public:
    static constexpr std::chrono::milliseconds toastDuration {2500};

    CacheManagementModel(AudioCacheManager &cache, DelayScheduler &scheduler, QObject *parent = nullptr);

    bool showingClearAlert() const { return m_showingClearAlert; }
    void setShowingClearAlert(bool showing);
    bool showSuccessToast() const { return m_showSuccessToast; }
    QString cacheUsageText() const { return m_cacheUsageText; }

    // The confirmation's "一键清理": removes every clip, measures again and shows the toast.
    Q_INVOKABLE void clearCache();

Q_SIGNALS:
    void showingClearAlertChanged();
    void showSuccessToastChanged();
    void cacheUsageTextChanged();

private:
    void setShowSuccessToast(bool shown);

    AudioCacheManager &m_cache;
    DelayScheduler &m_scheduler;
    bool m_showingClearAlert = false;
    bool m_showSuccessToast = false;
    QString m_cacheUsageText;
};

} // namespace talvoro
