pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Talvoro

// The page of the sheet that creates a word in the open lexicon. Every field is
// bound to the model; the model decides whether "保存" may run and asks for the
// sheet to close.
NavPage {
    id: root
    objectName: "addWordSheet"
    title: "添加新单词"

    required property AddWordSheetModel model

    leadingItems: NavBarTextButton {
        objectName: "addWordSheet.cancel"
        title: "取消"
        onClicked: root.model.cancel()
    }
    trailingItems: NavBarTextButton {
        objectName: "addWordSheet.save"
        title: "保存"
        isProminent: true
        enabled: root.model.canSave
        onClicked: root.model.requestSave()
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
                header: "基础信息 (必填)"
                FormTextField {
                    identifier: "addWordSheet.word"
                    placeholder: "英文单词或短语 (如: apple)"
                    inputMethodHints: Qt.ImhNoAutoUppercase | Qt.ImhNoPredictiveText
                    text: root.model.wordDisplay
                    onEdited: text => root.model.wordDisplay = text
                }
                WordFormDivider {}
                FormTextField {
                    identifier: "addWordSheet.meanings"
                    placeholder: "中文释义 (多含义用分号隔开)"
                    text: root.model.translation
                    onEdited: text => root.model.translation = text
                }
            }

            PlaylistFormSection {
                header: "发音与分词 (可选)"
                FormTextField {
                    identifier: "addWordSheet.ipa"
                    placeholder: "国际音标 (如: /ˈæp.əl/)"
                    inputMethodHints: Qt.ImhNoAutoUppercase
                    text: root.model.ipa
                    onEdited: text => root.model.ipa = text
                }
                WordFormDivider {}
                FormTextField {
                    identifier: "addWordSheet.syllables"
                    placeholder: "音节划分 (如: ap-ple)"
                    inputMethodHints: Qt.ImhNoAutoUppercase
                    text: root.model.syllables
                    onEdited: text => root.model.syllables = text
                }
            }

            PlaylistFormSection {
                header: "详细解释与场景 (可选)"
                WordFormEditor {
                    id: explanation
                    identifier: "addWordSheet.explanation"
                    placeholder: "例句/解释说明"
                    minimumHeight: explanation.lineHeight * 2 + 16
                    maximumLines: 4
                    text: root.model.explanation
                    onEdited: text => root.model.explanation = text
                }
            }

            PlaylistFormSection {
                visible: root.model.errorMessage !== ""
                PlainText {
                    objectName: "addWordSheet.error"
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
