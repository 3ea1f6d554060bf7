import QtQuick
import QtQuick.Controls

// One screen of a navigation stack: what its bar shows, and `appeared` each time
// it becomes the visible page (when pushed and when returned to).
Item {
    id: root

    property string title
    // The bar's items are the page's own: built with it in its scope, so they reach
    // the page's ids and models, and destroyed with it. The bar only shows them
    // while the page is the current one.
    property Item leadingItems: null
    property Item trailingItems: null
    property bool hidesBackButton: false
    property bool navigationBarHidden: false
    // The NavStack that shows this page; set when it is pushed.
    property var navStack: null
    signal appeared

    StackView.onActivated: root.appeared()
}
