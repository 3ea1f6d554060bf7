import QtQuick
import QtQuick.Layouts
import Talvoro

// "label：value" in a tinted capsule, read as one element.
Rectangle {
    id: root

    property string label
    property string value
    property color tint: Theme.accent

    implicitWidth: row.implicitWidth + 24
    implicitHeight: row.implicitHeight + 8
    radius: height / 2
    color: Qt.alpha(root.tint, 0.1)
    border.color: Qt.alpha(root.tint, 0.22)
    border.width: 1
    Accessible.role: Accessible.StaticText
    Accessible.name: root.label + "：" + root.value

    RowLayout {
        id: row
        anchors.centerIn: parent
        spacing: 4
        PlainText {
            text: root.label + "："
            font: Theme.font(Theme.Caption1, Font.DemiBold)
            color: Theme.textSecondary
            Accessible.ignored: true
        }
        PlainText {
            text: root.value
            font: Theme.font(Theme.Caption1, Font.DemiBold)
            color: root.tint
            Accessible.ignored: true
        }
    }
}
