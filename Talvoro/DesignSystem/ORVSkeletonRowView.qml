import QtQuick
import Talvoro

// A placeholder row shown while a list loads.
ORVShimmerModifier {
    id: shimmer

    implicitWidth: row.implicitWidth
    implicitHeight: row.implicitHeight + 16
    Accessible.role: Accessible.StaticText
    Accessible.name: "数据加载中，请稍候"

    Row {
        id: row
        y: 8
        spacing: 16
        Accessible.ignored: true

        ORVShimmerShape {
            width: 40
            height: 40
            cornerRadius: 20
            color: Theme.mutedFill
            theme: Theme
            frame: shimmer
            phase: shimmer.phase
            sweeping: shimmer.sweeping
            anchors.verticalCenter: parent.verticalCenter
        }
        Column {
            spacing: 8
            anchors.verticalCenter: parent.verticalCenter

            ORVShimmerShape {
                width: 130
                height: 16
                cornerRadius: 6
                color: Theme.mutedFill
                theme: Theme
                frame: shimmer
                phase: shimmer.phase
                sweeping: shimmer.sweeping
            }
            ORVShimmerShape {
                width: 210
                height: 12
                cornerRadius: 4
                color: Theme.mutedFill
                theme: Theme
                frame: shimmer
                phase: shimmer.phase
                sweeping: shimmer.sweeping
            }
        }
    }
}
