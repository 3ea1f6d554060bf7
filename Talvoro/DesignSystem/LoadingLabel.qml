import QtQuick
import QtQuick.Layouts
import Talvoro

// A spinner over the text of what is loading, centred, as wide as the text and at
// most its parent's width less `margins` on each side: a longer text wraps.
ColumnLayout {
    id: root

    property string text
    property font font: Theme.font(Theme.Footnote)
    property real margins: 16

    width: Math.min(implicitWidth, (parent ? parent.width : implicitWidth) - 2 * root.margins)
    spacing: 8

    ActivityIndicator {
        Layout.alignment: Qt.AlignHCenter
    }
    PlainText {
        text: root.text
        font: root.font
        color: Theme.textSecondary
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.Wrap
        Layout.fillWidth: true
    }
}
