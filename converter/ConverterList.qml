// The converter's list: its header line (how many files, and what the last add passed
// over), the rows, and the buttons that add and remove them. It reads the list's
// variables and sends what the user presses.
pragma ComponentBehavior: Bound
import QtQuick
import Velune.Face
import "facelist.js" as FaceList
import "converter_theme.js" as Theme

Item {
    id: list

    property FaceBridge flash: null
    // What the host says the last add passed over, "" for nothing.
    property string status: ""

    ListModel { id: files }

    Connections {
        target: list.flash
        function onVariableSet(name, value) {
            if (name === "_root.SetAddedFiles") {
                // One append for the whole batch: a library's rows come at once.
                files.append(FaceList.rows(list.flash.variable("_root.AddedFiles"))
                             .map(p => ({ path: p })))
            } else if (name === "_root.RemoveAll") {
                files.clear()
                fileList.currentIndex = -1
            } else if (name === "_root.ListStatus") {
                list.status = value
            }
        }
    }

    // The list removes its chosen row and tells the host which one (or that none is).
    function removeChosen() {
        const row = fileList.currentIndex
        if (row < 0) {
            list.flash.fsCommand("IDC_FS_Remove")
            return
        }
        files.remove(row)
        fileList.currentIndex = -1
        list.flash.fsCommand("IDC_FS_Remove", String(row))
    }

    Rectangle {
        id: panel
        width: parent.width
        height: parent.height - buttons.height - 8
        radius: 10
        color: Theme.panel
        border.color: Theme.panelEdge

        Text {
            x: 14; y: 10
            text: "FILES TO CONVERT"
            color: Theme.textDim
            font.pixelSize: 11
            font.bold: true
            font.letterSpacing: 1.2
        }
        Text {
            objectName: "listStatusText"
            anchors { right: parent.right; rightMargin: 14; top: parent.top; topMargin: 9 }
            width: parent.width - 180
            horizontalAlignment: Text.AlignRight
            elide: Text.ElideLeft
            text: (files.count === 1 ? "1 file" : files.count + " files")
                  + (list.status === "" ? "" : " · " + list.status)
            color: Theme.textDim
            font.pixelSize: 11
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }

        ListView {
            id: fileList
            objectName: "fileList"
            Accessible.role: Accessible.List
            Accessible.name: "Files to convert"
            x: 8; y: 30
            width: parent.width - 16
            height: parent.height - 38
            clip: true
            model: files
            currentIndex: -1
            highlightMoveDuration: 0
            delegate: Rectangle {
                id: row
                required property int index
                required property string path
                objectName: "fileRow" + index
                width: fileList.width
                height: 26
                radius: 5
                color: ListView.isCurrentItem ? "#245a52" : (index % 2 ? "#1f2638" : "transparent")
                Accessible.role: Accessible.ListItem
                Accessible.name: path
                Text {
                    anchors { left: parent.left; leftMargin: 10; right: parent.right; rightMargin: 10
                              verticalCenter: parent.verticalCenter }
                    text: row.path
                    elide: Text.ElideMiddle
                    color: Theme.textMain
                    font.pixelSize: 12
                }
                MouseArea {
                    anchors.fill: parent
                    onClicked: fileList.currentIndex = row.index
                }
            }
            Text {
                anchors.centerIn: parent
                visible: files.count === 0
                text: "Press Add to choose the audio files to convert"
                color: Theme.textDim
                font.pixelSize: 13
            }
        }
    }

    Row {
        id: buttons
        anchors.bottom: parent.bottom
        spacing: 8
        ConverterButton {
            objectName: "addButton"
            label: "Add"
            glyph: "+"
            onClicked: list.flash.fsCommand("IDC_FS_Add")
        }
        ConverterButton {
            objectName: "removeButton"
            label: "Remove"
            glyph: "−"
            onClicked: list.removeChosen()
        }
        ConverterButton {
            objectName: "removeAllButton"
            label: "Remove all"
            onClicked: list.flash.fsCommand("IDC_FS_RemoveAll")
        }
        ConverterButton {
            objectName: "addFolderButton"
            label: "Add folder"
            glyph: "+"
            onClicked: list.flash.fsCommand("IDC_FS_AddFolder")
        }
    }
}
