#pragma once

#include "App/AppLaunchCoordinator.h"
#include "Networking/APIClientProtocol.h"
#include "Persistence/PlaybackPreferenceSyncCoordinator.h"
#include "Platform/Async.h"
#include "Platform/NetworkConnectivity.h"
#include "Playback/GlobalPlaybackSession.h"
#include "Session/AppSession.h"

#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QtQmlIntegration>

#include <chrono>
#include <functional>
#include <optional>

namespace talvoro {

// What the app's scene does around its screens: chooses the top-level screen by
// session state, restores the session at launch behind the cover, rebinds or resets
// playback when the signed-in user or the access token changes, and keeps the token
// and the global playback preference fresh (at launch, every refresh interval while
// the app is active, and forced when the network comes back).
class AppController final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The app builds its one controller")
    Q_PROPERTY(RootContent rootContent READ rootContent NOTIFY rootContentChanged)

public:
    enum class RootContent { Nothing, Login, Home };
    Q_ENUM(RootContent)

    struct Services {
        AppSession &session;
        GlobalPlaybackSession &playbackSession;
        AppLaunchCoordinator &launchCoordinator;
        ORVNetworkConnectivityMonitor &connectivity;
        PlaybackPreferenceSyncCoordinator &preferenceSync;
        PlaybackPreferenceAPIClientProtocol &apiClient;
        std::function<std::optional<QUrl>()> backendBaseURL;
    };
    using Sleep = std::function<Task<>(std::chrono::milliseconds, CancellationToken)>;
    static constexpr std::chrono::milliseconds refreshInterval {300000};
    static constexpr double minimumTokenValidity = 300;

    explicit AppController(Services services, Sleep sleep = sleepFor, QObject *parent = nullptr);
    ~AppController() override;

    RootContent rootContent() const { return m_rootContent; }

    // Starts the launch restore; the launch coordinator runs it once.
    void start();
    // The scene became active (a refresh-and-sync pass now, then one per interval)
    // or stopped being active (the loop ends at once).
    void setActive(bool active);

    // The change handlers, public so that tests drive them one by one.
    void handleAuthenticatedUserChange(std::optional<qint64> userID);
    void handleSessionStateChange(std::optional<QString> accessToken);
    void handleConnectivityChange(ORVNetworkAvailability availability);
    Task<> synchronizePlaybackPreference(bool force);
    Task<> restoreOnLaunch();

Q_SIGNALS:
    void rootContentChanged();

private:
    static Task<> runRefreshLoop(QPointer<AppController> self, CancellationToken token);
    static Task<> synchronizeInBackground(QPointer<AppController> self, bool force);
    static Task<> restoreInBackground(QPointer<AppController> self);
    void sessionStateChanged();
    void updateRootContent();

    Services m_services;
    Sleep m_sleep;
    RootContent m_rootContent = RootContent::Nothing;
    std::optional<qint64> m_observedUserID;
    std::optional<QString> m_observedAccessToken;
    std::optional<CancellationSource> m_refreshLoop;
};

} // namespace talvoro
