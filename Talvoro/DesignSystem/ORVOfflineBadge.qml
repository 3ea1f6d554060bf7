import QtQuick
import Talvoro

// Marks a word whose audio is cached on the device.
Rectangle {
    id: root

    implicitWidth: row.implicitWidth + 14
    implicitHeight: row.implicitHeight + 8
    radius: height / 2
    color: Qt.alpha(Theme.success, 0.12)
    border.width: 1
    border.color: Qt.alpha(Theme.success, 0.24)

    Accessible.role: Accessible.StaticText
    Accessible.name: "音频已缓存，可离线播放"

    Row {
        id: row
        anchors.centerIn: parent
        spacing: 4

        Icon {
            name: "arrow.down.circle.fill"
            size: 11
            tint: Theme.success
            width: 13
            height: 13
            anchors.verticalCenter: parent.verticalCenter
        }
        PlainText {
            text: "已离线"
            color: Theme.success
            font: Theme.font(Theme.Caption2, Font.DemiBold)
            anchors.verticalCenter: parent.verticalCenter
            Accessible.ignored: true
        }
    }
}
