import QtQuick
import Talvoro

// Lies over a screen while something plays: the bar on its surface at the bottom,
// growing into the full player page when the session says the page is open, and
// shrinking back when it says closed. The model decides what happens when; this
// view animates the progress towards the model's target with a near-critical
// spring, or jumps when the model says so (Reduce Motion, an unmount).
Item {
    id: root
    objectName: "player.host"

    required property PlaybackSurfaceHostModel model

    property real progress: root.model.targetProgress
    property real contentVisibility: root.model.contentVisibility

    Behavior on progress {
        enabled: root.model.animated
        NumberAnimation { duration: 520; easing.type: Easing.OutCubic }
    }
    Behavior on contentVisibility {
        enabled: root.model.animated
        NumberAnimation { duration: 520; easing.type: Easing.OutCubic }
    }

    Binding {
        target: root.model
        property: "reduceMotion"
        value: Theme.reduceMotion
    }

    PlayerSurfaceInterpolator {
        objectName: "player.surface"
        anchors.fill: parent
        model: root.model
        progress: root.progress
        contentVisibility: root.contentVisibility
    }
}
