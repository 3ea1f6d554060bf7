// A list view builds its header in a context of its own, and Qt 6.4 refuses to build
// a component bound to this file there (the header would not be drawn), so this file
// cannot bind its components to their context.
// qmllint disable unqualified

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Talvoro

// One playlist: its words in order, "开始播放" through the app-wide playback
// session, a word removed with a swipe (or a long press), the playlist deleted
// from the bar. Removals and the deletion are confirmed in the one alert, which
// also reports their outcome. While a removal runs no other mutation starts.
NavPage {
    id: root
    objectName: "playlistDetail"
    title: root.model.name

    required property PlaylistDetailModel model

    Connections {
        target: root.model
        function onDismissRequested() {
            if (root.navStack && root.navStack.currentPage === root)
                root.navStack.pop();
        }
    }

    trailingItems: ORVToolbarIconButton {
        objectName: "playlistDetail.delete"
        symbolName: "trash"
        accessibilityLabel: "删除播放列表"
        semanticColor: Theme.danger
        isDisabled: root.model.isMutating
        onClicked: root.model.confirmDeletePlaylist()
    }

    Rectangle {
        anchors.fill: parent
        color: Theme.background
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        ListView {
            id: list
            objectName: "playlistDetail.items"
            clip: true
            model: root.model.items
            Layout.fillWidth: true
            Layout.fillHeight: true

            header: PlainText {
                width: ListView.view.width
                leftPadding: 16
                topPadding: 16
                bottomPadding: 6
                text: "包含单词"
                font: Theme.font(Theme.Footnote)
                color: Theme.textSecondary
            }

            delegate: SwipeDelegate {
                id: row
                required property int index
                required property string itemId
                required property string wordDisplay
                required property string ipa
                required property int rowPosition
                required property bool deleting

                objectName: "playlistDetail.item." + row.index
                width: ListView.view.width
                leftPadding: 16
                rightPadding: 16
                topPadding: 10
                bottomPadding: 10
                text: row.wordDisplay
                Accessible.name: row.ipa !== "" ? row.wordDisplay + "，" + row.ipa : row.wordDisplay
                // The removal without a swipe: a screen reader's action, and a
                // long-press menu.
                AccessibleActions.names: ["从播放列表移除"]
                AccessibleActions.onTriggered: root.model.confirmRemoveItem(row.itemId)
                onPressAndHold: actions.popup()

                background: Rectangle {
                    color: row.down ? Theme.mutedFill : Theme.surface
                }
                contentItem: RowLayout {
                    spacing: 12
                    ColumnLayout {
                        spacing: 2
                        Layout.fillWidth: true
                        PlainText {
                            text: row.wordDisplay
                            font: Theme.font(Theme.Headline)
                            wrapMode: Text.Wrap
                            Layout.fillWidth: true
                        }
                        PlainText {
                            visible: row.ipa !== ""
                            text: row.ipa
                            font: Theme.font(Theme.Caption1)
                            color: Theme.textSecondary
                            wrapMode: Text.Wrap
                            Layout.fillWidth: true
                        }
                    }
                    ActivityIndicator {
                        objectName: "playlistDetail.removing." + row.index
                        visible: row.deleting
                        size: 16
                        Accessible.name: "正在从播放列表移除" + row.wordDisplay
                    }
                }
                swipe.right: AbstractButton {
                    objectName: "playlistDetail.remove." + row.index
                    height: row.height
                    width: 88
                    anchors.right: parent.right
                    enabled: !root.model.isMutating
                    Accessible.name: "移除"
                    onClicked: {
                        row.swipe.close();
                        root.model.confirmRemoveItem(row.itemId);
                    }
                    contentItem: Column {
                        spacing: 4
                        Icon {
                            anchors.horizontalCenter: parent.horizontalCenter
                            name: "trash"
                            tint: "white"
                        }
                        PlainText {
                            anchors.horizontalCenter: parent.horizontalCenter
                            text: "移除"
                            font: Theme.font(Theme.Footnote, Font.DemiBold)
                            color: "white"
                        }
                    }
                    background: Rectangle {
                        color: Theme.danger
                        opacity: parent.enabled ? 1 : 0.5
                    }
                }

                Menu {
                    id: actions
                    MenuItem {
                        text: "从播放列表移除"
                        enabled: !root.model.isMutating
                        onTriggered: root.model.confirmRemoveItem(row.itemId)
                    }
                }

                ORVListRowSeparatorModifier {
                    position: row.rowPosition
                }
            }
        }

        // The navigation stack already keeps room for the playback bar.
        ORVPrimaryButton {
            objectName: "playlistDetail.play"
            title: "开始播放"
            iconName: "play.fill"
            Layout.leftMargin: 16
            Layout.rightMargin: 16
            Layout.topMargin: 16
            Layout.bottomMargin: 24
            onClicked: root.model.playPlaylist()
        }
    }

    AlertDialog {
        objectName: "playlistDetail.alert"
        presented: root.model.alertKind !== PlaylistDetailModel.None
        title: root.model.alertTitle
        message: root.model.alertMessage
        actions: {
            // The handlers keep what the alert asked about: closing clears it.
            const model = root.model;
            const itemId = model.alertItemId;
            switch (model.alertKind) {
            case PlaylistDetailModel.DeleteItem:
                return [{ text: "移除", role: "destructive", handler: () => model.startRemoveItem(itemId) },
                        { text: "取消", role: "cancel" }];
            case PlaylistDetailModel.DeletePlaylist:
                return [{ text: "删除", role: "destructive", handler: () => model.startDeletePlaylist() },
                        { text: "取消", role: "cancel" }];
            default:
                return [{ text: "知道了", role: "cancel" }];
            }
        }
        onDismissed: root.model.dismissAlert()
    }
}
