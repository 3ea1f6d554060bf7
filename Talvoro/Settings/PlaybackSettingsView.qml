pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Talvoro

// "播放偏好设置": the units a word without its own plan plays, in the order they
// were switched on; the global voices (a sheet, after which the device's record is
// shown again) and the audio cache. "保存" keeps the change on the device and sends
// it; every outcome is told in an alert.
NavPage {
    id: root
    objectName: "playbackSettings"
    title: "播放偏好设置"

    required property PlaybackSettingsModel model
    readonly property bool busy: root.model.isLoading || root.model.isSaving

    onAppeared: root.model.appeared()

    trailingItems: NavBarTextButton {
        objectName: "playbackSettings.save"
        title: root.model.isSaving ? "保存中" : "保存"
        isProminent: true
        enabled: !root.busy
        onClicked: root.model.requestSave()
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
        boundsBehavior: Flickable.StopAtBounds

        ColumnLayout {
            id: form
            x: 16
            y: 24
            width: scroll.width - 32
            spacing: 28

            VoiceFormSection {
                header: "全局默认播放项"
                footer: "单词未单独设置时，按列表顺序播放已开启项目；已保存的单词独立设置优先。"

                Repeater {
                    model: root.model.allSegments

                    Item {
                        id: segmentRow
                        required property var modelData
                        readonly property string rawName: segmentRow.modelData.rawName

                        Layout.fillWidth: true
                        implicitHeight: Math.max(44, segmentTitle.implicitHeight + 8)

                        PlainText {
                            id: segmentTitle
                            anchors.left: parent.left
                            anchors.right: toggle.left
                            anchors.rightMargin: 8
                            anchors.verticalCenter: parent.verticalCenter
                            text: segmentRow.modelData.title
                            wrapMode: Text.Wrap
                            Accessible.ignored: true
                        }
                        SettingsSwitch {
                            id: toggle
                            objectName: "playbackSettings.item." + segmentRow.rawName
                            anchors.right: parent.right
                            anchors.verticalCenter: parent.verticalCenter
                            enabled: !root.busy
                            modelChecked: root.model.itemEnabled[segmentRow.rawName] === true
                            Accessible.name: segmentRow.modelData.title
                            onChangeRequested: on => root.model.setItemEnabled(segmentRow.rawName, on)
                        }
                        // In the middle of the gap to the next row.
                        ORVListRowSeparatorModifier {
                            anchors.bottomMargin: -4
                            position: segmentRow.modelData.rowPosition
                        }
                    }
                }
            }

            VoiceFormSection {
                header: "设置全局音色"

                AbstractButton {
                    id: voicesButton
                    objectName: "playbackSettings.voices"
                    Layout.fillWidth: true
                    implicitHeight: Math.max(44, voiceRow.implicitHeight + 8)
                    Accessible.role: Accessible.Button
                    Accessible.name: "设置全局音色"
                    Accessible.description: "分别配置英文、中文音色与语速，并设置逐字母拼写语速"
                    onClicked: root.model.showVoiceSelection = true
                    background: Rectangle {
                        color: voicesButton.pressed ? Theme.mutedFill : "transparent"
                    }

                    RowLayout {
                        id: voiceRow
                        anchors.left: parent.left
                        anchors.right: parent.right
                        anchors.verticalCenter: parent.verticalCenter
                        spacing: 12
                        Icon {
                            name: "mic.fill"
                            size: Theme.fontSize(Theme.Title3)
                            tint: Theme.accent
                        }
                        ColumnLayout {
                            spacing: 2
                            Layout.fillWidth: true
                            PlainText {
                                text: "设置全局音色"
                                wrapMode: Text.Wrap
                                Accessible.ignored: true
                                Layout.fillWidth: true
                            }
                            PlainText {
                                text: "分别配置英文、中文音色与语速，并设置逐字母拼写语速"
                                font: Theme.font(Theme.Caption1)
                                color: Theme.textSecondary
                                wrapMode: Text.Wrap
                                Accessible.ignored: true
                                Layout.fillWidth: true
                            }
                        }
                    }
                }
            }

            VoiceFormSection {
                header: "高级与系统维护"

                AbstractButton {
                    id: cacheButton
                    objectName: "playbackSettings.cache"
                    Layout.fillWidth: true
                    implicitHeight: Math.max(44, cacheRow.implicitHeight + 8)
                    Accessible.role: Accessible.Button
                    Accessible.name: "缓存管理"
                    onClicked: if (root.navStack) root.navStack.push(cachePage, {})
                    background: Rectangle {
                        color: cacheButton.pressed ? Theme.mutedFill : "transparent"
                    }

                    RowLayout {
                        id: cacheRow
                        anchors.left: parent.left
                        anchors.right: parent.right
                        anchors.verticalCenter: parent.verticalCenter
                        spacing: 12
                        Icon {
                            name: "externaldrive.fill"
                            tint: Theme.accent
                        }
                        PlainText {
                            text: "缓存管理"
                            wrapMode: Text.Wrap
                            Accessible.ignored: true
                            Layout.fillWidth: true
                        }
                        Icon {
                            name: "chevron.right"
                            size: 13
                            tint: Theme.textTertiary
                        }
                    }
                }
            }
        }
    }

    AlertDialog {
        objectName: "playbackSettings.saved"
        presented: root.model.isSaved
        title: "成功"
        message: root.model.saveConfirmationMessage
        actions: [{ text: "确定", role: "default" }]
        onDismissed: root.model.isSaved = false
    }

    AlertDialog {
        objectName: "playbackSettings.error"
        presented: root.model.showOperationError
        title: "操作失败"
        message: root.model.operationErrorMessage
        actions: [{ text: "确定", role: "cancel" }]
        onDismissed: root.model.showOperationError = false
    }

    Sheet {
        objectName: "playbackSettings.voiceSheet"
        presented: root.model.showVoiceSelection
        page: voicePage
        onDismissed: root.model.voiceSelectionClosed()
    }

    Component {
        id: voicePage
        // The sheet's page owns its model.
        VoiceSelectionView {
            model: root.model.makeVoiceSelectionModel(this)
        }
    }

    Component {
        id: cachePage
        // The page owns its model.
        CacheManagementView {
            model: root.model.makeCacheManagementModel(this)
        }
    }
}
