#include "App/TalvoroApplication.h"
#include "Networking/BackendConfiguration.h"
#include "Platform/NetworkTransfer.h"
#include "Platform/ProcessExit.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlExtensionPlugin>
#include <QQuickWindow>
#include <QTimer>

Q_IMPORT_QML_PLUGIN(TalvoroPlugin)

namespace {

int run(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QGuiApplication::setOrganizationName(QStringLiteral("Talvoro"));
    QGuiApplication::setApplicationName(QStringLiteral("Talvoro"));

    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
        QStringLiteral("Save the window to <png> once shown, then quit."), QStringLiteral("png"));
    parser.addOption(screenshot);
    const QCommandLineOption trustAuthority(QStringLiteral("trust-authority"),
        QStringLiteral("Also trust the certificate authority in <pem> (a local development backend)."),
        QStringLiteral("pem"));
    parser.addOption(trustAuthority);
#ifdef TALVORO_DEVELOPMENT_OPTIONS
    // A development build can be pointed at a backend started just now, whose port
    // is known only at run time; a release build talks only to the backend it was
    // built for.
    const QCommandLineOption backendURL(QStringLiteral("backend-url"),
        QStringLiteral("Talk to the backend at <url> (https) instead of the one built in."), QStringLiteral("url"));
    parser.addOption(backendURL);
#endif
    parser.process(app);

    talvoro::AppEnvironment environment;
#ifdef TALVORO_DEVELOPMENT_OPTIONS
    if (parser.isSet(backendURL)) {
        const std::optional<QUrl> url = talvoro::BackendConfiguration::validatedBaseURL(parser.value(backendURL));
        if (!url) {
            qCritical("--backend-url takes an https URL with a host and no user, query or fragment: %s",
                qPrintable(parser.value(backendURL)));
            return 1;
        }
        environment.backendBaseURL = [url] { return url; };
    }
#endif

    // A local backend's authority is trusted in addition to the system's; nothing
    // else about the checks changes.
    if (parser.isSet(trustAuthority)
        && !talvoro::NetworkTransfer::trustForProcessFromFile(parser.value(trustAuthority))) {
        qCritical("No certificate in %s", qPrintable(parser.value(trustAuthority)));
        return 1;
    }

    talvoro::TalvoroApplication application(std::move(environment));
    QQmlApplicationEngine engine;
    engine.setInitialProperties(application.rootProperties());
    engine.load(talvoro::TalvoroApplication::rootUrl());
    if (engine.rootObjects().isEmpty())
        return 1;

    application.start();

    if (parser.isSet(screenshot)) {
        // The first screen is shot once the launch cover has faded from it.
        auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().constFirst());
        const QString path = parser.value(screenshot);
        auto shoot = [window, path] {
            QTimer::singleShot(400, window, [window, path] {
                const bool saved = window->grabWindow().save(path);
                QCoreApplication::exit(saved ? 0 : 1);
            });
        };
        talvoro::AppLaunchCoordinator &launch = application.container().launchCoordinator();
        if (launch.phase() == talvoro::AppLaunchCoordinator::Phase::ContentReady)
            shoot();
        else
            QObject::connect(&launch, &talvoro::AppLaunchCoordinator::phaseChanged, window, shoot);
        QTimer::singleShot(20000, window, [] {
            qCritical("The first screen did not appear within 20 s");
            QCoreApplication::exit(1);
        });
    }
    return app.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    // Everything run() built is destroyed in order when it returns.
    talvoro::exitProcess(run(argc, argv));
}
