pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Talvoro

// The buttons of an alert or a confirmation dialog. Each action is an object
// { text, role, handler }: role "destructive" is drawn in the danger colour, role
// "cancel" in bold. Side by side, the cancel action is the leading one; stacked,
// it is the bottom one, nearest the thumb. A tap reports the action, then runs
// its handler.
GridLayout {
    id: root

    property var actions: []
    property bool horizontal: false
    readonly property var orderedActions: root.ordered(root.actions)
    signal triggered(var action)

    function ordered(list) {
        const all = list || [];
        const cancel = all.filter(a => a.role === "cancel");
        const others = all.filter(a => a.role !== "cancel");
        return root.horizontal ? cancel.concat(others) : others.concat(cancel);
    }

    columns: root.horizontal ? Math.max(1, root.orderedActions.length) : 1
    columnSpacing: 0
    rowSpacing: 0

    Repeater {
        model: root.orderedActions

        AbstractButton {
            id: button

            required property var modelData
            required property int index

            Layout.fillWidth: true
            Layout.preferredWidth: 1
            implicitHeight: Math.max(44, title.implicitHeight + 20)
            Accessible.role: Accessible.Button
            Accessible.name: button.modelData.text

            Rectangle {
                anchors.fill: parent
                color: button.down ? Theme.mutedFill : "transparent"

                Rectangle {
                    anchors.left: parent.left
                    anchors.right: parent.right
                    anchors.top: parent.top
                    height: 1
                    color: Theme.separator
                }
                Rectangle {
                    visible: root.horizontal && button.index > 0
                    anchors.left: parent.left
                    anchors.top: parent.top
                    anchors.bottom: parent.bottom
                    width: 1
                    color: Theme.separator
                }
            }
            PlainText {
                id: title
                anchors.fill: parent
                anchors.leftMargin: 8
                anchors.rightMargin: 8
                text: button.modelData.text
                color: button.modelData.role === "destructive" ? Theme.danger : Theme.accent
                font: Theme.font(Theme.Body, button.modelData.role === "cancel" ? Font.DemiBold : Font.Normal)
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
                wrapMode: Text.Wrap
            }

            onClicked: {
                const action = button.modelData;
                root.triggered(action);
                if (typeof action.handler === "function")
                    action.handler();
            }
        }
    }
}
