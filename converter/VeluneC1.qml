// The conversion window's face: the file being converted, its progress, and OK at the end.
pragma ComponentBehavior: Bound
import QtQuick
import Velune.Face
import "converter_theme.js" as Theme

Rectangle {
    id: face

    // The host: what the face sends and the variables it reads.
    property FaceBridge flash: null
    width: 338
    height: 187
    color: "#12161f"
    border.color: "#2a3347"


    property string fileText: "Preparing the conversion…"
    property int progress: 0
    property bool running: false
    property bool done: false

    Connections {
        target: face.flash
        function onVariableSet(name, value) {
            if (name === "_root.SetFileTxt")
                face.fileText = face.flash.variable("_root.FileTxt")
            else if (name === "_root.SetProgress")
                face.progress = Math.max(0, Math.min(100, Number(face.flash.variable("_root.ProgressValue")) || 0))
            else if (name === "_root.ArrowPlay")
                face.running = value === "1"
            else if (name === "_root.ShowOkbtn")
                face.done = value === "1"
        }
    }

    component FaceButton: Rectangle {
        id: button
        property string label
        property bool primary: false
        signal clicked()
        width: 92
        height: 30
        radius: 15
        color: primary ? (area.pressed ? "#1f8f7a" : Theme.accent) : (area.pressed ? "#2c3650" : "#202839")
        border.color: primary ? "transparent" : "#2a3347"
        Accessible.role: Accessible.Button
        Accessible.name: label
        Accessible.onPressAction: button.clicked()
        Text {
            anchors.centerIn: parent
            text: button.label
            color: button.primary ? "#0d1a17" : Theme.textMain
            font.pixelSize: 13
            font.bold: button.primary
        }
        MouseArea {
            id: area
            anchors.fill: parent
            onClicked: button.clicked()
        }
    }

    // Title strip: drags the window.
    Rectangle {
        id: titleBar
        x: 1; y: 1
        width: parent.width - 2
        height: 34
        color: "#1b2130"
        MouseArea {
            objectName: "dragArea"
            anchors.fill: parent
            Accessible.role: Accessible.TitleBar
            Accessible.name: "Move window"
            onPressed: face.flash.fsCommand("IDC_FS_Drag")
        }
        // Two arrows chasing each other while files are being converted.
        Text {
            id: arrows
            objectName: "runningAnimation"
            x: 12
            anchors.verticalCenter: parent.verticalCenter
            text: "⟳"
            color: Theme.accent
            font.pixelSize: 18
            RotationAnimation on rotation {
                running: face.running
                loops: Animation.Infinite
                from: 0; to: 360
                duration: 1200
            }
        }
        Text {
            x: 38
            anchors.verticalCenter: parent.verticalCenter
            text: face.done ? "Conversion finished" : "Converting…"
            color: Theme.textMain
            font.pixelSize: 13
            font.bold: true
        }
        Rectangle {
            objectName: "closeButton"
            width: 28; height: 24; radius: 6
            anchors { right: parent.right; rightMargin: 6; verticalCenter: parent.verticalCenter }
            color: closeArea.containsMouse ? "#b33a48" : "transparent"
            Accessible.role: Accessible.Button
            Accessible.name: "Close"
            Text { anchors.centerIn: parent; text: "✕"; color: Theme.textMain; font.pixelSize: 14 }
            MouseArea {
                id: closeArea
                anchors.fill: parent
                hoverEnabled: true
                onClicked: face.flash.fsCommand("IDC_FS_Close")
            }
        }
    }

    Text {
        objectName: "fileText"
        x: 16; y: 48
        width: parent.width - 32
        text: face.fileText
        elide: Text.ElideMiddle
        color: face.done ? Theme.accent : Theme.textMain
        font.pixelSize: 12
        Accessible.role: Accessible.StaticText
        Accessible.name: text
    }

    Rectangle {
        objectName: "progressBar"
        property int value: face.progress
        x: 16; y: 76
        width: parent.width - 32
        height: 14
        radius: 7
        color: "#202839"
        border.color: "#2a3347"
        Accessible.role: Accessible.ProgressBar
        Accessible.name: "Progress " + value + "%"
        Rectangle {
            width: Math.max(parent.height, parent.width * parent.value / 100)
            visible: parent.value > 0
            height: parent.height
            radius: parent.radius
            gradient: Gradient {
                orientation: Gradient.Horizontal
                GradientStop { position: 0; color: "#1f8f7a" }
                GradientStop { position: 1; color: Theme.accent }
            }
        }
    }
    Text {
        objectName: "progressText"
        anchors { right: parent.right; rightMargin: 16 }
        y: 96
        text: face.progress + "%"
        color: Theme.textDim
        font.pixelSize: 12
    }

    FaceButton {
        objectName: "cancelButton"
        visible: !face.done
        label: "Cancel"
        anchors { right: parent.right; rightMargin: 16; bottom: parent.bottom; bottomMargin: 16 }
        onClicked: face.flash.fsCommand("IDC_FS_Cancel")
    }
    FaceButton {
        objectName: "okButton"
        visible: face.done
        primary: true
        label: "OK"
        anchors { right: parent.right; rightMargin: 16; bottom: parent.bottom; bottomMargin: 16 }
        onClicked: face.flash.fsCommand("IDC_FS_OK")
    }
}
