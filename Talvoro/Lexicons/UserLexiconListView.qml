pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Talvoro

// The signed-in user's private lexicons, local first. It loads each time it shows
// (also on the way back from a lexicon). "+" and the empty state open the create
// sheet; a row opens the lexicon. A failure shows in the create sheet while it is
// open, otherwise in a banner above the rows.
NavPage {
    id: root
    objectName: "userLexiconList"
    title: "我的私人词库"

    required property UserLexiconListModel model

    function openLexicon(lexiconId) {
        if (!root.model.opensDetail || !root.navStack)
            return;
        root.navStack.push(detailPage, { lexiconId: lexiconId });
    }

    onAppeared: root.model.reload()

    trailingItems: ORVToolbarIconButton {
        objectName: "userLexiconList.add"
        symbolName: "plus"
        accessibilityLabel: "新建私人词库"
        semanticColor: Theme.navigationBarAppearance.barButtonTintColor
        onClicked: root.model.showCreateSheet = true
    }

    Rectangle {
        anchors.fill: parent
        color: Theme.background
    }

    LoadingLabel {
        objectName: "userLexiconList.loading"
        anchors.centerIn: parent
        visible: root.model.isLoading && root.model.lexicons.count === 0
        text: "加载中..."
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        LexiconErrorBanner {
            objectName: "userLexiconList.banner"
            visible: !root.model.showCreateSheet && root.model.errorMessage !== ""
            message: root.model.errorMessage
            onClosed: root.model.dismissErrorMessage()
            Layout.fillWidth: true
        }

        ORVEmptyStateView {
            objectName: "userLexiconList.empty"
            visible: !root.model.isLoading && root.model.lexicons.count === 0
            title: "尚无私人词库"
            description: "点击右上角“+”新建词库或开始添加自定义单词"
            systemImageName: "tray"
            actionTitle: "创建首个词库"
            action: function () { root.model.showCreateSheet = true; }
            Layout.fillWidth: true
            Layout.fillHeight: true
        }

        ListView {
            id: list
            objectName: "userLexiconList.rows"
            visible: root.model.lexicons.count > 0
            clip: true
            model: root.model.lexicons
            Layout.fillWidth: true
            Layout.fillHeight: true

            delegate: AbstractButton {
                id: row
                required property int index
                required property var lexiconId
                required property string name
                required property string lexiconDescription
                required property int wordCount
                required property int rowPosition

                objectName: "userLexiconList.row." + row.index
                width: ListView.view.width
                leftPadding: 16
                rightPadding: 16
                topPadding: 4 + 8
                bottomPadding: 4 + 8
                // One element: its texts are read in its name, not again.
                Accessible.name: row.name + "，" + row.wordCount + " 个单词"
                Accessible.description: "打开私人词库详情"
                onClicked: root.openLexicon(row.lexiconId)

                background: Rectangle {
                    color: row.down ? Theme.mutedFill : Theme.background
                }
                contentItem: RowLayout {
                    spacing: 12
                    ColumnLayout {
                        spacing: 4
                        Layout.fillWidth: true
                        RowLayout {
                            Layout.fillWidth: true
                            PlainText {
                                text: row.name
                                font: Theme.font(Theme.Headline)
                                wrapMode: Text.Wrap
                                Layout.fillWidth: true
                                Accessible.ignored: true
                            }
                            PlainText {
                                objectName: "userLexiconList.count." + row.index
                                text: row.wordCount + " 词"
                                font: Theme.font(Theme.Caption1)
                                color: Theme.textSecondary
                                Accessible.ignored: true
                            }
                        }
                        PlainText {
                            visible: row.lexiconDescription !== ""
                            text: row.lexiconDescription
                            font: Theme.font(Theme.Subheadline)
                            color: Theme.textSecondary
                            wrapMode: Text.Wrap
                            Layout.fillWidth: true
                            Accessible.ignored: true
                        }
                    }
                    Icon {
                        name: "chevron.right"
                        size: 13
                        tint: Theme.textSecondary
                        font.weight: Font.DemiBold
                        Accessible.ignored: true
                        Layout.preferredWidth: 18
                        Layout.preferredHeight: 44
                    }
                }
                ORVListRowSeparatorModifier {
                    position: row.rowPosition
                }
            }
        }
    }

    Sheet {
        objectName: "userLexiconList.createSheet"
        presented: root.model.showCreateSheet
        page: createPage
        onDismissed: root.model.showCreateSheet = false
    }

    Component {
        id: createPage

        NavPage {
            title: "新建私人词库"
            leadingItems: NavBarTextButton {
                objectName: "lexiconCreate.cancel"
                title: "取消"
                onClicked: root.model.showCreateSheet = false
            }
            trailingItems: NavBarTextButton {
                objectName: "lexiconCreate.submit"
                title: "创建"
                isProminent: true
                enabled: root.model.canCreate
                onClicked: root.model.create()
            }

            ColumnLayout {
                x: 16
                y: 24
                width: parent.width - 32
                spacing: 12

                PlaylistFormSection {
                    header: "词库信息"
                    PlaylistNameField {
                        identifier: "lexiconCreate.name"
                        placeholder: "词库名称 (如: 每日核心词)"
                        text: root.model.newLexiconName
                        onEdited: text => root.model.newLexiconName = text
                    }
                    WordFormDivider {}
                    PlaylistNameField {
                        identifier: "lexiconCreate.description"
                        placeholder: "描述 (可选)"
                        text: root.model.newLexiconDesc
                        onEdited: text => root.model.newLexiconDesc = text
                    }
                }

                RowLayout {
                    objectName: "lexiconCreate.error"
                    visible: root.model.errorMessage !== ""
                    spacing: 8
                    Layout.fillWidth: true
                    Icon {
                        name: "exclamationmark.circle.fill"
                        size: Theme.scaled(17, Theme.Footnote)
                        tint: Theme.danger
                    }
                    PlainText {
                        text: root.model.errorMessage
                        font: Theme.font(Theme.Footnote)
                        color: Theme.danger
                        wrapMode: Text.Wrap
                        Layout.fillWidth: true
                    }
                }
            }
        }
    }

    Component {
        id: detailPage
        // The page owns its model.
        UserLexiconDetailView {
            required property var lexiconId
            model: root.model.makeUserLexiconDetailModel(lexiconId, this)
        }
    }
}
