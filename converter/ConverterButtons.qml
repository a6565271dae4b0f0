// The converter's footer: help, the player, about, and the big Convert.
import QtQuick
import Velune.Face

Item {
    id: footer

    property FaceBridge flash: null
    // About was pressed: the face shows the version the host writes.
    signal aboutAsked()

    implicitHeight: 40

    Row {
        anchors.verticalCenter: parent.verticalCenter
        spacing: 8
        ConverterButton {
            objectName: "helpButton"
            label: "Help"
            glyph: "?"
            implicitWidth: 84
            onClicked: footer.flash.fsCommand("IDC_FS_Help")
        }
        ConverterButton {
            objectName: "playerButton"
            label: "Player"
            glyph: "▶"
            implicitWidth: 96
            onClicked: footer.flash.fsCommand("IDC_FS_Player")
        }
        ConverterButton {
            objectName: "aboutButton"
            label: "About"
            glyph: "i"
            implicitWidth: 90
            onClicked: {
                footer.flash.fsCommand("IDC_FS_About")
                footer.aboutAsked()
            }
        }
    }
    ConverterButton {
        objectName: "convertButton"
        label: "Convert"
        glyph: "⟳"
        primary: true
        implicitWidth: 170
        implicitHeight: 40
        anchors { right: parent.right; verticalCenter: parent.verticalCenter }
        onClicked: footer.flash.fsCommand("IDC_FS_Convert")
    }
}
