import QtQuick
import Talvoro

// One line that always ends with its tail (the position in the list): the head
// gives way from its end, so the list's name goes first, then the status. Its
// texts are read as part of the bar's button, never on their own.
Item {
    id: root

    property string head
    property string tail
    property real fontSize: Theme.fontSize(Theme.Caption1)
    readonly property string text: root.head + root.tail

    implicitHeight: tailText.implicitHeight

    TextMetrics {
        id: metrics
        text: root.head
        font.pixelSize: root.fontSize
        elide: Text.ElideRight
        elideWidth: Math.max(0, root.width - tailText.implicitWidth)
    }
    PlainText {
        id: headText
        text: metrics.elidedText
        font.pixelSize: root.fontSize
        color: Theme.textSecondary
        maximumLineCount: 1
        Accessible.ignored: true
    }
    PlainText {
        id: tailText
        x: headText.implicitWidth
        text: root.tail
        font.pixelSize: root.fontSize
        color: Theme.textSecondary
        maximumLineCount: 1
        Accessible.ignored: true
    }
}
