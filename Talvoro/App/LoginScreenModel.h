#pragma once

#include "Session/AppSession.h"

#include <QObject>
#include <QtQmlIntegration>

namespace talvoro {

// The sign-in and registration form: one form for both modes, checked only for
// filled fields. The session does the work and owns the busy state and the error
// text; the form keeps what is typed and the mode.
class LoginScreenModel final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by DependencyContainer.makeLoginScreenModel")
    Q_PROPERTY(QString username READ username WRITE setUsername NOTIFY usernameChanged)
    Q_PROPERTY(QString password READ password WRITE setPassword NOTIFY passwordChanged)
    Q_PROPERTY(bool isRegistering READ isRegistering NOTIFY isRegisteringChanged)
    Q_PROPERTY(bool isModeTransitioning READ isModeTransitioning NOTIFY isModeTransitioningChanged)
    Q_PROPERTY(bool isSubmitting READ isSubmitting NOTIFY isSubmittingChanged)
    Q_PROPERTY(bool canSubmit READ canSubmit NOTIFY canSubmitChanged)
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY errorMessageChanged)

public:
    static inline const QString loginActionName = QStringLiteral("登录");
    static inline const QString registerActionName = QStringLiteral("注册");

    explicit LoginScreenModel(AppSession &session, QObject *parent = nullptr);

    QString username() const { return m_username; }
    void setUsername(const QString &username);
    QString password() const { return m_password; }
    void setPassword(const QString &password);
    bool isRegistering() const { return m_isRegistering; }
    bool isModeTransitioning() const { return m_isModeTransitioning; }
    bool isSubmitting() const { return m_session.isSubmitting(); }
    bool canSubmit() const;
    QString errorMessage() const { return m_session.errorMessage(); }

    // Signs in or registers with the trimmed user name and the password as typed.
    Q_INVOKABLE void submit();
    // Switches between signing in and registering on the next turn of the event
    // loop; the password and the session's message are cleared, the name is kept.
    Q_INVOKABLE void toggleMode();

Q_SIGNALS:
    void usernameChanged();
    void passwordChanged();
    void isRegisteringChanged();
    void isModeTransitioningChanged();
    void isSubmittingChanged();
    void canSubmitChanged();
    void errorMessageChanged();

private:
    void setModeTransitioning(bool transitioning);
    void notifyCanSubmit();

    AppSession &m_session;
    QString m_username;
    QString m_password;
    bool m_isRegistering = false;
    bool m_isModeTransitioning = false;
    bool m_canSubmit = false;
};

} // namespace talvoro
