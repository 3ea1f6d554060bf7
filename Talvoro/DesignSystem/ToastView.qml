import QtQuick
import Talvoro

// Shows the current toast of a ToastController near the top edge.
Item {
    id: root

    property ToastController controller: null
    property string iconName: "checkmark.circle.fill"
    property color iconColor: Theme.success

    anchors.horizontalCenter: parent ? parent.horizontalCenter : undefined
    anchors.top: parent ? parent.top : undefined
    anchors.topMargin: 8
    readonly property real maximumWidth: parent ? parent.width - 32 : 358
    width: capsule.implicitWidth
    height: capsule.height
    z: 100
    opacity: root.controller && root.controller.visible ? 1 : 0
    visible: opacity > 0

    Behavior on opacity {
        enabled: !Theme.reduceMotion
        NumberAnimation {
            duration: Theme.animation.standardDuration
        }
    }

    Rectangle {
        id: capsule

        implicitWidth: row.implicitWidth + 32
        width: root.width
        height: row.implicitHeight + 16
        // A capsule while it holds one line; a longer message keeps round corners.
        radius: Math.min(height / 2, 20)
        color: Theme.surface

        ORVShadow {
            color: Theme.shadow
            radius: 6
            offsetY: 3
            cornerRadius: capsule.radius
        }

        Row {
            id: row
            anchors.centerIn: parent
            spacing: 8

            Icon {
                visible: root.iconName !== ""
                name: root.iconName
                size: 15
                tint: root.iconColor
                anchors.verticalCenter: parent.verticalCenter
            }
            PlainText {
                text: root.controller ? root.controller.message : ""
                font: Theme.font(Theme.Footnote, Font.DemiBold)
                wrapMode: Text.Wrap
                width: Math.min(implicitWidth, root.maximumWidth - 64)
                anchors.verticalCenter: parent.verticalCenter
            }
        }
    }
}
