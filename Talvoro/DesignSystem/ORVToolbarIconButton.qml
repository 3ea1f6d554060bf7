import QtQuick
import QtQuick.Controls
import Talvoro

// An icon-only button of at least 44 x 44 points. Its disabled look applies at
// once, without animation.
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
        anchors.centerIn: parent
        width: 24
        height: 24
        name: root.symbolName
        size: 17
        tint: root.semanticColor
        font.weight: Font.DemiBold
    }
}
