import QtQuick
import Talvoro

// The separator a list row draws along its bottom edge: only for the first and
// middle rows of a group. Insets below zero count as zero. It takes no touches,
// so a tap on it lands on the row.
Item {
    id: root

    property int position: ORVListRowPosition.Only
    property real leadingInset: 0
    property real trailingInset: 0

    anchors.left: parent ? parent.left : undefined
    anchors.right: parent ? parent.right : undefined
    anchors.bottom: parent ? parent.bottom : undefined
    height: 1
    z: 1
    enabled: false
    visible: ORVListRowPosition.showsSeparator(root.position)
    Accessible.ignored: true

    Rectangle {
        x: Math.max(0, root.leadingInset)
        width: Math.max(0, root.width - x - Math.max(0, root.trailingInset))
        height: 1
        color: Theme.separator
    }
}
