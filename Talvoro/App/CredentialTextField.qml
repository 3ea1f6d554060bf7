import QtQuick
import Talvoro

// The single-line entry of a user name or a password: its icon, its placeholder,
// secure entry for passwords, no capitalisation, correction or prediction, and a
// return key that either moves on (Next) or submits (Go).
ORVInputField {
    id: root

    property alias text: input.text
    property bool isSecure: false
    property int returnKeyType: Qt.EnterKeyNext
    // The identifier of the entry itself, where tests find it.
    property string identifier
    readonly property alias input: input

    signal submitted()

    function focusInput() {
        input.forceActiveFocus()
    }

    TextInput {
        id: input
        objectName: root.identifier
        anchors.fill: parent
        verticalAlignment: TextInput.AlignVCenter
        font: root.contentFont
        color: root.contentColor
        selectionColor: Qt.alpha(Theme.accent, 0.3)
        selectedTextColor: Theme.textPrimary
        clip: true
        echoMode: root.isSecure ? TextInput.Password : TextInput.Normal
        inputMethodHints: Qt.ImhNoAutoUppercase | Qt.ImhNoPredictiveText | Qt.ImhPreferLatin | Qt.ImhSensitiveData
                          | (root.isSecure ? Qt.ImhHiddenText : Qt.ImhNone)
        EnterKey.type: root.returnKeyType
        activeFocusOnTab: true
        // The echo mode makes a password entry one; set by hand, the flag drops the name.
        Accessible.role: Accessible.EditableText
        Accessible.name: root.placeholder

        // Focus lands at the end, so typing adds to what is there.
        onActiveFocusChanged: if (activeFocus) cursorPosition = text.length
        onAccepted: root.submitted()
    }
}
