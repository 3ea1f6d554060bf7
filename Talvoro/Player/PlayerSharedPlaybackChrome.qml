import QtQuick
import QtQuick.Controls
import Talvoro

// The one visible copy of the activity icon, the word and the play/pause control
// while the morph runs: each drawn at its rectangle between the bar's and the
// page's reported bounds, sized and cross-faded by progress.
Item {
    id: root
    objectName: "player.chrome"

    required property PlayerSharedElementRegistry registry
    required property PlaybackSurfaceHostModel host
    property real progress: 0
    property bool isExpandedTarget: false

    readonly property int activity: root.host.activity
    readonly property var metrics: PlayerMorph.chrome(root.progress)

    // Bindings that read the registry's revision and progress, so they follow
    // every report and every frame.
    function frame(compact, expanded) {
        return root.registry.revision >= 0 && root.registry.progress >= -1
            ? root.registry.travellingFrame(compact, expanded, root.width, root.height) : Qt.rect(0, 0, 0, 0);
    }
    readonly property rect iconFrame: root.frame(PlayerMorph.CompactActivityIcon, PlayerMorph.ExpandedActivityIcon)
    readonly property rect titleFrame: root.frame(PlayerMorph.CompactTitle, PlayerMorph.ExpandedTitle)
    readonly property rect controlFrame: root.frame(PlayerMorph.CompactControl, PlayerMorph.ExpandedControl)
    // Where the icon and the word may be drawn: the page's card scrolls, and its
    // copies show only where the card does.
    function area(compact, expanded) {
        return root.registry.revision >= 0 && root.registry.progress >= -1
            ? root.registry.travellingArea(compact, expanded, root.width, root.height) : Qt.rect(0, 0, 0, 0);
    }
    readonly property rect iconArea: root.area(PlayerMorph.CompactActivityIcon, PlayerMorph.ExpandedActivityIcon)
    readonly property rect titleArea: root.area(PlayerMorph.CompactTitle, PlayerMorph.ExpandedTitle)

    Item {
        x: root.iconArea.x
        y: root.iconArea.y
        width: root.iconArea.width
        height: root.iconArea.height
        clip: true
        // What it cuts off is a scroll of the card away, not lost.
        readonly property bool showsScrolledArea: true

        Rectangle {
            x: root.iconFrame.x - root.iconArea.x
            y: root.iconFrame.y - root.iconArea.y
            width: root.iconFrame.width
            height: root.iconFrame.height
            radius: root.metrics.iconCornerRadius
            color: Qt.alpha(Theme.accent, root.metrics.iconTintOpacity)
            Accessible.ignored: true

            Icon {
                anchors.centerIn: parent
                name: root.host.activitySymbol
                size: root.metrics.iconSize
                font.weight: Font.DemiBold
                tint: Theme.accent
            }
        }
    }

    Item {
        x: root.titleArea.x
        y: root.titleArea.y
        width: root.titleArea.width
        height: root.titleArea.height
        clip: true
        // What it cuts off is a scroll of the card away, not lost.
        readonly property bool showsScrolledArea: true

        PlainText {
            objectName: "player.chrome.title"
            x: root.titleFrame.x - root.titleArea.x
            y: root.titleFrame.y - root.titleArea.y
            width: Math.max(root.titleFrame.width, 1)
            height: Math.max(root.titleFrame.height, 1)
            text: root.host.word
            font.pixelSize: root.metrics.titleSize
            font.weight: Font.Bold
            color: Theme.textPrimary
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            maximumLineCount: 1
            fontSizeMode: Text.HorizontalFit
            minimumPixelSize: Math.round(root.metrics.titleSize * 0.6)
            Accessible.role: Accessible.Heading
            Accessible.ignored: !root.isExpandedTarget
        }
    }

    AbstractButton {
        objectName: "player.chrome.control"
        readonly property real w: Math.max(root.controlFrame.width, 44)
        readonly property real h: Math.max(root.controlFrame.height, 44)
        x: root.controlFrame.x + (root.controlFrame.width - w) / 2
        y: root.controlFrame.y + (root.controlFrame.height - h) / 2
        width: w
        height: h
        enabled: root.activity !== PlaybackState.Loading
        onClicked: root.host.togglePlayback()
        Accessible.role: Accessible.Button
        Accessible.name: root.host.controlLabel

        readonly property color tint: root.activity === PlaybackState.Loading ? Theme.textSecondary : Theme.accent
        Icon {
            anchors.centerIn: parent
            name: root.host.controlSymbol
            size: root.metrics.controlSize
            font.weight: Font.DemiBold
            tint: parent.tint
            opacity: root.metrics.compactGlyphOpacity
        }
        Icon {
            anchors.centerIn: parent
            name: root.host.expandedControlSymbol
            size: root.metrics.controlSize
            font.weight: Font.DemiBold
            tint: parent.tint
            opacity: root.metrics.expandedGlyphOpacity
        }
    }
}
