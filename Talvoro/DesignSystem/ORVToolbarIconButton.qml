import QtQuick
import QtQuick.Controls
import Talvoro

// An icon-only button: a 17-point symbol in a 24 x 24 frame inside a 44 x 44
// touch area, the same at every text size. Its disabled look applies at once,
// without animation.
AbstractButton {
    id: root

    property string symbolName
    property string accessibilityLabel
    property color semanticColor: Theme.accent
    property bool isDisabled: false

    enabled: !root.isDisabled
    opacity: root.isDisabled ? 0.45 : 1
    implicitWidth: Theme.size.iconButton
    implicitHeight: Theme.size.iconButton
    focusPolicy: Qt.StrongFocus
    Accessible.role: Accessible.Button
    Accessible.name: root.accessibilityLabel

    Icon {
        id: symbol
        anchors.centerIn: parent
        width: 24
        height: 24
        name: root.symbolName
        size: 17
        tint: root.semanticColor
        font.weight: Font.DemiBold
    }
}
