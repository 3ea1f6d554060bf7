pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Talvoro

// The signed-in user's playlists. It loads each time it shows (also on the way
// back from a playlist) and when the app becomes active; pulling the rows down
// forces a sync. "+" opens the create sheet, a row opens the playlist, a swipe
// deletes it. Every outcome is reported in one alert.
NavPage {
    id: root
    objectName: "playlistList"
    title: "播放列表"

    required property PlaylistListModel model

    function openPlaylist(playlistId) {
        if (!root.model.opensDetail || !root.navStack)
            return;
        root.navStack.push(detailPage, { playlistId: playlistId });
    }

    onAppeared: root.model.reload()

    trailingItems: ORVToolbarIconButton {
        objectName: "playlistList.add"
        symbolName: "plus"
        accessibilityLabel: "新建播放列表"
        semanticColor: Theme.navigationBarAppearance.barButtonTintColor
        onClicked: root.model.showCreateSheet = true
    }

    Rectangle {
        anchors.fill: parent
        color: Theme.background
    }

    LoadingLabel {
        objectName: "playlistList.loading"
        anchors.centerIn: parent
        visible: root.model.isLoading && root.model.playlists.count === 0
        text: "加载中..."
    }

    ORVEmptyStateView {
        objectName: "playlistList.empty"
        anchors.fill: parent
        visible: !root.model.isLoading && root.model.playlists.count === 0
        title: "尚无播放列表"
        description: "创建个性化播放列表以开始连续发音听力练习"
        systemImageName: "tray"
        actionTitle: "创建首个播放列表"
        action: function () { root.model.showCreateSheet = true; }
    }

    ORVRefreshScrollView {
        id: scroll
        objectName: "playlistList.scroll"
        anchors.fill: parent
        visible: root.model.playlists.count > 0
        refreshAction: function () { return root.model.refresh(); }

        Item {
            width: scroll.width
            height: 8
        }
        Repeater {
            model: root.model.playlists

            delegate: SwipeDelegate {
                id: row
                required property int index
                required property var playlistId
                required property string name
                required property int itemCount
                required property int rowPosition

                objectName: "playlistList.row." + row.index
                width: scroll.width
                leftPadding: 16
                rightPadding: 16
                topPadding: 12
                bottomPadding: 12
                text: row.name
                Accessible.name: row.name + "，" + row.itemCount + " 个词汇"
                Accessible.description: "打开播放列表详情"
                onClicked: root.openPlaylist(row.playlistId)

                background: Rectangle {
                    color: row.down ? Theme.mutedFill : Theme.surface
                }
                contentItem: RowLayout {
                    spacing: 12
                    ColumnLayout {
                        spacing: 4
                        Layout.fillWidth: true
                        PlainText {
                            text: row.name
                            font: Theme.font(Theme.Headline)
                            wrapMode: Text.Wrap
                            Layout.fillWidth: true
                        }
                        PlainText {
                            objectName: "playlistList.count." + row.index
                            text: row.itemCount + " 个词汇"
                            font: Theme.font(Theme.Subheadline)
                            color: Theme.textSecondary
                        }
                    }
                    Icon {
                        name: "play.circle.fill"
                        size: 24
                        tint: Theme.accent
                    }
                }
                swipe.right: AbstractButton {
                    objectName: "playlistList.delete." + row.index
                    height: row.height
                    width: 88
                    anchors.right: parent.right
                    Accessible.name: "删除"
                    onClicked: {
                        row.swipe.close();
                        root.model.deletePlaylist(row.playlistId);
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
                            text: "删除"
                            font: Theme.font(Theme.Footnote, Font.DemiBold)
                            color: "white"
                        }
                    }
                    background: Rectangle {
                        color: Theme.danger
                    }
                }

                ORVListRowSeparatorModifier {
                    position: row.rowPosition
                    leadingInset: 16
                }
            }
        }
    }

    AlertDialog {
        objectName: "playlistList.alert"
        presented: root.model.operationMessageId !== ""
        title: root.model.operationTitle
        message: root.model.operationMessage
        actions: [{ text: "知道了", role: "cancel" }]
        onDismissed: root.model.dismissOperationMessage()
    }

    Sheet {
        objectName: "playlistList.createSheet"
        presented: root.model.showCreateSheet
        page: createPage
        onDismissed: root.model.showCreateSheet = false
    }

    Component {
        id: createPage

        NavPage {
            title: "新建播放列表"
            leadingItems: NavBarTextButton {
                objectName: "playlistCreate.cancel"
                title: "取消"
                onClicked: root.model.showCreateSheet = false
            }
            trailingItems: NavBarTextButton {
                objectName: "playlistCreate.submit"
                title: "创建"
                isProminent: true
                enabled: root.model.canCreate
                onClicked: root.model.create()
            }

            ColumnLayout {
                x: 16
                y: 24
                width: parent.width - 32

                PlaylistFormSection {
                    header: "播放列表信息"
                    PlaylistNameField {
                        identifier: "playlistCreate.name"
                        placeholder: "列表名称 (如: 通勤听词)"
                        text: root.model.newPlaylistName
                        onEdited: text => root.model.newPlaylistName = text
                    }
                }
            }
        }
    }

    Component {
        id: detailPage
        // The page owns its model.
        PlaylistDetailView {
            required property var playlistId
            model: root.model.makePlaylistDetailModel(playlistId, this)
        }
    }
}
