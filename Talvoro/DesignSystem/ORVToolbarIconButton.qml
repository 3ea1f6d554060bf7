import QtQuick
import QtQuick.Controls
import Talvoro

// An icon-only button of at least 44 x 44 points, larger when its symbol grows
// with the text size. Its disabled look applies at once, without animation.
AbstractButton {
    id: root

    property string symbolName
    property string accessibilityLabel
    property color semanticColor: Theme.accent
    property bool isDisabled: false

    enabled: !root.isDisabled
    opacity: root.isDisabled ? 0.45 : 1
    implicitWidth: Math.max(Theme.size.iconButton, symbol.width)
    implicitHeight: Math.max(Theme.size.iconButton, symbol.height)
    focusPolicy: Qt.StrongFocus
    Accessible.role: Accessible.Button
    Accessible.name: root.accessibilityLabel

    Icon {
        id: symbol
        anchors.centerIn: parent
        width: Math.max(24, implicitWidth)
        height: Math.max(24, implicitHeight)
        name: root.symbolName
        size: Theme.scaled(17, Theme.Body)
        tint: root.semanticColor
        font.weight: Font.DemiBold
    }
}
