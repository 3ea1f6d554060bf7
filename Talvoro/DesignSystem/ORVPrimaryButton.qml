import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Talvoro

// The filled call to action. While loading or disabled it is inactive: muted, without
// shadow, and deaf to taps.
AbstractButton {
    id: root

    property string title
    property string iconName
    property bool isLoading: false
    property bool isDisabled: false
    readonly property bool isInactive: root.isDisabled || root.isLoading

    enabled: !root.isInactive
    implicitWidth: Math.max(120, titleText.implicitWidth + (root.isLoading || root.iconName !== "" ? 28 : 0) + 32)
    implicitHeight: Math.max(52, titleText.implicitHeight + 24)
    Layout.fillWidth: true
    focusPolicy: Qt.StrongFocus
    Accessible.role: Accessible.Button
    Accessible.name: root.title

    Rectangle {
        anchors.fill: parent
        radius: 14
        gradient: Gradient {
            orientation: Gradient.Horizontal
            GradientStop {
                position: 0
                color: root.isInactive ? Theme.mutedFill : Theme.accent
            }
            GradientStop {
                position: 1
                color: root.isInactive ? Theme.mutedFill : Theme.accentPressed
            }
        }

        ORVShadow {
            color: root.isInactive ? "transparent" : Qt.alpha(Theme.accent, 0.28)
            radius: 10
            offsetY: 4
            cornerRadius: 14
        }
    }

    Row {
        anchors.centerIn: parent
        spacing: 8

        ActivityIndicator {
            visible: root.isLoading
            tint: Theme.textTertiary
            anchors.verticalCenter: parent.verticalCenter
        }
        Icon {
            visible: !root.isLoading && root.iconName !== ""
            name: root.iconName
            size: 17
            tint: titleText.color
            font.weight: Font.DemiBold
            anchors.verticalCenter: parent.verticalCenter
        }
        PlainText {
            id: titleText
            text: root.title
            color: root.isInactive ? Theme.textTertiary : Theme.textOnAccent
            font: Theme.systemFont(17, Font.Bold)
            // A long title at a large text size wraps and the button grows with it:
            // a count at its end must never be cut off.
            wrapMode: Text.Wrap
            horizontalAlignment: Text.AlignHCenter
            width: Math.min(implicitWidth, root.width - (root.isLoading || root.iconName !== "" ? 28 : 0) - 32)
            anchors.verticalCenter: parent.verticalCenter
            // The button says its title.
            Accessible.ignored: true
        }
    }
}
