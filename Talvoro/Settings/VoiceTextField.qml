import QtQuick
import Talvoro

// A single-line entry of the voice sheet, bound both ways to a model's text; its
// return key only closes the keyboard.
ORVInputField {
    id: root

    property string text
    property int maximumLength: 32767
    property int inputHints: Qt.ImhNoAutoUppercase | Qt.ImhNoPredictiveText
    // The identifier of the entry itself, where tests and accessibility tools find it.
    property string identifier
    signal edited(string text)

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
        maximumLength: root.maximumLength
        inputMethodHints: root.inputHints
        EnterKey.type: Qt.EnterKeyDone
        activeFocusOnTab: true
        Accessible.role: Accessible.EditableText
        Accessible.name: root.placeholder
        onTextEdited: root.edited(text)
        onAccepted: Keyboard.dismiss(this)
    }
}
