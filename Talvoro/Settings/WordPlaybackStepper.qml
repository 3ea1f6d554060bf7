import QtQuick
import QtQuick.Controls
import Talvoro

// A minus / plus pair over a whole number within [from, to]; each press reports
// the new value at once. A fixed control: its size and glyphs stay the same at
// every text size.
Row {
    id: root

    property int value
    property int from: 1
    property int to: 20
    signal stepped(int value)

    spacing: 1
    Accessible.role: Accessible.SpinBox

    component StepButton: AbstractButton {
        id: step
        property int delta
        implicitWidth: 46
        implicitHeight: 32
        Accessible.role: Accessible.Button
        background: Rectangle {
            color: step.down ? Theme.separator : Theme.mutedFill
            radius: 8
        }
        contentItem: PlainText {
            text: step.delta < 0 ? "−" : "+"
            font: Theme.systemFont(20)
            color: step.enabled ? Theme.textPrimary : Theme.textTertiary
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
        }
    }

    StepButton {
        objectName: root.objectName + ".decrement"
        delta: -1
        enabled: root.value > root.from
        Accessible.name: "减少"
        onClicked: root.stepped(Math.max(root.from, root.value - 1))
    }
    StepButton {
        objectName: root.objectName + ".increment"
        delta: 1
        enabled: root.value < root.to
        Accessible.name: "增加"
        onClicked: root.stepped(Math.min(root.to, root.value + 1))
    }
}
