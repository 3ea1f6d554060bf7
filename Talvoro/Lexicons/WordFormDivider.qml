import QtQuick
import QtQuick.Layouts
import Talvoro

// The hairline between two entries of one form section.
Rectangle {
    implicitHeight: 1
    Layout.fillWidth: true
    color: Theme.separator
}
