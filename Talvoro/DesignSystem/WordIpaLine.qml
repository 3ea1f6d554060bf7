import QtQuick
import Talvoro

// A word and its IPA on one line while both fit; otherwise the IPA goes under the
// word, as wide as it needs and wrapping only when wider than the line, and the
// word keeps the whole width. Placed by bindings rather than a layout: a layout
// first laid out at another width kept the wrapped IPA's earlier height, and what
// lay below was drawn over it.
Item {
    id: root

    property string word
    property string ipa
    property font wordFont
    property font ipaFont
    property string wordIdentifier
    property string ipaIdentifier
    // False where the row around reads the word itself.
    property bool readsTexts: true

    // Measured apart from the texts, whose widths follow from it.
    readonly property real ipaWidth: ipaText.visible ? Math.ceil(ipaMetrics.advanceWidth) : 0
    readonly property bool oneLine: Math.ceil(wordMetrics.advanceWidth) + 8 + root.ipaWidth <= width

    implicitHeight: root.oneLine ? Math.max(wordText.height, ipaText.visible ? ipaText.height : 0)
                                 : wordText.height + (ipaText.visible ? 2 + ipaText.height : 0)

    TextMetrics {
        id: wordMetrics
        font: root.wordFont
        text: root.word
    }
    TextMetrics {
        id: ipaMetrics
        font: root.ipaFont
        text: root.ipa
    }
    PlainText {
        id: wordText
        objectName: root.wordIdentifier
        y: root.oneLine ? (root.height - height) / 2 : 0
        width: root.oneLine ? root.width - 8 - root.ipaWidth : root.width
        text: root.word
        font: root.wordFont
        wrapMode: Text.Wrap
        Accessible.ignored: !root.readsTexts
    }
    PlainText {
        id: ipaText
        objectName: root.ipaIdentifier
        x: root.oneLine ? wordText.width + 8 : 0
        y: root.oneLine ? (root.height - height) / 2 : wordText.height + 2
        width: Math.min(root.ipaWidth, root.width)
        visible: root.ipa !== ""
        text: root.ipa
        font: root.ipaFont
        color: Theme.textSecondary
        wrapMode: Text.Wrap
        Accessible.ignored: !root.readsTexts
    }
}
