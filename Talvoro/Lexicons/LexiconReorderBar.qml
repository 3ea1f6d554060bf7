import QtQuick
import QtQuick.Layouts
import Talvoro

// The header bar outside selection mode: the word count, "选择词汇" and
// "调整顺序"; while reordering, "取消排序" and the save button.
RowLayout {
    id: root

    required property UserLexiconDetailModel model

    spacing: 12
    Layout.minimumHeight: 44

    Rectangle {
        radius: 8
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
