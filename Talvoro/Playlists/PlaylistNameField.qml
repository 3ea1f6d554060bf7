import QtQuick
import Talvoro

// The single-line entry of a playlist name, bound both ways to a model's text;
// its return key submits nothing.
ORVInputField {
    id: root

    property string text
    // The identifier of the entry itself, where tests and accessibility tools find it.
    property string identifier
    signal edited(string text)

    iconName: "music.note"

    TextInput {
        objectName: root.identifier
        anchors.fill: parent
        verticalAlignment: TextInput.AlignVCenter
        font: root.contentFont
        color: root.contentColor
        selectionColor: Qt.alpha(Theme.accent, 0.3)
        selectedTextColor: Theme.textPrimary
        clip: true
        text: root.text
        inputMethodHints: Qt.ImhNoAutoUppercase | Qt.ImhNoPredictiveText
        EnterKey.type: Qt.EnterKeyDone
        activeFocusOnTab: true
        Accessible.role: Accessible.EditableText
        Accessible.name: root.placeholder
        onTextEdited: root.edited(text)
        onActiveFocusChanged: if (activeFocus) cursorPosition = text.length
    }
}
