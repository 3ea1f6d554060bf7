import QtQuick
import QtQuick.Layouts
import Talvoro

// One titled group of the settings forms: the header in small secondary text over
// a rounded card that stacks the rows, and an optional explanatory footer.
ColumnLayout {
    id: root

    property string header
    property string footer
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
