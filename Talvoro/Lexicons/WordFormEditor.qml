import QtQuick
import QtQuick.Layouts
import Talvoro

// A multi-line entry of a word form that grows with its text from `minimumHeight`
// (and up to `maximumLines` when given). Its text is bound one way; edits come
// back through `edited`.
Item {
    id: root

    property string text
    property string placeholder
    property string identifier
    property string accessibleName: root.placeholder
    property real minimumHeight: 44
    property int maximumLines: 0 // 0: no limit
    signal edited(string text)

    readonly property real lineHeight: fontMetrics.height
    readonly property real contentHeight: root.maximumLines > 0
        ? Math.min(editor.contentHeight, root.lineHeight * root.maximumLines)
        : editor.contentHeight

    Layout.fillWidth: true
    implicitHeight: Math.max(root.minimumHeight, root.contentHeight + 16)

    FontMetrics {
        id: fontMetrics
        font: editor.font
    }
    PlainText {
        x: 0
        y: 8
        width: parent.width
        visible: editor.text === "" && editor.preeditText === ""
        text: root.placeholder
        color: Theme.textTertiary
        font: editor.font
        wrapMode: Text.Wrap
        Accessible.ignored: true
    }
    // Past its last line the entry scrolls and keeps the cursor in view.
    Flickable {
        id: scroller
        x: 0
        y: 8
        width: parent.width
        height: parent.height - 16
        contentWidth: width
        contentHeight: editor.contentHeight
        interactive: contentHeight > height
        clip: true

        function ensureVisible(cursor: rect) {
            if (scroller.contentY >= cursor.y)
                scroller.contentY = cursor.y;
            else if (scroller.contentY + scroller.height <= cursor.y + cursor.height)
                scroller.contentY = cursor.y + cursor.height - scroller.height;
        }

        TextEdit {
            id: editor
            objectName: root.identifier
            width: scroller.width
            height: Math.max(scroller.height, editor.contentHeight)
            font: Theme.font(Theme.Body)
            color: Theme.textPrimary
            selectionColor: Qt.alpha(Theme.accent, 0.3)
            selectedTextColor: Theme.textPrimary
            textFormat: TextEdit.PlainText
            wrapMode: TextEdit.Wrap
            text: root.text
            activeFocusOnTab: true
            Accessible.role: Accessible.EditableText
            Accessible.name: root.accessibleName
            onCursorRectangleChanged: scroller.ensureVisible(editor.cursorRectangle)
            // TextEdit has no textEdited: an edit is a change that differs from the model.
            onTextChanged: {
                if (editor.text !== root.text)
                    root.edited(editor.text);
            }
        }
    }
}
