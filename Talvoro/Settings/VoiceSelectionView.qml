pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Talvoro

// The sheet page on which the account's global voices and speech rates are chosen
// and voices auditioned. It loads each time it is shown; "取消" closes it without
// saving, "保存" closes it once the server confirmed the change.
NavPage {
    id: root
    objectName: "voiceSelection"
    title: "设置全局音色"

    required property VoiceSelectionModel model

    Component.onCompleted: root.model.start()

    Connections {
        target: root.model
        function onDismissRequested() {
            if (root.navStack)
                root.navStack.dismiss();
        }
    }

    leadingItems: NavBarTextButton {
        objectName: "voiceSelection.cancel"
        title: "取消"
        onClicked: root.model.cancel()
    }
    trailingItems: NavBarTextButton {
        objectName: "voiceSelection.save"
        title: root.model.isSaving ? "保存中" : "保存"
        isProminent: true
        minimumWidth: 64
        enabled: !root.model.isSaving
        onClicked: root.model.startSaveAll()
    }

    Rectangle {
        anchors.fill: parent
        color: Theme.background
    }

    Flickable {
        id: scroll
        objectName: "voiceSelection.scroll"
        anchors.fill: parent
        contentWidth: width
        contentHeight: form.implicitHeight + 48
        clip: true
        onMovementStarted: Keyboard.dismiss(scroll)

        ColumnLayout {
            id: form
            x: 16
            y: 24
            width: scroll.width - 32
            spacing: 20

            VoiceFormSection {
                visible: root.model.hasBanner
                ColumnLayout {
                    id: banner
                    objectName: "voiceSelection.banner"
                    spacing: 4
                    Layout.fillWidth: true
                    Accessible.role: Accessible.StaticText
                    Accessible.name: root.model.bannerTitle + "。" + root.model.bannerMessage

                    readonly property color toneColor: root.model.bannerTone === VoiceCatalogPresentation.Accent
                        ? Theme.accent : Theme.warning

                    // The symbol sits in the title's first line, so the title can wrap.
                    PlainText {
                        id: bannerTitle
                        objectName: "voiceSelection.bannerTitle"
                        text: root.model.bannerTitle
                        font: Theme.font(Theme.Subheadline, Font.DemiBold)
                        color: banner.toneColor
                        wrapMode: Text.Wrap
                        leftPadding: bannerIcon.width + 6
                        Layout.fillWidth: true

                        Icon {
                            id: bannerIcon
                            name: root.model.bannerSymbol
                            size: bannerTitle.font.pixelSize * 0.9
                            tint: banner.toneColor
                            width: bannerTitle.font.pixelSize * 1.1
                            height: bannerTitle.font.pixelSize * 1.3
                        }
                    }
                    PlainText {
                        text: root.model.bannerMessage
                        font: Theme.font(Theme.Footnote)
                        color: Theme.textSecondary
                        wrapMode: Text.Wrap
                        Layout.fillWidth: true
                    }
                }
            }

            VoiceFormSection {
                header: "试听文本"
                footer: "试听始终调用项目后端的 Microsoft Speech 服务；已缓存音频会直接离线播放。"
                VoiceTextField {
                    identifier: "voiceSelection.sampleText"
                    placeholder: "输入要试听的文本"
                    text: root.model.sampleText
                    maximumLength: 500
                    inputMethodHints: Qt.ImhNone
                    onEdited: text => root.model.sampleText = text
                }
            }

            VoiceFormSection {
                header: "音色与语言筛选"

                Rectangle {
                    objectName: "voiceSelection.language"
                    Layout.fillWidth: true
                    implicitHeight: Math.max(36, languageRow.implicitHeight + 4)
                    radius: 9
                    color: Theme.mutedFill
                    Accessible.role: Accessible.PageTabList
                    Accessible.name: "音色语言"

                    RowLayout {
                        id: languageRow
                        anchors.fill: parent
                        anchors.margins: 2
                        spacing: 2
                        Repeater {
                            model: [{ key: "english", title: "英文音色", value: VoiceSelectionModel.English },
                                    { key: "chinese", title: "中文音色", value: VoiceSelectionModel.Chinese }]
                            delegate: AbstractButton {
                                id: segment
                                required property var modelData
                                readonly property bool selected: root.model.selectedLanguage === segment.modelData.value
                                objectName: "voiceSelection.language." + segment.modelData.key
                                Layout.fillWidth: true
                                Layout.fillHeight: true
                                implicitHeight: segmentText.implicitHeight + 12
                                Accessible.role: Accessible.PageTab
                                Accessible.name: segment.modelData.title
                                Accessible.selected: segment.selected
                                onClicked: root.model.selectedLanguage = segment.modelData.value

                                Rectangle {
                                    anchors.fill: parent
                                    radius: 7
                                    visible: segment.selected
                                    color: Theme.surface
                                }
                                PlainText {
                                    id: segmentText
                                    anchors.centerIn: parent
                                    text: segment.modelData.title
                                    // A segmented control keeps its size at every text size.
                                    font: Theme.systemFont(13, segment.selected ? Font.DemiBold : Font.Normal)
                                }
                            }
                        }
                    }
                }

                Flickable {
                    objectName: "voiceSelection.pills"
                    Layout.fillWidth: true
                    implicitHeight: pillRow.implicitHeight + 4
                    contentWidth: pillRow.implicitWidth
                    contentHeight: height
                    flickableDirection: Flickable.HorizontalFlick
                    clip: true

                    Row {
                        id: pillRow
                        y: 2
                        spacing: 12
                        Repeater {
                            model: root.model.filterPills
                            delegate: VoiceFilterPill {
                                required property var modelData
                                objectName: "voiceSelection.pill." + (modelData.category === "" ? "all" : modelData.category)
                                title: modelData.title
                                count: modelData.count
                                isSelected: modelData.isSelected
                                onClicked: root.model.selectedCategory = modelData.category
                            }
                        }
                    }
                }
            }

            VoiceFormSection {
                header: "全局语速"
                footer: "英文单词默认使用英文语速；中文译文和详细解释默认使用中文语速。"
                VoiceRateControl {
                    identifier: "voiceSelection.rate.english"
                    title: "英文语速"
                    systemImage: "character.book.closed"
                    rate: root.model.speechRateEn
                    onEdited: rate => root.model.speechRateEn = rate
                }
                VoiceRateControl {
                    identifier: "voiceSelection.rate.chinese"
                    title: "中文语速"
                    systemImage: "character.bubble"
                    rate: root.model.speechRateZh
                    onEdited: rate => root.model.speechRateZh = rate
                }
            }

            VoiceFormSection {
                header: "逐字母拼写语速"
                footer: "拼写由一次 Microsoft TTS 音频连续完成，不会逐字母下载多个文件。"
                VoiceTextField {
                    identifier: "voiceSelection.spellingSample"
                    placeholder: "用于试听的英文单词"
                    text: root.model.spellingSample
                    onEdited: text => root.model.spellingSample = text
                }
                VoiceRateControl {
                    identifier: "voiceSelection.rate.spelling"
                    title: "拼写语速"
                    systemImage: "textformat.abc"
                    rate: root.model.spellingRate
                    onEdited: rate => root.model.spellingRate = rate
                }
                AbstractButton {
                    id: spellingPreview
                    objectName: "voiceSelection.spellingPreview"
                    enabled: root.model.canPreviewSpelling
                    Layout.fillWidth: true
                    implicitHeight: Math.max(44, spellingLabel.implicitHeight + 12)
                    Accessible.role: Accessible.Button
                    Accessible.name: "实时试听当前拼写语速"
                    onClicked: root.model.startSpellingPreview()

                    RowLayout {
                        id: spellingLabel
                        anchors.verticalCenter: parent.verticalCenter
                        width: parent.width
                        spacing: 8
                        opacity: spellingPreview.pressed ? 0.5 : 1
                        Icon {
                            name: "play.fill"
                            size: spellingText.font.pixelSize * 0.9
                            tint: spellingPreview.enabled ? Theme.accent : Theme.textTertiary
                        }
                        PlainText {
                            id: spellingText
                            text: "实时试听当前拼写语速"
                            font: Theme.font(Theme.Body)
                            color: spellingPreview.enabled ? Theme.accent : Theme.textTertiary
                            wrapMode: Text.Wrap
                            Layout.fillWidth: true
                        }
                    }
                }
            }

            ColumnLayout {
                spacing: 6
                Layout.fillWidth: true

                PlainText {
                    objectName: "voiceSelection.listHeader"
                    text: root.model.voiceListHeader
                    font: Theme.font(Theme.Footnote)
                    color: Theme.textSecondary
                    Layout.leftMargin: 16
                }
                Rectangle {
                    color: Theme.surface
                    radius: 10
                    Layout.fillWidth: true
                    implicitHeight: voiceColumn.implicitHeight + 8

                    ColumnLayout {
                        id: voiceColumn
                        x: 16
                        y: 4
                        width: parent.width - 32
                        spacing: 0

                        Repeater {
                            model: root.model.voices
                            delegate: VoiceCatalogRow {
                                id: row
                                // The row's roles; the row's own properties share their names.
                                required property var model

                                objectName: "voiceSelection.row." + row.model.voiceId
                                Layout.fillWidth: true
                                voiceId: row.model.voiceId
                                displayName: row.model.displayName
                                locale: row.model.locale
                                isGlobal: row.model.isGlobal
                                isSaving: row.model.isSaving
                                isOffline: row.model.isOffline
                                setGlobalText: row.model.setGlobalText
                                setGlobalAccessibleName: row.model.setGlobalAccessibleName
                                hasPlaybackViewModel: root.model.hasPlaybackViewModel
                                previewSymbol: row.model.previewSymbol
                                previewStatusText: row.model.previewStatusText
                                previewTone: row.model.previewTone
                                previewLoading: row.model.previewLoading
                                position: row.model.rowPosition
                                onPreviewTapped: root.model.startPreview(row.voiceId)
                                onSetGlobalTapped: root.model.startSetGlobalVoice(row.voiceId)
                            }
                        }
                    }
                }
            }
        }
    }

    AlertDialog {
        objectName: "voiceSelection.alert"
        presented: root.model.operationErrorId !== ""
        title: "操作失败"
        message: root.model.operationErrorMessage
        actions: [{ text: "确定", role: "default" }]
        onDismissed: root.model.clearOperationError()
    }
}
