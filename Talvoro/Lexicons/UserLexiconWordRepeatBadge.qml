import QtQuick
import Talvoro

// How often a word repeats, when it repeats: "N次" on an accent tint.
Rectangle {
    id: root

    property int repeatCount

    color: Qt.alpha(Theme.accent, 0.12)
    implicitWidth: label.implicitWidth + 12
    implicitHeight: Math.max(24, label.implicitHeight + 4)

    PlainText {
        id: label
        anchors.centerIn: parent
        text: root.repeatCount + "次"
        font: Theme.font(Theme.Caption2, Font.Bold)
        color: Theme.accent
    }
}
