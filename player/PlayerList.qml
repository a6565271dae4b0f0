// The player's list panel: find (or a stream's address), sort and shuffle on one line,
// the rows, the list's actions and its status line. It reads the list's variables and
// sends what the user presses.
pragma ComponentBehavior: Bound
import QtQuick
import Velune.Face
import "facelist.js" as FaceList
import "player_theme.js" as Theme

Rectangle {
    id: panel

    property FaceBridge flash: null
    property string replayGain: "off"
    property string shuffle: "off"
    property string sortOrder: "added"
    property string total: ""
    property int playingRow: -1
    readonly property alias chosen: fileList.currentIndex // -1 for none
    // Escape in the find field: the face takes the keys again.
    signal findDone()

    // What each order is called on the sort menu, by the name the host takes.
    readonly property var sortNames: ({ "added": "As added", "artist": "Artist", "album": "Album",
                                        "title": "Title", "length": "Length", "file": "File name" })
    readonly property var rowFields: ["path", "title", "artist", "album", "track", "length", "queue", "missing"]

    radius: 8
    color: Theme.panel
    border.color: Theme.panelEdge

    ListModel { id: files }

    // What the host writes for the list: its rows (replaced, or changed one by one), its
    // length, the playing row, the order and the modes.
    Connections {
        target: panel.flash
        function onVariableSet(name, value) {
            if (name === "_root.SetListRows") {
                files.clear()
                files.append(FaceList.records(panel.flash.variable("_root.ListRows"), panel.rowFields))
                fileList.currentIndex = -1
            } else if (name === "_root.SetListChanges") {
                const changes = FaceList.records(panel.flash.variable("_root.ListChanges"),
                                                 ["row"].concat(panel.rowFields))
                for (const change of changes) {
                    const row = Number(change.row)
                    delete change.row
                    if (row >= 0 && row < files.count) files.set(row, change)
                }
            } else if (name === "_root.RemoveAll") {
                files.clear()
                fileList.currentIndex = -1
                panel.playingRow = -1
            } else if (name === "_root.ListTotal") {
                panel.total = value
            } else if (name === "_root.PlayingRow") {
                panel.playingRow = Number(value)
            } else if (name === "_root.Shuffle") {
                panel.shuffle = value
            } else if (name === "_root.SortOrder") {
                panel.sortOrder = value
            } else if (name === "_root.ReplayGainMode") {
                panel.replayGain = value
            }
        }
    }

    // The panel removes its chosen row and tells the host which one.
    function removeChosen() {
        const row = fileList.currentIndex
        if (row < 0) return
        files.remove(row)
        fileList.currentIndex = -1
        if (panel.playingRow > row) panel.playingRow -= 1
        else if (panel.playingRow === row) panel.playingRow = -1
        panel.flash.fsCommand("IDC_FS_Remove", String(row))
    }
    function playNextChosen() {
        if (fileList.currentIndex >= 0)
            panel.flash.fsCommand("IDC_FS_PlayNext", String(fileList.currentIndex))
    }
    function playChosen() {
        if (fileList.currentIndex >= 0)
            panel.flash.fsCommand("IDC_FS_SelectedIndex", String(fileList.currentIndex))
    }
    function find() { panel.addressing = false; search.forceActiveFocus() }
    // Ctrl+L: the find field takes an address instead; Enter plays it, Escape leaves it.
    property bool addressing: false
    function openAddress() { panel.addressing = true; address.forceActiveFocus() }
    function joined(a, b, separator) {
        return a.length > 0 && b.length > 0 ? a + separator + b : a + b
    }

    // A flat button that shows `text` and is named `label` (its text when none is given).
    component SmallButton: Rectangle {
        id: sb
        property string label
        property string text: label
        property int pad: 14
        property alias fontSize: sbText.font.pixelSize
        signal clicked()
        width: sbText.implicitWidth + pad; height: 22; radius: height / 2
        color: sbArea.pressed ? "#2f3749" : "#222838"
        border.color: Theme.panelEdge
        Accessible.role: Accessible.Button
        Accessible.name: label
        Accessible.onPressAction: sb.clicked()
        Text {
            id: sbText
            anchors.centerIn: parent
            width: Math.min(implicitWidth, sb.width - 8)
            text: sb.text
            elide: Text.ElideRight
            color: Theme.textMain
            font.pixelSize: 11
        }
        MouseArea { id: sbArea; anchors.fill: parent; onClicked: sb.clicked() }
    }
    component ActionButton: SmallButton { height: 20; pad: 8; fontSize: 10 }

    // Find as you type: the host finds, the panel shows what it sends back.
    Rectangle {
        x: 6; y: 5; width: sortButton.x - 10; height: 22; radius: 11
        color: "#0b0e14"
        border.color: search.activeFocus || address.activeFocus ? Theme.accent : Theme.panelEdge
        TextInput {
            id: address
            objectName: "addressField"
            visible: panel.addressing
            anchors { fill: parent; leftMargin: 9; rightMargin: 9 }
            verticalAlignment: TextInput.AlignVCenter
            color: Theme.textMain
            font.pixelSize: 12
            clip: true
            Accessible.role: Accessible.EditableText
            Accessible.name: "Address of a stream"
            Keys.onPressed: (event) => {
                if (event.key === Qt.Key_Return || event.key === Qt.Key_Enter)
                    panel.flash.fsCommand("IDC_FS_OpenUrl", address.text)
                else if (event.key !== Qt.Key_Escape)
                    return
                address.text = ""
                panel.addressing = false
                panel.findDone()
                event.accepted = true
            }
            Text {
                anchors.verticalCenter: parent.verticalCenter
                visible: address.text.length === 0
                text: "Address (http://…), Enter plays it"
                color: Theme.textDim
                font.pixelSize: 11
            }
        }
        TextInput {
            id: search
            objectName: "searchField"
            visible: !panel.addressing
            anchors { fill: parent; leftMargin: 9; rightMargin: 9 }
            verticalAlignment: TextInput.AlignVCenter
            color: Theme.textMain
            font.pixelSize: 12
            clip: true
            Accessible.role: Accessible.EditableText
            Accessible.name: "Find in the list"
            onTextEdited: panel.flash.fsCommand("IDC_FS_Find", text)
            Keys.onPressed: (event) => {
                if (event.key === Qt.Key_Escape) {
                    search.text = ""
                    panel.flash.fsCommand("IDC_FS_Find", "")
                    panel.findDone()
                } else if (event.key === Qt.Key_Return || event.key === Qt.Key_Enter) {
                    panel.flash.fsCommand("IDC_FS_PlayFound")
                } else {
                    return
                }
                event.accepted = true
            }
            Text {
                anchors.verticalCenter: parent.verticalCenter
                visible: search.text.length === 0
                text: "Find (Ctrl+F)"
                color: Theme.textDim
                font.pixelSize: 11
            }
        }
    }
    SmallButton {
        id: sortButton
        objectName: "sortButton"
        x: shuffleButton.x - width - 4; y: 5; width: 92
        label: "Sort: " + (panel.sortNames[panel.sortOrder] || panel.sortOrder)
        text: "⇅ " + (panel.sortNames[panel.sortOrder] || panel.sortOrder)
        onClicked: sortMenu.visible = !sortMenu.visible
    }
    SmallButton {
        id: shuffleButton
        objectName: "shuffleButton"
        x: parent.width - width - 6; y: 5; width: 104
        label: "Shuffle: " + panel.shuffle
        onClicked: panel.flash.fsCommand("IDC_FS_Shuffle")
    }

    ListView {
        id: fileList
        objectName: "playList"
        Accessible.role: Accessible.List
        Accessible.name: "Playlist"
        x: 4; y: 30; width: parent.width - 8; height: actions.y - y - 3
        clip: true
        model: files
        currentIndex: -1
        highlightMoveDuration: 0
        reuseItems: true
        delegate: Rectangle {
            id: row
            required property int index
            required property string path
            required property string title
            required property string artist
            required property string album
            required property string track
            required property string length
            required property string queue
            required property string missing
            opacity: missing.length > 0 ? 0.45 : 1 // its file is gone: dimmed
            objectName: "playRow" + index
            width: fileList.width; height: 30; radius: 4
            color: ListView.isCurrentItem ? "#4a3613" : (index % 2 ? "#1e2431" : "transparent")
            Accessible.role: Accessible.ListItem
            Accessible.name: path
            Accessible.description: (queue.length > 0 ? "queued " + queue + ", " : "") +
                                    panel.joined(artist, album, ", ")
            Text {
                x: 8; y: 2
                width: parent.width - 60
                text: (row.track.length > 0 ? row.track + ". " : "") + row.title
                elide: Text.ElideRight
                color: row.index === panel.playingRow ? Theme.accent : Theme.textMain
                font.pixelSize: 12
                font.bold: row.index === panel.playingRow
            }
            Text {
                x: 8; y: 16
                width: parent.width - 60
                text: panel.joined(row.artist, row.album, " — ")
                elide: Text.ElideRight
                color: Theme.textDim
                font.pixelSize: 10
            }
            Text {
                anchors { right: parent.right; rightMargin: 8; top: parent.top; topMargin: 2 }
                text: row.length
                color: Theme.textDim
                font.pixelSize: 11
                font.family: "monospace"
            }
            Rectangle {
                objectName: "queueMark" + row.index
                visible: row.queue.length > 0
                anchors { right: parent.right; rightMargin: 8; bottom: parent.bottom; bottomMargin: 2 }
                width: 18; height: 12; radius: 6
                color: Theme.accent
                Text { anchors.centerIn: parent; text: row.queue; color: "#1b1204"; font.pixelSize: 9; font.bold: true }
            }
            MouseArea {
                anchors.fill: parent
                onClicked: fileList.currentIndex = row.index
                onDoubleClicked: {
                    fileList.currentIndex = row.index
                    panel.flash.fsCommand("IDC_FS_SelectedIndex", String(row.index))
                }
            }
        }
        Text {
            anchors.centerIn: parent
            visible: files.count === 0
            text: "Add files or folders, or drop them here"
            color: Theme.textDim
            font.pixelSize: 12
        }
    }

    // The list's actions, in short words; screen readers get their full names.
    Row {
        id: actions
        x: 6; y: status.y - height - 2
        spacing: 2
        ActionButton { objectName: "addButton"; label: "Add"; text: "+ Add"; onClicked: panel.flash.fsCommand("IDC_FS_Add") }
        ActionButton { objectName: "addFolderButton"; label: "Add folder"; text: "+ Folder"; onClicked: panel.flash.fsCommand("IDC_FS_AddFolder") }
        ActionButton { objectName: "openButton"; label: "Open"; onClicked: panel.flash.fsCommand("IDC_FS_OpenFile") }
        ActionButton { objectName: "saveButton"; label: "Save"; onClicked: panel.flash.fsCommand("IDC_FS_SaveList") }
        ActionButton { objectName: "playNextButton"; label: "Play next"; onClicked: panel.playNextChosen() }
        ActionButton { objectName: "removeButton"; label: "Remove"; onClicked: panel.removeChosen() }
        ActionButton { objectName: "removeAllButton"; label: "Remove all"; text: "Clear"; onClicked: panel.flash.fsCommand("IDC_FS_RemoveAll") }
    }

    // The status line: the list's length and what the last add passed over, and the
    // loudness correction (each press takes the next of off, track and album).
    Item {
        id: status
        x: 6; y: parent.height - height - 5; width: parent.width - 12; height: 22
        Text {
            objectName: "totalText"
            anchors { left: parent.left; leftMargin: 4; right: replayGainButton.left; rightMargin: 6 }
            anchors.verticalCenter: parent.verticalCenter
            text: panel.total
            elide: Text.ElideRight
            color: Theme.textDim
            font.pixelSize: 10
            Accessible.role: Accessible.StaticText
            Accessible.name: "List length " + panel.total
        }
        SmallButton {
            id: replayGainButton
            objectName: "replayGainButton"
            anchors.right: parent.right
            label: "ReplayGain: " + panel.replayGain
            text: "RG: " + panel.replayGain
            onClicked: panel.flash.fsCommand("IDC_FS_ReplayGain")
        }
    }

    // The orders, over the list while chosen.
    Rectangle {
        id: sortMenu
        objectName: "sortMenu"
        visible: false
        x: sortButton.x; y: sortButton.y + sortButton.height + 2
        width: sortColumn.width + 8; height: sortColumn.height + 8
        radius: 6
        color: "#171b26"
        border.color: Theme.accent
        Grid {
            id: sortColumn
            x: 4; y: 4
            columns: 2
            spacing: 2
            Repeater {
                model: ["artist", "album", "title", "length", "file", "added"]
                SmallButton {
                    required property string modelData
                    objectName: "sort_" + modelData
                    width: 80
                    label: panel.sortNames[modelData]
                    onClicked: {
                        sortMenu.visible = false
                        panel.flash.fsCommand("IDC_FS_Sort", modelData)
                    }
                }
            }
        }
    }
}
