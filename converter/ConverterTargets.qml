// The converter's targets: the formats with the qualities of the one chosen, where the new
// files go, the options used most, and the button that opens the others. It shows what the
// host writes and sends what the user presses.
pragma ComponentBehavior: Bound
import QtQuick
import Velune.Face
import "converter_theme.js" as Theme

Rectangle {
    id: targets

    property FaceBridge flash: null
    property int currentFormat: 0
    property string currentQuality: ""
    property bool sameFolder: true
    property string browsedPath: ""
    // How many of the options in the panel differ from their defaults.
    property int optionsChanged: 0
    // The options used less often are asked for.
    signal optionsAsked()

    radius: 10
    color: Theme.panel
    border.color: Theme.panelEdge

    ListModel { id: formats }
    ListModel { id: qualities }

    Connections {
        target: targets.flash
        function onVariableSet(name, value) {
            if (name === "_root.SetCombo") {
                formats.clear()
                for (const f of targets.flash.variable("_root.FillCombo").split("|"))
                    if (f.length > 0) formats.append({ format: f })
                targets.currentFormat = 0
            } else if (name === "_root.Format") {
                for (let i = 0; i < formats.count; ++i)
                    if (formats.get(i).format === value) targets.currentFormat = i
            } else if (name === "_root.SetQuality") {
                qualities.clear()
                for (const q of targets.flash.variable("_root.FillQuality").split("|"))
                    if (q.length > 0) qualities.append({ quality: q })
                targets.currentQuality = targets.flash.variable("_root.QualityValue")
            } else if (name === "_root.ReplayGain") {
                replayGainBox.checked = value === "1"
            } else if (name === "_root.SkipExisting") {
                skipBox.checked = value === "1"
            } else if (name === "_root.CopySame") {
                copyBox.checked = value === "1"
            } else if (name === "_root.SetBrowsePath") {
                targets.browsedPath = targets.flash.variable("_root.BrowsePath")
                targets.sameFolder = false
            }
        }
    }

    Text {
        x: 14; y: 10
        text: "CONVERT TO"
        color: Theme.textDim
        font.pixelSize: 11
        font.bold: true
        font.letterSpacing: 1.2
    }
    Row {
        x: 14; y: 28
        spacing: 6
        Repeater {
            model: formats
            ConverterChip {
                id: chip
                required property int index
                required property string format
                objectName: "format_" + format
                text: format.toUpperCase()
                chosen: targets.currentFormat === index
                minimumWidth: 50
                height: 28
                fontSize: 12
                bold: true
                Accessible.name: format
                onClicked: {
                    targets.currentFormat = chip.index
                    targets.flash.fsCommand("IDC_FS_ConvertTo", chip.format)
                }
            }
        }
    }
    ConverterButton {
        objectName: "optionsButton"
        anchors { right: parent.right; rightMargin: 14 }
        y: 60
        label: targets.optionsChanged > 0 ? "More options (" + targets.optionsChanged + " on)"
                                          : "More options…"
        implicitHeight: 28
        onClicked: targets.optionsAsked()
    }

    // The qualities the chosen format takes; none for the lossless ones.
    Row {
        x: 14; y: 64
        spacing: 4
        Repeater {
            model: qualities
            ConverterChip {
                id: qualityChip
                required property string quality
                objectName: "quality_" + quality
                text: quality.toUpperCase()
                chosen: targets.currentQuality === quality
                Accessible.name: "Quality " + quality
                onClicked: {
                    targets.currentQuality = qualityChip.quality
                    targets.flash.fsCommand("IDC_FS_Quality", qualityChip.quality)
                }
            }
        }
    }

    // Where the new files go: beside their sources, or in a folder chosen.
    Row {
        id: folderButtons
        x: 14; y: 98
        spacing: 6
        Text {
            height: 28
            verticalAlignment: Text.AlignVCenter
            text: "Save to"
            color: Theme.textMain
            font.pixelSize: 12
        }
        ConverterButton {
            objectName: "sameFolderButton"
            label: "Same folder as source"
            implicitHeight: 28
            border.color: targets.sameFolder ? Theme.accent : Theme.panelEdge
            onClicked: {
                targets.sameFolder = true
                targets.flash.fsCommand("IDC_FS_SameDirectory")
            }
        }
        ConverterButton {
            objectName: "browseButton"
            label: "Browse…"
            implicitWidth: 86
            implicitHeight: 28
            border.color: targets.sameFolder ? Theme.panelEdge : Theme.accent
            onClicked: targets.flash.fsCommand("IDC_FS_Browse")
        }
    }
    Text {
        objectName: "outputFolderText"
        anchors { left: folderButtons.right; leftMargin: 12; right: parent.right; rightMargin: 14
                  verticalCenter: folderButtons.verticalCenter }
        text: targets.sameFolder ? "Beside each source file" : targets.browsedPath
        elide: Text.ElideMiddle
        color: targets.sameFolder ? Theme.textDim : Theme.accent
        font.pixelSize: 12
        Accessible.role: Accessible.StaticText
        Accessible.name: text
    }

    ConverterCheck {
        id: deleteBox
        objectName: "deleteSourcesCheck"
        x: 14; y: 136
        label: "Delete source files after conversion"
        onToggled: targets.flash.fsCommand(checked ? "IDC_FS_Selected" : "IDC_FS_UnSelected")
    }
    ConverterCheck {
        id: replayGainBox
        objectName: "replayGainCheck"
        x: 306; y: 136
        label: "Write ReplayGain tags"
        onToggled: targets.flash.fsCommand("IDC_FS_ReplayGain", checked ? "on" : "off")
    }
    ConverterCheck {
        id: skipBox
        objectName: "skipExistingCheck"
        x: 14; y: 162
        label: "Skip files already converted"
        onToggled: targets.flash.fsCommand("IDC_FS_SkipExisting", checked ? "on" : "off")
    }
    ConverterCheck {
        id: copyBox
        objectName: "copySameCheck"
        x: 306; y: 162
        label: "Copy files already in the target format"
        onToggled: targets.flash.fsCommand("IDC_FS_CopySame", checked ? "on" : "off")
    }
}
