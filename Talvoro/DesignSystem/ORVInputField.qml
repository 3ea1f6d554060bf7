import QtQuick
import QtQuick.Layouts
import Talvoro

// An input row with a leading symbol. The field itself is the content; the row
// draws the placeholder behind it while the content says it is empty.
Rectangle {
    id: root

    property string iconName
    property string placeholder
    // The entry placed in the row; the placeholder shows while it holds no text
    // (committed or being composed).
    readonly property var field: slot.children.length > 1 ? slot.children[slot.children.length - 1] : null
    readonly property bool isEmpty: !root.field
        || ((root.field.text ?? "") === "" && (root.field.preeditText ?? "") === "")
    // What the content should write with.
    readonly property font contentFont: Theme.systemFont(16)
    readonly property color contentColor: Theme.textPrimary
    default property alias content: slot.data

    implicitWidth: 300
    implicitHeight: 52
    Layout.fillWidth: true
    radius: 14
    color: Theme.surface
    border.width: 1
    border.color: Theme.separator
    antialiasing: true

    ORVShadow {
        color: Theme.shadow
        radius: 6
        offsetY: 2
        cornerRadius: 14
    }

    RowLayout {
        id: row
        anchors.fill: parent
        anchors.leftMargin: 16
        anchors.rightMargin: 16
        spacing: 16

        // A row without a symbol gives its text the room.
        Icon {
            visible: root.iconName !== ""
            name: root.iconName
            size: 18
            tint: Theme.textSecondary
            font.weight: Font.Medium
            Layout.preferredWidth: 24
            Layout.preferredHeight: 24
        }
        Item {
            id: slot
            Layout.fillWidth: true
            Layout.fillHeight: true

            PlainText {
                anchors.fill: parent
                visible: root.isEmpty && root.placeholder !== ""
                text: root.placeholder
                color: Theme.textSecondary
                font: root.contentFont
                verticalAlignment: Text.AlignVCenter
                maximumLineCount: 1
                elide: Text.ElideRight
                Accessible.ignored: true
            }
        }
    }
}
