import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Talvoro

// Signing in and registering: one form for both modes, a link switches between
// them. The session's busy state drives the button's spinner and its message shows
// under the fields; the screen never navigates, the root replaces it once signed in.
Item {
    id: root
    objectName: "login.view"

    required property LoginScreenModel model

    function endEditing() {
        Keyboard.dismiss(root)
    }

    Rectangle {
        anchors.fill: parent
        color: Theme.background
    }

    // A soft accent glow behind the header, drawn as fading rings (no blur offscreen).
    Item {
        anchors.horizontalCenter: parent.horizontalCenter
        y: -60
        width: 320
        height: 320
        Accessible.ignored: true

        Repeater {
            model: 6
            Rectangle {
                required property int index
                anchors.centerIn: parent
                // Smaller rings stack towards the centre, so the glow fades outwards.
                width: 200 + index * 48
                height: width
                radius: width / 2
                color: Theme.accent
                opacity: 0.012
            }
        }
    }

    Flickable {
        id: scroller
        objectName: "login.screen"
        anchors.fill: parent
        contentWidth: width
        contentHeight: form.implicitHeight + form.anchors.topMargin + 32
        boundsBehavior: Flickable.StopAtBounds
        clip: true

        onMovementStarted: root.endEditing()

        // Taps outside the fields and controls end editing.
        MouseArea {
            width: scroller.width
            height: Math.max(scroller.height, scroller.contentHeight)
            onClicked: root.endEditing()
        }

        ColumnLayout {
            id: form
            objectName: "login.form"
            anchors.top: parent.top
            anchors.topMargin: Theme.isAccessibilitySize ? 24 : 72
            anchors.horizontalCenter: parent.horizontalCenter
            width: Math.min(480, scroller.width - 48)
            spacing: 24
            Accessible.role: Accessible.Grouping

            ColumnLayout {
                spacing: 12
                Layout.fillWidth: true

                Rectangle {
                    Layout.alignment: Qt.AlignHCenter
                    implicitWidth: 72
                    implicitHeight: 72
                    radius: 22
                    border.width: 1
                    border.color: Qt.alpha(Theme.accent, 0.2)
                    gradient: Gradient {
                        GradientStop { position: 0; color: Qt.alpha(Theme.accent, 0.15) }
                        GradientStop { position: 1; color: Qt.alpha(Theme.accent, 0.05) }
                    }
                    Accessible.ignored: true

                    Icon {
                        anchors.centerIn: parent
                        name: "ear.and.waveform"
                        size: 34
                        tint: Theme.accent
                        font.weight: Font.Bold
                    }
                }

                ColumnLayout {
                    spacing: 4
                    Layout.fillWidth: true

                    PlainText {
                        objectName: "login.brand-title"
                        Layout.alignment: Qt.AlignHCenter
                        text: "Quenbry"
                        font: Theme.systemFont(30, Font.Bold)
                        color: Theme.textPrimary
                    }
                    PlainText {
                        objectName: "login.subtitle"
                        Layout.fillWidth: true
                        horizontalAlignment: Text.AlignHCenter
                        wrapMode: Text.Wrap
                        text: root.model.isRegistering ? "创建账户，开始全方位听力与发音训练"
                                                       : "登录账户，同步你的词库与练习偏好"
                        font: Theme.systemFont(13, Font.Medium)
                        color: Theme.textSecondary
                    }
                }
            }

            ColumnLayout {
                spacing: 16
                Layout.fillWidth: true

                CredentialTextField {
                    id: usernameField
                    Layout.fillWidth: true
                    iconName: "person.fill"
                    placeholder: "用户名"
                    identifier: "login.username"
                    returnKeyType: Qt.EnterKeyNext
                    text: root.model.username
                    onTextChanged: root.model.username = text
                    onSubmitted: passwordField.focusInput()
                }

                CredentialTextField {
                    id: passwordField
                    Layout.fillWidth: true
                    iconName: "lock.fill"
                    placeholder: "密码"
                    identifier: "login.password"
                    isSecure: true
                    returnKeyType: Qt.EnterKeyGo
                    text: root.model.password
                    onTextChanged: root.model.password = text
                    onSubmitted: root.submit()
                }

                RowLayout {
                    objectName: "login.password-rule"
                    visible: root.model.isRegistering
                    Layout.fillWidth: true
                    Layout.leftMargin: 4
                    Layout.rightMargin: 4
                    spacing: 6
                    Accessible.role: Accessible.StaticText
                    Accessible.name: ruleText.text

                    Icon {
                        name: "info.circle"
                        size: Theme.fontSize(Theme.Caption1)
                        tint: Theme.textSecondary
                        Layout.alignment: Qt.AlignTop
                    }
                    PlainText {
                        id: ruleText
                        Layout.fillWidth: true
                        wrapMode: Text.Wrap
                        text: "密码至少 8 位，且须同时包含字母和数字"
                        font: Theme.systemFont(12)
                        color: Theme.textSecondary
                        Accessible.ignored: true
                    }
                }
            }

            Rectangle {
                objectName: "login.error"
                visible: root.model.errorMessage !== ""
                Layout.fillWidth: true
                implicitHeight: errorRow.implicitHeight + 16
                radius: 10
                color: Qt.alpha(Theme.danger, 0.08)
                Accessible.role: Accessible.AlertMessage
                Accessible.name: root.model.errorMessage
                // What the row says, for tests and for the accessibility tree.
                readonly property alias text: errorText.text

                RowLayout {
                    id: errorRow
                    anchors.fill: parent
                    anchors.leftMargin: 16
                    anchors.rightMargin: 16
                    anchors.topMargin: 8
                    anchors.bottomMargin: 8
                    spacing: 8

                    Icon {
                        name: "exclamationmark.circle.fill"
                        size: 13
                        tint: Theme.danger
                        Layout.alignment: Qt.AlignVCenter
                    }
                    PlainText {
                        id: errorText
                        Layout.fillWidth: true
                        horizontalAlignment: Text.AlignHCenter
                        wrapMode: Text.Wrap
                        text: root.model.errorMessage
                        font: Theme.systemFont(13, Font.Medium)
                        color: Theme.danger
                        Accessible.ignored: true
                    }
                }
            }

            ColumnLayout {
                spacing: 16
                Layout.fillWidth: true

                ORVPrimaryButton {
                    objectName: "login.submit"
                    Layout.fillWidth: true
                    title: root.model.isRegistering ? "注册并登录" : "登录"
                    iconName: root.model.isRegistering ? "person.badge.plus" : "arrow.right.circle.fill"
                    isLoading: root.model.isSubmitting
                    isDisabled: !root.model.canSubmit
                    onClicked: root.submit()
                }

                AbstractButton {
                    id: modeSwitch
                    objectName: "login.mode-switch"
                    Layout.alignment: Qt.AlignHCenter
                    Layout.maximumWidth: form.width
                    enabled: !root.model.isModeTransitioning && !root.model.isSubmitting
                    topPadding: 8
                    bottomPadding: 8
                    // What it shows, in two colours; read as one.
                    readonly property string promptText: root.model.isRegistering ? "已有账户？" : "还没有账户？"
                    readonly property string linkText: root.model.isRegistering ? "立即登录" : "立即注册"
                    Accessible.role: Accessible.Button
                    Accessible.name: modeSwitch.promptText + modeSwitch.linkText
                    onClicked: {
                        root.endEditing()
                        root.model.toggleMode()
                    }

                    contentItem: Row {
                        spacing: 4

                        PlainText {
                            text: modeSwitch.promptText
                            font: Theme.systemFont(14)
                            color: Theme.textSecondary
                            Accessible.ignored: true
                        }
                        PlainText {
                            text: modeSwitch.linkText
                            font: Theme.systemFont(14, Font.Bold)
                            color: Theme.accent
                            Accessible.ignored: true
                        }
                    }
                }
            }
        }
    }

    function submit() {
        if (!root.model.canSubmit)
            return
        root.endEditing()
        root.model.submit()
    }
}
