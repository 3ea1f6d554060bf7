import QtQuick
import QtQuick.Layouts
import Talvoro

// One line of a word form: the entry and, while it holds nothing, its placeholder.
// The entry carries `identifier` as its object name, so tests type into it.
Item {
    id: root

    property string text
    property string placeholder
    property string identifier
    property int inputMethodHints: Qt.ImhNone
    signal edited(string text)

    Layout.fillWidth: true
    implicitHeight: Math.max(44, entry.implicitHeight + 16)

    PlainText {
        anchors.fill: parent
        visible: entry.text === "" && entry.preeditText === ""
        text: root.placeholder
        color: Theme.textTertiary
        font: entry.font
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
        Accessible.ignored: true
    }
    TextInput {
        id: entry
        objectName: root.identifier
        anchors.fill: parent
        verticalAlignment: TextInput.AlignVCenter
        font: Theme.font(Theme.Body)
        color: Theme.textPrimary
        selectionColor: Qt.alpha(Theme.accent, 0.3)
        selectedTextColor: Theme.textPrimary
        clip: true
        text: root.text
        inputMethodHints: root.inputMethodHints
        activeFocusOnTab: true
        Accessible.role: Accessible.EditableText
        Accessible.name: root.placeholder
        onTextEdited: root.edited(text)
    }
}
