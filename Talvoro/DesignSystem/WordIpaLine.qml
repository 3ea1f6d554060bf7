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
    // On a shared line: the IPA at the trailing edge, or right after the word.
    property bool spreads: false
    // False where the row around reads the word itself.
    property bool readsTexts: true

    readonly property real wordWidth: Math.ceil(wordMeasure.implicitWidth)
    readonly property real ipaWidth: root.ipa !== "" ? Math.ceil(ipaMeasure.implicitWidth) : 0
    // Before it has a width the line counts as shared, and neither text wraps: a
    // layout that reads that first height then already has the one kept wherever
    // both fit.
    readonly property bool oneLine: width <= 0 || root.wordWidth + 8 + root.ipaWidth <= width

    implicitHeight: root.oneLine ? Math.max(wordText.height, root.ipa !== "" ? ipaText.height : 0)
                                 : wordText.height + (root.ipa !== "" ? 2 + ipaText.height : 0)

    // Measured apart from the texts shown, whose widths follow from them.
    PlainText {
        id: wordMeasure
        visible: false
        text: root.word
        font: root.wordFont
        Accessible.ignored: true
    }
    PlainText {
        id: ipaMeasure
        visible: false
        text: root.ipa
        font: root.ipaFont
        Accessible.ignored: true
    }
    PlainText {
        id: wordText
        objectName: root.wordIdentifier
        y: root.oneLine ? (root.height - height) / 2 : 0
        width: !root.oneLine ? root.width : root.spreads ? Math.max(0, root.width - 8 - root.ipaWidth) : root.wordWidth
        text: root.word
        font: root.wordFont
        wrapMode: Text.Wrap
        Accessible.ignored: !root.readsTexts
    }
    PlainText {
        id: ipaText
        objectName: root.ipaIdentifier
        x: !root.oneLine ? 0 : root.spreads ? root.width - root.ipaWidth : root.wordWidth + 8
        y: root.oneLine ? (root.height - height) / 2 : wordText.height + 2
        width: root.oneLine ? root.ipaWidth : Math.min(root.ipaWidth, root.width)
        visible: root.ipa !== ""
        text: root.ipa
        font: root.ipaFont
        color: Theme.textSecondary
        wrapMode: Text.Wrap
        Accessible.ignored: !root.readsTexts
    }
}
