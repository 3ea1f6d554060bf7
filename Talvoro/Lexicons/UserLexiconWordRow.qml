import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Talvoro

// One word of a private lexicon: the selection mark in selection mode, the word,
// its IPA and meanings, the repeat badge, the offline badge, and the action
// control (or the drag handle while the order is changed).
Rectangle {
    id: row

    required property int index
    required property var wordId
    required property string wordDisplay
    required property string ipa
    required property string translations
    required property int repeatCount
    required property bool selected
    required property bool fullyCached
    required property bool deleting
    required property int rowPosition
    required property UserLexiconDetailModel screen
    signal actionsRequested(var wordId, string wordDisplay)

    objectName: "userLexiconDetail.word." + row.index
    color: Theme.surface
    implicitHeight: layout.implicitHeight + 20

    RowLayout {
        id: layout
        x: 16
        y: 10
        width: parent.width - 32
        spacing: 12

        AbstractButton {
            objectName: "userLexiconDetail.wordBody." + row.index
            enabled: row.screen.isSelectionMode && !row.screen.isReordering
            Layout.fillWidth: true
            Layout.alignment: Qt.AlignTop
            implicitHeight: implicitContentHeight
            Accessible.name: row.wordDisplay + "，" + row.translations
            Accessible.description: row.screen.isSelectionMode ? "双击切换选择状态" : ""
            Accessible.checkable: row.screen.isSelectionMode
            Accessible.checked: row.selected
            onClicked: row.screen.toggleSelection(row.wordId)

            contentItem: RowLayout {
                spacing: 12
                Item {
                    visible: row.screen.isSelectionMode
                    implicitWidth: 44
                    implicitHeight: 44
                    Layout.alignment: Qt.AlignTop
                    Icon {
                        anchors.centerIn: parent
                        name: row.selected ? "checkmark.circle.fill" : "circle"
                        size: Theme.fontSize(Theme.Title3)
                        tint: row.selected ? Theme.accent : Theme.mutedFill
                    }
                }
                ColumnLayout {
                    spacing: 4
                    Layout.fillWidth: true
                    Layout.alignment: Qt.AlignTop
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
                    PlainText {
                        text: row.translations
                        font: Theme.font(Theme.Subheadline)
                        color: Theme.textSecondary
                        wrapMode: Text.Wrap
                        Layout.fillWidth: true
                    }
                    // With large text the badge leaves the word its width.
                    ORVOfflineBadge {
                        objectName: "userLexiconDetail.offlineBelow." + row.index
                        visible: row.fullyCached && Theme.isAccessibilitySize
                        Layout.alignment: Qt.AlignLeft
                    }
                    UserLexiconWordRepeatBadge {
                        objectName: "userLexiconDetail.repeat." + row.index
                        visible: row.repeatCount >= 2
                        repeatCount: row.repeatCount
                        Layout.alignment: Qt.AlignLeft
                    }
                }
            }
        }

        ORVOfflineBadge {
            objectName: "userLexiconDetail.offline." + row.index
            visible: row.fullyCached && !Theme.isAccessibilitySize
            Layout.alignment: Qt.AlignVCenter
        }

        ORVToolbarIconButton {
            objectName: "userLexiconDetail.actions." + row.index
            visible: !row.screen.isReordering
            symbolName: "ellipsis.circle"
            accessibilityLabel: row.wordDisplay + "的更多操作"
            semanticColor: Theme.textSecondary
            isDisabled: row.screen.isReordering || row.deleting
            Accessible.description: "显示编辑、播放设置、移动和删除操作"
            Layout.alignment: Qt.AlignVCenter
            onClicked: row.actionsRequested(row.wordId, row.wordDisplay)
        }

        Item {
            objectName: "userLexiconDetail.handle." + row.index
            visible: row.screen.isReordering
            implicitWidth: 44
            implicitHeight: 44
            Accessible.role: Accessible.Button
            Accessible.name: "拖动以调整" + row.wordDisplay + "的顺序"
            Layout.alignment: Qt.AlignVCenter
            Icon {
                anchors.centerIn: parent
                name: "line.3.horizontal"
                tint: Theme.textSecondary
            }
        }
    }

    ORVListRowSeparatorModifier {
        position: row.rowPosition
    }
}
