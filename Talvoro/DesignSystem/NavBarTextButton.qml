import QtQuick
import QtQuick.Controls
import Talvoro

// A text action in a navigation bar ("取消", "保存"): the size of the bar's title
// at every text size, inset from the screen edge, at least 44 × 44.
AbstractButton {
    id: root

    property string title
    property bool isProminent: false
    property real minimumWidth: 44

    implicitWidth: Math.max(root.minimumWidth, label.implicitWidth + 24)
    implicitHeight: Math.max(44, label.implicitHeight + 12)
    focusPolicy: Qt.StrongFocus
    Accessible.role: Accessible.Button
    Accessible.name: root.title

    PlainText {
        id: label
        anchors.centerIn: parent
        text: root.title
        color: root.enabled ? Theme.navigationBarAppearance.barButtonTintColor : Theme.textTertiary
        font: Theme.systemFont(17, root.isProminent ? Font.DemiBold : Font.Normal)
        opacity: root.pressed ? 0.5 : 1
    }
}
