import QtQuick
import Talvoro

// A symbol by name, drawn from the app's icon font. An unknown name shows a
// visible question-mark glyph (and logs a warning) instead of nothing.
Text {
    id: root

    property string name
    property real size: 17
    property color tint: Theme.textPrimary

    text: IconCatalog.glyph(root.name)
    textFormat: Text.PlainText
    color: root.tint
    font.family: IconCatalog.fontFamily
    font.pixelSize: Math.round(root.size * 1.15)
    horizontalAlignment: Text.AlignHCenter
    verticalAlignment: Text.AlignVCenter
    Accessible.ignored: true
}
