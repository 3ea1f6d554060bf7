pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Window
import Talvoro

// The one window: the login screen while signed out, the home screen while signed
// in, nothing while the stored session is restored, and the launch cover over it
// all until the restore has finished.
Window {
    id: root

    required property DependencyContainer container
    required property AppController controller

    width: 390
    height: 844
    visible: true
    title: "Talvoro"
    color: Theme.background

    BoundLoader {
        id: content
        objectName: "root.content"
        anchors.fill: parent
        sourceComponent: {
            switch (root.controller.rootContent) {
            case AppController.Login:
                return loginScreen
            case AppController.Home:
                return homeScreen
            default:
                return null
            }
        }
    }

    Component {
        id: loginScreen
        LoginView {
            model: root.container.makeLoginScreenModel(this)
        }
    }

    Component {
        id: homeScreen
        HomeView {
            model: root.container.makeHomeViewModel(this)
            playbackSession: root.container.playbackSession
            // Loaded by its file name, so that the player's types load the first
            // time something plays rather than with home; the Loader owns the model.
            playbackHost: Component {
                Loader {
                    id: host
                    Component.onCompleted: setSource("GlobalPlaybackSurfaceHost.qml",
                        { model: root.container.makePlaybackSurfaceHostModel(host) })
                }
            }
        }
    }

    LaunchHandoffView {
        readonly property bool restoring: root.container.launchCoordinator.phase === AppLaunchCoordinator.RestoringSession

        anchors.fill: parent
        opacity: restoring ? 1 : 0
        visible: opacity > 0

        Behavior on opacity {
            enabled: !Theme.reduceMotion
            NumberAnimation { duration: 200 }
        }
    }
}
