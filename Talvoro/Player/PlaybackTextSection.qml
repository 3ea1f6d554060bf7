import QtQuick
import QtQuick.Layouts
import Talvoro

// A titled paragraph of the word card, read as one element.
ColumnLayout {
    id: root

    property string title
    property string content

    spacing: 6
    Accessible.role: Accessible.StaticText
    Accessible.name: root.title + "，" + root.content

    PlainText {
        text: root.title
        font: Theme.font(Theme.Footnote, Font.DemiBold)
        color: Theme.textSecondary
        horizontalAlignment: Text.AlignHCenter
        Layout.fillWidth: true
        Accessible.ignored: true
    }
    PlainText {
        text: root.content
        font: Theme.font(Theme.Subheadline)
        color: Theme.textSecondary
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.Wrap
        Layout.fillWidth: true
        Accessible.ignored: true
    }
}
