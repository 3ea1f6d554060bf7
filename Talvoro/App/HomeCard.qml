import QtQuick
import QtQuick.Layouts
import Talvoro

// One of the home screen's three cards: a symbol, a title and a subtitle, taking
// an equal share of the row (or the whole width at accessibility text sizes).
ORVCardStyle {
    id: root

    property string symbol
    property color tint
    property string title
    property string subtitle
    // What the card says as one element. A card that opens a screen says it
    // through its link instead, and says nothing itself.
    property string accessibleLabel: root.title + "，" + root.subtitle
    property bool linked: false

    Layout.fillWidth: true
    Layout.preferredWidth: 1
    Layout.fillHeight: true
    // A pane sizes itself by its one child only; a card with a link laid over it has two.
    contentWidth: column.implicitWidth
    contentHeight: column.implicitHeight

    ColumnLayout {
        id: column
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        spacing: 8
        Accessible.role: Accessible.StaticText
        Accessible.name: root.accessibleLabel
        Accessible.ignored: root.linked
        Icon {
            name: root.symbol
            size: 28
            tint: root.tint
            Layout.alignment: Qt.AlignHCenter
        }
        PlainText {
            text: root.title
            font: Theme.font(Theme.Headline)
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            Layout.fillWidth: true
            Accessible.ignored: true
        }
        PlainText {
            text: root.subtitle
            font: Theme.font(Theme.Caption1)
            color: Theme.textSecondary
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            Layout.fillWidth: true
            Accessible.ignored: true
        }
    }
}
