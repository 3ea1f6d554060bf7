import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Talvoro

// One entry of a unit row's menus: a symbol before the text, or, as a header, the
// title of the group of entries below it (not selectable). It grows with its text,
// which wraps inside the menu at large text sizes.
MenuItem {
    id: root

    property string symbol
    property bool isHeader: false

    enabled: !root.isHeader
    implicitHeight: Math.max(root.isHeader ? 30 : 44, implicitContentHeight + topPadding + bottomPadding)
    Accessible.name: root.text

    contentItem: RowLayout {
        spacing: 10

        Icon {
            visible: !root.isHeader
            name: root.symbol
            size: Theme.fontSize(Theme.Subheadline)
            tint: Theme.accent
            Layout.preferredWidth: Math.max(20, implicitWidth)
        }
        PlainText {
            text: root.text
            font: root.isHeader ? Theme.font(Theme.Footnote, Font.DemiBold) : Theme.font(Theme.Body)
            color: root.isHeader ? Theme.textSecondary : Theme.textPrimary
            wrapMode: Text.Wrap
            Layout.fillWidth: true
            Layout.leftMargin: root.isHeader ? 4 : 0
        }
    }
    // Clear, so that the menu's own surface shows through.
    background: Rectangle {
        radius: 8
        color: root.highlighted ? Theme.mutedFill : "transparent"
    }
}
