import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Talvoro

// One category chip of the voice list's filter, with the number of voices behind it.
AbstractButton {
    id: root

    property string title
    property int count: 0
    property bool isSelected: false

    implicitWidth: label.implicitWidth + 24
    implicitHeight: Math.max(38, label.implicitHeight + 12)
    Accessible.role: Accessible.Button
    Accessible.name: VoiceCatalogPresentation.pillAccessibleName(root.title, root.count)
    Accessible.selected: root.isSelected

    Rectangle {
        anchors.fill: parent
        radius: height / 2
        color: root.isSelected ? Theme.accent : Theme.background
        border.width: 1
        border.color: root.isSelected ? Theme.accent : Theme.separator
        opacity: root.pressed ? 0.7 : 1
    }

    RowLayout {
        id: label
        anchors.centerIn: parent
        spacing: 6

        PlainText {
            text: root.title
            font: Theme.font(Theme.Subheadline, root.isSelected ? Font.DemiBold : Font.Normal)
            color: root.isSelected ? "white" : Theme.textPrimary
        }
        Rectangle {
            implicitWidth: countText.implicitWidth + 12
            implicitHeight: countText.implicitHeight + 4
            radius: height / 2
            color: root.isSelected ? Qt.rgba(1, 1, 1, 0.22) : Qt.alpha(Theme.textSecondary, 0.10)

            PlainText {
                id: countText
                anchors.centerIn: parent
                text: root.count
                font: Theme.font(Theme.Caption2, Font.DemiBold)
                color: root.isSelected ? "white" : Theme.textPrimary
            }
        }
    }
}
