pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Talvoro

// The page of the sheet that corrects one word. Every field is bound to the model;
// the model decides whether "保存" may run and asks for the sheet to close.
NavPage {
    id: root
    objectName: "editWordSheet"
    title: "编辑单词内容"

    required property EditWordDetailsSheetModel model

    leadingItems: NavBarTextButton {
        objectName: "editWordSheet.cancel"
        title: "取消"
        onClicked: root.model.cancel()
    }
    trailingItems: Item {
        implicitWidth: Math.max(saveButton.implicitWidth, 44)
        implicitHeight: saveButton.implicitHeight

        NavBarTextButton {
            id: saveButton
            objectName: "editWordSheet.save"
            anchors.centerIn: parent
            title: "保存"
            isProminent: true
            visible: !root.model.isSaving
            enabled: root.model.canSave
            onClicked: root.model.requestSave()
        }
        ActivityIndicator {
            objectName: "editWordSheet.saving"
            anchors.centerIn: parent
            visible: root.model.isSaving
        }
    }

    Connections {
        target: root.model
        function onDismissRequested() {
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
                visible: root.model.errorMessage !== ""
                PlainText {
                    objectName: "editWordSheet.error"
                    text: root.model.errorMessage
                    font: Theme.font(Theme.Caption1)
                    color: Theme.danger
                    wrapMode: Text.Wrap
                    Layout.fillWidth: true
                }
            }

            PlaylistFormSection {
                header: "原词与中文释义"
                FormTextField {
                    identifier: "editWordSheet.word"
                    placeholder: "单词拼写"
                    text: root.model.wordDisplay
                    onEdited: text => root.model.wordDisplay = text
                }
                WordFormDivider {}
                ColumnLayout {
                    spacing: 4
                    Layout.fillWidth: true
                    Layout.topMargin: 4
                    PlainText {
                        text: "中文释义 (多项用分号“；”分隔)"
                        font: Theme.font(Theme.Caption1)
                        color: Theme.textSecondary
                        wrapMode: Text.Wrap
                        Layout.fillWidth: true
                    }
                    FormTextField {
                        identifier: "editWordSheet.meanings"
                        placeholder: "例如: 你好；问候"
                        text: root.model.translationText
                        onEdited: text => root.model.translationText = text
                    }
                }
            }

            PlaylistFormSection {
                header: "发音与分词"
                FormTextField {
                    identifier: "editWordSheet.ipa"
                    placeholder: "音标 (例如: /həˈloʊ/)"
                    text: root.model.ipa
                    onEdited: text => root.model.ipa = text
                }
                WordFormDivider {}
                FormTextField {
                    identifier: "editWordSheet.syllables"
                    placeholder: "音节分词 (例如: hel-lo)"
                    text: root.model.syllables
                    onEdited: text => root.model.syllables = text
                }
            }

            PlaylistFormSection {
                header: "详细解释"
                WordFormEditor {
                    identifier: "editWordSheet.explanation"
                    accessibleName: "详细解释"
                    minimumHeight: 100
                    text: root.model.explanation
                    onEdited: text => root.model.explanation = text
                }
            }

            PlaylistFormSection {
                header: "使用场景"
                WordFormEditor {
                    identifier: "editWordSheet.usageScenario"
                    accessibleName: "使用场景"
                    minimumHeight: 100
                    text: root.model.usageScenario
                    onEdited: text => root.model.usageScenario = text
                }
            }
        }
    }
}
