import QtQuick
import Talvoro

// A vertical scroll view with our own pull to refresh. Pull the content down past
// 72 points and let go: `refreshAction` runs while the content stays pushed down
// under the status capsule, and slides back once it is done. The action may return
// a thenable (a JavaScript promise or a task handed out by a screen model); the
// refresh ends when it settles, or at once when the action returns nothing.
// The capsule's texts can be set through `coordinator` (pullingDetail and so on).
Flickable {
    id: root

    property var refreshAction: null
    readonly property alias coordinator: coordinator
    // The part of the top inset held while a refresh runs.
    property real heldInset: 0
    default property alias content: column.data

    // How far the content is dragged below its resting place (read afresh: a
    // binding could still hold the value from before the move being handled).
    function pull() {
        return root.originY - root.contentY;
    }

    contentWidth: width
    contentHeight: column.y + column.height
    boundsBehavior: Flickable.DragOverBounds
    flickableDirection: Flickable.VerticalFlick
    clip: true
    Accessible.role: Accessible.Pane
    Accessible.description: coordinator.detail

    onContentYChanged: coordinator.didScroll(root.pull(), root.dragging)
    onDraggingChanged: {
        if (!root.dragging)
            coordinator.didEndDragging(root.pull());
    }
    onMovementStarted: Keyboard.dismiss(root)
    Component.onDestruction: coordinator.dismantle()

    ORVRefreshScrollCoordinator {
        id: coordinator
        haptics: Haptics

        onRefreshRequested: {
            const target = coordinator;
            const pending = typeof root.refreshAction === "function" ? root.refreshAction() : undefined;
            if (pending && typeof pending.then === "function")
                pending.then(function () { target.finishRefresh(); });
            else
                target.finishRefresh();
        }
        onContentInsetTopChanged: {
            insetAnimation.stop();
            insetAnimation.to = coordinator.contentInsetTop - coordinator.restingContentInsetTop;
            insetAnimation.duration = Theme.reduceMotion ? 0 : coordinator.insetAnimationDuration;
            insetAnimation.easing.type = coordinator.insetAnimationEasing;
            insetAnimation.start();
        }
    }

    NumberAnimation {
        id: insetAnimation
        target: root
        property: "heldInset"
        onFinished: coordinator.insetAnimationFinished(root.pull(), root.dragging)
    }

    // The status capsule, in the strip above the content that a pull uncovers.
    Rectangle {
        id: status

        readonly property int state: coordinator.state

        x: (root.width - width) / 2
        y: column.y - coordinator.statusGap - height
        width: 240
        height: 52
        radius: height / 2
        color: Theme.surface
        border.width: 1
        border.color: Theme.separator
        opacity: status.state === ORVRefreshScrollCoordinator.Idle ? 0 : 1
        Accessible.role: Accessible.StaticText
        Accessible.name: coordinator.title
        Accessible.description: coordinator.detail
        Accessible.ignored: status.state === ORVRefreshScrollCoordinator.Idle

        Row {
            anchors.centerIn: parent
            spacing: 12

            Item {
                width: 24
                height: 24
                anchors.verticalCenter: parent.verticalCenter

                ActivityIndicator {
                    anchors.centerIn: parent
                    visible: status.state === ORVRefreshScrollCoordinator.Refreshing
                    tint: Theme.accent
                }
                Icon {
                    anchors.fill: parent
                    visible: status.state !== ORVRefreshScrollCoordinator.Refreshing
                    name: status.state === ORVRefreshScrollCoordinator.Armed ? "arrow.up" : "arrow.down"
                    size: 15
                    font.weight: Font.DemiBold
                    tint: status.state === ORVRefreshScrollCoordinator.Armed ? Theme.accent : Theme.textSecondary
                }
            }
            Column {
                width: 184
                spacing: 1
                anchors.verticalCenter: parent.verticalCenter

                PlainText {
                    width: parent.width
                    text: coordinator.title
                    font: Theme.systemFont(13, Font.DemiBold)
                    elide: Text.ElideRight
                    maximumLineCount: 1
                }
                PlainText {
                    width: parent.width
                    text: coordinator.detail
                    font: Theme.systemFont(11)
                    color: Theme.textSecondary
                    elide: Text.ElideRight
                    maximumLineCount: 1
                }
            }
        }
    }

    Column {
        id: column
        y: root.heldInset
        width: root.width
    }
}
