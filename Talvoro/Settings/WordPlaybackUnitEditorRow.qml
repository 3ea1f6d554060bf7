pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Talvoro

// One unit of the per-word playback sheet: its switch, voice and rate menus, the
// own-rate slider, the audition button and the offline badge. Everything it shows
// comes from the sheet's rows; every change is an operation of the sheet's model.
// Long-pressing the header drags the unit; dropping a unit on a row moves it
// before that row's unit.
Item {
    id: row

    required property EditWordPlaybackSheetModel sheet
    required property int index
    required property string unit
    required property string title
    required property string symbol
    required property bool unitEnabled
    required property string voiceId
    required property string voiceTitle
    required property string inheritedVoiceTitle
    required property bool hasOwnRate
    required property string rateText
    required property real ownRate
    required property string ownRateText
    required property bool isCached
    required property bool isPreviewing

    objectName: "wordPlayback.row." + row.unit
    implicitHeight: column.implicitHeight + 16
    Layout.fillWidth: true

    DropArea {
        anchors.fill: parent
        keys: ["text/plain"]
        onDropped: drop => {
            const text = drop.hasText ? drop.text : (drop.source ? drop.source.dragText : "");
            if (row.sheet.handleDrop(text, row.unit))
                drop.accept();
        }
    }

    ColumnLayout {
        id: column
        y: 8
        width: parent.width
        spacing: 12

        RowLayout {
            id: header
            spacing: 12
            Layout.fillWidth: true

            Icon {
                objectName: "wordPlayback.symbol." + row.unit
                name: row.symbol
                size: Theme.fontSize(Theme.Body)
                tint: row.unitEnabled ? Theme.accent : Theme.textSecondary
                // Its frame grows with the symbol once the symbol is wider, so
                // that the symbol keeps its distance to the title at every text size.
                Layout.preferredWidth: Math.max(24, implicitWidth)
            }
            PlainText {
                objectName: "wordPlayback.title." + row.unit
                text: row.title
                font: Theme.font(Theme.Body, Font.DemiBold)
                color: row.unitEnabled ? Theme.textPrimary : Theme.textSecondary
                maximumLineCount: 1
                fontSizeMode: Text.HorizontalFit
                minimumPixelSize: Math.floor(Theme.fontSize(Theme.Body) * 0.78)
                elide: Text.ElideRight
                Layout.fillWidth: true
                Layout.minimumWidth: 8

                // Long press starts a drag that carries the unit's raw value.
                MouseArea {
                    id: dragArea
                    anchors.fill: parent
                    pressAndHoldInterval: 300
                    preventStealing: true
                    drag.target: dragProxy
                    drag.axis: Drag.YAxis
                    onPressAndHold: dragProxy.grab()
                    onReleased: {
                        if (dragProxy.Drag.active)
                            dragProxy.Drag.drop();
                        dragProxy.reset();
                    }
                }
            }
            Switch {
                id: toggle
                objectName: "wordPlayback.switch." + row.unit
                checked: row.unitEnabled
                indicator: Rectangle {
                    implicitWidth: 51
                    implicitHeight: 31
                    x: toggle.leftPadding
                    y: (toggle.height - height) / 2
                    radius: height / 2
                    color: toggle.checked ? Theme.accent : Theme.mutedFill
                    Rectangle {
                        x: toggle.checked ? parent.width - width - 2 : 2
                        y: 2
                        width: 27
                        height: 27
                        radius: 13.5
                        color: "white"
                        border.color: Qt.alpha("black", 0.08)
                    }
                }
                Accessible.name: row.title + "播放开关"
                onToggled: {
                    row.sheet.setUnitEnabled(row.unit, checked);
                    // A refused change leaves the model as it was: show that again.
                    checked = Qt.binding(() => row.unitEnabled);
                }
            }
        }

        Rectangle {
            color: Theme.separator
            implicitHeight: 1
            Layout.fillWidth: true
        }

        WordPlaybackMenuButton {
            objectName: "wordPlayback.voice." + row.unit
            caption: "播放音色"
            value: row.voiceTitle
            Accessible.name: row.title + "音色"
            Accessible.description: row.voiceTitle
            onClicked: voiceMenu.open()

            WordPlaybackMenu {
                id: voiceMenu
                objectName: "wordPlayback.voiceMenu." + row.unit
                height: Math.min(implicitHeight, 420)

                WordPlaybackMenuItem {
                    text: row.inheritedVoiceTitle
                    symbol: row.voiceId === "" ? "checkmark" : "globe"
                    onTriggered: row.sheet.setVoice(row.unit, "")
                }
                // Built only while the menu is open: four rows of dozens of voices
                // each would otherwise be built with the sheet.
                Instantiator {
                    active: voiceMenu.visible
                    model: row.sheet.voiceMenuEntries(row.unit)
                    delegate: WordPlaybackMenuItem {
                        required property var modelData
                        objectName: modelData.isHeader ? "" : "wordPlayback.voiceItem." + modelData.id
                        text: modelData.title
                        isHeader: modelData.isHeader
                        symbol: modelData.id === row.voiceId ? "checkmark" : "speaker.wave.2"
                        onTriggered: row.sheet.setVoice(row.unit, modelData.id)
                    }
                    onObjectAdded: (index, object) => voiceMenu.insertItem(index + 1, object)
                    onObjectRemoved: (index, object) => voiceMenu.removeItem(object)
                }
            }
        }

        WordPlaybackMenuButton {
            objectName: "wordPlayback.rate." + row.unit
            caption: "播放语速"
            value: row.rateText
            Accessible.name: row.title + "播放语速"
            onClicked: rateMenu.open()

            WordPlaybackMenu {
                id: rateMenu
                objectName: "wordPlayback.rateMenu." + row.unit

                WordPlaybackMenuItem {
                    objectName: "wordPlayback.inheritRate." + row.unit
                    text: "继承全局语速"
                    symbol: row.hasOwnRate ? "globe" : "checkmark"
                    onTriggered: row.sheet.inheritRate(row.unit)
                }
                WordPlaybackMenuItem {
                    objectName: "wordPlayback.ownRate." + row.unit
                    text: "自定义语速"
                    symbol: row.hasOwnRate ? "checkmark" : "slider.horizontal.3"
                    onTriggered: row.sheet.useOwnRate(row.unit)
                }
            }
        }

        ColumnLayout {
            visible: row.hasOwnRate
            spacing: 4
            Layout.fillWidth: true

            RowLayout {
                Layout.fillWidth: true
                PlainText {
                    text: "独立语速"
                    font: Theme.font(Theme.Caption1)
                    color: Theme.textSecondary
                    wrapMode: Text.Wrap
                    Layout.fillWidth: true
                }
                PlainText {
                    objectName: "wordPlayback.ownRateText." + row.unit
                    text: row.ownRateText
                    font: Theme.font(Theme.Caption1, Font.DemiBold)
                    color: Theme.accent
                }
            }
            Slider {
                objectName: "wordPlayback.slider." + row.unit
                from: 0.5
                to: 2.0
                stepSize: 0.05
                snapMode: Slider.SnapAlways
                value: row.ownRate
                Accessible.name: row.title + "独立语速"
                Layout.fillWidth: true
                onMoved: row.sheet.setOwnRate(row.unit, Math.round(value * 20) / 20)
            }
        }

        RowLayout {
            spacing: 12
            Layout.fillWidth: true

            AbstractButton {
                id: audition
                objectName: "wordPlayback.audition." + row.unit
                enabled: row.sheet.editor.previewingUnit === ""
                implicitWidth: implicitContentWidth
                implicitHeight: Math.max(44, implicitContentHeight)
                // Never wider than the row: at the largest text sizes its label
                // wraps instead of widening every row past the card.
                Layout.fillWidth: true
                Layout.maximumWidth: implicitWidth
                Accessible.role: Accessible.Button
                Accessible.name: row.isPreviewing ? "正在准备" : "试听当前设置"
                Accessible.description: "使用当前音色与语速试听" + row.title
                onClicked: row.sheet.preview(row.unit)

                contentItem: RowLayout {
                    spacing: 8
                    opacity: audition.enabled || row.isPreviewing ? 1 : 0.5

                    ActivityIndicator {
                        visible: row.isPreviewing
                        size: 16
                        tint: Theme.accent
                    }
                    Icon {
                        visible: !row.isPreviewing
                        name: "speaker.wave.2.fill"
                        size: Theme.fontSize(Theme.Subheadline)
                        tint: Theme.accent
                    }
                    PlainText {
                        text: row.isPreviewing ? "正在准备" : "试听当前设置"
                        font: Theme.font(Theme.Subheadline, Font.DemiBold)
                        color: Theme.accent
                        wrapMode: Text.Wrap
                        Layout.fillWidth: true
                    }
                }
            }
            Item {
                Layout.fillWidth: true
            }
            ORVOfflineBadge {
                objectName: "wordPlayback.offline." + row.unit
                visible: row.isCached
            }
        }
    }

    // What is dragged: a lifted copy of the row's title that carries the unit's
    // raw value as plain text.
    Rectangle {
        id: dragProxy
        objectName: "wordPlayback.dragged." + row.unit

        property string dragText: row.unit

        function grab() {
            x = 0;
            y = header.y;
            visible = true;
            Drag.active = true;
        }
        function reset() {
            Drag.active = false;
            visible = false;
            x = 0;
            y = 0;
        }

        visible: false
        width: row.width
        height: header.height + 8
        radius: 8
        z: 10
        color: Qt.alpha(Theme.accent, 0.15)
        border.color: Theme.accent
        Drag.keys: ["text/plain"]
        Drag.mimeData: { "text/plain": row.unit }
        Drag.hotSpot.x: width / 2
        Drag.hotSpot.y: height / 2

        PlainText {
            anchors.centerIn: parent
            text: row.title
            font: Theme.font(Theme.Body, Font.DemiBold)
            color: Theme.accent
        }
    }

    ORVListRowSeparatorModifier {
        position: ORVListRowPosition.forIndex(row.index, row.sheet.rows.count)
    }
}
