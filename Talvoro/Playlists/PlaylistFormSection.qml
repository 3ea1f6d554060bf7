import QtQuick
import QtQuick.Layouts
import Talvoro

// One titled group of a form: the header in small secondary text over a rounded
// card that stacks the section's rows.
ColumnLayout {
    id: root

    property string header
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
        implicitHeight: rows.implicitHeight + 24

        ColumnLayout {
            id: rows
            x: 16
            y: 12
            width: parent.width - 32
            spacing: 8
        }
    }
}
