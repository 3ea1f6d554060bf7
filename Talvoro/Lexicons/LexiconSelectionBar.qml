import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Talvoro

// The header bar in selection mode: select all or none, the count, "完成". When
// the three do not fit in one row (large text), the count takes a row of its own
// under the two buttons.
GridLayout {
    id: root

    required property UserLexiconDetailModel model
    // Measured against the header's width, which does not follow from the stacking.
    readonly property bool stacked: selectAll.implicitWidth + count.implicitWidth + done.implicitWidth
        + 2 * root.columnSpacing > (root.parent ? root.parent.width : root.width)

    columns: 3
    columnSpacing: 12
    rowSpacing: 4

    AbstractButton {
        id: selectAll
        objectName: "userLexiconDetail.selectAll"
        enabled: !root.model.isReordering
        implicitWidth: Math.max(64, implicitContentWidth)
        implicitHeight: Math.max(44, implicitContentHeight)
        Layout.row: 0
        Layout.column: 0
        Layout.alignment: Qt.AlignLeft | Qt.AlignVCenter
        Accessible.name: root.model.areAllWordsSelected ? "取消全选所有单词" : "全选所有单词"
        onClicked: root.model.toggleSelectAll()
        contentItem: RowLayout {
            spacing: 4
            Icon {
                name: root.model.areAllWordsSelected ? "checkmark.circle.fill" : "circle"
                size: Theme.scaled(17, Theme.Subheadline)
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
        id: count
        objectName: "userLexiconDetail.selectionCount"
        text: "已选 " + root.model.selectedCount + " / " + root.model.wordCount + " 词"
        font: Theme.font(Theme.Footnote)
        color: Theme.textSecondary
        // Even a row of its own can be too narrow for a long count at the largest
        // sizes: it then wraps.
        wrapMode: Text.Wrap
        Layout.row: root.stacked ? 1 : 0
        Layout.column: root.stacked ? 0 : 1
        Layout.columnSpan: root.stacked ? 3 : 1
        Layout.preferredWidth: 0
        Layout.fillWidth: true
    }

    AbstractButton {
        id: done
        objectName: "userLexiconDetail.doneSelecting"
        implicitWidth: Math.max(44, implicitContentWidth + 8)
        implicitHeight: Math.max(44, implicitContentHeight)
        Layout.row: 0
        Layout.column: 2
        Layout.alignment: Qt.AlignRight | Qt.AlignVCenter
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
