#pragma once

#include "App/AppController.h"
#include "App/DependencyContainer.h"

#include <QUrl>
#include <QVariantMap>

namespace talvoro {

// The application object: builds the app-wide objects once, in this order (the
// session and the services inside the container, the playback session, the launch
// coordinator and the connectivity monitor with it), and the scene's controller
// over them. main() and the tests that run the whole app build it the same way.
class TalvoroApplication {
public:
    explicit TalvoroApplication(AppEnvironment environment = {});
    ~TalvoroApplication();

    DependencyContainer &container() { return m_container; }
    AppController &controller() { return *m_controller; }

    // Starts the launch restore and follows whether the app is active.
    void start();

    // The root window and what it needs to be created.
    static QUrl rootUrl();
    QVariantMap rootProperties();

private:
    DependencyContainer m_container;
    std::unique_ptr<AppController> m_controller;
};

} // namespace talvoro
