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

    RowLayout {
        spacing: 8
        Layout.fillWidth: true

        Icon {
            name: root.systemImage
            size: caption.font.pixelSize
            tint: Theme.textPrimary
        }
        PlainText {
            id: caption
            text: root.title
            font: Theme.font(Theme.Subheadline)
            elide: Text.ElideRight
            Layout.fillWidth: true
        }
        PlainText {
            objectName: root.identifier + ".value"
            text: VoiceCatalogPresentation.rateText(root.rate)
            font: Theme.font(Theme.Subheadline, Font.DemiBold)
            color: Theme.accent
            horizontalAlignment: Text.AlignRight
            Layout.preferredWidth: Math.max(48, implicitWidth)
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
