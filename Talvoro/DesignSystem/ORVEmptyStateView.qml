import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Talvoro

// The centred message shown when a list has nothing to show. The button appears
// only when both an action title and an action are given.
Item {
    id: root

    property string title
    property string description
    property string systemImageName
    property var actionTitle: null // a string, or null for none
    property var action: null // a function, or null for none
    readonly property bool showsAction: typeof root.actionTitle === "string" && typeof root.action === "function"

    implicitWidth: 320
    implicitHeight: column.implicitHeight + 64

    ColumnLayout {
        id: column
        anchors.centerIn: parent
        width: Math.max(0, root.width - 64)
        spacing: 16

        Icon {
            name: root.systemImageName
            size: 48
            tint: Theme.textSecondary
            Layout.preferredWidth: 56
            Layout.preferredHeight: 56
            Layout.alignment: Qt.AlignHCenter
        }
        PlainText {
            text: root.title
            font: Theme.font(Theme.Title3, Font.Bold)
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            Layout.fillWidth: true
        }
        PlainText {
            text: root.description
            font: Theme.font(Theme.Subheadline)
            color: Theme.textSecondary
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            Layout.fillWidth: true
            Layout.leftMargin: 24
            Layout.rightMargin: 24
        }
        AbstractButton {
            id: actionButton
            visible: root.showsAction
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 8
            Layout.maximumWidth: column.width
            implicitWidth: actionLabel.implicitWidth + 40
            implicitHeight: actionLabel.implicitHeight + 16
            Accessible.role: Accessible.Button
            Accessible.name: actionLabel.text
            onClicked: {
                const run = root.action;
                if (typeof run === "function")
                    run();
            }

            Rectangle {
                anchors.fill: parent
                radius: 10
                color: Qt.alpha(Theme.accent, actionButton.down ? 0.18 : 0.1)
            }
            PlainText {
                id: actionLabel
                anchors.centerIn: parent
                width: Math.min(implicitWidth, actionButton.width - 40)
                text: root.showsAction ? root.actionTitle : ""
                font: Theme.font(Theme.Headline)
                color: Theme.accent
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
            }
        }
    }
}
