import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Talvoro

// The compact player at the bottom of the screen: what plays, a tap to open the
// full page, and pause or resume. Its surface is drawn by the host behind it.
Item {
    id: root
    objectName: "player.bar"

    required property PlaybackSurfaceHostModel host
    property bool managesSharedTransitionElements: false
    property PlayerSharedElementRegistry registry: null
    property Item space: null
    // Takes the bar out of what a screen reader reads, with all it holds (while
    // the page lies over it).
    property bool accessibilityHidden: false

    readonly property int activity: root.host.activity
    readonly property bool marking: root.managesSharedTransitionElements
    // The bar keeps its height at every text size, as the morph starts from it: its
    // two lines grow with the text size only as far as they fit in it.
    readonly property real titleSize: Math.min(Theme.fontSize(Theme.Subheadline), 17)
    readonly property real subtitleSize: Math.min(Theme.fontSize(Theme.Caption1), 13)

    visible: root.host.hasPresentation
    implicitHeight: Math.max(64, row.implicitHeight + 16)

    RowLayout {
        id: row
        anchors.fill: parent
        anchors.leftMargin: 16
        anchors.rightMargin: 16
        anchors.topMargin: 8
        anchors.bottomMargin: 8
        spacing: 12

        AbstractButton {
            id: openButton
            objectName: "player.bar.open"
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.minimumHeight: 44
            onClicked: root.host.openFullPlayer()
            // One element: what it shows is read in its name, not again on its own.
            Accessible.role: Accessible.Button
            Accessible.ignored: root.accessibilityHidden
            Accessible.name: root.host.statusText + "，" + root.host.word + "，"
                + root.host.progressText + "，点击返回完整播放页"

            contentItem: RowLayout {
                spacing: 12

                Rectangle {
                    Layout.preferredWidth: 44
                    Layout.preferredHeight: 44
                    radius: 10
                    color: Qt.alpha(Theme.accent, 0.1)
                    opacity: root.marking ? 0 : 1
                    Accessible.ignored: true

                    Icon {
                        anchors.centerIn: parent
                        name: root.host.activitySymbol
                        size: 18
                        font.weight: Font.DemiBold
                        tint: Theme.accent
                    }
                    PlayerSharedElement {
                        role: PlayerMorph.CompactActivityIcon
                        active: root.marking
                        registry: root.registry
                        space: root.space
                    }
                }

                ColumnLayout {
                    spacing: 4
                    Layout.fillWidth: true

                    PlainText {
                        objectName: "player.bar.word"
                        text: root.host.word
                        font.pixelSize: root.titleSize
                        font.weight: Font.DemiBold
                        color: Theme.textPrimary
                        elide: Text.ElideRight
                        maximumLineCount: 1
                        opacity: root.marking ? 0 : 1
                        Layout.fillWidth: true
                        Accessible.ignored: true

                        PlayerSharedElement {
                            width: Math.min(parent.contentWidth, parent.width)
                            role: PlayerMorph.CompactTitle
                            active: root.marking
                            registry: root.registry
                            space: root.space
                        }
                    }
                    GlobalPlaybackBarSubtitle {
                        objectName: "player.bar.subtitle"
                        head: root.host.statusText + " · " + root.host.playlistName
                        tail: " · " + root.host.progressText
                        fontSize: root.subtitleSize
                        Layout.fillWidth: true
                    }
                }

                Item {
                    Layout.preferredWidth: 8
                }
            }
        }

        AbstractButton {
            id: control
            objectName: "player.bar.control"
            Layout.preferredWidth: 44
            Layout.preferredHeight: 44
            enabled: root.activity !== PlaybackState.Loading && !root.marking
            opacity: root.marking ? 0 : 1
            onClicked: root.host.togglePlayback()
            Accessible.role: Accessible.Button
            Accessible.ignored: root.marking || root.accessibilityHidden
            Accessible.name: root.host.controlLabel

            contentItem: Icon {
                name: root.host.controlSymbol
                size: 17
                font.weight: Font.DemiBold
                tint: root.activity === PlaybackState.Loading ? Theme.textSecondary : Theme.accent
            }

            PlayerSharedElement {
                role: PlayerMorph.CompactControl
                active: root.marking
                registry: root.registry
                space: root.space
            }
        }
    }
}
