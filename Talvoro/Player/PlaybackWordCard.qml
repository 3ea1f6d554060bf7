pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Talvoro

// The card of the word on show: which unit is spoken and how often the word has
// been repeated, the word with its spelling while that is spoken, IPA and
// syllables, the word's units with the one spoken and the cached ones marked, and
// its meanings, explanation and usage.
Item {
    id: root
    objectName: "player.card"

    required property PlaybackPageModel model
    property bool marking: false
    property PlayerSharedElementRegistry registry: null
    property Item space: null

    readonly property real badgeWidth: Theme.scaled(148, Theme.Caption1)
    readonly property real statusRowHeight: Theme.scaled(28, Theme.Caption1)
    readonly property real iconWidth: Theme.scaled(16, Theme.Caption1)
    readonly property real spellingHeight: Theme.scaled(34, Theme.Title2)

    implicitHeight: surface.height

    Rectangle {
        // A plain offset shadow: the software renderer draws no blurred ones.
        x: surface.x
        y: surface.y + 4
        width: surface.width
        height: surface.height
        radius: 16
        color: Theme.shadow
    }

    Rectangle {
        id: surface
        objectName: "player.card.surface"
        x: 16
        width: root.width - 32
        height: content.implicitHeight + 48
        radius: 16
        color: Theme.surface

        ColumnLayout {
            id: content
            x: 24
            y: 24
            width: parent.width - 48
            spacing: 16

            // The unit status slot, the card's header: one element, read as the
            // unit spoken and the repeat progress. Each text ignores itself, as an
            // ignored parent would not hide its children. The badge keeps its width
            // (the card's, if that is less); when the repeat count no longer fits
            // beside it, the count goes under it.
            GridLayout {
                id: status
                objectName: "player.card.status"

                readonly property string spoken: !root.model.hasUnit ? root.model.repeatText
                    : root.model.repeatText === "" ? root.model.unitTitle
                    : root.model.unitTitle + "，" + root.model.repeatText
                readonly property real unitWidth: Math.min(root.badgeWidth, content.width)

                columns: !repeat.visible || status.unitWidth + columnSpacing + repeat.implicitWidth <= content.width ? 2 : 1
                columnSpacing: 8
                rowSpacing: 8
                Accessible.role: Accessible.StaticText
                Accessible.name: status.spoken
                Accessible.ignored: status.spoken === ""
                Layout.alignment: Qt.AlignHCenter
                Layout.fillWidth: false
                Layout.maximumWidth: content.width

                Rectangle {
                    objectName: "player.card.unit"
                    Layout.preferredWidth: status.unitWidth
                    Layout.preferredHeight: root.statusRowHeight
                    Layout.alignment: Qt.AlignHCenter
                    radius: 6
                    color: Qt.alpha(Theme.accent, 0.12)
                    opacity: root.model.hasUnit ? 1 : 0

                    RowLayout {
                        anchors.fill: parent
                        anchors.leftMargin: 10
                        anchors.rightMargin: 10
                        spacing: 4
                        Icon {
                            Layout.preferredWidth: root.iconWidth
                            Layout.preferredHeight: root.iconWidth
                            name: root.model.unitSymbol
                            size: Theme.fontSize(Theme.Caption1)
                            tint: Theme.accent
                            opacity: root.marking ? 0 : 1

                            PlayerSharedElement {
                                role: PlayerMorph.ExpandedActivityIcon
                                active: root.marking
                                registry: root.registry
                                space: root.space
                            }
                        }
                        PlainText {
                            text: root.model.unitTitle
                            Accessible.ignored: true
                            font: Theme.font(Theme.Caption1, Font.Bold)
                            color: Theme.accent
                            maximumLineCount: 1
                            fontSizeMode: Text.HorizontalFit
                            minimumPixelSize: Math.round(Theme.fontSize(Theme.Caption1) * 0.7)
                            elide: Text.ElideRight
                            Layout.fillWidth: true
                        }
                    }
                }

                // Under the badge it still keeps to the card: a count too long for
                // even that shrinks, then gives up its end.
                Rectangle {
                    id: repeat
                    objectName: "player.card.repeat"
                    visible: root.model.repeatText !== ""
                    implicitWidth: repeatLabel.implicitWidth + 16
                    Layout.preferredWidth: Math.min(implicitWidth, content.width)
                    Layout.preferredHeight: root.statusRowHeight
                    Layout.alignment: Qt.AlignHCenter
                    radius: 6
                    color: Qt.alpha(Theme.secondaryAccent, 0.12)
                    PlainText {
                        id: repeatLabel
                        anchors.centerIn: parent
                        width: Math.min(implicitWidth, parent.width - 16)
                        text: root.model.repeatText
                        Accessible.ignored: true
                        font: Theme.font(Theme.Caption1, Font.DemiBold)
                        color: Theme.secondaryAccent
                        horizontalAlignment: Text.AlignHCenter
                        maximumLineCount: 1
                        fontSizeMode: Text.HorizontalFit
                        minimumPixelSize: Math.round(Theme.fontSize(Theme.Caption1) * 0.7)
                        elide: Text.ElideRight
                    }
                }
            }

            PlainText {
                objectName: "player.card.word"
                text: root.model.wordDisplay
                // A fixed size, as the travelling copy ends at it.
                font.pixelSize: 40
                font.weight: Font.Bold
                color: Theme.textPrimary
                opacity: root.marking ? 0 : 1
                Accessible.ignored: root.marking
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
                Layout.fillWidth: true
                Layout.minimumWidth: 0
                Layout.preferredWidth: content.width

                PlayerSharedElement {
                    x: (parent.width - width) / 2
                    width: Math.min(parent.contentWidth, parent.width)
                    role: PlayerMorph.ExpandedTitle
                    active: root.marking
                    registry: root.registry
                    space: root.space
                }
            }

            // Always takes its height, so the card does not jump when the spelling starts.
            PlainText {
                objectName: "player.card.spelling"
                text: root.model.hasSpelling ? root.model.spelling : "A"
                opacity: root.model.hasSpelling ? 1 : 0
                Accessible.ignored: !root.model.hasSpelling
                font: Theme.font(Theme.Title2, Font.DemiBold)
                color: Theme.secondaryAccent
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
                maximumLineCount: 1
                fontSizeMode: Text.HorizontalFit
                minimumPixelSize: Math.round(Theme.fontSize(Theme.Title2) * 0.65)
                elide: Text.ElideRight
                Layout.fillWidth: true
                Layout.minimumWidth: 0
                Layout.preferredWidth: content.width
                Layout.preferredHeight: root.spellingHeight
            }

            PlainText {
                objectName: "player.card.ipa"
                visible: root.model.hasIpa
                text: root.model.ipa
                font: Theme.font(Theme.Title3)
                color: Theme.textSecondary
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
                Layout.fillWidth: true
            }

            PlainText {
                objectName: "player.card.syllables"
                visible: root.model.hasSyllables
                text: root.model.syllables
                font: Theme.font(Theme.Subheadline)
                color: Theme.secondaryAccent
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
                Layout.fillWidth: true
            }

            Rectangle {
                color: Theme.separator
                Layout.fillWidth: true
                Layout.preferredHeight: 1
                Layout.topMargin: 8
                Layout.bottomMargin: 8
            }

            ColumnLayout {
                objectName: "player.card.units"
                visible: root.model.units.length > 0
                spacing: 8
                Layout.fillWidth: true
                Layout.topMargin: 8
                Layout.bottomMargin: 8

                Repeater {
                    model: root.model.units

                    RowLayout {
                        id: unitRow
                        required property var modelData
                        objectName: "player.card.unit." + unitRow.modelData.unit
                        spacing: 8
                        Layout.fillWidth: true
                        Layout.minimumHeight: 44

                        Icon {
                            Layout.preferredWidth: Math.max(20, implicitWidth)
                            name: unitRow.modelData.symbol
                            size: Theme.fontSize(Theme.Footnote)
                            tint: unitRow.modelData.current ? Theme.accent : Theme.textSecondary
                        }
                        PlainText {
                            text: unitRow.modelData.title
                            font: Theme.font(Theme.Footnote)
                            color: Theme.textSecondary
                            maximumLineCount: 1
                            elide: Text.ElideRight
                            Layout.fillWidth: true
                            Layout.minimumWidth: 0
                        }
                        ORVOfflineBadge {
                            visible: unitRow.modelData.cached
                            Layout.leftMargin: 12
                        }
                    }
                }
            }

            Rectangle {
                visible: root.model.units.length > 0
                color: Theme.separator
                Layout.fillWidth: true
                Layout.preferredHeight: 1
                Layout.bottomMargin: 8
            }

            PlainText {
                objectName: "player.card.meanings"
                text: root.model.meanings
                font: Theme.font(Theme.Title3, Font.Medium)
                color: Theme.textPrimary
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
                Layout.fillWidth: true
            }

            PlaybackTextSection {
                objectName: "player.card.explanation"
                visible: root.model.explanation !== ""
                title: "详细解释"
                content: root.model.explanation
                Layout.fillWidth: true
            }

            PlaybackTextSection {
                objectName: "player.card.usage"
                visible: root.model.usageScenario !== ""
                title: "使用场景"
                content: root.model.usageScenario
                Layout.fillWidth: true
            }
        }
    }
}
