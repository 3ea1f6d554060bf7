import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Talvoro

// One catalogue voice: its name and locale (with the cached-audio badge), its
// preview button and its set-as-global button. Everything shown comes from the
// row's values; taps are reported, never acted on here.
Item {
    id: root

    property string voiceId
    property string displayName
    property string locale
    property bool isGlobal: false
    property bool isSaving: false
    property bool isOffline: false
    property string setGlobalText
    property string setGlobalAccessibleName
    property bool hasPlaybackViewModel: false
    property string previewSymbol: "speaker.wave.2.fill"
    property string previewStatusText: "可试听"
    property int previewTone: VoiceCatalogPresentation.Accent
    property bool previewLoading: false
    property int position: ORVListRowPosition.Only
    signal previewTapped
    signal setGlobalTapped

    implicitHeight: layout.implicitHeight + 8
    Layout.fillWidth: true

    RowLayout {
        id: layout
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        spacing: 12

        ColumnLayout {
            spacing: 4
            // Exactly what the two buttons leave, however long the name or the badge.
            Layout.preferredWidth: Math.max(0, layout.width - preview.width - setGlobal.width - 2 * layout.spacing)
            Layout.maximumWidth: Layout.preferredWidth

            PlainText {
                text: root.displayName
                font: Theme.font(Theme.Body, Font.Medium)
                wrapMode: Text.Wrap
                maximumLineCount: 2
                elide: Text.ElideRight
                Layout.fillWidth: true
            }
            // The badge moves under the locale when both do not fit.
            Flow {
                spacing: 6
                Layout.fillWidth: true
                Layout.minimumHeight: 24
                PlainText {
                    height: Math.max(24, implicitHeight)
                    verticalAlignment: Text.AlignVCenter
                    text: root.locale
                    font: Theme.font(Theme.Caption1)
                    color: Theme.textSecondary
                }
                ORVOfflineBadge {
                    objectName: "voiceSelection.offline." + root.voiceId
                    visible: root.isOffline
                }
            }
        }
        VoicePreviewControl {
            id: preview
            objectName: "voiceSelection.preview." + root.voiceId
            displayName: root.displayName
            showsStatus: root.hasPlaybackViewModel
            symbol: root.previewSymbol
            statusText: root.previewStatusText
            tone: root.previewTone
            isLoading: root.previewLoading
            onClicked: root.previewTapped()
        }
        AbstractButton {
            id: setGlobal
            objectName: "voiceSelection.setGlobal." + root.voiceId
            enabled: !root.isGlobal && !root.isSaving
            implicitWidth: 76
            implicitHeight: 44
            Accessible.role: Accessible.Button
            Accessible.name: root.setGlobalAccessibleName
            onClicked: root.setGlobalTapped()

            Rectangle {
                anchors.centerIn: parent
                width: 76
                height: Math.max(34, globalText.implicitHeight + 8)
                radius: 10
                color: root.isGlobal ? Theme.background : Qt.alpha(Theme.accent, 0.10)
                border.width: 1
                border.color: root.isGlobal ? Theme.separator : Qt.alpha(Theme.accent, 0.25)
                opacity: setGlobal.pressed ? 0.6 : 1
            }
            ActivityIndicator {
                anchors.centerIn: parent
                visible: root.isSaving
                tint: Theme.accent
                size: 16
            }
            PlainText {
                id: globalText
                anchors.centerIn: parent
                width: 72
                height: 34
                verticalAlignment: Text.AlignVCenter
                visible: !root.isSaving
                text: root.setGlobalText
                font: Theme.font(Theme.Caption1, Font.DemiBold)
                color: root.isGlobal ? Theme.textSecondary : Theme.accent
                horizontalAlignment: Text.AlignHCenter
                fontSizeMode: Text.HorizontalFit
                minimumPixelSize: 9
            }
        }
    }

    ORVListRowSeparatorModifier {
        position: root.position
    }
}
