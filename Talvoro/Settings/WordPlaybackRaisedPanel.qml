import QtQuick
import Talvoro

// A panel raised above the form in both looks: behind a unit row's menus and
// the loading overlay.
Rectangle {
    implicitWidth: 220
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
