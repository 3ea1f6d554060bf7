pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Talvoro

// The sheet page in which one word's own playback plan is edited: repeat count,
// units, their order, voices and rates. It loads when shown (and again when the
// signed-in token changes); saving is possible only once the server's version is
// known. However the sheet closes, a preview it started stops.
NavPage {
    id: root
    objectName: "wordPlayback"
    title: "单词播放设置"

    required property EditWordPlaybackSheetModel model
    readonly property WordPlaybackProfileEditorViewModel editor: root.model.editor

    Component.onCompleted: root.model.start()

    Connections {
        target: root.model
        function onDismissRequested() {
            if (root.navStack)
                root.navStack.dismiss();
        }
    }

    leadingItems: NavBarTextButton {
        objectName: "wordPlayback.cancel"
        title: "取消"
        onClicked: root.model.cancel()
    }
    trailingItems: NavBarTextButton {
        objectName: "wordPlayback.save"
        title: root.editor.isSaving ? "保存中…" : "保存"
        isProminent: true
        enabled: root.model.canSave
        onClicked: root.model.save()
    }

    Rectangle {
        anchors.fill: parent
        color: Theme.background
    }

    Flickable {
        id: scroll
        objectName: "wordPlayback.form"
        anchors.fill: parent
        contentWidth: width
        contentHeight: form.implicitHeight + 48
        clip: true
        enabled: !root.model.isFormDisabled

        ColumnLayout {
            id: form
            x: 16
            y: 24
            width: scroll.width - 32
            spacing: 20

            WordPlaybackFormSection {
                header: "单词信息"

                WordIpaLine {
                    Layout.fillWidth: true
                    word: root.editor.wordDisplay
                    ipa: root.editor.wordIpa
                    wordFont: Theme.font(Theme.Title3, Font.Bold)
                    ipaFont: Theme.font(Theme.Subheadline)
                    spreads: true
                    wordIdentifier: "wordPlayback.word"
                    ipaIdentifier: "wordPlayback.ipa"
                }
                // The label, the count and the stepper share a line while the
                // widest count fits there; otherwise the count and the stepper
                // move under the label, for every count alike, so that stepping
                // never moves the stepper.
                GridLayout {
                    id: repeatRow
                    readonly property bool oneLine: repeatLabel.implicitWidth + widestCount.advanceWidth
                        + stepper.implicitWidth + 2 * columnSpacing <= width
                    columns: oneLine ? 3 : 2
                    columnSpacing: 8
                    rowSpacing: 4
                    Layout.fillWidth: true
                    TextMetrics {
                        id: widestCount
                        font: repeatCount.font
                        text: "20 次"
                    }
                    PlainText {
                        id: repeatLabel
                        text: "播放次数"
                        font: Theme.font(Theme.Body)
                        wrapMode: Text.Wrap
                        Layout.fillWidth: true
                        Layout.columnSpan: repeatRow.oneLine ? 1 : 2
                    }
                    PlainText {
                        id: repeatCount
                        objectName: "wordPlayback.repeatCount"
                        text: root.editor.repeatCount + " 次"
                        font: Theme.font(Theme.Body)
                        color: Theme.textSecondary
                        Layout.fillWidth: !repeatRow.oneLine
                    }
                    WordPlaybackStepper {
                        id: stepper
                        objectName: "wordPlayback.stepper"
                        value: root.editor.repeatCount
                        from: 1
                        to: 20
                        Accessible.name: "播放次数"
                        Accessible.description: root.editor.repeatCount + " 次"
                        onStepped: count => root.editor.repeatCount = count
                    }
                }
            }

            WordPlaybackFormSection {
                header: "播放子项与顺序"
                footer: "开启或关闭播放项，长按任一播放项并拖动即可调整顺序；音色与语速选择继承时会实时采用全局设置。"
                rowSpacing: 0

                Repeater {
                    model: root.model.rows
                    delegate: WordPlaybackUnitEditorRow {
                        sheet: root.model
                    }
                }
            }

            WordPlaybackFormSection {
                visible: root.model.showsReloadSection
                footer: "必须先取得服务端最新版本，才能安全保存并避免覆盖其他设备的修改。"

                AbstractButton {
                    id: reloadButton
                    objectName: "wordPlayback.reload"
                    implicitHeight: Math.max(44, reloadLabel.implicitHeight + 12)
                    Layout.fillWidth: true
                    Accessible.role: Accessible.Button
                    Accessible.name: "重新加载播放设置"
                    onClicked: root.model.reload()
                    // Centred on one line while it fits; at a larger text size the
                    // title wraps beside its symbol within the row.
                    RowLayout {
                        id: reloadLabel
                        anchors.centerIn: parent
                        width: Math.min(implicitWidth, parent.width)
                        spacing: 8
                        Icon {
                            name: "arrow.clockwise"
                            size: Theme.fontSize(Theme.Body)
                            tint: Theme.accent
                        }
                        PlainText {
                            text: "重新加载播放设置"
                            font: Theme.font(Theme.Body)
                            color: Theme.accent
                            wrapMode: Text.Wrap
                            Layout.fillWidth: true
                        }
                    }
                    background: Item {}
                }
            }
        }
    }

    WordPlaybackRaisedPanel {
        objectName: "wordPlayback.loading"
        z: 1 // raised over the form it waits for
        visible: root.editor.isLoading
        anchors.centerIn: parent
        // As wide as its text, and at most the form's width less 16 a side: a longer
        // text wraps.
        width: Math.min(loadingLabel.implicitWidth + 40, parent.width - 32)
        height: loadingLabel.implicitHeight + 40

        LoadingLabel {
            id: loadingLabel
            anchors.centerIn: parent
            margins: 20
            spacing: 10
            text: "正在加载播放设置…"
            font: Theme.font(Theme.Subheadline)
        }
    }

    AlertDialog {
        objectName: "wordPlayback.alert"
        presented: root.editor.errorMessage !== ""
        title: "播放设置未完成"
        message: root.editor.errorMessage
        actions: [{ text: "知道了", role: "cancel" }]
        onDismissed: root.editor.errorMessage = ""
    }
}
