import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Talvoro

// A failure above a lexicon's content, kept until "关闭" (or the next outcome).
Rectangle {
    id: root

    property string message
    signal closed

    color: Qt.alpha(Theme.danger, 0.08)
    implicitHeight: Math.max(44, row.implicitHeight)
    Accessible.role: Accessible.AlertMessage
    Accessible.name: root.message

    RowLayout {
        id: row
        anchors.fill: parent
        anchors.leftMargin: 16
        spacing: 8

        Icon {
            name: "exclamationmark.circle.fill"
            size: Theme.scaled(17, Theme.Footnote)
            tint: Theme.danger
        }
        PlainText {
            objectName: root.objectName + ".message"
            text: root.message
            font: Theme.font(Theme.Footnote)
            wrapMode: Text.Wrap
            Layout.fillWidth: true
        }
        AbstractButton {
            objectName: root.objectName + ".close"
            implicitWidth: Math.max(44, implicitContentWidth + 16)
            implicitHeight: Math.max(44, implicitContentHeight)
            Accessible.name: "关闭"
            onClicked: root.closed()
            contentItem: PlainText {
                text: "关闭"
                font: Theme.font(Theme.Footnote, Font.DemiBold)
                color: Theme.accent
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
            }
        }
    }
}
