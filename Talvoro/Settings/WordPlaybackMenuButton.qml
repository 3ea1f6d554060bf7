import QtQuick
import QtQuick.Layouts
import QtQuick.Controls
import Talvoro

// The label of a unit row's menu: a caption over the current choice, and the
// up-down chevron; the whole row is the tap target.
AbstractButton {
    id: root

    property string caption
    property string value

    implicitHeight: Math.max(44, implicitContentHeight)
    Accessible.role: Accessible.Button
    Layout.fillWidth: true

    contentItem: RowLayout {
        spacing: 8

        ColumnLayout {
            spacing: 2
            Layout.fillWidth: true
            PlainText {
                text: root.caption
                font: Theme.font(Theme.Caption1)
                color: Theme.textSecondary
            }
            PlainText {
                text: root.value
                font: Theme.font(Theme.Subheadline)
                color: Theme.textPrimary
                maximumLineCount: 1
                elide: Text.ElideRight
                Layout.fillWidth: true
            }
        }
        Icon {
            name: "chevron.up.chevron.down"
            size: Theme.fontSize(Theme.Caption1)
            tint: Theme.textSecondary
        }
    }
    background: Item {}
}
