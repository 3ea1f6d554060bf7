import QtQuick
import QtQuick.Controls
import Talvoro

// A unit row's menu, opened from its label: as wide as the row, on a raised
// surface of its own that reads apart from the card it lies on, in both looks.
Menu {
    id: root

    // Under its label where it fits, else above it; the window keeps it inside
    // either way. Read again at each opening, as the form scrolls in between.
    y: {
        if (!root.visible)
            return root.parent.height;
        const bottom = root.parent.mapToItem(null, 0, root.parent.height).y + root.height + root.bottomMargin;
        return bottom <= root.parent.Window.height ? root.parent.height : -root.height;
    }
    width: root.parent.width
    margins: 8
    padding: 6

    background: WordPlaybackRaisedPanel {
        color: Qt.tint(Theme.surface, Theme.mutedFill)
    }
}
