pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Talvoro

// The page of the sheet that puts the selected words into a new playlist or
// appends them to existing ones, as many as the user taps. It loads each time it
// is shown; "完成" only closes it. Confirmations and errors stay in their sections
// until the next write replaces them.
NavPage {
    id: root
    objectName: "playlistPicker"
    title: "添加到播放列表"

    required property SelectOrCreatePlaylistModel model

    Component.onCompleted: root.model.reload()

    trailingItems: NavBarTextButton {
        objectName: "playlistPicker.done"
        title: "完成"
        isProminent: true
        onClicked: {
            if (root.navStack)
                root.navStack.dismiss();
        }
    }

    Rectangle {
        anchors.fill: parent
        color: Theme.background
    }

    Flickable {
        id: scroll
        anchors.fill: parent
        contentWidth: width
        contentHeight: form.implicitHeight + 48
        clip: true
        onMovementStarted: Keyboard.dismiss(scroll)

        ColumnLayout {
            id: form
            x: 16
            y: 24
            width: scroll.width - 32
            spacing: 20

            PlaylistFormSection {
                header: "已选词汇概览"
                PlainText {
                    objectName: "playlistPicker.count"
                    text: "当前已选中 " + root.model.selectedCount + " 个词汇"
                    font: Theme.font(Theme.Subheadline)
                    wrapMode: Text.Wrap
                    Layout.fillWidth: true
                }
            }

            PlaylistFormSection {
                header: "新建播放列表并加入"
                // Side by side while the whole example name fits beside the button;
                // at a text size too large for that, the button moves under the field.
                // Placed by bindings rather than a layout: a grid laid out while the
                // sheet came up kept the field's first height after it changed.
                Item {
                    id: createRow
                    readonly property bool oneLine: nameField.placeholderFitWidth + 12 + createButton.implicitWidth <= width
                    Layout.fillWidth: true
                    implicitHeight: oneLine ? Math.max(nameField.implicitHeight, createButton.implicitHeight)
                                            : nameField.implicitHeight + 4 + createButton.implicitHeight
                    PlaylistNameField {
                        id: nameField
                        y: createRow.oneLine ? (createRow.height - height) / 2 : 0
                        width: createRow.oneLine ? createRow.width - 12 - createButton.width : createRow.width
                        height: implicitHeight
                        identifier: "playlistPicker.name"
                        placeholder: "新列表名称 (如: 高频听词)"
                        text: root.model.newPlaylistName
                        onEdited: text => root.model.newPlaylistName = text
                    }
                    AbstractButton {
                        id: createButton
                        objectName: "playlistPicker.create"
                        x: createRow.width - width
                        y: createRow.oneLine ? (createRow.height - height) / 2 : nameField.height + 4
                        enabled: root.model.canCreate
                        implicitWidth: implicitContentWidth + 8
                        implicitHeight: Math.max(44, implicitContentHeight)
                        Accessible.role: Accessible.Button
                        Accessible.name: "创建并添加"
                        onClicked: root.model.create()
                        contentItem: PlainText {
                            text: "创建并添加"
                            font: Theme.font(Theme.Body, Font.Bold)
                            color: parent.enabled ? Theme.accent : Theme.textTertiary
                            horizontalAlignment: Text.AlignHCenter
                            verticalAlignment: Text.AlignVCenter
                        }
                    }
                }
            }

            PlaylistFormSection {
                header: "或添加到已有播放列表 (支持追加至多个列表)"

                ActivityIndicator {
                    objectName: "playlistPicker.loading"
                    visible: root.model.isLoading && root.model.playlists.count === 0
                    Layout.alignment: Qt.AlignHCenter
                }
                PlainText {
                    objectName: "playlistPicker.empty"
                    visible: !root.model.isLoading && root.model.playlists.count === 0
                    text: "暂无已有播放列表，请在上方输入名称新建"
                    font: Theme.font(Theme.Footnote)
                    color: Theme.textSecondary
                    wrapMode: Text.Wrap
                    Layout.fillWidth: true
                }
                Repeater {
                    model: root.model.playlists

                    delegate: Item {
                        id: row
                        required property int index
                        required property var playlistId
                        required property string name
                        required property int itemCount
                        required property bool marked
                        required property int rowPosition

                        Layout.fillWidth: true
                        implicitHeight: line.implicitHeight + 4

                        // The mark or the button sits beside the texts, or under them
                        // when it would leave the name less than half the row.
                        Item {
                            id: line
                            readonly property real trailingWidth: row.marked ? added.implicitWidth : addButton.implicitWidth
                            readonly property real trailingHeight: row.marked ? added.implicitHeight : addButton.implicitHeight
                            readonly property bool stacked: trailingWidth + 12 > width / 2
                            y: 2
                            width: row.width
                            implicitHeight: line.stacked ? texts.implicitHeight + 4 + line.trailingHeight
                                                         : Math.max(texts.implicitHeight, line.trailingHeight)

                            ColumnLayout {
                                id: texts
                                y: line.stacked ? 0 : (line.height - height) / 2
                                width: line.stacked ? line.width : line.width - 12 - line.trailingWidth
                                spacing: 4
                                PlainText {
                                    objectName: "playlistPicker.row." + row.index
                                    text: row.name
                                    font: Theme.font(Theme.Headline)
                                    wrapMode: Text.Wrap
                                    Layout.fillWidth: true
                                }
                                PlainText {
                                    text: row.itemCount + " 个既有词汇"
                                    font: Theme.font(Theme.Caption1)
                                    color: Theme.textSecondary
                                    wrapMode: Text.Wrap
                                    Layout.fillWidth: true
                                }
                            }
                            Row {
                                id: added
                                objectName: "playlistPicker.added." + row.index
                                x: line.stacked ? 0 : line.width - width
                                y: line.stacked ? texts.height + 4 : (line.height - height) / 2
                                visible: row.marked
                                spacing: 4
                                Icon {
                                    name: "checkmark.circle.fill"
                                    size: Theme.fontSize(Theme.Caption1)
                                    tint: Theme.success
                                    anchors.verticalCenter: parent.verticalCenter
                                }
                                PlainText {
                                    text: "保存成功"
                                    font: Theme.font(Theme.Caption1, Font.Bold)
                                    color: Theme.success
                                    anchors.verticalCenter: parent.verticalCenter
                                }
                            }
                            AbstractButton {
                                id: addButton
                                objectName: "playlistPicker.add." + row.index
                                x: line.stacked ? 0 : line.width - width
                                y: line.stacked ? texts.height + 4 : (line.height - height) / 2
                                width: implicitWidth
                                height: implicitHeight
                                visible: !row.marked
                                enabled: !root.model.isSubmitting
                                implicitWidth: implicitContentWidth + 24
                                implicitHeight: Math.max(36, implicitContentHeight + 12)
                                Accessible.role: Accessible.Button
                                Accessible.name: "添加到" + row.name
                                onClicked: root.model.append(row.playlistId)
                                background: Rectangle {
                                    radius: 8
                                    color: Qt.alpha(Theme.accent, addButton.down ? 0.2 : 0.1)
                                    opacity: addButton.enabled ? 1 : 0.5
                                }
                                contentItem: Row {
                                    spacing: 4
                                    leftPadding: 12
                                    Icon {
                                        name: "plus.circle.fill"
                                        size: Theme.fontSize(Theme.Subheadline)
                                        tint: Theme.accent
                                        anchors.verticalCenter: parent.verticalCenter
                                    }
                                    PlainText {
                                        text: "添加"
                                        font: Theme.font(Theme.Subheadline, Font.DemiBold)
                                        color: Theme.accent
                                        anchors.verticalCenter: parent.verticalCenter
                                    }
                                }
                            }
                        }
                        // Halfway into the gap to the next row.
                        ORVListRowSeparatorModifier {
                            position: row.rowPosition
                            anchors.bottomMargin: -4
                        }
                    }
                }
            }

            PlaylistFormSection {
                visible: root.model.toastText !== ""
                PlainText {
                    objectName: "playlistPicker.toast"
                    text: root.model.toastText
                    font: Theme.font(Theme.Caption1)
                    color: Theme.success
                    wrapMode: Text.Wrap
                    Layout.fillWidth: true
                }
            }

            PlaylistFormSection {
                visible: root.model.errorMessage !== ""
                PlainText {
                    objectName: "playlistPicker.error"
                    text: root.model.errorMessage
                    font: Theme.font(Theme.Caption1)
                    color: Theme.danger
                    wrapMode: Text.Wrap
                    Layout.fillWidth: true
                }
            }
        }
    }
}
