#include "Settings/AccountSettingsModel.h"

#include "Session/AppSession.h"

namespace talvoro {

AccountSettingsModel::AccountSettingsModel(AppSession &session, SettingsScreens screens, QObject *parent)
    : QObject(parent)
    , m_session(session)
    , m_screens(std::move(screens))
{
    connect(&m_session, &AppSession::stateChanged, this, &AccountSettingsModel::accountLineChanged);
}

QString AccountSettingsModel::accountLine() const
{
    return QStringLiteral("已登录账号: ") + m_session.username();
}

void AccountSettingsModel::setShowVoiceSelection(bool shown)
{
    if (m_showVoiceSelection == shown)
        return;
    m_showVoiceSelection = shown;
    Q_EMIT showVoiceSelectionChanged();
}

void AccountSettingsModel::setShowLogoutConfirmation(bool shown)
{
    if (m_showLogoutConfirmation == shown)
        return;
    m_showLogoutConfirmation = shown;
    Q_EMIT showLogoutConfirmationChanged();
}

void AccountSettingsModel::confirmLogout()
{
    // The alert closes before its action runs, so this runs once per confirmation.
    setShowLogoutConfirmation(false);
    m_session.logout();
}

CacheManagementModel *AccountSettingsModel::makeCacheManagementModel(QObject *owner)
{
    return m_screens.cacheManagement ? m_screens.cacheManagement(owner) : nullptr;
}

VoiceSelectionModel *AccountSettingsModel::makeVoiceSelectionModel(QObject *owner)
{
    return m_screens.voiceSelection ? m_screens.voiceSelection(owner) : nullptr;
}

} // namespace talvoro
