import QtQuick
import QtQuick.Layouts
import Talvoro

// One group of the per-word playback form: a small header, a rounded card that
// stacks the rows, and an optional footer under the card.
ColumnLayout {
    id: root

    property string header
    property string footer
    property real rowSpacing: 8
    default property alias content: rows.data

    spacing: 6
    Layout.fillWidth: true

    PlainText {
        visible: root.header !== ""
        text: root.header
        font: Theme.font(Theme.Footnote)
        color: Theme.textSecondary
        wrapMode: Text.Wrap
        Layout.fillWidth: true
        Layout.leftMargin: 16
        Layout.rightMargin: 16
    }
    Rectangle {
        color: Theme.surface
        radius: 10
        Layout.fillWidth: true
        implicitHeight: rows.implicitHeight + 16

        ColumnLayout {
            id: rows
            x: 16
            y: 8
            width: parent.width - 32
            spacing: root.rowSpacing
        }
    }
    PlainText {
        visible: root.footer !== ""
        text: root.footer
        font: Theme.font(Theme.Footnote)
        color: Theme.textSecondary
        wrapMode: Text.Wrap
        Layout.fillWidth: true
        Layout.leftMargin: 16
        Layout.rightMargin: 16
    }
}
