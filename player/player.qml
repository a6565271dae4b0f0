// The player's face: draws the player and its list panel and sends what the user presses.
pragma ComponentBehavior: Bound
import QtQuick
import Velune.Face
import "facelist.js" as FaceList
import "player_theme.js" as Theme

Rectangle {
    id: face

    // The host: what the face sends and the variables it reads.
    property FaceBridge flash: null
    width: 336
    height: 560
    color: "#10131b"


    property string title: ""
    property string played: "00:00"
    property string totalTime: "00:00"
    property bool playing: false
    property bool knobDisabled: false
    property int knob: 0
    property int volume: 5
    property bool muted: false
    property bool listShown: false
    property bool shown: true
    property string replayGain: "off"
    property string shuffle: "off"
    property string sortOrder: "added"
    property string total: ""
    property int playingRow: -1
    property string cover: ""
    // What each order is called on the sort menu, by the name the host takes.
    readonly property var sortNames: ({ "added": "As added", "artist": "Artist", "album": "Album",
                                        "title": "Title", "length": "Length", "file": "File name" })
    property var states: ({ "Play": "4", "Pause": "4", "Stop": "4", "Next": "4", "Previous": "4", "Repeat": "1" })

    ListModel { id: files }

    // The volume buttons and keys: the face's own position, then the host reads it.
    function setVolume(value) {
        value = Math.max(0, Math.min(10, value))
        if (value === face.volume) return
        face.volume = value
        face.flash.setVariable("_root.VolumePosition", String(value))
        face.flash.fsCommand("IDC_FS_Volume")
    }
    // The face removes its chosen row and tells the host which one.
    function removeChosen() {
        const row = fileList.currentIndex
        if (row < 0) return
        files.remove(row)
        fileList.currentIndex = -1
        if (face.playingRow > row) face.playingRow -= 1
        else if (face.playingRow === row) face.playingRow = -1
        face.flash.fsCommand("IDC_FS_Remove", String(row))
    }
    function joined(a, b, separator) {
        return a.length > 0 && b.length > 0 ? a + separator + b : a + b
    }
    function playNextChosen() {
        if (fileList.currentIndex >= 0)
            face.flash.fsCommand("IDC_FS_PlayNext", String(fileList.currentIndex))
    }
    readonly property var rowFields: ["path", "title", "artist", "album", "track", "length", "queue", "missing"]

    // Keys: each sends what its button or slider sends.
    focus: true
    border.width: activeFocus ? 1 : 0
    border.color: Theme.accent
    Keys.onPressed: (event) => {
        const key = event.key
        if (key === Qt.Key_Space)
            face.flash.fsCommand(face.states["Play"] === "3" || face.states["Pause"] === "3"
                                 ? "IDC_FS_Pause" : "IDC_FS_Play")
        else if (key === Qt.Key_Left || key === Qt.Key_Right)
            face.flash.fsCommand("IDC_FS_SeekBy", key === Qt.Key_Left ? "-5000" : "5000")
        else if (key === Qt.Key_Up || key === Qt.Key_Down)
            face.setVolume(face.volume + (key === Qt.Key_Up ? 1 : -1))
        else if (key === Qt.Key_Delete)
            face.removeChosen()
        else if ((key === Qt.Key_Return || key === Qt.Key_Enter) && fileList.currentIndex >= 0)
            face.flash.fsCommand("IDC_FS_SelectedIndex", String(fileList.currentIndex))
        else if (key === Qt.Key_O && (event.modifiers & Qt.ControlModifier))
            face.flash.fsCommand("IDC_FS_OpenFile")
        else if (key === Qt.Key_F && (event.modifiers & Qt.ControlModifier))
            search.forceActiveFocus()
        else if (key === Qt.Key_S && (event.modifiers & Qt.ControlModifier))
            face.flash.fsCommand("IDC_FS_SaveList")
        else if (key === Qt.Key_S)
            face.flash.fsCommand("IDC_FS_Shuffle")
        else if (key === Qt.Key_Q)
            face.playNextChosen()
        else
            return
        event.accepted = true
    }

    Connections {
        target: face.flash
        function onVariableSet(name, value) {
            if (name === "_root.SetFileTxt") {
                face.title = face.flash.variable("_root.FileTxt")
            } else if (name === "_root.SetTimeTxt") {
                face.played = face.flash.variable("_root.TimePlayedTxt")
                face.totalTime = face.flash.variable("_root.TotalTimeTxt")
            } else if (name === "_root.Playing") {
                face.playing = value === "1"
            } else if (name === "_root.KnobDisabled") {
                face.knobDisabled = value === "1"
            } else if (name === "_root.KnobPosition") {
                if (!seek.dragging) face.knob = Math.max(0, Math.min(100, Number(value.trim()) || 0))
            } else if (name === "_root.VolumePosition") {
                face.volume = Math.max(0, Math.min(10, Math.round(Number(value) || 0)))
            } else if (name === "_root.SetListRows") {
                files.clear()
                files.append(FaceList.records(face.flash.variable("_root.ListRows"), face.rowFields))
                fileList.currentIndex = -1
            } else if (name === "_root.SetListChanges") {
                const changes = FaceList.records(face.flash.variable("_root.ListChanges"),
                                                 ["row"].concat(face.rowFields))
                for (const change of changes) {
                    const row = Number(change.row)
                    delete change.row
                    if (row >= 0 && row < files.count) files.set(row, change)
                }
            } else if (name === "_root.ListTotal") {
                face.total = value
            } else if (name === "_root.PlayingRow") {
                face.playingRow = Number(value)
            } else if (name === "_root.Shuffle") {
                face.shuffle = value
            } else if (name === "_root.SortOrder") {
                face.sortOrder = value
            } else if (name === "_root.CoverUrl") {
                face.cover = value
            } else if (name === "_root.Shown") {
                face.shown = value === "1"
            } else if (name === "_root.ReplayGainMode") {
                face.replayGain = value
            } else if (name === "_root.Muted") {
                face.muted = value === "1"
            } else if (name === "_root.ListShown") {
                face.listShown = value === "1"
            } else if (name === "_root.RemoveAll") {
                files.clear()
                fileList.currentIndex = -1
                face.playingRow = -1
            } else if (name.startsWith("_root.") && face.states[name.substring(6)] !== undefined) {
                const s = Object.assign({}, face.states)
                s[name.substring(6)] = value
                face.states = s
            }
        }
    }

    // A round transport button drawn in its state: "1" normal, "3" active, "4" disabled.
    component Transport: Rectangle {
        id: tb
        property string label
        property string tag
        property string glyph
        property string command
        readonly property string state_: face.states[tag] || "1"
        width: 34; height: 34; radius: 17
        opacity: state_ === "4" ? 0.35 : 1
        color: state_ === "3" ? Theme.accent : (tbArea.pressed ? "#2f3749" : "#222838")
        border.color: state_ === "3" ? Theme.accent : Theme.panelEdge
        Accessible.role: Accessible.Button
        Accessible.name: label
        Accessible.onPressAction: if (tb.state_ !== "4") face.flash.fsCommand(tb.command)
        Text {
            anchors.centerIn: parent
            text: tb.glyph
            color: tb.state_ === "3" ? "#1b1204" : Theme.textMain
            font.pixelSize: 14
            font.bold: true
        }
        MouseArea {
            id: tbArea
            anchors.fill: parent
            enabled: tb.state_ !== "4"
            onClicked: face.flash.fsCommand(tb.command)
        }
    }

    component SmallButton: Rectangle {
        id: sb
        property string label
        signal clicked()
        width: Math.max(56, sbText.implicitWidth + 20); height: 24; radius: 12
        color: sbArea.pressed ? "#2f3749" : "#222838"
        border.color: Theme.panelEdge
        Accessible.role: Accessible.Button
        Accessible.name: label
        Accessible.onPressAction: sb.clicked()
        Text { id: sbText; anchors.centerIn: parent; text: sb.label; color: Theme.textMain; font.pixelSize: 11 }
        MouseArea { id: sbArea; anchors.fill: parent; onClicked: sb.clicked() }
    }

    component TitleButton: Rectangle {
        id: tbt
        property string label
        property string glyph
        property color hot: "#2f3749"
        signal clicked()
        width: 24; height: 20; radius: 5
        color: tbtArea.containsMouse ? hot : "transparent"
        Accessible.role: Accessible.Button
        Accessible.name: label
        Accessible.onPressAction: tbt.clicked()
        Text { anchors.centerIn: parent; text: tbt.glyph; color: Theme.textMain; font.pixelSize: 12 }
        MouseArea { id: tbtArea; anchors.fill: parent; hoverEnabled: true; onClicked: tbt.clicked() }
    }

    // Title strip: drags the window.
    Rectangle {
        x: 0; y: 0; width: parent.width; height: 26
        color: "#171b26"
        MouseArea {
            objectName: "dragArea"
            anchors.fill: parent
            Accessible.role: Accessible.TitleBar
            Accessible.name: "Move window"
            onPressed: face.flash.fsCommand("IDC_FS_Drag")
        }
        Text {
            x: 10; anchors.verticalCenter: parent.verticalCenter
            text: "VELUNE PLAYER"
            color: Theme.accent
            font.pixelSize: 11; font.bold: true; font.letterSpacing: 1.5
        }
        Row {
            anchors { right: parent.right; rightMargin: 4; verticalCenter: parent.verticalCenter }
            spacing: 2
            TitleButton {
                objectName: "listButton"
                label: face.listShown ? "Hide list" : "Show list"
                glyph: "☰"
                onClicked: {
                    face.flash.fsCommand(face.listShown ? "IDC_FS_HideList" : "IDC_FS_ShowList")
                    face.listShown = !face.listShown
                }
            }
            TitleButton {
                objectName: "minimizeButton"
                label: "Minimize"
                glyph: "–"
                onClicked: face.flash.fsCommand("IDC_FS_Minimize")
            }
            TitleButton {
                objectName: "closeButton"
                label: "Close"
                glyph: "✕"
                hot: "#b33a48"
                onClicked: face.flash.fsCommand("IDC_FS_Close")
            }
        }
    }

    // Display: playing indicator, title, times.
    Rectangle {
        x: 8; y: 32; width: parent.width - 16; height: 52
        radius: 8
        color: "#0b0e14"
        border.color: Theme.panelEdge

        Row {
            id: indicator
            objectName: "playingIndicator"
            property bool active: face.playing
            x: 10; anchors.verticalCenter: parent.verticalCenter
            spacing: 2
            Accessible.role: Accessible.Indicator
            Accessible.name: face.playing ? "Playing" : "Not playing"
            // Two steps a second, and none while the window is not on screen: the
            // software renderer redraws the face at every step.
            Timer {
                id: beat
                property int step: 0
                interval: 500
                repeat: true
                running: face.playing && face.shown
                onTriggered: step = (step + 1) % 4
            }
            Repeater {
                model: 4
                Rectangle {
                    id: bar
                    required property int index
                    width: 3; radius: 1.5
                    anchors.bottom: parent.bottom
                    color: face.playing ? Theme.accent : Theme.panelEdge
                    height: face.playing ? [7, 13, 18, 10][(beat.step + bar.index) % 4] : 6
                }
            }
        }
        Image {
            objectName: "cover"
            x: parent.width - 48; y: 4; width: 44; height: 44
            visible: face.cover.length > 0 && status === Image.Ready
            source: face.cover
            sourceSize.width: 88
            sourceSize.height: 88
            fillMode: Image.PreserveAspectCrop
            asynchronous: true
            Accessible.role: Accessible.Graphic
            Accessible.name: "Cover"
        }
        Text {
            objectName: "titleText"
            x: 34; y: 8
            width: parent.width - (face.cover.length > 0 ? 94 : 44)
            text: face.title.trim().length > 0 ? face.title : "No file playing"
            elide: Text.ElideRight
            color: face.title.trim().length > 0 ? Theme.textMain : Theme.textDim
            font.pixelSize: 14; font.bold: true
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
        Text {
            objectName: "timeText"
            x: 34; y: 29
            text: face.played + " / " + face.totalTime
            color: Theme.accent
            font.pixelSize: 12
            font.family: "monospace"
            Accessible.role: Accessible.StaticText
            Accessible.name: "Elapsed " + face.played + " of " + face.totalTime
        }
    }

    // Seek bar: follows the host; on release the face writes where it was let go.
    Item {
        id: seek
        objectName: "seekKnob"
        property bool dragging: seekArea.pressed
        property int dragValue: 0
        readonly property int shown: dragging ? dragValue : face.knob
        x: 14; y: 90; width: parent.width - 28; height: 14
        enabled: !face.knobDisabled
        opacity: enabled ? 1 : 0.4
        Accessible.role: Accessible.Slider
        Accessible.name: "Seek"
        Rectangle {
            anchors.verticalCenter: parent.verticalCenter
            width: parent.width; height: 4; radius: 2
            color: "#2b3242"
            Rectangle {
                width: parent.width * seek.shown / 100; height: parent.height; radius: 2
                color: Theme.accent
            }
        }
        Rectangle {
            x: (seek.width - width) * seek.shown / 100
            anchors.verticalCenter: parent.verticalCenter
            width: 12; height: 12; radius: 6
            color: Theme.textMain
            border.color: Theme.accent
        }
        MouseArea {
            id: seekArea
            anchors.fill: parent
            function valueAt(x) { return Math.round(Math.max(0, Math.min(1, x / width)) * 100) }
            onPressed: (mouse) => seek.dragValue = valueAt(mouse.x)
            onPositionChanged: (mouse) => seek.dragValue = valueAt(mouse.x)
            onReleased: (mouse) => {
                const value = valueAt(mouse.x)
                face.knob = value
                face.flash.setVariable("_root.KnobPosition", String(value))
                face.flash.fsCommand("IDC_FS_KnobReleased")
            }
        }
    }

    // Transport, mute and volume.
    Row {
        x: 10; y: 112
        spacing: 4
        Transport { objectName: "previousButton"; label: "Previous"; tag: "Previous"; glyph: "◀◀"; command: "IDC_FS_Previous" }
        Transport { objectName: "playButton"; label: "Play"; tag: "Play"; glyph: "▶"; command: "IDC_FS_Play" }
        Transport { objectName: "pauseButton"; label: "Pause"; tag: "Pause"; glyph: "❚❚"; command: "IDC_FS_Pause" }
        Transport { objectName: "stopButton"; label: "Stop"; tag: "Stop"; glyph: "■"; command: "IDC_FS_Stop" }
        Transport { objectName: "nextButton"; label: "Next"; tag: "Next"; glyph: "▶▶"; command: "IDC_FS_Next" }
        Transport { objectName: "repeatButton"; label: "Repeat"; tag: "Repeat"; glyph: "↻"; command: "IDC_FS_Repeat" }
    }
    Rectangle {
        objectName: "muteButton"
        x: 238; y: 117; width: 24; height: 24; radius: 12
        color: face.muted ? "#3a2a14" : "transparent"
        Accessible.role: Accessible.Button
        Accessible.name: face.muted ? "Sound on" : "Mute"
        Canvas {
            id: speaker
            anchors.fill: parent
            property bool muted: face.muted
            onMutedChanged: requestPaint()
            onPaint: {
                const ctx = getContext("2d")
                ctx.reset()
                ctx.fillStyle = face.muted ? Theme.accent : Theme.textMain
                ctx.strokeStyle = ctx.fillStyle
                ctx.lineWidth = 1.5
                ctx.beginPath()
                ctx.moveTo(5, 10); ctx.lineTo(8, 10); ctx.lineTo(12, 6); ctx.lineTo(12, 18)
                ctx.lineTo(8, 14); ctx.lineTo(5, 14); ctx.closePath(); ctx.fill()
                ctx.beginPath()
                if (face.muted) {
                    ctx.moveTo(14, 9); ctx.lineTo(19, 15); ctx.moveTo(19, 9); ctx.lineTo(14, 15)
                } else {
                    ctx.arc(12, 12, 4, -0.8, 0.8); ctx.moveTo(17.5, 7.5); ctx.arc(12, 12, 7, -0.8, 0.8)
                }
                ctx.stroke()
            }
        }
        MouseArea {
            anchors.fill: parent
            onClicked: {
                face.flash.fsCommand(face.muted ? "IDC_FS_SoundOn" : "IDC_FS_SoundOff")
                face.muted = !face.muted
            }
        }
    }
    Item {
        id: volumeKnob
        objectName: "volumeKnob"
        x: 266; y: 121; width: 60; height: 16
        Accessible.role: Accessible.Slider
        Accessible.name: "Volume"
        Row {
            anchors.bottom: parent.bottom
            spacing: 1
            Repeater {
                model: 10
                Rectangle {
                    required property int index
                    width: 5; height: 4 + index
                    anchors.bottom: parent.bottom
                    radius: 1
                    color: index < face.volume ? Theme.accent : "#2b3242"
                }
            }
        }
        MouseArea {
            anchors.fill: parent
            function set(x) {
                face.setVolume(Math.round(Math.max(0, Math.min(1, x / width)) * 10))
            }
            onPressed: (mouse) => set(mouse.x)
            onPositionChanged: (mouse) => set(mouse.x)
        }
    }

    // The list panel, seen when the window is tall.
    Rectangle {
        id: panel
        x: 8; y: 160; width: parent.width - 16; height: parent.height - 168
        radius: 8
        color: Theme.panel
        border.color: Theme.panelEdge

        // Find as you type: the host finds, the face shows what it sends back.
        Rectangle {
            x: 6; y: 6; width: parent.width - 118; height: 24; radius: 12
            color: "#0b0e14"
            border.color: search.activeFocus ? Theme.accent : Theme.panelEdge
            TextInput {
                id: search
                objectName: "searchField"
                anchors { fill: parent; leftMargin: 10; rightMargin: 10 }
                verticalAlignment: TextInput.AlignVCenter
                color: Theme.textMain
                font.pixelSize: 12
                clip: true
                Accessible.role: Accessible.EditableText
                Accessible.name: "Find in the list"
                onTextEdited: face.flash.fsCommand("IDC_FS_Find", text)
                Keys.onPressed: (event) => {
                    if (event.key === Qt.Key_Escape) {
                        search.text = ""
                        face.flash.fsCommand("IDC_FS_Find", "")
                        face.forceActiveFocus()
                    } else if (event.key === Qt.Key_Return || event.key === Qt.Key_Enter) {
                        face.flash.fsCommand("IDC_FS_PlayFound")
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
                    font.pixelSize: 12
                }
            }
        }
        SmallButton {
            objectName: "shuffleButton"
            x: parent.width - width - 6; y: 6; width: 100
            label: "Shuffle: " + face.shuffle
            onClicked: face.flash.fsCommand("IDC_FS_Shuffle")
        }
        SmallButton {
            objectName: "sortButton"
            x: 6; y: 36; width: 130
            label: "Sort: " + (face.sortNames[face.sortOrder] || face.sortOrder)
            onClicked: sortMenu.visible = !sortMenu.visible
        }
        // Loudness correction: each press takes the next of off, track and album.
        SmallButton {
            objectName: "replayGainButton"
            x: parent.width - width - 6; y: 36
            label: "ReplayGain: " + face.replayGain
            onClicked: face.flash.fsCommand("IDC_FS_ReplayGain")
        }
        Text {
            objectName: "totalText"
            anchors { right: parent.right; rightMargin: 10 }
            y: parent.height - 84
            text: face.total
            color: Theme.textDim
            font.pixelSize: 11
            Accessible.role: Accessible.StaticText
            Accessible.name: "List length " + face.total
        }

        ListView {
            id: fileList
            objectName: "playList"
            Accessible.role: Accessible.List
            Accessible.name: "Playlist"
            x: 4; y: 66; width: parent.width - 8; height: parent.height - 156
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
                width: fileList.width; height: 34; radius: 4
                color: ListView.isCurrentItem ? "#4a3613" : (index % 2 ? "#1e2431" : "transparent")
                Accessible.role: Accessible.ListItem
                Accessible.name: path
                Accessible.description: (queue.length > 0 ? "queued " + queue + ", " : "") +
                                        face.joined(artist, album, ", ")
                Text {
                    x: 8; y: 3
                    width: parent.width - 64
                    text: (row.track.length > 0 ? row.track + ". " : "") + row.title
                    elide: Text.ElideRight
                    color: row.index === face.playingRow ? Theme.accent : Theme.textMain
                    font.pixelSize: 12
                    font.bold: row.index === face.playingRow
                }
                Text {
                    x: 8; y: 18
                    width: parent.width - 64
                    text: face.joined(row.artist, row.album, " — ")
                    elide: Text.ElideRight
                    color: Theme.textDim
                    font.pixelSize: 10
                }
                Text {
                    anchors { right: parent.right; rightMargin: 8; top: parent.top; topMargin: 3 }
                    text: row.length
                    color: Theme.textDim
                    font.pixelSize: 11
                    font.family: "monospace"
                }
                Rectangle {
                    objectName: "queueMark" + row.index
                    visible: row.queue.length > 0
                    anchors { right: parent.right; rightMargin: 8; bottom: parent.bottom; bottomMargin: 3 }
                    width: 18; height: 13; radius: 6
                    color: Theme.accent
                    Text { anchors.centerIn: parent; text: row.queue; color: "#1b1204"; font.pixelSize: 9; font.bold: true }
                }
                MouseArea {
                    anchors.fill: parent
                    onClicked: fileList.currentIndex = row.index
                    onDoubleClicked: {
                        fileList.currentIndex = row.index
                        face.flash.fsCommand("IDC_FS_SelectedIndex", String(row.index))
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

        // The orders, over the list while chosen.
        Rectangle {
            id: sortMenu
            objectName: "sortMenu"
            visible: false
            x: 6; y: 62; width: 130; height: sortColumn.height + 8
            radius: 6
            color: "#171b26"
            border.color: Theme.accent
            Column {
                id: sortColumn
                x: 4; y: 4
                spacing: 2
                Repeater {
                    model: ["artist", "album", "title", "length", "file", "added"]
                    SmallButton {
                        required property string modelData
                        objectName: "sort_" + modelData
                        width: 122
                        label: face.sortNames[modelData]
                        onClicked: {
                            sortMenu.visible = false
                            face.flash.fsCommand("IDC_FS_Sort", modelData)
                        }
                    }
                }
            }
        }

        Flow {
            x: 6; y: parent.height - 64; width: parent.width - 12
            spacing: 5
            SmallButton { objectName: "addButton"; label: "Add"; onClicked: face.flash.fsCommand("IDC_FS_Add") }
            SmallButton { objectName: "addFolderButton"; label: "Add folder"; onClicked: face.flash.fsCommand("IDC_FS_AddFolder") }
            SmallButton { objectName: "openButton"; label: "Open"; onClicked: face.flash.fsCommand("IDC_FS_OpenFile") }
            SmallButton { objectName: "saveButton"; label: "Save"; onClicked: face.flash.fsCommand("IDC_FS_SaveList") }
            SmallButton { objectName: "playNextButton"; label: "Play next"; onClicked: face.playNextChosen() }
            SmallButton {
                objectName: "removeButton"
                label: "Remove"
                onClicked: face.removeChosen()
            }
            SmallButton { objectName: "removeAllButton"; label: "Remove all"; onClicked: face.flash.fsCommand("IDC_FS_RemoveAll") }
        }
    }

    // Files dragged from a file manager: the window hands them to the host.
    DropArea {
        id: drop
        objectName: "dropArea"
        anchors.fill: parent
        Rectangle {
            anchors.fill: parent
            visible: drop.containsDrag
            color: "#33f2a541"
            border.color: Theme.accent
            border.width: 2
            Text {
                anchors.centerIn: parent
                text: "Drop to add to the playlist"
                color: Theme.textMain
                font.pixelSize: 14; font.bold: true
            }
        }
    }
}
