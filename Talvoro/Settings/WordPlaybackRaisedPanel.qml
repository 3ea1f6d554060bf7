import QtQuick
import Talvoro

// A panel raised above the form in both looks: behind a unit row's menus and
// the loading overlay.
Rectangle {
    implicitWidth: 220
    radius: 12
    color: Theme.surface
    border.width: 1
    border.color: Theme.separator

    // A painted shadow: offscreen rendering draws no shader effects.
    Rectangle {
        z: -1
        x: 0
        y: 4
        width: parent.width
        height: parent.height
        radius: parent.radius
        color: Theme.shadow
    }
}
