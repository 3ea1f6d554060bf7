import QtQuick
import Talvoro

// The bar on top of a navigation stack: back, leading items, the title, trailing
// items. Its colours come from the navigation-bar appearance of the theme.
Rectangle {
    id: root

    property string title
    property bool showsBack: false
    property Component leading: null
    property Component trailing: null
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
        Loader {
            sourceComponent: root.leading
            anchors.verticalCenter: parent.verticalCenter
        }
    }

    PlainText {
        id: titleText
        anchors.centerIn: parent
        width: Math.min(implicitWidth, root.width - 2 * root.sideWidth - 16)
        text: root.title
        color: Theme.navigationBarAppearance.titleColor
        font: Theme.systemFont(17, Font.DemiBold)
        elide: Text.ElideRight
        horizontalAlignment: Text.AlignHCenter
        Accessible.role: Accessible.Heading
    }

    Row {
        id: trailingRow
        anchors.right: parent.right
        anchors.rightMargin: 4
        anchors.verticalCenter: parent.verticalCenter

        Loader {
            sourceComponent: root.trailing
            anchors.verticalCenter: parent.verticalCenter
        }
    }

    Rectangle {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.bottom
        height: 1
        color: Theme.navigationBarAppearance.shadowColor
    }
}
