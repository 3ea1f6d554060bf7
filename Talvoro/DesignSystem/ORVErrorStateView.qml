import QtQuick
import QtQuick.Layouts
import Talvoro

// A load that failed: the reason and a way to try again.
Item {
    id: root

    property string message
    property var retryAction: null // a function

    implicitWidth: 320
    implicitHeight: column.implicitHeight + 48

    ColumnLayout {
        id: column
        anchors.centerIn: parent
        width: Math.max(0, root.width - 48)
        spacing: 16

        Icon {
            name: "exclamationmark.triangle.fill"
            size: 44
            tint: Theme.danger
            Layout.alignment: Qt.AlignHCenter
        }
        PlainText {
            text: "加载失败"
            font: Theme.font(Theme.Headline)
            horizontalAlignment: Text.AlignHCenter
            Layout.fillWidth: true
        }
        PlainText {
            text: root.message
            font: Theme.font(Theme.Subheadline)
            color: Theme.textSecondary
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            Layout.fillWidth: true
            Layout.leftMargin: 20
            Layout.rightMargin: 20
        }
        ORVSecondaryButton {
            title: "重试"
            iconName: "arrow.clockwise"
            Layout.fillWidth: false
            Layout.preferredWidth: 140
            Layout.alignment: Qt.AlignHCenter
            onClicked: {
                const run = root.retryAction;
                if (typeof run === "function")
                    run();
            }
        }
    }
}
