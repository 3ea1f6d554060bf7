import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Talvoro

// The outlined button.
AbstractButton {
    id: root

    property string title
    property string iconName

    implicitWidth: Math.max(100, titleText.implicitWidth + (root.iconName !== "" ? 26 : 0) + 32)
    implicitHeight: Math.max(48, titleText.implicitHeight + 24)
    Layout.fillWidth: true
    focusPolicy: Qt.StrongFocus
    Accessible.role: Accessible.Button
    Accessible.name: root.title

    Rectangle {
        anchors.fill: parent
        radius: 14
        color: root.down ? Theme.mutedFill : Theme.surface
        border.width: 1
        border.color: Theme.separator
    }

    Row {
        anchors.centerIn: parent
        spacing: 8

        Icon {
            visible: root.iconName !== ""
            name: root.iconName
            size: 16
            tint: Theme.accent
            font.weight: Font.Medium
            anchors.verticalCenter: parent.verticalCenter
        }
        PlainText {
            id: titleText
            text: root.title
            color: Theme.accent
            font: Theme.systemFont(16, Font.DemiBold)
            wrapMode: Text.Wrap
            horizontalAlignment: Text.AlignHCenter
            width: Math.min(implicitWidth, root.width - (root.iconName !== "" ? 58 : 32))
            anchors.verticalCenter: parent.verticalCenter
        }
    }
}
