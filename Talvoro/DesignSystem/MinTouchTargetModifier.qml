import QtQuick
import Talvoro

// Gives its one child a touch area of at least 44 x 44 points, the child centred.
Item {
    id: root

    default property Item content

    implicitWidth: Math.max(Theme.size.minTouchTarget, root.content ? root.content.implicitWidth : 0)
    implicitHeight: Math.max(Theme.size.minTouchTarget, root.content ? root.content.implicitHeight : 0)

    onContentChanged: {
        if (!root.content)
            return;
        root.content.parent = root;
        root.content.anchors.centerIn = root;
    }
}
