// The converter's face: draws the main window, with its list (ConverterList.qml), its
// targets (ConverterTargets.qml), the options used less often (ConverterOptions.qml) and its
// footer (ConverterButtons.qml), and sends what the user presses.
pragma ComponentBehavior: Bound
import QtQuick
import Velune.Face
import "converter_theme.js" as Theme

Rectangle {
    id: face

    // The host: what the face sends and the variables it reads.
    property FaceBridge flash: null
    property string versionText: ""
    width: 620
    height: 520
    color: "#12161f"

    // Keys: each sends what its button sends; Escape closes what is open over the face.
    focus: true
    border.width: activeFocus ? 1 : 0
    border.color: Theme.accent
    Keys.onPressed: (event) => {
        const key = event.key
        // What is open over the face takes Escape alone: the list behind it is out of sight.
        if ((options.visible || about.visible) && key !== Qt.Key_Escape)
            return
        if (key === Qt.Key_Delete)
            list.removeChosen()
        else if (key === Qt.Key_O && (event.modifiers & Qt.ControlModifier))
            face.flash.fsCommand("IDC_FS_Add")
        else if (key === Qt.Key_Return || key === Qt.Key_Enter)
            face.flash.fsCommand("IDC_FS_Convert")
        else if (key === Qt.Key_Escape && (options.visible || about.visible)) {
            options.close()
            about.visible = false
        } else
            return
        event.accepted = true
    }

    Connections {
        target: face.flash
        function onVariableSet(name, value) {
            if (name === "_root.VersionNo")
                face.versionText = value
        }
    }

    // A small square button of the title bar.
    component TitleButton: Rectangle {
        id: tb
        property string label
        property string glyph
        property color hot: "#26304a"
        signal clicked()
        width: 30
        height: 26
        radius: 6
        color: tbArea.pressed ? Qt.darker(hot, 1.3) : tbArea.containsMouse ? hot : "transparent"
        Accessible.role: Accessible.Button
        Accessible.name: label
        Accessible.onPressAction: tb.clicked()
        Text {
            anchors.centerIn: parent
            text: tb.glyph
            color: Theme.textMain
            font.pixelSize: 16
        }
        MouseArea {
            id: tbArea
            anchors.fill: parent
            hoverEnabled: true
            onClicked: tb.clicked()
        }
    }

    // Title bar: the whole strip drags the window.
    Rectangle {
        id: titleBar
        anchors { left: parent.left; right: parent.right; top: parent.top }
        height: 52
        gradient: Gradient {
            GradientStop { position: 0; color: "#1e2638" }
            GradientStop { position: 1; color: "#151a26" }
        }

        MouseArea {
            objectName: "dragArea"
            anchors.fill: parent
            Accessible.role: Accessible.TitleBar
            Accessible.name: "Move window"
            onPressed: face.flash.fsCommand("IDC_FS_Drag")
        }

        Row {
            anchors { left: parent.left; leftMargin: 18; verticalCenter: parent.verticalCenter }
            spacing: 12
            Rectangle {
                width: 32; height: 32; radius: 16
                color: Theme.accent
                anchors.verticalCenter: parent.verticalCenter
                Row {
                    anchors.centerIn: parent
                    spacing: 3
                    Repeater {
                        model: [8, 16, 22, 12, 18]
                        Rectangle {
                            required property int modelData
                            width: 3; height: modelData * 0.9; radius: 1.5
                            color: "#0d1a17"
                            anchors.verticalCenter: parent.verticalCenter
                        }
                    }
                }
            }
            Column {
                anchors.verticalCenter: parent.verticalCenter
                Text {
                    text: "Velune Converter"
                    color: Theme.textMain
                    font.pixelSize: 17
                    font.bold: true
                }
                Text {
                    text: "audio to WAV · MP3 · OGG Vorbis · FLAC · Opus · M4A · ALAC"
                    color: Theme.textDim
                    font.pixelSize: 11
                }
            }
        }

        Row {
            anchors { right: parent.right; rightMargin: 12; verticalCenter: parent.verticalCenter }
            spacing: 4
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

    ConverterList {
        id: list
        flash: face.flash
        x: 16; y: 62
        width: parent.width - 32
        height: 192
    }

    ConverterTargets {
        flash: face.flash
        x: 16; y: 264
        width: parent.width - 32
        height: 194
        optionsChanged: options.changed
        onOptionsAsked: options.visible = true
    }

    ConverterButtons {
        flash: face.flash
        x: 16
        width: parent.width - 32
        anchors { bottom: parent.bottom; bottomMargin: 12 }
        onAboutAsked: about.visible = true
    }

    ConverterOptions {
        id: options
        objectName: "optionsPanel"
        flash: face.flash
        anchors.fill: parent
        onKeysBack: face.forceActiveFocus()
    }

    // About panel: shows the version the host wrote.
    Rectangle {
        id: about
        objectName: "aboutPanel"
        visible: false
        anchors.fill: parent
        color: "#cc0b0e14"
        MouseArea {
            objectName: "aboutClose"
            anchors.fill: parent
            Accessible.role: Accessible.Button
            Accessible.name: "Close about"
            onClicked: about.visible = false
        }
        Rectangle {
            anchors.centerIn: parent
            width: 300; height: 150; radius: 12
            color: Theme.panel
            border.color: Theme.accent
            Column {
                anchors.centerIn: parent
                spacing: 8
                Text {
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: "Velune Converter"
                    color: Theme.textMain
                    font.pixelSize: 18
                    font.bold: true
                }
                Text {
                    objectName: "versionText"
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: face.versionText
                    color: Theme.accent
                    font.pixelSize: 13
                }
                Text {
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: "Click anywhere to close"
                    color: Theme.textDim
                    font.pixelSize: 11
                }
            }
        }
    }

    // Files and folders dragged from a file manager: the window hands them to the host.
    DropArea {
        id: drop
        objectName: "dropArea"
        anchors.fill: parent
        Rectangle {
            anchors.fill: parent
            visible: drop.containsDrag
            color: "#3335c7a5"
            border.color: Theme.accent
            border.width: 2
            Text {
                anchors.centerIn: parent
                text: "Drop files or folders to add them to the list"
                color: Theme.textMain
                font.pixelSize: 14; font.bold: true
            }
        }
    }
}
