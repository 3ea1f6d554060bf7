import QtQuick
import Talvoro

// The cover over the window while the stored session is restored, so the login
// screen never flashes before a restored session replaces it.
Item {
    id: root
    objectName: "launch.handoff"

    Accessible.ignored: true

    Rectangle {
        anchors.fill: parent
        color: Theme.background
    }

    Icon {
        // Without the symbol the cover is the plain background.
        visible: IconCatalog.contains("ear.badge.waveform")
        name: "ear.badge.waveform"
        size: 54
        tint: Theme.accent
        font.weight: Font.Bold
        width: 64
        height: 64
        x: (root.width - width) / 2
        y: root.height / 2 - 68 - height / 2
    }

    // Swallows taps so nothing under the cover reacts while it shows.
    MouseArea {
        anchors.fill: parent
    }
}
