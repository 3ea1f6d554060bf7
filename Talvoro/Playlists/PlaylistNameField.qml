import QtQuick
import Talvoro

// The single-line entry of a playlist's or a lexicon's name, bound both ways to a
// model's text; its return key submits nothing.
FormTextField {
    inputMethodHints: Qt.ImhNoAutoUppercase | Qt.ImhNoPredictiveText
    enterKeyType: Qt.EnterKeyDone
}
