import QtQuick
import Talvoro

// Text as given: never read as markup, so text from the server or the user cannot
// inject formatting, links or images. Every text of ours goes through it.
Text {
    textFormat: Text.PlainText
    color: Theme.textPrimary
    font: Theme.font(Theme.Body)
    Accessible.name: text
}
