import QtQuick
import QtQuick.Window

Window {
    id: root
    width: 390
    height: 844
    visible: true
    title: "Talvoro"
    color: "#FFFFFF"
}
