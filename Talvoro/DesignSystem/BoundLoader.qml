import QtQuick

// Shows the one item built from `sourceComponent` while `active`, filling itself, as
// a Loader does. A Loader in Qt 6.4 refuses a component bound to the document that
// declares it; built here with the component's own scope, the item reaches that
// document's ids.
FocusScope {
    id: root

    property Component sourceComponent: null
    property bool active: true
    readonly property Item item: root.built
    // As a Loader's: an item has just been built.
    signal loaded

    property Item built: null
    property Component builtFrom: null
    // As a Loader, nothing is built while the document declaring it is being built.
    property bool completed: false

    function rebuild() {
        if (!root.completed)
            return;
        const wanted = root.active ? root.sourceComponent : null;
        if (wanted === root.builtFrom)
            return;
        if (root.built) {
            // Out of sight at once and deleted once the running event is done, as a
            // Loader does: what it is leaving may still be in a handler of its own.
            root.built.visible = false;
            root.built.parent = null;
            root.built.destroy();
            root.built = null;
        }
        root.builtFrom = wanted;
        if (!wanted)
            return;
        const item = wanted.createObject(root) as Item;
        if (item)
            item.anchors.fill = root;
        root.built = item;
        if (item)
            root.loaded();
    }
    onSourceComponentChanged: root.rebuild()
    onActiveChanged: root.rebuild()
    Component.onCompleted: {
        root.completed = true;
        root.rebuild();
    }
}
