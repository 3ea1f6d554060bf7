pragma ComponentBehavior: Bound

import QtQuick
import Talvoro

// One frame of the morph, computed from the progress and the content visibility
// alone: the surface's size, centre and corners, the page fading in over the bar
// fading out, both cut to the surface, and the travelling elements above them.
Item {
    id: root

    required property PlaybackSurfaceHostModel model
    property real progress: 0
    property real contentVisibility: 1

    readonly property var geometry: PlayerMorph.surface(root.progress, root.width, root.height)
    readonly property real compactWidth: PlayerMorph.compactWidth(root.width)
    readonly property real p: Math.max(0, Math.min(1, root.progress))

    opacity: Math.max(0, Math.min(1, root.contentVisibility))

    PlayerSharedElementRegistry {
        id: registry
        progress: root.progress
    }

    // The bar's shadow and border belong to the bar and fade as it becomes the page.
    Rectangle {
        x: surface.x
        y: surface.y - 2 * (1 - root.p)
        width: surface.width
        height: surface.height
        radius: surface.radius
        color: Theme.shadow
        opacity: 1 - root.p
    }
    Rectangle {
        id: surface
        objectName: "player.surface.background"
        x: root.geometry.centerX - root.geometry.width / 2
        y: root.geometry.centerY - root.geometry.height / 2
        width: root.geometry.width
        height: root.geometry.height
        radius: root.geometry.cornerRadius
        color: Theme.surface
        border.width: 1
        border.color: Qt.alpha(Theme.separator, Theme.separator.a * (1 - root.p))
    }

    // The software renderer has no rounded masks: the layer is cut to the surface's
    // rectangle, and the bar's padding keeps its content clear of the corners.
    Item {
        id: mask
        x: surface.x
        y: surface.y
        width: surface.width
        height: surface.height
        clip: true

        Item {
            id: layer
            x: -mask.x
            y: -mask.y
            width: root.width
            height: root.height

            // The page exists only while mounted: from the start of an expand until
            // the model takes it out after a collapse.
            Repeater {
                model: root.model.pageMounted ? 1 : 0

                // A plain wrapper: the page's own required model is not a delegate role.
                // It stays visible at opacity 0 (nothing of it is drawn then), so
                // the page's marked elements report where they stand from the
                // first frame of the morph.
                Item {
                    width: layer.width
                    height: layer.height
                    opacity: root.geometry.pageOpacity
                    // Touches reach the page only while it is presented.
                    enabled: root.model.presented
                    Accessible.ignored: !root.model.presented

                    PlaybackView {
                        anchors.fill: parent
                        model: root.model.makePageModel(this)
                        host: root.model
                        managesSharedTransitionElements: root.model.sharedChromeActive
                        registry: registry
                        space: layer
                    }
                }
            }

            GlobalPlaybackBar {
                z: 2
                x: (root.width - root.compactWidth) / 2
                y: root.height - PlayerMorph.compactRoom
                width: root.compactWidth
                height: 64
                host: root.model
                managesSharedTransitionElements: root.model.sharedChromeActive
                registry: registry
                space: layer
                opacity: root.geometry.barOpacity
                // Touches and a screen reader reach the bar only while the page is not presented.
                enabled: !root.model.presented
                accessibilityHidden: root.model.presented
            }

            PlayerSharedPlaybackChrome {
                z: 3
                anchors.fill: parent
                visible: root.model.sharedChromeActive && root.model.hasPresentation
                registry: registry
                host: root.model
                progress: root.progress
                isExpandedTarget: root.model.presented
            }
        }
    }
}
