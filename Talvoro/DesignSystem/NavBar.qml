import QtQuick
import Talvoro

// The bar on top of a navigation stack: back, leading items, the title, trailing
// items. Its colours come from the navigation-bar appearance of the theme.
Rectangle {
    id: root

    property string title
    property bool showsBack: false
    // The current page's items. They stay the page's: the bar only places them.
    property Item leading: null
    property Item trailing: null
    signal backRequested

    readonly property real sideWidth: Math.max(leadingRow.width, trailingRow.width)

    implicitHeight: Math.max(44, titleText.implicitHeight + 16)
    color: Theme.navigationBarAppearance.backgroundColor

    Row {
        id: leadingRow
        anchors.left: parent.left
        anchors.leftMargin: 4
        anchors.verticalCenter: parent.verticalCenter

        ORVToolbarIconButton {
            visible: root.showsBack
            symbolName: "chevron.left"
            accessibilityLabel: "返回"
            semanticColor: Theme.navigationBarAppearance.barButtonTintColor
            onClicked: root.backRequested()
        }
        Item {
            id: leadingSlot
            anchors.verticalCenter: parent.verticalCenter
            implicitWidth: root.leading ? root.leading.width : 0
            implicitHeight: root.leading ? root.leading.height : 0
        }
    }

    PlainText {
        id: titleText
        anchors.centerIn: parent
        width: Math.min(implicitWidth, root.width - 2 * root.sideWidth - 16)
        text: root.title
        color: Theme.navigationBarAppearance.titleColor
        font: Theme.systemFont(17, Font.DemiBold)
        // An inline title keeps to one line.
        maximumLineCount: 1
        elide: Text.ElideRight
        horizontalAlignment: Text.AlignHCenter
        Accessible.role: Accessible.Heading
    }

    Row {
        id: trailingRow
        anchors.right: parent.right
        anchors.rightMargin: 4
        anchors.verticalCenter: parent.verticalCenter

        Item {
            id: trailingSlot
            anchors.verticalCenter: parent.verticalCenter
            implicitWidth: root.trailing ? root.trailing.width : 0
            implicitHeight: root.trailing ? root.trailing.height : 0
        }
    }

    // The items of pages not shown wait here, out of sight: an item without a
    // parent counts as visible, and a screen reader or a search by name would find
    // the items of every page in the stack.
    Item {
        id: shelf
        visible: false
    }

    function hold(slot: Item, item: Item) {
        for (let i = slot.children.length - 1; i >= 0; --i) {
            const held = slot.children[i];
            if (held !== item)
                held.parent = shelf;
        }
        if (item)
            item.parent = slot;
    }
    onLeadingChanged: root.hold(leadingSlot, root.leading)
    onTrailingChanged: root.hold(trailingSlot, root.trailing)
    Component.onCompleted: {
        root.hold(leadingSlot, root.leading);
        root.hold(trailingSlot, root.trailing);
    }

    Rectangle {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.bottom
        height: 1
        color: Theme.navigationBarAppearance.shadowColor
    }
}
