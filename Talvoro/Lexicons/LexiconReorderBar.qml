import QtQuick
import QtQuick.Layouts
import Talvoro

// The header bar outside selection mode: the word count, "选择词汇" and
// "调整顺序"; while reordering, "取消排序" and the save button. When they do not
// fit in one row (large text), they stack.
GridLayout {
    id: root

    required property UserLexiconDetailModel model
    readonly property real rowWidth: {
        let sum = 0;
        let shown = 0;
        for (let i = 0; i < root.children.length; ++i) {
            const child = root.children[i];
            if (child.visible && child.implicitWidth > 0) {
                sum += child.implicitWidth;
                ++shown;
            }
        }
        return sum + Math.max(0, shown - 1) * root.columnSpacing;
    }

    // Measured against the header's width: the bar's own follows from its columns,
    // and a row too wide for the header would keep itself.
    columns: root.rowWidth <= (root.parent ? root.parent.width : root.width) ? root.children.length : 1
    columnSpacing: 12
    rowSpacing: 4
    Layout.minimumHeight: 44

    Rectangle {
        radius: 8
        Layout.alignment: Qt.AlignLeft | Qt.AlignVCenter
        color: Qt.alpha(Theme.secondaryAccent, 0.12)
        implicitWidth: count.implicitWidth + 16
        implicitHeight: count.implicitHeight + 8
        PlainText {
            id: count
            objectName: "userLexiconDetail.wordCount"
            anchors.centerIn: parent
            text: root.model.wordCount + " 词"
            font: Theme.font(Theme.Caption1, Font.DemiBold)
            color: Theme.secondaryAccent
        }
    }

    Item {
        Layout.fillWidth: true
    }

    LexiconBarButton {
        objectName: "userLexiconDetail.select"
        visible: !root.model.isReordering
        title: "选择词汇"
        symbolName: "checkmark.circle"
        onClicked: root.model.enterSelectionMode()
    }
    LexiconBarButton {
        objectName: "userLexiconDetail.reorder"
        visible: !root.model.isReordering && root.model.wordCount >= 2
        enabled: root.model.hasLoadedLexiconVersion
        title: "调整顺序"
        symbolName: "arrow.up.arrow.down"
        onClicked: root.model.startReordering()
    }

    LexiconBarButton {
        objectName: "userLexiconDetail.cancelReorder"
        visible: root.model.isReordering
        enabled: !root.model.isSavingOrder
        title: "取消排序"
        bordered: true
        onClicked: root.model.cancelReordering()
    }
    LexiconBarButton {
        objectName: "userLexiconDetail.saveOrder"
        visible: root.model.isReordering
        enabled: root.model.canSaveOrder
        title: root.model.isSavingOrder ? "正在保存" : "保存顺序"
        busy: root.model.isSavingOrder
        prominent: true
        onClicked: root.model.startSaveOrder()
    }
}
