pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Talvoro

// A public lexicon: its name, description and word count, and its words, each with
// a selection mark. Every load selects all words; the user narrows the selection
// word by word or with the select-all switch. Each time the page shows it loads.
NavPage {
    id: root
    objectName: "publicLexiconDetail"
    title: "公共词库详情"

    required property PublicLexiconDetailModel model
    property bool showsPlaylistSheet: false

    onAppeared: root.model.reload()

    Rectangle {
        anchors.fill: parent
        color: Theme.background
    }

    LoadingLabel {
        objectName: "publicLexiconDetail.loading"
        anchors.centerIn: parent
        visible: root.model.loading
        text: "加载中..."
    }

    ORVErrorStateView {
        objectName: "publicLexiconDetail.error"
        anchors.fill: parent
        visible: !root.model.loading && root.model.errorMessage !== ""
        message: root.model.errorMessage
        retryAction: function () { root.model.reload(); }
    }

    ColumnLayout {
        id: page
        anchors.fill: parent
        spacing: 0
        visible: !root.model.loading && root.model.errorMessage === "" && root.model.hasDetail

        // At the largest text sizes the header would push the words and the button
        // off the screen: then it takes at most half of what the button leaves, and
        // scrolls.
        Flickable {
            Layout.fillWidth: true
            Layout.preferredHeight: contentHeight
            Layout.maximumHeight: bottomBar.visible ? Math.max(0, (page.height - bottomBar.height) / 2) : page.height
            contentWidth: width
            contentHeight: header.implicitHeight + 32
            interactive: contentHeight > height
            clip: true

            Rectangle {
                width: parent.width
                height: header.implicitHeight + 32
                color: Theme.surface

                ColumnLayout {
                    id: header
                    x: 16
                    y: 16
                    width: parent.width - 32
                    spacing: 8

                    RowLayout {
                        spacing: Theme.spacing.sm
                        Layout.fillWidth: true
                        ColumnLayout {
                            spacing: 4
                            // The texts wrap into what the badge leaves, whatever their size.
                            Layout.preferredWidth: 0
                            Layout.fillWidth: true
                            PlainText {
                                objectName: "publicLexiconDetail.name"
                                text: root.model.name
                                font: Theme.font(Theme.Title2, Font.Bold)
                                wrapMode: Text.Wrap
                                Layout.fillWidth: true
                            }
                            PlainText {
                                visible: root.model.lexiconDescription !== ""
                                text: root.model.lexiconDescription
                                font: Theme.font(Theme.Subheadline)
                                color: Theme.textSecondary
                                wrapMode: Text.Wrap
                                Layout.fillWidth: true
                            }
                        }
                        Rectangle {
                            radius: 8
                            color: Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.12)
                            implicitWidth: countBadge.implicitWidth + 20
                            implicitHeight: countBadge.implicitHeight + 8
                            PlainText {
                                id: countBadge
                                objectName: "publicLexiconDetail.wordCount"
                                anchors.centerIn: parent
                                text: root.model.count + " 词"
                                font: Theme.font(Theme.Caption1, Font.DemiBold)
                                color: Theme.accent
                            }
                        }
                    }

                    RowLayout {
                        visible: root.model.count > 0
                        Layout.fillWidth: true
                        Layout.topMargin: 4

                        AbstractButton {
                            objectName: "publicLexiconDetail.selectAll"
                            implicitHeight: Math.max(44, implicitContentHeight)
                            text: root.model.allSelected ? "取消全选" : "全选所有单词"
                            Accessible.name: text
                            onClicked: root.model.toggleAllSelection()
                            contentItem: RowLayout {
                                spacing: 6
                                Icon {
                                    name: root.model.allSelected ? "checkmark.square.fill" : "square"
                                    tint: root.model.allSelected ? Theme.accent : Theme.textSecondary
                                }
                                PlainText {
                                    text: root.model.allSelected ? "取消全选" : "全选所有单词"
                                    font: Theme.font(Theme.Footnote)
                                }
                            }
                        }
                        PlainText {
                            objectName: "publicLexiconDetail.selectionCount"
                            text: "已选 " + root.model.selectedCount + " / " + root.model.count + " 词"
                            font: Theme.font(Theme.Footnote)
                            color: Theme.textSecondary
                            horizontalAlignment: Text.AlignRight
                            wrapMode: Text.Wrap
                            Layout.preferredWidth: 0
                            Layout.fillWidth: true
                        }
                    }
                }
            }
        }

        ListView {
            id: list
            objectName: "publicLexiconDetail.words"
            clip: true
            model: root.model
            Layout.fillWidth: true
            Layout.fillHeight: true

            delegate: AbstractButton {
                id: row
                required property int index
                required property var wordId
                required property string wordDisplay
                required property string ipa
                required property string translations
                required property bool selected
                required property int rowPosition

                objectName: "publicLexiconDetail.word." + index
                width: ListView.view.width
                implicitHeight: Math.max(mark.implicitHeight, texts.implicitHeight) + 24
                // One element: its texts are read in its name, not again.
                Accessible.name: row.wordDisplay + "，" + row.translations
                Accessible.checkable: true
                Accessible.checked: row.selected
                onClicked: root.model.toggleSelection(row.wordId)

                background: Rectangle {
                    color: Theme.background
                }
                // Placed by bindings rather than layouts: rows laid out before
                // their width was known kept their first, taller height.
                Icon {
                    id: mark
                    x: 16
                    anchors.verticalCenter: parent.verticalCenter
                    name: row.selected ? "checkmark.circle.fill" : "circle"
                    size: Theme.fontSize(Theme.Title3)
                    tint: row.selected ? Theme.accent : Theme.mutedFill
                }
                Column {
                    id: texts
                    x: mark.x + mark.width + 12
                    width: row.width - x - 16
                    anchors.verticalCenter: parent.verticalCenter
                    spacing: 4
                    WordIpaLine {
                        width: parent.width
                        word: row.wordDisplay
                        ipa: row.ipa
                        wordFont: Theme.font(Theme.Headline)
                        ipaFont: Theme.font(Theme.Caption1)
                        readsTexts: false
                    }
                    PlainText {
                        width: parent.width
                        text: row.translations
                        font: Theme.font(Theme.Subheadline)
                        color: Theme.textSecondary
                        wrapMode: Text.Wrap
                        Accessible.ignored: true
                    }
                }
                ORVListRowSeparatorModifier {
                    position: row.rowPosition
                }
            }
        }

        Rectangle {
            id: bottomBar
            visible: root.model.count > 0
            color: Theme.surface
            Layout.fillWidth: true
            implicitHeight: addButton.implicitHeight + 24

            ORVShadow {
                color: Theme.shadow
                radius: 4
                offsetY: -2
            }
            ORVPrimaryButton {
                id: addButton
                objectName: "publicLexiconDetail.addToPlaylist"
                x: 16
                y: 12
                width: parent.width - 32
                title: "添加到播放列表 (" + root.model.selectedCount + ")"
                iconName: "plus.rectangle.on.folder.fill"
                isDisabled: root.model.selectedCount === 0
                onClicked: root.showsPlaylistSheet = root.model.opensPlaylistSheet
            }
        }
    }

    Sheet {
        objectName: "publicLexiconDetail.playlistSheet"
        presented: root.showsPlaylistSheet
        page: playlistSheetPage
        onDismissed: root.showsPlaylistSheet = false
    }

    // Built each time the sheet opens, with the words selected at that moment, in
    // list order; the page owns its model.
    Component {
        id: playlistSheetPage
        SelectOrCreatePlaylistSheet {
            model: root.model.makeSelectOrCreatePlaylistModel(this)
        }
    }
}
