import QtQuick
import QtQuick.Controls

// One screen of a navigation stack: what its bar shows, and `appeared` each time
// it becomes the visible page (when pushed and when returned to).
Item {
    id: root

    property string title
    property Component leadingItems: null
    property Component trailingItems: null
    property bool hidesBackButton: false
    property bool navigationBarHidden: false
    // The NavStack that shows this page; set when it is pushed.
    property var navStack: null
    signal appeared

    StackView.onActivated: root.appeared()
}
