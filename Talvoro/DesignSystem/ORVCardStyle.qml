import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Talvoro

// The card surface: 16 points of padding on a rounded, outlined, shadowed surface.
Pane {
    id: root

    padding: Theme.spacing.md
    Layout.fillWidth: true

    background: Rectangle {
        radius: Theme.cornerRadius.medium
        color: Theme.surface
        border.width: 1
        border.color: Theme.separator
        antialiasing: true

        ORVShadow {
            color: Theme.shadow
            radius: 6
            offsetY: 2
            cornerRadius: Theme.cornerRadius.medium
        }
    }
}
