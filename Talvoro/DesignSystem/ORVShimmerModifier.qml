import QtQuick
import Talvoro

// The loading sweep over placeholder shapes (ORVShimmerShape children bind their
// `frame`, `phase` and `sweeping` to it). The phase runs from -1 to 1.2 in 1.6 s,
// again and again. With Reduce Motion nothing moves: the shapes keep their own
// colours at 60 % opacity.
Item {
    id: root

    property real phase: -1
    readonly property bool sweeping: !Theme.reduceMotion

    opacity: root.sweeping ? 1 : 0.6

    NumberAnimation {
        target: root
        property: "phase"
        from: -1
        to: 1.2
        duration: 1600
        loops: Animation.Infinite
        running: root.sweeping && root.visible
    }
}
