#include "App/LoginScreenModel.h"

#include <QTimer>

namespace talvoro {

LoginScreenModel::LoginScreenModel(AppSession &session, QObject *parent)
    : QObject(parent)
    , m_session(session)
{
    connect(&m_session, &AppSession::errorMessageChanged, this, &LoginScreenModel::errorMessageChanged);
    connect(&m_session, &AppSession::isSubmittingChanged, this, [this] {
        Q_EMIT isSubmittingChanged();
        notifyCanSubmit();
    });
}

void LoginScreenModel::setUsername(const QString &username)
{
    if (username == m_username)
        return;
    m_username = username;
    Q_EMIT usernameChanged();
    notifyCanSubmit();
}

void LoginScreenModel::setPassword(const QString &password)
{
    if (password == m_password)
        return;
    m_password = password;
    Q_EMIT passwordChanged();
    notifyCanSubmit();
}

bool LoginScreenModel::canSubmit() const
{
    // A password of spaces is a password; a name of spaces is no name.
    return !m_username.trimmed().isEmpty() && !m_password.isEmpty() && !m_isModeTransitioning
        && !m_session.isSubmitting();
}

void LoginScreenModel::notifyCanSubmit()
{
    const bool can = canSubmit();
    if (can == m_canSubmit)
        return;
    m_canSubmit = can;
    Q_EMIT canSubmitChanged();
}

void LoginScreenModel::setModeTransitioning(bool transitioning)
{
    m_isModeTransitioning = transitioning;
    Q_EMIT isModeTransitioningChanged();
    notifyCanSubmit();
}

void LoginScreenModel::submit()
{
    if (!canSubmit())
        return;
    const QString path = m_isRegistering ? AppSession::registerPath : AppSession::loginPath;
    const QString actionName = m_isRegistering ? registerActionName : loginActionName;
    // Called at once, not on a later turn: the session is busy before this returns,
    // so a second press while the request runs finds canSubmit false.
    m_session.authenticate(path, m_username.trimmed(), m_password, actionName);
}

void LoginScreenModel::toggleMode()
{
    if (m_isModeTransitioning || m_session.isSubmitting())
        return;
    setModeTransitioning(true);
    QTimer::singleShot(0, this, [this] {
        setPassword(QString());
        m_isRegistering = !m_isRegistering;
        Q_EMIT isRegisteringChanged();
        m_session.setErrorMessage(QString());
        setModeTransitioning(false);
    });
}

} // namespace talvoro
