pragma ComponentBehavior: Bound

import QtQuick
import Talvoro

// The spinning spokes shown while something loads.
Item {
    id: root

    property color tint: Theme.textSecondary
    property real size: 20

    implicitWidth: root.size
    implicitHeight: root.size
    Accessible.role: Accessible.Indicator
    Accessible.name: "加载中"

    Item {
        id: spokes
        anchors.fill: parent

        Repeater {
            model: 8
            Rectangle {
                id: spoke
                required property int index
                x: (root.size - width) / 2
                y: 0
                width: Math.max(2, root.size / 9)
                height: root.size * 0.3
                radius: width / 2
                color: root.tint
                opacity: 0.25 + 0.75 * (spoke.index / 7)
                transform: Rotation {
                    origin.x: spoke.width / 2
                    origin.y: root.size / 2
                    angle: spoke.index * 45
                }
            }
        }

        RotationAnimator on rotation {
            from: 0
            to: 360
            duration: 1000
            loops: Animation.Infinite
            running: root.visible
        }
    }
}
