import QtQuick

// A page pushed while `presented` is true and popped when it turns false. When the
// page leaves by itself (back), `dismissed` tells the owner to clear its flag.
Item {
    id: root

    property bool presented: false
    property Component page: null
    property var pageProperties: ({})
    property var navStack: null
    signal dismissed

    property Item pushedPage: null

    visible: false

    function follow() {
        if (root.presented && !root.pushedPage && root.navStack && root.page) {
            root.pushedPage = root.navStack.push(root.page, root.pageProperties);
        } else if (!root.presented && root.pushedPage) {
            root.navStack.popTo(root.pushedPage);
            root.navStack.pop();
        }
    }

    onPresentedChanged: root.follow()
    onNavStackChanged: root.follow()

    Connections {
        target: root.navStack
        ignoreUnknownSignals: true
        function onRemoved(page) {
            if (page !== root.pushedPage)
                return;
            root.pushedPage = null;
            root.dismissed();
        }
    }
}
