import QtQuick
import QtQuick.Controls
import Talvoro

// The preview button of one voice. What it shows is the row's presentation of the
// shared player's one-off preview; without a player yet it is a plain speaker.
AbstractButton {
    id: root

    property string displayName
    property string symbol: "speaker.wave.2.fill"
    property string statusText: "可试听"
    property int tone: VoiceCatalogPresentation.Accent
    property bool isLoading: false
    // False before the shared player exists: the bare fallback button.
    property bool showsStatus: true
    readonly property color toneColor: root.tone === VoiceCatalogPresentation.Success ? Theme.success
        : root.tone === VoiceCatalogPresentation.Danger ? Theme.danger : Theme.accent

    implicitWidth: 56
    implicitHeight: 44
    enabled: !root.isLoading
    Accessible.role: Accessible.Button
    Accessible.name: VoiceCatalogPresentation.previewAccessibleName(root.displayName)
    Accessible.description: root.showsStatus ? root.statusText : ""

    Rectangle {
        anchors.fill: parent
        radius: 10
        visible: root.showsStatus
        color: Qt.alpha(root.toneColor, 0.10)
        opacity: root.pressed ? 0.6 : 1
    }
    ActivityIndicator {
        anchors.centerIn: parent
        visible: root.isLoading
        tint: root.toneColor
        size: 18
    }
    Icon {
        anchors.centerIn: parent
        visible: !root.isLoading
        name: root.symbol
        size: 17
        tint: root.toneColor
    }
}
