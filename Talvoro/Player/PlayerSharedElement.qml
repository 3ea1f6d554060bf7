import QtQuick
import Talvoro

// Marks its parent as one of the travelling elements of the playback morph. While
// active it reports the parent's bounds in `space` under `role` (again on every
// frame, since moving an ancestor tells the parent nothing) and the
// parent is expected to draw itself invisible and silent, keeping its place.
// The marker covers its parent unless given a narrower rectangle (a text's own
// glyphs inside a wide text item). Inside a view that clips (a scrolled card) it
// also reports what that view shows, so the travelling copy is cut as the
// parent would be.
Item {
    id: marker

    required property int role
    property bool active: false
    property PlayerSharedElementRegistry registry: null
    property Item space: null

    width: parent ? parent.width : 0
    height: parent ? parent.height : 0

    function reportBounds() {
        if (!marker.registry)
            return;
        if (!marker.active || !marker.space || !marker.visible) {
            marker.registry.withdraw(marker.role);
            return;
        }
        const origin = marker.mapToItem(marker.space, 0, 0);
        const bounds = Qt.rect(origin.x, origin.y, marker.width, marker.height);
        const shown = marker.shownArea();
        if (shown)
            marker.registry.report(marker.role, bounds, shown);
        else
            marker.registry.report(marker.role, bounds);
    }
    // The part of `space` that every clipping view around the marker shows, or null.
    function shownArea() {
        let area = null;
        for (let up = marker.parent; up && up !== marker.space; up = up.parent) {
            if (!up.clip)
                continue;
            const box = up.mapToItem(marker.space, 0, 0, up.width, up.height);
            if (!area) {
                area = box;
                continue;
            }
            const left = Math.max(area.x, box.x);
            const top = Math.max(area.y, box.y);
            area = Qt.rect(left, top, Math.max(0, Math.min(area.x + area.width, box.x + box.width) - left),
                Math.max(0, Math.min(area.y + area.height, box.y + box.height) - top));
        }
        return area;
    }

    onActiveChanged: marker.reportBounds()
    onWidthChanged: marker.reportBounds()
    onHeightChanged: marker.reportBounds()
    onVisibleChanged: marker.reportBounds()
    Component.onCompleted: marker.reportBounds()
    Component.onDestruction: {
        if (marker.registry)
            marker.registry.withdraw(marker.role);
    }

    Connections {
        target: marker.registry
        function onProgressChanged() { marker.reportBounds(); }
    }
    // And after every frame while active, for layouts that settle with no progress
    // moving (reports that change nothing are dropped by the registry).
    Connections {
        target: marker.active ? marker.Window.window : null
        function onAfterAnimating() { marker.reportBounds(); }
    }
}
