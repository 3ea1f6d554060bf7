import QtQuick
import QtQuick.Controls
import Talvoro

// A switch row's control: a pill that fills with the accent colour when on. It
// keeps no state of its own: it shows `modelChecked` and asks for a change with
// `changeRequested`, so a change the owner refuses springs back.
Switch {
    id: root

    property bool modelChecked: false
    signal changeRequested(bool on)

    checked: root.modelChecked
    padding: 0
    spacing: 0
    implicitWidth: 51
    implicitHeight: Math.max(44, 31)
    Accessible.role: Accessible.CheckBox
    Accessible.checkable: true
    Accessible.checked: root.checked

    onToggled: {
        const on = root.checked;
        root.checked = Qt.binding(() => root.modelChecked);
        root.changeRequested(on);
    }

    indicator: Rectangle {
        x: root.leftPadding
        y: (root.height - height) / 2
        implicitWidth: 51
        implicitHeight: 31
        radius: height / 2
        color: root.checked ? Theme.accent : Theme.mutedFill
        opacity: root.enabled ? 1 : 0.5

        Behavior on color {
            enabled: !Theme.reduceMotion
            ColorAnimation { duration: Theme.animation.quickDuration }
        }

        Rectangle {
            x: root.checked ? parent.width - width - 2 : 2
            y: 2
            width: 27
            height: 27
            radius: height / 2
            color: "white"
            border.width: 1
            border.color: Qt.rgba(0, 0, 0, 0.06)

            Behavior on x {
                enabled: !Theme.reduceMotion
                NumberAnimation { duration: Theme.animation.quickDuration }
            }
        }
    }
    contentItem: Item {}
}
