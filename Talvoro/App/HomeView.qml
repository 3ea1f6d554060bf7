import QtQuick
import Talvoro

// The signed-in user's home.
Item {
    id: root
    objectName: "home.view"

    required property DependencyContainer container

    Rectangle {
        anchors.fill: parent
        color: Theme.background
    }

    PlainText {
        objectName: "home.greeting"
        text: "欢迎回来, " + root.container.session.username
        font: Theme.font(Theme.Title2, Font.Bold)
        x: 20
        y: 24
        width: root.width - 40
        wrapMode: Text.Wrap
    }
}
