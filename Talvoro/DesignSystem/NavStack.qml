import QtQuick
import QtQuick.Controls
import Talvoro

// A navigation stack with its bar. Pages are NavPage components, built only when
// pushed. `dismiss()` asks whoever presents the stack (a sheet) to close it.
Item {
    id: root

    property Component initialPage: null
    property var initialProperties: ({})
    readonly property int depth: stack.depth
    readonly property NavPage currentPage: stack.currentItem as NavPage
    // A page is leaving the stack (popped, or under a popToRoot).
    signal removed(Item page)
    signal dismissRequested

    function push(component, properties) {
        const props = Object.assign({ navStack: root }, properties || {});
        return stack.push(component, props, Theme.reduceMotion ? StackView.Immediate : StackView.PushTransition);
    }
    function pop() {
        if (stack.depth <= 1)
            return;
        root.removed(stack.currentItem);
        stack.pop(Theme.reduceMotion ? StackView.Immediate : StackView.PopTransition);
    }
    function popTo(page) {
        while (stack.depth > 1 && stack.currentItem !== page)
            root.pop();
    }
    function popToRoot() {
        root.popTo(stack.get(0));
    }
    function dismiss() {
        root.dismissRequested();
    }

    NavBar {
        id: bar
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        z: 1
        visible: root.currentPage !== null && !root.currentPage.navigationBarHidden
        title: root.currentPage ? root.currentPage.title : ""
        showsBack: root.depth > 1 && root.currentPage !== null && !root.currentPage.hidesBackButton
        leading: root.currentPage ? root.currentPage.leadingItems : null
        trailing: root.currentPage ? root.currentPage.trailingItems : null
        onBackRequested: root.pop()
    }

    StackView {
        id: stack
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.top: bar.visible ? bar.bottom : parent.top
        clip: true
    }

    Component.onCompleted: {
        if (root.initialPage)
            stack.push(root.initialPage, Object.assign({ navStack: root }, root.initialProperties), StackView.Immediate);
    }
}
