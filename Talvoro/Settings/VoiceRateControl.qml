import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Talvoro

// A titled slider for one speech rate, 0.5 to 2.0 in tenths; every movement is
// reported at once.
ColumnLayout {
    id: root

    property string title
    property string systemImage
    property real rate: 1.0
    // The identifier of the slider; the value text adds ".value".
    property string identifier
    signal edited(real rate)

    spacing: 8
    Layout.fillWidth: true
    Layout.topMargin: 2
    Layout.bottomMargin: 2

    // Placed by bindings rather than a layout: a row layout kept the height its
    // title had when first laid out at no width, and the slider below was drawn
    // over the next control.
    Item {
        Layout.fillWidth: true
        implicitHeight: Math.max(symbol.height, caption.implicitHeight, value.height)

        Icon {
            id: symbol
            anchors.verticalCenter: parent.verticalCenter
            name: root.systemImage
            size: caption.font.pixelSize
            tint: Theme.textPrimary
        }
        PlainText {
            id: caption
            anchors.verticalCenter: parent.verticalCenter
            x: symbol.width + 8
            width: Math.max(0, parent.width - x - 8 - value.width)
            text: root.title
            font: Theme.font(Theme.Subheadline)
            wrapMode: Text.Wrap
        }
        PlainText {
            id: value
            objectName: root.identifier + ".value"
            anchors.right: parent.right
            anchors.verticalCenter: parent.verticalCenter
            width: Math.max(48, implicitWidth)
            text: VoiceCatalogPresentation.rateText(root.rate)
            font: Theme.font(Theme.Subheadline, Font.DemiBold)
            color: Theme.accent
            horizontalAlignment: Text.AlignRight
        }
    }
    Slider {
        id: slider
        objectName: root.identifier
        from: 0.5
        to: 2.0
        stepSize: 0.1
        snapMode: Slider.SnapAlways
        value: root.rate
        Layout.fillWidth: true
        Accessible.name: root.title
        Accessible.description: VoiceCatalogPresentation.rateAccessibilityValue(root.rate)
        onMoved: root.edited(slider.value)
    }
}
