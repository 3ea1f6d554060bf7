import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Talvoro

// A text button of a lexicon header bar: plain (accent text with an optional
// symbol), bordered, or prominent (filled), at least 44 pt high.
AbstractButton {
    id: root

    property string title
    property string symbolName
    property bool bordered: false
    property bool prominent: false
    property bool busy: false

    leftPadding: root.bordered || root.prominent ? 12 : 4
    rightPadding: root.leftPadding
    implicitWidth: root.implicitContentWidth + root.leftPadding + root.rightPadding
    implicitHeight: Math.max(44, root.implicitContentHeight + 10)
    opacity: root.enabled ? 1 : 0.45
    Accessible.name: root.title

    background: Rectangle {
        visible: root.bordered || root.prominent
        anchors.centerIn: parent
        width: parent.width
        height: Math.max(34, parent.height - 10)
        radius: 8
        color: root.prominent ? Theme.accent : Qt.alpha(Theme.accent, root.down ? 0.2 : 0.12)
    }
    contentItem: RowLayout {
        spacing: root.busy ? 8 : 4
        ActivityIndicator {
            visible: root.busy
            size: 14
        }
        Icon {
            visible: root.symbolName !== ""
            name: root.symbolName
            size: Theme.scaled(17, Theme.Subheadline)
            tint: Theme.accent
        }
        PlainText {
            text: root.title
            font: Theme.font(Theme.Subheadline, root.prominent ? Font.DemiBold : Font.Normal)
            color: root.prominent ? Theme.textOnAccent : Theme.accent
        }
    }
}
