// The player's face: draws the player, with its list panel (PlayerList.qml), and sends what
// the user presses.
pragma ComponentBehavior: Bound
import QtQuick
import Velune.Face
import "player_theme.js" as Theme

Rectangle {
    id: face

    // The host: what the face sends and the variables it reads.
    property FaceBridge flash: null
    width: 336
    height: 360
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
    property string cover: ""
    property var states: ({ "Play": "4", "Pause": "4", "Stop": "4", "Next": "4", "Previous": "4", "Repeat": "1" })

    // The volume buttons and keys: the face's own position, then the host reads it.
    function setVolume(value) {
        value = Math.max(0, Math.min(10, value))
        if (value === face.volume) return
        face.volume = value
        face.flash.setVariable("_root.VolumePosition", String(value))
        face.flash.fsCommand("IDC_FS_Volume")
    }

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
            list.removeChosen()
        else if ((key === Qt.Key_Return || key === Qt.Key_Enter) && list.chosen >= 0)
            list.playChosen()
        else if (key === Qt.Key_O && (event.modifiers & Qt.ControlModifier))
            face.flash.fsCommand("IDC_FS_OpenFile")
        else if (key === Qt.Key_F && (event.modifiers & Qt.ControlModifier))
            list.find()
        else if (key === Qt.Key_L && (event.modifiers & Qt.ControlModifier))
            list.openAddress()
        else if (key === Qt.Key_S && (event.modifiers & Qt.ControlModifier))
            face.flash.fsCommand("IDC_FS_SaveList")
        else if (key === Qt.Key_S)
            face.flash.fsCommand("IDC_FS_Shuffle")
        else if (key === Qt.Key_Q)
            list.playNextChosen()
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
            } else if (name === "_root.CoverUrl") {
                face.cover = value
            } else if (name === "_root.Shown") {
                face.shown = value === "1"
            } else if (name === "_root.Muted") {
                face.muted = value === "1"
            } else if (name === "_root.ListShown") {
                face.listShown = value === "1"
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
    PlayerList {
        id: list
        flash: face.flash
        x: 8; y: 152; width: parent.width - 16; height: parent.height - 158
        onFindDone: face.forceActiveFocus()
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
