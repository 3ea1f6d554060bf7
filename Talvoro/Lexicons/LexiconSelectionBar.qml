import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Talvoro

// The header bar in selection mode: select all or none, the count, "完成".
RowLayout {
    id: root

    required property UserLexiconDetailModel model

    spacing: 12

    AbstractButton {
        objectName: "userLexiconDetail.selectAll"
        enabled: !root.model.isReordering
        implicitWidth: Math.max(64, implicitContentWidth)
        implicitHeight: 44
        Accessible.name: root.model.areAllWordsSelected ? "取消全选所有单词" : "全选所有单词"
        onClicked: root.model.toggleSelectAll()
        contentItem: RowLayout {
            spacing: 4
            Icon {
                name: root.model.areAllWordsSelected ? "checkmark.circle.fill" : "circle"
                size: 17
                tint: Theme.accent
            }
            PlainText {
                text: root.model.areAllWordsSelected ? "取消全选" : "全选"
                font: Theme.font(Theme.Subheadline, Font.Medium)
                color: Theme.accent
                Layout.fillWidth: true
            }
        }
    }

    PlainText {
        objectName: "userLexiconDetail.selectionCount"
        text: "已选 " + root.model.selectedCount + " / " + root.model.wordCount + " 词"
        font: Theme.font(Theme.Footnote)
        color: Theme.textSecondary
        wrapMode: Text.Wrap
        Layout.preferredWidth: 0
        Layout.fillWidth: true
    }

    AbstractButton {
        objectName: "userLexiconDetail.doneSelecting"
        implicitWidth: Math.max(44, implicitContentWidth + 8)
        implicitHeight: 44
        Accessible.name: "完成"
        onClicked: root.model.exitSelectionMode()
        contentItem: PlainText {
            text: "完成"
            font: Theme.font(Theme.Subheadline, Font.DemiBold)
            color: Theme.accent
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
        }
    }
}
