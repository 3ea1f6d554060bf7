import QtQuick
import QtQuick.Layouts
import Talvoro

// A single-line text field of a form: body text that grows with the text size, the
// row as tall as its text, and the placeholder while it holds nothing. The entry
// carries `identifier` as its object name, so tests type into it.
Item {
    id: root

    property string text
    property string placeholder
    property string identifier
    property int inputMethodHints: Qt.ImhNone
    property int maximumLength: 32767
    property int enterKeyType: Qt.EnterKeyDefault
    // How wide the field must be to show its whole placeholder.
    readonly property real placeholderFitWidth: placeholderText.implicitWidth
    signal edited(string text)
    signal accepted

    // Read from the entry, not from the placeholder's visibility, which also follows
    // the field's ancestors.
    readonly property bool showsPlaceholder: entry.text === "" && entry.preeditText === ""

    Layout.fillWidth: true
    implicitHeight: Math.max(44, (root.showsPlaceholder ? placeholderText.implicitHeight : entry.implicitHeight) + 16)

    // The whole example shows, on as many lines as it takes.
    PlainText {
        id: placeholderText
        anchors.verticalCenter: parent.verticalCenter
        width: parent.width
        visible: root.showsPlaceholder
        text: root.placeholder
        color: Theme.textTertiary
        font: entry.font
        wrapMode: Text.Wrap
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
        // Away from the keyboard a text longer than the row shows its start.
        autoScroll: activeFocus
        text: root.text
        maximumLength: root.maximumLength
        inputMethodHints: root.inputMethodHints
        EnterKey.type: root.enterKeyType
        activeFocusOnTab: true
        Accessible.role: Accessible.EditableText
        Accessible.name: root.placeholder
        onTextEdited: root.edited(text)
        onAccepted: root.accepted()
    }
}
