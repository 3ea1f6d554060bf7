import QtQuick
import QtQuick.Layouts
import Talvoro

// The list's name over two badges: the position and the loop mode, side by side
// when they fit and stacked when they do not.
Item {
    id: root
    objectName: "player.header"

    property string playlistName
    property string positionText
    property string loopText

    readonly property bool sideBySide: PlayerMorph.fitsSideBySide(
        position.implicitWidth, loop.implicitWidth, 8, column.width)

    implicitHeight: column.implicitHeight + 16
    // One element: the name and the badges are read in its name, not again.
    Accessible.role: Accessible.StaticText
    Accessible.name: root.playlistName + "，单词：" + root.positionText + "，格式：" + root.loopText

    ColumnLayout {
        id: column
        x: 16
        y: 16
        width: root.width - 32
        spacing: 8

        PlainText {
            objectName: "player.header.name"
            text: root.playlistName
            font: Theme.font(Theme.Headline)
            color: Theme.textPrimary
            wrapMode: Text.Wrap
            maximumLineCount: 2
            elide: Text.ElideRight
            Layout.fillWidth: true
            Accessible.ignored: true
        }

        GridLayout {
            objectName: root.sideBySide ? "player.header.badges.row" : "player.header.badges.stack"
            columns: root.sideBySide ? 2 : 1
            columnSpacing: 8
            rowSpacing: 8

            PlaybackMetadataBadge {
                id: position
                objectName: "player.header.position"
                label: "单词"
                value: root.positionText
                tint: Theme.accent
                Accessible.ignored: true
            }
            PlaybackMetadataBadge {
                id: loop
                label: "格式"
                value: root.loopText
                tint: Theme.secondaryAccent
                Accessible.ignored: true
            }
        }
    }
}
