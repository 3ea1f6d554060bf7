pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Talvoro

// The signed-in user's hub, the root of its own navigation stack: greeting and
// account link, the three cards, the public lexicons and a status banner. Each
// time the page shows (first and on every return) it reloads; pulling down and
// the banner's "重试" force a reload.
Item {
    id: root
    objectName: "home.view"

    required property HomeViewModel model
    // The app-wide playback session: while it presents something the content
    // keeps room for the bar, and the playback surface lies over everything.
    property var playbackSession: null
    property Component playbackHost: null
    readonly property alias navStack: stack
    readonly property bool keepsPlaybackRoom: root.playbackSession !== null && root.playbackSession.hasPresentation
    // Once the full player page has grown over everything, what lies under it is
    // neither read by a screen reader nor keeps the keyboard focus. Not before:
    // it shows around the page while the page grows and shrinks.
    readonly property bool coveredByPlayer: root.playbackSession !== null && root.playbackSession.isFullPlayerPresented
        && root.shownPlaybackHost && root.shownPlaybackHost.progress >= 1
    // The player's surface is loaded by file name inside what `playbackHost` builds,
    // the first time something plays. It is held untyped here: naming its type would
    // load the whole player with home's first frame.
    readonly property var loadedPlaybackHost: hostLoader.item
    readonly property var shownPlaybackHost: root.loadedPlaybackHost ? root.loadedPlaybackHost.item : null

    // The pages opened from here, built on the first one opened: their file is
    // loaded by name, so that their types (and the sheets and pages they open in
    // turn) load then rather than with home's first frame.
    property var pages: null
    function page(name) {
        if (!root.pages)
            root.pages = Qt.createComponent("HomePages.qml").createObject(root, { model: root.model });
        return root.pages[name];
    }

    // A model over fakes builds no screens: then nothing opens.
    function openPublicLexicon(lexiconId) {
        if (root.model.opensScreens)
            stack.push(root.page("publicLexicon"), { lexiconId: lexiconId });
    }
    function openPlaylists() {
        if (root.model.opensScreens)
            stack.push(root.page("playlists"), {});
    }
    function openUserLexicons() {
        if (root.model.opensScreens)
            stack.push(root.page("userLexicons"), {});
    }
    function openAccountSettings() {
        if (root.model.opensScreens)
            stack.push(root.page("accountSettings"), {});
    }

    Rectangle {
        anchors.fill: parent
        color: Theme.background
    }

    NavStack {
        id: stack
        objectName: "home.stack"
        visible: !root.coveredByPlayer
        enabled: !root.coveredByPlayer
        anchors.fill: parent
        anchors.bottomMargin: root.keepsPlaybackRoom ? PlayerMorph.compactRoom : 0
        initialPage: homePage
    }

    BoundLoader {
        id: hostLoader
        z: 10
        anchors.fill: parent
        active: root.playbackHost !== null && root.playbackSession !== null
            && (root.playbackSession.hasPresentation || root.playbackSession.isFullPlayerPresented)
        sourceComponent: root.playbackHost
    }

    Component {
        id: homePage

        NavPage {
            id: page
            navigationBarHidden: true
            onAppeared: root.model.reload(false)

            ORVRefreshScrollView {
                id: scroll
                objectName: "home.scroll"
                anchors.fill: parent
                refreshAction: function () { return root.model.reload(true); }

                Item {
                    width: scroll.width
                    height: content.implicitHeight + 2 * Theme.spacing.md
                        + (banner.visible ? banner.height + Theme.spacing.sm : 0)

                    ColumnLayout {
                        id: content
                        x: Math.max(Theme.spacing.md, (parent.width - width) / 2)
                        y: Theme.spacing.md
                        width: Math.min(720, parent.width - 2 * Theme.spacing.md)
                        spacing: 20

                        ORVCardStyle {
                            RowLayout {
                                anchors.fill: parent
                                spacing: Theme.spacing.sm

                                ColumnLayout {
                                    spacing: 4
                                    Layout.fillWidth: true
                                    PlainText {
                                        objectName: "home.greeting"
                                        text: root.model.greeting
                                        font: Theme.font(Theme.Title2, Font.Bold)
                                        wrapMode: Text.Wrap
                                        Layout.fillWidth: true
                                    }
                                    PlainText {
                                        text: "准备好今天的听力与磨耳朵了吗？"
                                        font: Theme.font(Theme.Subheadline)
                                        color: Theme.textSecondary
                                        wrapMode: Text.Wrap
                                        Layout.fillWidth: true
                                    }
                                }
                                AbstractButton {
                                    objectName: "home.account"
                                    implicitWidth: 44
                                    implicitHeight: 44
                                    Accessible.name: "账号与设置"
                                    onClicked: root.openAccountSettings()
                                    contentItem: Icon {
                                        name: "person.circle.fill"
                                        size: 32
                                        tint: Theme.accent
                                    }
                                }
                            }
                        }

                        // Side by side, or one under another when the text is too
                        // large for three narrow cards.
                        GridLayout {
                            columns: Theme.isAccessibilitySize ? 1 : 3
                            columnSpacing: 12
                            rowSpacing: 12
                            Layout.fillWidth: true

                            HomeCard {
                                objectName: "home.translationCard"
                                symbol: "character.bubble.fill"
                                tint: Theme.accent
                                title: "翻译"
                                subtitle: "即将推出"
                                accessibleLabel: "翻译，功能即将推出"
                            }
                            HomeCard {
                                id: playlistsCard
                                objectName: "home.playlistsCard"
                                linked: true
                                symbol: "play.circle.fill"
                                tint: Theme.accentPressed
                                title: "播放列表"
                                subtitle: root.model.playlistCount + " 个列表"

                                AbstractButton {
                                    objectName: "home.playlistsCard.open"
                                    anchors.fill: parent
                                    Accessible.name: playlistsCard.accessibleLabel
                                    onClicked: root.openPlaylists()
                                }
                            }
                            HomeCard {
                                id: userLexiconsCard
                                objectName: "home.userLexiconsCard"
                                linked: true
                                symbol: "book.closed.fill"
                                tint: Theme.secondaryAccent
                                title: "私人词库"
                                subtitle: root.model.userLexiconCount + " 个词库"

                                AbstractButton {
                                    objectName: "home.userLexiconsCard.open"
                                    anchors.fill: parent
                                    Accessible.name: userLexiconsCard.accessibleLabel
                                    onClicked: root.openUserLexicons()
                                }
                            }
                        }

                        ColumnLayout {
                            spacing: 12
                            Layout.fillWidth: true

                            PlainText {
                                text: "公共词库"
                                font: Theme.font(Theme.Title3, Font.Bold)
                            }
                            ORVEmptyStateView {
                                objectName: "home.publicLexiconsEmpty"
                                visible: root.model.publicLexicons.count === 0
                                title: root.model.isInitialLoading ? "正在加载公共词库" : "暂无公共词库"
                                description: root.model.isInitialLoading ? "已优先显示本地内容，联网后将自动更新"
                                                                         : "管理员尚未发布公共词库"
                                systemImageName: "tray"
                                Layout.fillWidth: true
                            }
                            Repeater {
                                model: root.model.publicLexicons

                                // The card is a Pane, which keeps presses to itself: the
                                // link lies over it.
                                delegate: Item {
                                    id: row
                                    required property int index
                                    required property var lexiconId
                                    required property string name
                                    required property string lexiconDescription
                                    required property var wordCount

                                    Layout.fillWidth: true
                                    implicitHeight: rowCard.implicitHeight

                                    ORVCardStyle {
                                        id: rowCard
                                        anchors.fill: parent
                                        // The badge goes under the name when the text is
                                        // too large to share the line with it.
                                        GridLayout {
                                            anchors.fill: parent
                                            columns: Theme.isAccessibilitySize ? 1 : 2
                                            columnSpacing: Theme.spacing.sm
                                            rowSpacing: Theme.spacing.sm
                                            ColumnLayout {
                                                spacing: 4
                                                Layout.fillWidth: true
                                                PlainText {
                                                    text: row.name
                                                    font: Theme.font(Theme.Headline)
                                                    wrapMode: Text.Wrap
                                                    Layout.fillWidth: true
                                                    Accessible.ignored: true
                                                }
                                                PlainText {
                                                    visible: row.lexiconDescription !== ""
                                                    text: row.lexiconDescription
                                                    font: Theme.font(Theme.Subheadline)
                                                    color: Theme.textSecondary
                                                    elide: Text.ElideRight
                                                    maximumLineCount: 1
                                                    Layout.fillWidth: true
                                                    Accessible.ignored: true
                                                }
                                            }
                                            Rectangle {
                                                radius: 6
                                                color: Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.1)
                                                implicitWidth: badge.implicitWidth + 16
                                                implicitHeight: badge.implicitHeight + 8
                                                PlainText {
                                                    id: badge
                                                    anchors.centerIn: parent
                                                    text: row.wordCount + " 词"
                                                    font: Theme.font(Theme.Caption1)
                                                    color: Theme.accent
                                                    Accessible.ignored: true
                                                }
                                            }
                                        }
                                    }
                                    AbstractButton {
                                        objectName: "home.publicLexicon." + row.index
                                        anchors.fill: parent
                                        text: row.name
                                        Accessible.name: row.name + "，" + row.wordCount + " 词"
                                        onClicked: root.openPublicLexicon(row.lexiconId)
                                    }
                                }
                            }
                        }
                    }
                }
            }

            ORVCardStyle {
                id: banner
                objectName: "home.banner"
                // It floats over the scrolled content, at the bottom.
                z: 1
                visible: root.model.statusBannerMessage !== ""
                anchors.horizontalCenter: parent.horizontalCenter
                anchors.bottom: parent.bottom
                anchors.bottomMargin: 12
                width: Math.min(680, parent.width - 2 * Theme.spacing.md)
                padding: 12
                Accessible.role: Accessible.StaticText
                Accessible.name: root.model.statusBannerMessage

                RowLayout {
                    anchors.fill: parent
                    spacing: 12
                    Icon {
                        name: root.model.statusBannerIsError ? "exclamationmark.triangle.fill" : "wifi.exclamationmark"
                        tint: root.model.statusBannerIsError ? Theme.danger : Theme.textSecondary
                        Layout.alignment: Qt.AlignVCenter
                    }
                    // The three are centred on one another: "重试" is taller than a line of text.
                    PlainText {
                        objectName: "home.banner.message"
                        text: root.model.statusBannerMessage
                        Accessible.ignored: true
                        font: Theme.font(Theme.Footnote)
                        color: Theme.textSecondary
                        wrapMode: Text.Wrap
                        Layout.fillWidth: true
                        Layout.alignment: Qt.AlignVCenter
                    }
                    AbstractButton {
                        objectName: "home.banner.retry"
                        implicitWidth: Math.max(44, implicitContentWidth)
                        implicitHeight: Math.max(44, implicitContentHeight)
                        text: "重试"
                        Accessible.name: text
                        Layout.alignment: Qt.AlignVCenter
                        onClicked: root.model.reload(true)
                        contentItem: PlainText {
                            text: "重试"
                            font: Theme.font(Theme.Footnote, Font.DemiBold)
                            color: Theme.accent
                            horizontalAlignment: Text.AlignHCenter
                            verticalAlignment: Text.AlignVCenter
                        }
                    }
                }
            }
        }
    }
}
