import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Talvoro

// The page for a ready list: the header, the card of the word on show (or the
// end of the list), and the transport controls.
Item {
    id: root

    required property PlaybackPageModel model
    property bool marking: false
    property PlayerSharedElementRegistry registry: null
    property Item space: null
    signal openSettings

    ColumnLayout {
        anchors.fill: parent
        spacing: 20

        PlaybackInformationHeader {
            playlistName: root.model.playlistName
            positionText: root.model.positionText
            loopText: root.model.loopText
            Layout.fillWidth: true
        }

        Item { Layout.fillHeight: true }

        // Takes what the header and the controls leave, scrolling when the card is longer.
        Flickable {
            id: cardScroll
            Layout.fillWidth: true
            Layout.minimumWidth: 0
            Layout.maximumWidth: root.width
            contentWidth: width
            Layout.fillHeight: true
            Layout.maximumHeight: contentHeight
            Layout.preferredHeight: contentHeight
            contentHeight: card.implicitHeight
            boundsBehavior: Flickable.StopAtBounds
            clip: true
            visible: root.model.hasWord
            // The card's marked elements report their bounds when it scrolls.
            onContentYChanged: if (root.registry) root.registry.progressChanged()

            PlaybackWordCard {
                id: card
                width: cardScroll.width
                model: root.model
                marking: root.marking
                registry: root.registry
                space: root.space
            }
        }

        ORVEmptyStateView {
            objectName: "player.finished"
            visible: !root.model.hasWord
            title: "列表已播放完毕"
            description: "点击重新播放开始下一轮练习"
            systemImageName: "tray"
            Layout.fillWidth: true
        }

        Item { Layout.fillHeight: true }

        ColumnLayout {
            spacing: 16
            Layout.fillWidth: true
            Layout.bottomMargin: 24

            RowLayout {
                Layout.fillWidth: true
                Layout.leftMargin: 24
                Layout.rightMargin: 24

                AbstractButton {
                    objectName: "player.loopMode"
                    implicitHeight: 44
                    implicitWidth: contentItem.implicitWidth
                    onClicked: root.model.cycleLoopMode()
                    Accessible.role: Accessible.Button
                    Accessible.name: root.model.loopText
                    contentItem: RowLayout {
                        spacing: 4
                        Icon {
                            name: root.model.loopSymbol
                            size: Theme.fontSize(Theme.Caption1)
                            tint: Theme.accent
                        }
                        PlainText {
                            objectName: "player.loopMode.text"
                            text: root.model.loopText
                            font: Theme.font(Theme.Caption1)
                            color: Theme.accent
                        }
                    }
                }
                Item { Layout.fillWidth: true }
                AbstractButton {
                    objectName: "player.settings"
                    // At least a touch target, larger when its title-3 symbol is.
                    implicitWidth: Math.max(44, implicitContentWidth)
                    implicitHeight: Math.max(44, implicitContentHeight)
                    onClicked: root.openSettings()
                    Accessible.role: Accessible.Button
                    Accessible.name: "播放偏好设置"
                    contentItem: Icon {
                        name: "slider.horizontal.3"
                        size: Theme.fontSize(Theme.Title3)
                        tint: Theme.textSecondary
                    }
                }
            }

            RowLayout {
                spacing: 32
                Layout.alignment: Qt.AlignHCenter

                AbstractButton {
                    objectName: "player.previous"
                    implicitWidth: 44
                    implicitHeight: 44
                    enabled: root.model.previousEnabled
                    onClicked: root.model.previous()
                    // Without a name of its own a button is read as nothing.
                    Accessible.name: "上一个"
                    contentItem: Icon {
                        name: "backward.fill"
                        size: 28
                        tint: root.model.previousEnabled ? Theme.accent : Theme.mutedFill
                    }
                }
                AbstractButton {
                    id: center
                    objectName: "player.center"
                    implicitWidth: 80
                    implicitHeight: 80
                    enabled: root.model.centerEnabled && !root.marking
                    opacity: root.marking ? 0 : 1
                    onClicked: root.model.togglePlayback()
                    Accessible.role: Accessible.Button
                    Accessible.name: root.model.centerLabel
                    Accessible.ignored: root.marking
                    contentItem: Icon {
                        name: root.model.centerSymbol
                        size: 64
                        tint: Theme.accent
                    }
                    PlayerSharedElement {
                        role: PlayerMorph.ExpandedControl
                        active: root.marking
                        registry: root.registry
                        space: root.space
                    }
                }
                AbstractButton {
                    objectName: "player.next"
                    implicitWidth: 44
                    implicitHeight: 44
                    enabled: root.model.nextEnabled
                    onClicked: root.model.next()
                    Accessible.name: "下一个"
                    contentItem: Icon {
                        name: "forward.fill"
                        size: 28
                        tint: root.model.nextEnabled ? Theme.accent : Theme.mutedFill
                    }
                }
            }
        }
    }
}
