pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Talvoro

// The page of the sheet that moves one word to another private lexicon. It loads
// the lexicons each time it is shown and fills itself by the model's phase:
// loading, a failed load with retry, nothing to choose, or the choice.
NavPage {
    id: root
    objectName: "moveWordSheet"
    title: "移动到词库"

    required property MoveWordToLexiconSheetModel model

    Component.onCompleted: root.model.reload()

    leadingItems: NavBarTextButton {
        objectName: "moveWordSheet.cancel"
        title: "取消"
        onClicked: root.model.cancel()
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

    LoadingLabel {
        objectName: "moveWordSheet.loading"
        anchors.centerIn: parent
        visible: root.model.phase === MoveWordToLexiconSheetModel.Loading
        spacing: 12
        text: "正在加载可用词库..."
        font: Theme.font(Theme.Subheadline)
    }

    ORVErrorStateView {
        objectName: "moveWordSheet.loadError"
        anchors.fill: parent
        visible: root.model.phase === MoveWordToLexiconSheetModel.LoadError
        message: root.model.errorMessage
        retryAction: () => root.model.reload()
    }

    ORVEmptyStateView {
        objectName: "moveWordSheet.empty"
        anchors.fill: parent
        visible: root.model.phase === MoveWordToLexiconSheetModel.Empty
        title: "暂无其他可移动的词库"
        description: "请先去“私人词库”创建一个新的目标词库"
        systemImageName: "tray"
    }

    ColumnLayout {
        objectName: "moveWordSheet.content"
        anchors.fill: parent
        visible: root.model.phase === MoveWordToLexiconSheetModel.Content
        spacing: 0

        Rectangle {
            color: Theme.surface
            Layout.fillWidth: true
            implicitHeight: header.implicitHeight + 32

            ColumnLayout {
                id: header
                x: 16
                y: 16
                width: parent.width - 32
                spacing: 4
                PlainText {
                    objectName: "moveWordSheet.word"
                    text: "移动单词: " + root.model.wordDisplay
                    font: Theme.font(Theme.Headline)
                    wrapMode: Text.Wrap
                    Layout.fillWidth: true
                }
                PlainText {
                    text: "请选择要迁入的目标私人词库："
                    font: Theme.font(Theme.Subheadline)
                    color: Theme.textSecondary
                    wrapMode: Text.Wrap
                    Layout.fillWidth: true
                }
            }
        }

        ListView {
            id: list
            clip: true
            Layout.fillWidth: true
            Layout.fillHeight: true
            model: root.model.candidates

            delegate: Rectangle {
                id: row
                required property int index
                required property var lexiconId
                required property string name
                required property var wordCount
                required property int rowPosition
                required property bool selected

                objectName: "moveWordSheet.row." + row.index
                width: ListView.view.width
                implicitHeight: Math.max(44, rowContent.implicitHeight + 20)
                color: Theme.surface
                Accessible.role: Accessible.RadioButton
                Accessible.name: row.name
                Accessible.checked: row.selected

                RowLayout {
                    id: rowContent
                    anchors.verticalCenter: parent.verticalCenter
                    x: 16
                    width: parent.width - 32
                    ColumnLayout {
                        spacing: 2
                        Layout.fillWidth: true
                        PlainText {
                            text: row.name
                            font: Theme.font(Theme.Headline)
                            wrapMode: Text.Wrap
                            Layout.fillWidth: true
                        }
                        PlainText {
                            text: row.wordCount + " 个单词"
                            font: Theme.font(Theme.Caption1)
                            color: Theme.textSecondary
                        }
                    }
                    Icon {
                        objectName: "moveWordSheet.check." + row.index
                        visible: row.selected
                        name: "checkmark.circle.fill"
                        size: Theme.fontSize(Theme.Title3)
                        tint: Theme.accent
                    }
                }
                TapHandler {
                    onTapped: root.model.select(row.lexiconId)
                }
                ORVListRowSeparatorModifier {
                    position: row.rowPosition
                }
            }
        }

        PlainText {
            objectName: "moveWordSheet.error"
            visible: root.model.errorMessage !== ""
            text: root.model.errorMessage
            font: Theme.font(Theme.Footnote)
            color: Theme.danger
            wrapMode: Text.Wrap
            Layout.fillWidth: true
            Layout.leftMargin: 16
            Layout.rightMargin: 16
            Layout.topMargin: 8
            Layout.bottomMargin: 8
        }

        Rectangle {
            color: Theme.surface
            Layout.fillWidth: true
            implicitHeight: confirmButton.implicitHeight + 32

            ORVPrimaryButton {
                id: confirmButton
                objectName: "moveWordSheet.confirm"
                x: 16
                y: 16
                width: parent.width - 32
                title: root.model.isSubmitting ? "正在移动..." : "确认移动"
                iconName: "arrow.right.doc.on.clipboard"
                isLoading: root.model.isSubmitting
                isDisabled: !root.model.canConfirm
                onClicked: root.model.confirm()
            }
        }
    }
}
