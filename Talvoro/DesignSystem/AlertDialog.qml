import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Talvoro

// A centred alert: title, message and its actions (see DialogActionList). Two
// actions sit side by side, more are stacked. Any action closes it.
Popup {
    id: root

    property string title
    property string message
    property var actions: []
    property bool presented: false
    signal dismissed

    parent: Overlay.overlay
    anchors.centerIn: parent
    width: 270
    modal: true
    padding: 0
    closePolicy: Popup.CloseOnEscape

    onPresentedChanged: root.presented ? root.open() : root.close()
    onClosed: root.dismissed()

    Overlay.modal: Rectangle {
        color: Qt.rgba(0, 0, 0, 0.3)
    }

    background: Rectangle {
        color: Theme.surface
        radius: 14
    }

    contentItem: ColumnLayout {
        spacing: 0

        PlainText {
            visible: root.title !== ""
            text: root.title
            font: Theme.font(Theme.Headline)
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            Layout.fillWidth: true
            Layout.topMargin: 20
            Layout.leftMargin: 16
            Layout.rightMargin: 16
        }
        PlainText {
            visible: root.message !== ""
            text: root.message
            font: Theme.font(Theme.Footnote)
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            Layout.fillWidth: true
            Layout.topMargin: 4
            Layout.leftMargin: 16
            Layout.rightMargin: 16
        }
        DialogActionList {
            actions: root.actions
            // Side by side only while both captions fit; large text stacks them.
            horizontal: root.actions.length === 2 && !Theme.isAccessibilitySize
            Layout.fillWidth: true
            Layout.topMargin: 20
            onTriggered: root.close()
        }
    }
}
