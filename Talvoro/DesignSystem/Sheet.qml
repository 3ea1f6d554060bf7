import QtQuick
import QtQuick.Controls
import Talvoro

// A sheet that slides up from the bottom with a navigation stack of its own. Its
// page is built only while the sheet is shown. `dismissed` tells the owner to
// clear its flag, whichever way the sheet closed (a page's navStack.dismiss(),
// Escape, or `presented` turning false).
Popup {
    id: root

    property Component page: null
    property var pageProperties: ({})
    property bool presented: false
    signal dismissed

    parent: Overlay.overlay
    x: 0
    y: (parent ? parent.height : 0) - height
    width: parent ? parent.width : 0
    height: parent ? parent.height - 12 : 0
    modal: true
    padding: 0
    closePolicy: Popup.CloseOnEscape

    onPresentedChanged: root.presented ? root.open() : root.close()
    onClosed: root.dismissed()
    Component.onCompleted: {
        if (root.presented)
            root.open();
    }

    Overlay.modal: Rectangle {
        color: Qt.rgba(0, 0, 0, 0.3)
    }

    // Both ends are given: the exit leaves y at the bottom edge, so a sheet shown
    // a second time would otherwise slide up to where it left off, off screen.
    enter: Transition {
        NumberAnimation {
            property: "y"
            from: root.parent ? root.parent.height : 0
            to: (root.parent ? root.parent.height : 0) - root.height
            duration: Theme.reduceMotion ? 0 : 300
            easing.type: Easing.OutCubic
        }
    }
    exit: Transition {
        NumberAnimation {
            property: "y"
            to: root.parent ? root.parent.height : 0
            duration: Theme.reduceMotion ? 0 : 250
            easing.type: Easing.InCubic
        }
    }

    background: Rectangle {
        color: Theme.background
        radius: 12

        // Square lower corners: the sheet runs off the bottom edge.
        Rectangle {
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            height: 12
            color: parent.color
        }
    }

    contentItem: Loader {
        active: root.visible
        sourceComponent: NavStack {}
        onLoaded: {
            const stack = item as NavStack;
            stack.dismissRequested.connect(root.close);
            if (root.page)
                stack.push(root.page, root.pageProperties);
        }
    }
}
