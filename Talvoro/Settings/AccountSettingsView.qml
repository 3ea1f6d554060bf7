import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Talvoro

// "账号与设置": the signed-in account and three actions: the global voices (a
// sheet), the audio cache (pushed) and logging out after a confirmation. Logging
// out returns the app to the login screen, which takes this page with it.
NavPage {
    id: root
    objectName: "accountSettings"
    title: "账号与设置"

    required property AccountSettingsModel model

    Rectangle {
        anchors.fill: parent
        color: Theme.background
    }

    Flickable {
        id: scroll
        anchors.fill: parent
        contentWidth: width
        contentHeight: Math.max(height, content.implicitHeight + 40)
        boundsBehavior: Flickable.StopAtBounds

        ColumnLayout {
            id: content
            width: scroll.width
            y: Math.max(20, (scroll.contentHeight - implicitHeight) / 2)
            spacing: 20

            Icon {
                name: "person.crop.circle"
                size: 64
                tint: Theme.accent
                Layout.alignment: Qt.AlignHCenter
            }
            PlainText {
                objectName: "accountSettings.accountLine"
                text: root.model.accountLine
                font: Theme.font(Theme.Title3, Font.Bold)
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
                Layout.fillWidth: true
                Layout.leftMargin: 24
                Layout.rightMargin: 24
            }

            ColumnLayout {
                spacing: 12
                Layout.fillWidth: true
                Layout.leftMargin: 24
                Layout.rightMargin: 24

                AbstractButton {
                    id: voicesButton
                    objectName: "accountSettings.voices"
                    Accessible.role: Accessible.Button
                    Accessible.name: "设置全局音色"
                    Layout.fillWidth: true
                    onClicked: root.model.showVoiceSelection = true
                    contentItem: AccountSettingsActionLabel {
                        title: "设置全局音色"
                        iconName: "mic.fill"
                        semanticColor: Theme.accent
                        opacity: voicesButton.pressed ? 0.6 : 1
                    }
                }
                AbstractButton {
                    id: cacheButton
                    objectName: "accountSettings.cache"
                    Accessible.role: Accessible.Button
                    Accessible.name: "缓存管理"
                    Layout.fillWidth: true
                    onClicked: if (root.navStack) root.navStack.push(cachePage, {})
                    contentItem: AccountSettingsActionLabel {
                        title: "缓存管理"
                        iconName: "externaldrive.fill"
                        semanticColor: Theme.accent
                        opacity: cacheButton.pressed ? 0.6 : 1
                    }
                }
                AbstractButton {
                    id: logoutButton
                    objectName: "accountSettings.logout"
                    Accessible.role: Accessible.Button
                    Accessible.name: "退出登录"
                    Layout.fillWidth: true
                    onClicked: root.model.showLogoutConfirmation = true
                    contentItem: AccountSettingsActionLabel {
                        title: "退出登录"
                        iconName: "rectangle.portrait.and.arrow.right"
                        semanticColor: Theme.danger
                        isDestructive: true
                        showsChevron: false
                        opacity: logoutButton.pressed ? 0.6 : 1
                    }
                }
            }
        }
    }

    AlertDialog {
        objectName: "accountSettings.logoutConfirmation"
        presented: root.model.showLogoutConfirmation
        title: "确认退出登录？"
        message: "退出后需要重新验证账号。已下载的离线音频不会被删除。"
        actions: [
            { text: "取消", role: "cancel" },
            { text: "退出登录", role: "destructive", handler: () => root.model.confirmLogout() }
        ]
        onDismissed: root.model.showLogoutConfirmation = false
    }

    Sheet {
        objectName: "accountSettings.voiceSheet"
        presented: root.model.showVoiceSelection
        page: voicePage
        onDismissed: root.model.showVoiceSelection = false
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
