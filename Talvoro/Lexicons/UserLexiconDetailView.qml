pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Talvoro

// One private lexicon: its words with their actions, a mode to put them in a new
// order, and a mode to select words for a playlist. It loads once when built; the
// word sheets and the playlist sheet open over it.
NavPage {
    id: root
    objectName: "userLexiconDetail"
    title: root.model.name

    required property UserLexiconDetailModel model
    readonly property bool blocksEdits: root.model.isReordering || root.model.isSavingOrder

    Component.onCompleted: root.model.reload()

    trailingItems: ORVToolbarIconButton {
        objectName: "userLexiconDetail.add"
        symbolName: "plus"
        accessibilityLabel: "添加单词"
        semanticColor: Theme.navigationBarAppearance.barButtonTintColor
        isDisabled: root.blocksEdits
        onClicked: root.model.showAddWordSheet = true
    }

    Rectangle {
        anchors.fill: parent
        color: Theme.background
    }

    LoadingLabel {
        objectName: "userLexiconDetail.loading"
        anchors.centerIn: parent
        visible: root.model.isLoading && root.model.wordCount === 0
        text: "正在载入词库单词..."
    }

    ORVErrorStateView {
        objectName: "userLexiconDetail.error"
        anchors.fill: parent
        visible: !root.model.isLoading && root.model.wordCount === 0 && root.model.loadErrorMessage !== ""
        message: root.model.loadErrorMessage
        retryAction: function () { root.model.reload(); }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0
        visible: !(root.model.wordCount === 0 && (root.model.isLoading || root.model.loadErrorMessage !== ""))

        LexiconErrorBanner {
            objectName: "userLexiconDetail.banner"
            visible: root.model.operationErrorMessage !== ""
            message: root.model.operationErrorMessage
            onClosed: root.model.dismissOperationError()
            Layout.fillWidth: true
        }

        Rectangle {
            objectName: "userLexiconDetail.header"
            visible: root.model.lexiconDescription !== "" || root.model.wordCount > 0
            color: Theme.surface
            Layout.fillWidth: true
            implicitHeight: header.implicitHeight + 24

            ColumnLayout {
                id: header
                x: 16
                y: 12
                width: parent.width - 32
                spacing: 8

                PlainText {
                    visible: root.model.lexiconDescription !== ""
                    text: root.model.lexiconDescription
                    font: Theme.font(Theme.Subheadline)
                    color: Theme.textSecondary
                    maximumLineCount: 2
                    wrapMode: Text.Wrap
                    elide: Text.ElideRight
                    Layout.fillWidth: true
                }
                LexiconSelectionBar {
                    visible: root.model.wordCount > 0 && root.model.isSelectionMode
                    model: root.model
                    Layout.fillWidth: true
                }
                LexiconReorderBar {
                    visible: root.model.wordCount > 0 && !root.model.isSelectionMode
                    model: root.model
                    Layout.fillWidth: true
                }
            }
        }

        ORVEmptyStateView {
            objectName: "userLexiconDetail.empty"
            visible: root.model.wordCount === 0
            title: "词库中尚无单词"
            description: "点击右上角“加号”开始添加您的第一个单词"
            systemImageName: "tray"
            actionTitle: "立即添加单词"
            action: function () { root.model.showAddWordSheet = true; }
            Layout.fillWidth: true
            Layout.fillHeight: true
        }

        ListView {
            id: list
            objectName: "userLexiconDetail.words"
            visible: root.model.wordCount > 0
            clip: true
            model: root.model.rows
            interactive: !dragArea.dragging
            Layout.fillWidth: true
            Layout.fillHeight: true

            delegate: UserLexiconWordRow {
                width: ListView.view.width
                screen: root.model
                onActionsRequested: (wordId, wordDisplay) => {
                    actionDialog.wordId = wordId;
                    actionDialog.wordName = wordDisplay;
                    actionDialog.presented = true;
                }
            }

            // Drags start on a row's handle; the row follows the pointer row by row.
            // Declared inside the list, the area lies in its content, where indexAt
            // takes its coordinates.
            MouseArea {
                id: dragArea
                property int fromIndex: -1
                readonly property bool dragging: fromIndex >= 0
                anchors.top: parent.top
                anchors.bottom: parent.bottom
                anchors.right: parent.right
                width: 56
                z: 2
                enabled: root.model.isReordering && !root.model.isSavingOrder
                visible: enabled
                onPressed: mouse => {
                    fromIndex = list.indexAt(mouse.x + x, mouse.y + y);
                }
                onPositionChanged: mouse => {
                    if (fromIndex < 0)
                        return;
                    const to = list.indexAt(mouse.x + x, mouse.y + y);
                    if (to >= 0 && to !== fromIndex) {
                        root.model.moveDraftRow(fromIndex, to);
                        fromIndex = to;
                    }
                }
                onReleased: fromIndex = -1
                onCanceled: fromIndex = -1
            }
        }

        Rectangle {
            objectName: "userLexiconDetail.playlistBar"
            visible: root.model.isSelectionMode && root.model.wordCount > 0
            color: Theme.surface
            Layout.fillWidth: true
            implicitHeight: addButton.implicitHeight + 24

            ORVShadow {
                color: Qt.alpha(Theme.shadow, Theme.shadow.a * 0.65)
                radius: 4
                offsetY: -2
            }
            ORVPrimaryButton {
                id: addButton
                objectName: "userLexiconDetail.addToPlaylist"
                x: 16
                y: 12
                width: parent.width - 32
                title: "添加到播放列表（" + root.model.selectedCount + "）"
                iconName: "plus.rectangle.on.folder.fill"
                isDisabled: root.model.selectedCount === 0 || root.model.isReordering
                onClicked: root.model.showSelectPlaylistSheet = true
            }
        }
    }

    ToastView {
        objectName: "userLexiconDetail.toast"
        controller: root.model.toast
        iconColor: Theme.accent
    }

    ConfirmationDialog {
        id: actionDialog
        objectName: "userLexiconDetail.actions"
        property var wordId: 0
        property string wordName
        title: actionDialog.wordName + "的操作"
        message: "请选择要对该单词执行的操作"
        actions: {
            const model = root.model;
            const wordId = actionDialog.wordId;
            return [
                { text: "编辑单词内容", handler: () => model.perform(UserLexiconDetailModel.EditDetails, wordId) },
                { text: "设置播放方式", handler: () => model.perform(UserLexiconDetailModel.EditPlayback, wordId) },
                { text: "移动到其他词库", handler: () => model.perform(UserLexiconDetailModel.Move, wordId) },
                { text: "删除单词", role: "destructive",
                  handler: () => model.perform(UserLexiconDetailModel.Delete, wordId) },
                { text: "取消", role: "cancel" }
            ];
        }
        onDismissed: actionDialog.presented = false
    }

    AlertDialog {
        objectName: "userLexiconDetail.deleteAlert"
        presented: root.model.showDeleteConfirmAlert
        title: "确认删除单词"
        message: "确定要从词库中删除单词“" + root.model.wordToDeleteDisplay + "”吗？"
        actions: {
            const model = root.model;
            return [{ text: "删除", role: "destructive", handler: () => model.confirmDelete() },
                    { text: "取消", role: "cancel" }];
        }
        onDismissed: root.model.dismissDeleteAlert()
    }

    Sheet {
        objectName: "userLexiconDetail.addWordSheet"
        presented: root.model.showAddWordSheet
        page: addWordPage
        onDismissed: root.model.showAddWordSheet = false
    }

    // Each word sheet is built for the word its action named; the page owns its model.
    Sheet {
        objectName: "userLexiconDetail.editSheet"
        presented: root.model.isEditingDetails
        page: editWordPage
        onDismissed: root.model.dismissWordSheet(UserLexiconDetailModel.EditDetails)
    }

    Sheet {
        objectName: "userLexiconDetail.moveSheet"
        presented: root.model.isMovingWord
        page: moveWordPage
        onDismissed: root.model.dismissWordSheet(UserLexiconDetailModel.Move)
    }

    Component {
        id: addWordPage
        AddWordSheet {
            model: root.model.makeAddWordModel(this)
        }
    }

    Component {
        id: editWordPage
        EditWordDetailsSheet {
            model: root.model.makeEditWordDetailsModel(this)
        }
    }

    Component {
        id: moveWordPage
        MoveWordToLexiconSheet {
            model: root.model.makeMoveWordModel(this)
        }
    }

    Sheet {
        objectName: "userLexiconDetail.playlistSheet"
        presented: root.model.showSelectPlaylistSheet
        page: playlistSheetPage
        onDismissed: root.model.showSelectPlaylistSheet = false
    }

    // Built each time the sheet opens, with the words selected at that moment, in
    // list order; the page owns its model.
    Component {
        id: playlistSheetPage
        SelectOrCreatePlaylistSheet {
            model: root.model.makeSelectOrCreatePlaylistModel(this)
        }
    }

    Sheet {
        objectName: "userLexiconDetail.playbackSheet"
        presented: root.model.isEditingPlayback
        page: playbackSheetPage
        onDismissed: root.model.dismissWordSheet(UserLexiconDetailModel.EditPlayback)
    }

    // The page owns the sheet's model: it goes with the page, and a preview it
    // started stops then.
    Component {
        id: playbackSheetPage
        EditWordPlaybackSheet {
            model: root.model.makeEditWordPlaybackSheetModel(this)
        }
    }
}
