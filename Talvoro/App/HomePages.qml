pragma ComponentBehavior: Bound

import QtQuick
import Talvoro

// The pages the home screen opens. Home builds this object on the first page it
// opens, by file name, so that none of these types loads with its first frame.
// Each page owns its model.
QtObject {
    id: root

    required property DependencyContainer container

    readonly property Component publicLexicon: Component {
        PublicLexiconDetailView {
            required property var lexiconId
            model: root.container.makePublicLexiconDetailModel(lexiconId, this)
            container: root.container
        }
    }

    readonly property Component playlists: Component {
        PlaylistListView {
            model: root.container.makePlaylistListModel(this)
            container: root.container
        }
    }

    readonly property Component userLexicons: Component {
        UserLexiconListView {
            model: root.container.makeUserLexiconListModel(this)
            container: root.container
        }
    }

    readonly property Component accountSettings: Component {
        AccountSettingsView {
            model: root.container.makeAccountSettingsModel(this)
        }
    }
}
