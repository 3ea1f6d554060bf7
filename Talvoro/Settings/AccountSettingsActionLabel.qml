import QtQuick
import QtQuick.Layouts
import Talvoro

// One action row of the account settings: icon, caption, and a chevron that keeps
// its place even when hidden, so every row lines up. It has no action of its own:
// it is the look of the button that holds it, which is the one element a screen
// reader reads, by its caption.
Rectangle {
    id: root

    property string title
    property string iconName
    property color semanticColor: Theme.accent
    property bool isDestructive: false
    property bool showsChevron: true

    implicitHeight: Math.max(56, row.implicitHeight + 8)
    implicitWidth: row.implicitWidth + 24
    radius: 12
    color: Theme.surface
    border.width: 1
    border.color: Theme.separator
    clip: true

    RowLayout {
        id: row
        anchors.fill: parent
        anchors.leftMargin: 12
        anchors.rightMargin: 12
        spacing: 12

        Item {
            implicitWidth: 44
            implicitHeight: 44
            Icon {
                anchors.centerIn: parent
                name: root.iconName
                size: 17
                tint: root.semanticColor
            }
        }
        PlainText {
            text: root.title
            font: Theme.font(Theme.Headline)
            color: root.isDestructive ? Theme.danger : Theme.textPrimary
            wrapMode: Text.Wrap
            Accessible.ignored: true
            Layout.fillWidth: true
        }
        Item {
            implicitWidth: 20
            implicitHeight: 20
            opacity: root.showsChevron ? 1 : 0
            Icon {
                anchors.centerIn: parent
                name: "chevron.right"
                size: 13
                tint: Theme.textSecondary
                font.weight: Font.DemiBold
            }
        }
    }
}
