import QtQuick
import Talvoro

// A single-line entry of the voice sheet, bound both ways to a model's text; its
// return key only closes the keyboard.
FormTextField {
    id: root

    inputMethodHints: Qt.ImhNoAutoUppercase | Qt.ImhNoPredictiveText
    enterKeyType: Qt.EnterKeyDone
    onAccepted: Keyboard.dismiss(root)
}
