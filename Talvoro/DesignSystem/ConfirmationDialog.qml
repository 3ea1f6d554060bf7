import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Talvoro

// A confirmation from the bottom edge: an optional title and message over its
// actions (see DialogActionList); any action closes it.
Popup {
    id: root

    property string title
    property string message
    property var actions: []
    property bool presented: false
    signal dismissed

    parent: Overlay.overlay
    x: 8
    y: (parent ? parent.height : 0) - height - 8
    width: parent ? parent.width - 16 : 0
    modal: true
    padding: 0
    closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside

    onPresentedChanged: root.presented ? root.open() : root.close()
    onClosed: root.dismissed()

    Overlay.modal: Rectangle {
        color: Qt.rgba(0, 0, 0, 0.3)
    }

    enter: Transition {
        NumberAnimation {
            property: "opacity"
            from: 0
            to: 1
            duration: Theme.reduceMotion ? 0 : Theme.animation.standardDuration
        }
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
            font: Theme.font(Theme.Footnote, Font.DemiBold)
            color: Theme.textSecondary
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            Layout.fillWidth: true
            Layout.topMargin: 14
            Layout.leftMargin: 16
            Layout.rightMargin: 16
        }
        PlainText {
            visible: root.message !== ""
            text: root.message
            font: Theme.font(Theme.Footnote)
            color: Theme.textSecondary
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            Layout.fillWidth: true
            Layout.topMargin: 2
            Layout.leftMargin: 16
            Layout.rightMargin: 16
        }
        DialogActionList {
            actions: root.actions
            Layout.fillWidth: true
            Layout.topMargin: root.title !== "" || root.message !== "" ? 14 : 0
            onTriggered: root.close()
        }
    }
}
