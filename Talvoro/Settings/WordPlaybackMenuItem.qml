import QtQuick
import QtQuick.Controls
import Talvoro

// One entry of a unit row's menus: a symbol before the text, or, as a header, the
// title of the group of entries below it (not selectable).
MenuItem {
    id: root

    property string symbol
    property bool isHeader: false

    enabled: !root.isHeader
    implicitHeight: root.isHeader ? 30 : 44
    Accessible.name: root.text

    contentItem: Row {
        spacing: 10
        leftPadding: root.isHeader ? 4 : 0

        Icon {
            visible: !root.isHeader
            name: root.symbol
            size: Theme.fontSize(Theme.Subheadline)
            tint: Theme.accent
            width: 20
            anchors.verticalCenter: parent.verticalCenter
        }
        PlainText {
            text: root.text
            font: root.isHeader ? Theme.font(Theme.Footnote, Font.DemiBold) : Theme.font(Theme.Body)
            color: root.isHeader ? Theme.textSecondary : Theme.textPrimary
            anchors.verticalCenter: parent.verticalCenter
        }
    }
    // Clear, so that the menu's own surface shows through.
    background: Rectangle {
        radius: 8
        color: root.highlighted ? Theme.mutedFill : "transparent"
    }
}
