#pragma once

#include "Settings/CacheManagementModel.h"
#include "Settings/SettingsScreens.h"
#include "Settings/VoiceSelectionModel.h"

#include <QObject>
#include <QtQmlIntegration>

namespace talvoro {

class AppSession;

// "账号与设置": who is signed in, and the way to the global voices, the audio cache
// and out of the account. It loads nothing; logging out is the session's.
class AccountSettingsModel final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Built by the app container")
    Q_PROPERTY(QString accountLine READ accountLine NOTIFY accountLineChanged)
    Q_PROPERTY(bool showVoiceSelection READ showVoiceSelection WRITE setShowVoiceSelection NOTIFY
            showVoiceSelectionChanged)
    Q_PROPERTY(bool showLogoutConfirmation READ showLogoutConfirmation WRITE setShowLogoutConfirmation NOTIFY
            showLogoutConfirmationChanged)

public:
    AccountSettingsModel(AppSession &session, SettingsScreens screens, QObject *parent = nullptr);

    // "已登录账号: " and the signed-in user's name; nothing after it while nobody is.
    QString accountLine() const;
    bool showVoiceSelection() const { return m_showVoiceSelection; }
    void setShowVoiceSelection(bool shown);
    bool showLogoutConfirmation() const { return m_showLogoutConfirmation; }
    void setShowLogoutConfirmation(bool shown);

    // The confirmation's "退出登录": ends the session here at once.
    Q_INVOKABLE void confirmLogout();
    Q_INVOKABLE talvoro::CacheManagementModel *makeCacheManagementModel(QObject *owner);
    Q_INVOKABLE talvoro::VoiceSelectionModel *makeVoiceSelectionModel(QObject *owner);

Q_SIGNALS:
    void accountLineChanged();
    void showVoiceSelectionChanged();
    void showLogoutConfirmationChanged();

private:
    AppSession &m_session;
    SettingsScreens m_screens;
    bool m_showVoiceSelection = false;
    bool m_showLogoutConfirmation = false;
};

} // namespace talvoro
