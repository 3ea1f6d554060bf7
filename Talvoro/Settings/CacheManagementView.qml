import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Talvoro

// "缓存管理": how much room the downloaded speech takes (of its 1 GB), and a clear
// behind a confirmation. Only speech audio goes; lexicons, playlists and settings
// stay, and playback fetches what it needs again.
NavPage {
    id: root
    objectName: "cacheManagement"
    title: "缓存管理"

    required property CacheManagementModel model

    Rectangle {
        anchors.fill: parent
        color: Theme.background
    }

    Flickable {
        id: scroll
        anchors.fill: parent
        contentWidth: width
        contentHeight: content.implicitHeight + 20
        boundsBehavior: Flickable.StopAtBounds

        ColumnLayout {
            id: content
            width: scroll.width
            spacing: 20

            // The success toast heads the stack while it shows: it moves in from
            // the top edge as it fades in, and the blocks below make room for it.
            Item {
                id: toastSlot
                readonly property bool shown: root.model.showSuccessToast

                // Shown at once, and kept while the toast fades out.
                visible: toastSlot.shown || toast.opacity > 0
                implicitHeight: toastSlot.shown ? toast.height + 8 : 0
                Layout.fillWidth: true

                Behavior on implicitHeight {
                    enabled: !Theme.reduceMotion
                    NumberAnimation { duration: Theme.animation.standardDuration; easing.type: Easing.OutCubic }
                }

                Rectangle {
                    id: toast
                    objectName: "cacheManagement.toast"
                    anchors.horizontalCenter: parent.horizontalCenter
                    y: toastSlot.shown ? 8 : -toast.height
                    width: Math.min(toastRow.implicitWidth + 32, toastSlot.width - 32)
                    height: toastRow.implicitHeight + 16
                    radius: height / 2
                    color: Theme.surface
                    opacity: toastSlot.shown ? 1 : 0
                    Accessible.role: Accessible.StaticText
                    Accessible.name: "本地音频缓存清理成功"

                    Behavior on y {
                        enabled: !Theme.reduceMotion
                        NumberAnimation { duration: Theme.animation.standardDuration; easing.type: Easing.OutCubic }
                    }
                    Behavior on opacity {
                        enabled: !Theme.reduceMotion
                        NumberAnimation { duration: Theme.animation.standardDuration }
                    }

                    ORVShadow {
                        color: Theme.shadow
                        radius: 6
                        offsetY: 3
                        cornerRadius: toast.radius
                    }
                    RowLayout {
                        id: toastRow
                        anchors.centerIn: parent
                        width: Math.min(implicitWidth, toast.width - 32)
                        spacing: 8
                        Icon {
                            name: "checkmark.circle.fill"
                            size: Theme.fontSize(Theme.Footnote)
                            tint: Theme.success
                        }
                        PlainText {
                            text: "本地音频缓存清理成功"
                            font: Theme.font(Theme.Footnote, Font.DemiBold)
                            wrapMode: Text.Wrap
                            Accessible.ignored: true
                            Layout.fillWidth: true
                        }
                    }
                }
            }

            // The usage block.
            ColumnLayout {
                spacing: 16
                Layout.fillWidth: true
                Layout.leftMargin: 16
                Layout.rightMargin: 16
                Layout.topMargin: 16

                RowLayout {
                    spacing: 8
                    Layout.fillWidth: true
                    Icon {
                        name: "externaldrive.fill"
                        size: Theme.fontSize(Theme.Title2)
                        tint: Theme.accent
                        Layout.alignment: Qt.AlignTop
                    }
                    ColumnLayout {
                        spacing: 2
                        Layout.fillWidth: true
                        PlainText {
                            text: "本地音频缓存管理 (上限 1 GB)"
                            font: Theme.font(Theme.Headline)
                            wrapMode: Text.Wrap
                            Layout.fillWidth: true
                        }
                        PlainText {
                            text: "预先下载的合成语音文件将存储在手机本地磁盘中"
                            font: Theme.font(Theme.Caption1)
                            color: Theme.textSecondary
                            wrapMode: Text.Wrap
                            Layout.fillWidth: true
                        }
                    }
                }
                Rectangle {
                    implicitHeight: 1
                    color: Theme.separator
                    Layout.fillWidth: true
                }
                // Side by side, or the figure under its caption when the text is
                // too large for one line.
                GridLayout {
                    columns: Theme.isAccessibilitySize ? 1 : 2
                    columnSpacing: 8
                    rowSpacing: 4
                    Layout.fillWidth: true
                    PlainText {
                        text: "硬盘缓存使用量"
                        wrapMode: Text.Wrap
                        Layout.fillWidth: true
                    }
                    PlainText {
                        objectName: "cacheManagement.usage"
                        text: root.model.cacheUsageText
                        font: Theme.font(Theme.Headline)
                        color: Theme.accent
                        wrapMode: Text.Wrap
                        Layout.fillWidth: Theme.isAccessibilitySize
                        Layout.alignment: Theme.isAccessibilitySize ? Qt.AlignLeft : Qt.AlignRight
                    }
                }
            }

            // The clear block.
            ColumnLayout {
                spacing: 12
                Layout.fillWidth: true
                Layout.leftMargin: 16
                Layout.rightMargin: 16

                AbstractButton {
                    id: clearButton
                    objectName: "cacheManagement.clear"
                    Accessible.role: Accessible.Button
                    Accessible.name: "一键清理本地音频缓存"
                    Layout.fillWidth: true
                    onClicked: root.model.showingClearAlert = true
                    background: Rectangle {
                        radius: 12
                        color: Qt.rgba(Theme.danger.r, Theme.danger.g, Theme.danger.b, clearButton.pressed ? 0.2 : 0.1)
                    }
                    implicitHeight: Math.max(44, clearLabel.implicitHeight + 24)

                    RowLayout {
                        id: clearLabel
                        anchors.centerIn: parent
                        width: Math.min(implicitWidth, parent.width - 16)
                        spacing: 6
                        Icon {
                            name: "trash.fill"
                            size: Theme.fontSize(Theme.Body)
                            tint: Theme.danger
                        }
                        PlainText {
                            text: "一键清理本地音频缓存"
                            font: Theme.font(Theme.Body, Font.Bold)
                            color: Theme.danger
                            wrapMode: Text.Wrap
                            Accessible.ignored: true
                            Layout.fillWidth: true
                        }
                    }
                }
                PlainText {
                    text: "提示：清理后不会影响词库与播放列表数据，重新播放时会自动下载所需要的语音。"
                    font: Theme.font(Theme.Caption1)
                    color: Theme.textSecondary
                    wrapMode: Text.Wrap
                    Layout.fillWidth: true
                }
            }
        }
    }

    AlertDialog {
        objectName: "cacheManagement.clearConfirmation"
        presented: root.model.showingClearAlert
        title: "清理本地音频缓存？"
        message: "此操作只删除本机已下载的语音文件，后续播放时会自动重新获取。"
        actions: [
            { text: "一键清理", role: "destructive", handler: () => root.model.clearCache() },
            { text: "取消", role: "cancel" }
        ]
        onDismissed: root.model.showingClearAlert = false
    }
}
