pragma ComponentBehavior: Bound

import QtQuick
import Talvoro

// The full player page: the root of its own navigation stack, showing the list
// it was built for (the host keeps that the live one) or, until it is the one
// playing, "正在准备播放".
Item {
    id: root
    objectName: "player.page"

    required property PlaybackPageModel model
    required property PlaybackSurfaceHostModel host
    property bool managesSharedTransitionElements: false
    property PlayerSharedElementRegistry registry: null
    property Item space: null

    readonly property bool presentingChild: stack.depth > 1

    Rectangle {
        anchors.fill: parent
        color: Theme.background
    }

    NavStack {
        id: stack
        anchors.fill: parent
        initialPage: pageComponent
    }

    // A pushed screen hides the collapse button and stops the morph's marking.
    Binding {
        target: root.host
        property: "childDestinationPresented"
        value: root.presentingChild
    }

    Component {
        id: playbackSettingsPage
        // A new screen each time; the page owns its model.
        PlaybackSettingsView {
            model: root.host.makePlaybackSettingsModel(this)
        }
    }

    Component {
        id: pageComponent

        // The page draws its own bar: its collapse button lives in this file.
        NavPage {
            navigationBarHidden: true
            onAppeared: root.model.syncCurrentIndex()

            Rectangle {
                id: bar
                objectName: "player.navigationBar"
                width: parent.width
                height: 44
                color: Theme.navigationBarAppearance.backgroundColor

                ORVToolbarIconButton {
                    objectName: "player.collapse"
                    x: 8
                    anchors.verticalCenter: parent.verticalCenter
                    visible: !root.presentingChild
                    symbolName: "chevron.down"
                    accessibilityLabel: "缩小播放页面"
                    semanticColor: Theme.accent
                    Accessible.description: "缩小为底部播放状态栏，播放会继续"
                    onClicked: root.host.collapse()
                }
                PlainText {
                    anchors.centerIn: parent
                    text: "听力与发音练习"
                    color: Theme.navigationBarAppearance.titleColor
                    font: Theme.systemFont(17, Font.DemiBold)
                    Accessible.role: Accessible.Heading
                }
                Rectangle {
                    anchors.bottom: parent.bottom
                    width: parent.width
                    height: 1
                    color: Theme.navigationBarAppearance.shadowColor
                }
            }

            ORVEmptyStateView {
                objectName: "player.waiting"
                anchors.centerIn: parent
                width: parent.width
                visible: root.model.waiting
                title: "正在准备播放"
                description: "正在建立当前播放列表，请稍候"
                systemImageName: "tray"
            }

            PlaybackContentView {
                anchors.fill: parent
                anchors.topMargin: bar.height
                visible: !root.model.waiting
                model: root.model
                marking: root.managesSharedTransitionElements && !root.presentingChild
                registry: root.registry
                space: root.space
                onOpenSettings: stack.push(playbackSettingsPage, {})
            }
        }
    }
}
