#include "App/TalvoroApplication.h"

#include "DesignSystem/Theme.h"

#include <QQuickStyle>

namespace talvoro {

TalvoroApplication::TalvoroApplication(AppEnvironment environment)
    : m_container(std::move(environment))
{
    // The screens are drawn for the Basic style. Set here, before any screen loads,
    // so that every process that runs the app gets it: left to the platform's
    // default, Qt Quick Controls also loads a second style's plugins and types.
    // A process that builds the app again (the tests do) has it already, and Qt
    // refuses a second setting once Qt Quick Controls are loaded.
    if (QQuickStyle::name() != QLatin1String("Basic"))
        QQuickStyle::setStyle(QStringLiteral("Basic"));
    m_controller = std::make_unique<AppController>(AppController::Services {
        m_container.session(),
        m_container.playbackSession(),
        m_container.launchCoordinator(),
        m_container.connectivity(),
        m_container.preferenceSync(),
        m_container.apiClient(),
        m_container.environment().backendBaseURL,
    });
    Theme::shared()->configureNavigationBarAppearance();
}

TalvoroApplication::~TalvoroApplication() = default;

void TalvoroApplication::start()
{
    m_controller->start();
    AppActivity &activity = m_container.appActivity();
    QObject::connect(&activity, &AppActivity::activeChanged, m_controller.get(), &AppController::setActive);
    m_controller->setActive(activity.isActive());
}

QUrl TalvoroApplication::rootUrl()
{
    return QUrl(QStringLiteral("qrc:/Talvoro/Main.qml"));
}

QVariantMap TalvoroApplication::rootProperties()
{
    return {
        {QStringLiteral("container"), QVariant::fromValue(&m_container)},
        {QStringLiteral("controller"), QVariant::fromValue(m_controller.get())},
    };
}

} // namespace talvoro
