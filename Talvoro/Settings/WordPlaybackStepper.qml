import QtQuick
import QtQuick.Layouts
import QtQuick.Controls
import Talvoro

// A minus / plus pair over a whole number within [from, to]; each press reports
// the new value at once.
Row {
    id: root

    property int value
    property int from: 1
    property int to: 20
    signal stepped(int value)

    spacing: 1
    Accessible.role: Accessible.SpinBox

    Repeater {
        model: [-1, 1]
        delegate: AbstractButton {
            id: step
            required property int modelData
            required property int index
            objectName: root.objectName + (step.modelData < 0 ? ".decrement" : ".increment")
            enabled: step.modelData < 0 ? root.value > root.from : root.value < root.to
            implicitWidth: 46
            implicitHeight: 32
            Accessible.role: Accessible.Button
            Accessible.name: step.modelData < 0 ? "减少" : "增加"
            onClicked: root.stepped(Math.max(root.from, Math.min(root.to, root.value + step.modelData)))
            background: Rectangle {
                color: step.down ? Theme.separator : Theme.mutedFill
                radius: 8
            }
            contentItem: PlainText {
                text: step.modelData < 0 ? "−" : "+"
                font: Theme.font(Theme.Title3)
                color: step.enabled ? Theme.textPrimary : Theme.textTertiary
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
            }
        }
    }
}
