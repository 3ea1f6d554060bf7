#include "Settings/CacheManagementModel.h"

#include "Playback/AudioCacheManager.h"
#include "Screens/DelayScheduler.h"

namespace talvoro {

CacheManagementModel::CacheManagementModel(AudioCacheManager &cache, DelayScheduler &scheduler, QObject *parent)
    : QObject(parent)
    , m_cache(cache)
    , m_scheduler(scheduler)
    , m_cacheUsageText(cache.formattedUsageText())
{ }

void CacheManagementModel::setShowingClearAlert(bool showing)
{
    if (m_showingClearAlert == showing)
        return;
    m_showingClearAlert = showing;
    Q_EMIT showingClearAlertChanged();
}

void CacheManagementModel::setShowSuccessToast(bool shown)
{
    if (m_showSuccessToast == shown)
        return;
    m_showSuccessToast = shown;
    Q_EMIT showSuccessToastChanged();
}

void CacheManagementModel::clearCache()
{
    setShowingClearAlert(false);
    m_cache.clearCache();
    const QString usage = m_cache.formattedUsageText();
    if (usage != m_cacheUsageText) {
        m_cacheUsageText = usage;
        Q_EMIT cacheUsageTextChanged();
    }
    // The clear reports no failure of its own: what is left shows in the figure.
    setShowSuccessToast(true);
    m_scheduler.after(toastDuration, this, [this] { setShowSuccessToast(false); });
}

} // namespace talvoro
