pragma ComponentBehavior: Bound

import QtQuick
import Talvoro

// The pages the home screen opens. Home builds this object on the first page it
// opens, by file name, so that none of these types loads with its first frame.
// Each page owns its model.
QtObject {
    id: root

    required property HomeViewModel model

    readonly property Component publicLexicon: Component {
        PublicLexiconDetailView {
            required property var lexiconId
            model: root.model.makePublicLexiconDetailModel(lexiconId, this)
        }
    }

    readonly property Component playlists: Component {
        PlaylistListView {
            model: root.model.makePlaylistListModel(this)
        }
    }

    readonly property Component userLexicons: Component {
        UserLexiconListView {
            model: root.model.makeUserLexiconListModel(this)
        }
    }

    readonly property Component accountSettings: Component {
        AccountSettingsView {
            model: root.model.makeAccountSettingsModel(this)
        }
    }
}
