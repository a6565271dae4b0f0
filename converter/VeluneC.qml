// The converter's face: draws the main window and sends what the user presses.
pragma ComponentBehavior: Bound
import QtQuick
import Velune.Face
import "facelist.js" as FaceList
import "converter_theme.js" as Theme

Rectangle {
    id: face

    // The host: what the face sends and the variables it reads.
    property FaceBridge flash: null
    // The output's shape as the host last said it: rate, channels, bits.
    property var shape: ({ "Rate": "source", "Channels": "source", "Bits": "auto" })
    width: 620
    height: 604
    color: "#12161f"


    property bool sameFolder: true
    property string browsedPath: ""
    property string versionText: ""
    property int currentFormat: 0
    property string currentQuality: ""

    ListModel { id: files }
    ListModel { id: formats }
    ListModel { id: qualities }
    ListModel { id: patterns }

    // The face removes its chosen row and tells the host which one (or that none is).
    function removeChosen() {
        const row = fileList.currentIndex
        if (row < 0) {
            face.flash.fsCommand("IDC_FS_Remove")
            return
        }
        files.remove(row)
        fileList.currentIndex = -1
        face.flash.fsCommand("IDC_FS_Remove", String(row))
    }

    // Keys: each sends what its button sends.
    focus: true
    border.width: activeFocus ? 1 : 0
    border.color: Theme.accent
    Keys.onPressed: (event) => {
        const key = event.key
        if (key === Qt.Key_Delete)
            face.removeChosen()
        else if (key === Qt.Key_O && (event.modifiers & Qt.ControlModifier))
            face.flash.fsCommand("IDC_FS_Add")
        else if (key === Qt.Key_Return || key === Qt.Key_Enter)
            face.flash.fsCommand("IDC_FS_Convert")
        else
            return
        event.accepted = true
    }

    Connections {
        target: face.flash
        function onVariableSet(name, value) {
            if (name === "_root.SetCombo") {
                formats.clear()
                for (const f of face.flash.variable("_root.FillCombo").split("|"))
                    if (f.length > 0) formats.append({ format: f })
                face.currentFormat = 0
            } else if (name === "_root.Format") {
                for (let i = 0; i < formats.count; ++i)
                    if (formats.get(i).format === value) face.currentFormat = i
            } else if (name === "_root.SetQuality") {
                qualities.clear()
                for (const q of face.flash.variable("_root.FillQuality").split("|"))
                    if (q.length > 0) qualities.append({ quality: q })
                face.currentQuality = face.flash.variable("_root.QualityValue")
            } else if (name === "_root.ReplayGain") {
                replayGainBox.checked = value === "1"
            } else if (name === "_root.SetPatterns") {
                patterns.clear()
                for (const p of face.flash.variable("_root.FillPatterns").split("|"))
                    patterns.append({ pattern: p })
            } else if (name === "_root.Pattern") {
                patternField.text = value
            } else if (name === "_root.SkipExisting") {
                skipBox.checked = value === "1"
            } else if (name === "_root.CopySame") {
                copyBox.checked = value === "1"
            } else if (name === "_root.AcceptDamaged") {
                damagedBox.checked = value === "1"
            } else if (name === "_root.KeepTimes") {
                keepTimesBox.checked = value === "1"
            } else if (name === "_root.TruePeak") {
                truePeakBox.checked = value === "1"
            } else if (name === "_root.PreventClipping") {
                clippingBox.checked = value === "1"
            } else if (name === "_root.Rate" || name === "_root.Channels" || name === "_root.Bits") {
                const shape = Object.assign({}, face.shape)
                shape[name.substring(6)] = value
                face.shape = shape
            } else if (name === "_root.SetAddedFiles") {
                // One append for the whole batch: a library's rows come at once.
                files.append(FaceList.rows(face.flash.variable("_root.AddedFiles"))
                             .map(p => ({ path: p })))
            } else if (name === "_root.RemoveAll") {
                files.clear()
                fileList.currentIndex = -1
            } else if (name === "_root.SetBrowsePath") {
                face.browsedPath = face.flash.variable("_root.BrowsePath")
                face.sameFolder = false
            } else if (name === "_root.VersionNo") {
                face.versionText = value
            }
        }
    }

    // A flat button with an optional glyph; `primary` fills it with the accent.
    component FaceButton: Rectangle {
        id: button
        property string label
        property string glyph: ""
        property bool primary: false
        signal clicked()
        implicitWidth: Math.max(96, caption.implicitWidth + (glyph ? 46 : 30))
        implicitHeight: 34
        radius: height / 2
        color: primary ? (area.pressed ? Theme.accentDark : Theme.accent)
                       : (area.pressed ? "#2c3650" : area.containsMouse ? "#26304a" : "#202839")
        border.color: primary ? "transparent" : Theme.panelEdge
        Accessible.role: Accessible.Button
        Accessible.name: label
        Accessible.onPressAction: button.clicked()
        Row {
            anchors.centerIn: parent
            spacing: 7
            Text {
                visible: button.glyph !== ""
                text: button.glyph
                color: button.primary ? "#0d1a17" : Theme.accent
                font.pixelSize: 15
                font.bold: true
                anchors.verticalCenter: parent.verticalCenter
            }
            Text {
                id: caption
                text: button.label
                color: button.primary ? "#0d1a17" : Theme.textMain
                font.pixelSize: 13
                font.bold: button.primary
                anchors.verticalCenter: parent.verticalCenter
            }
        }
        MouseArea {
            id: area
            anchors.fill: parent
            hoverEnabled: true
            onClicked: button.clicked()
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

    component SectionTitle: Text {
        color: Theme.textDim
        font.pixelSize: 11
        font.bold: true
        font.letterSpacing: 1.2
    }

    // Title bar: the whole strip drags the window.
    Rectangle {
        id: titleBar
        anchors { left: parent.left; right: parent.right; top: parent.top }
        height: 58
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
                width: 34; height: 34; radius: 17
                color: Theme.accent
                anchors.verticalCenter: parent.verticalCenter
                Row {
                    anchors.centerIn: parent
                    spacing: 3
                    Repeater {
                        model: [8, 16, 22, 12, 18]
                        Rectangle {
                            required property int modelData
                            width: 3; height: modelData; radius: 1.5
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
                    font.pixelSize: 18
                    font.bold: true
                }
                Text {
                    text: "audio to WAV · MP3 · OGG Vorbis · FLAC · Opus"
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

    // A check box with its label; `toggled` follows each press.
    component FaceCheck: Rectangle {
        id: check
        property string label
        property bool checked: false
        signal toggled()
        width: checkLabel.implicitWidth + 30; height: 22
        color: "transparent"
        Accessible.role: Accessible.CheckBox
        Accessible.name: label
        Accessible.checked: checked
        Rectangle {
            width: 18; height: 18; radius: 4
            anchors.verticalCenter: parent.verticalCenter
            color: check.checked ? "#c9544f" : "transparent"
            border.color: check.checked ? "#c9544f" : Theme.textDim
            Text {
                anchors.centerIn: parent
                visible: check.checked
                text: "✓"
                color: "white"
                font.pixelSize: 13
                font.bold: true
            }
        }
        Text {
            id: checkLabel
            x: 26
            anchors.verticalCenter: parent.verticalCenter
            text: check.label
            color: Theme.textMain
            font.pixelSize: 12
        }
        MouseArea {
            anchors.fill: parent
            onClicked: {
                check.checked = !check.checked
                check.toggled()
            }
        }
    }

    // The file list.
    Rectangle {
        id: listPanel
        x: 16; y: 72
        width: parent.width - 32
        height: 140
        radius: 10
        color: Theme.panel
        border.color: Theme.panelEdge

        SectionTitle {
            x: 14; y: 10
            text: "FILES TO CONVERT"
        }
        Text {
            anchors { right: parent.right; rightMargin: 14; top: parent.top; topMargin: 9 }
            text: files.count === 1 ? "1 file" : files.count + " files"
            color: Theme.textDim
            font.pixelSize: 11
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
        x: 16; y: 222
        spacing: 8
        FaceButton {
            objectName: "addButton"
            label: "Add"
            glyph: "+"
            onClicked: face.flash.fsCommand("IDC_FS_Add")
        }
        FaceButton {
            objectName: "removeButton"
            label: "Remove"
            glyph: "−"
            onClicked: face.removeChosen()
        }
        FaceButton {
            objectName: "removeAllButton"
            label: "Remove all"
            onClicked: face.flash.fsCommand("IDC_FS_RemoveAll")
        }
        FaceButton {
            objectName: "addFolderButton"
            label: "Add folder"
            glyph: "+"
            onClicked: face.flash.fsCommand("IDC_FS_AddFolder")
        }
    }

    // Settings: format, output folder, options, names.
    Rectangle {
        id: settingsPanel
        x: 16; y: 266
        width: parent.width - 32
        height: 274
        radius: 10
        color: Theme.panel
        border.color: Theme.panelEdge

        SectionTitle { x: 14; y: 12; text: "CONVERT TO" }
        Row {
            x: 14; y: 32
            spacing: 6
            Repeater {
                model: formats
                Rectangle {
                    id: chip
                    required property int index
                    required property string format
                    objectName: "format_" + format
                    width: 48; height: 28; radius: 14
                    color: face.currentFormat === index ? Theme.accent : "#202839"
                    border.color: face.currentFormat === index ? Theme.accent : Theme.panelEdge
                    Accessible.role: Accessible.RadioButton
                    Accessible.name: format
                    Accessible.checked: face.currentFormat === index
                    Text {
                        anchors.centerIn: parent
                        text: chip.format.toUpperCase()
                        color: face.currentFormat === chip.index ? "#0d1a17" : Theme.textMain
                        font.pixelSize: 12
                        font.bold: true
                    }
                    MouseArea {
                        anchors.fill: parent
                        onClicked: {
                            face.currentFormat = chip.index
                            face.flash.fsCommand("IDC_FS_ConvertTo", chip.format)
                        }
                    }
                }
            }
        }

        // The qualities the chosen format takes; none for WAV and FLAC.
        Row {
            x: 14; y: 66
            spacing: 4
            Repeater {
                model: qualities
                Rectangle {
                    id: qualityChip
                    required property string quality
                    objectName: "quality_" + quality
                    readonly property bool chosen: face.currentQuality === quality
                    width: 36; height: 22; radius: 11
                    color: chosen ? Theme.accent : "#202839"
                    border.color: chosen ? Theme.accent : Theme.panelEdge
                    Accessible.role: Accessible.RadioButton
                    Accessible.name: "Quality " + quality
                    Accessible.checked: chosen
                    Text {
                        anchors.centerIn: parent
                        text: qualityChip.quality.toUpperCase()
                        color: qualityChip.chosen ? "#0d1a17" : Theme.textMain
                        font.pixelSize: 11
                    }
                    MouseArea {
                        anchors.fill: parent
                        onClicked: {
                            face.currentQuality = qualityChip.quality
                            face.flash.fsCommand("IDC_FS_Quality", qualityChip.quality)
                        }
                    }
                }
            }
        }

        FaceCheck {
            id: deleteBox
            objectName: "deleteSourcesCheck"
            x: 14; y: 98
            label: "Delete source files after conversion"
            onToggled: face.flash.fsCommand(checked ? "IDC_FS_Selected" : "IDC_FS_UnSelected")
        }
        FaceCheck {
            id: replayGainBox
            objectName: "replayGainCheck"
            x: 306; y: 98
            label: "Write ReplayGain tags"
            onToggled: face.flash.fsCommand("IDC_FS_ReplayGain", checked ? "on" : "off")
        }

        FaceCheck {
            id: skipBox
            objectName: "skipExistingCheck"
            x: 14; y: 126
            label: "Skip files already converted"
            onToggled: face.flash.fsCommand("IDC_FS_SkipExisting", checked ? "on" : "off")
        }

        FaceCheck {
            id: copyBox
            objectName: "copySameCheck"
            x: 306; y: 126
            label: "Copy files already in the target format"
            onToggled: face.flash.fsCommand("IDC_FS_CopySame", checked ? "on" : "off")
        }
        FaceCheck {
            id: keepTimesBox
            objectName: "keepTimesCheck"
            x: 14; y: 154
            label: "Keep the sources' times"
            onToggled: face.flash.fsCommand("IDC_FS_KeepTimes", checked ? "on" : "off")
        }
        // The output's shape: each press takes the next choice; the host says which holds.
        Row {
            x: 306; y: 154
            spacing: 4
            Repeater {
                model: [{ tag: "Rate", choices: ["source", "44100", "48000"], shown: ["Rate: source", "44.1 kHz", "48 kHz"] },
                        { tag: "Channels", choices: ["source", "stereo", "mono"], shown: ["Channels: source", "Stereo", "Mono"] },
                        { tag: "Bits", choices: ["auto", "16", "24"], shown: ["Bits: auto", "16 bits", "24 bits"] }]
                Rectangle {
                    id: shapeChip
                    required property var modelData
                    readonly property int at: Math.max(0, modelData.choices.indexOf(face.shape[modelData.tag] || modelData.choices[0]))
                    objectName: "shape" + modelData.tag
                    width: shapeText.implicitWidth + 16; height: 22; radius: 11
                    color: at > 0 ? Theme.accent : "#202839"
                    border.color: at > 0 ? Theme.accent : Theme.panelEdge
                    Accessible.role: Accessible.Button
                    Accessible.name: modelData.shown[at]
                    Text {
                        id: shapeText
                        anchors.centerIn: parent
                        text: shapeChip.modelData.shown[shapeChip.at]
                        color: shapeChip.at > 0 ? "#0d1a17" : Theme.textMain
                        font.pixelSize: 11
                    }
                    MouseArea {
                        anchors.fill: parent
                        onClicked: face.flash.fsCommand("IDC_FS_" + shapeChip.modelData.tag,
                            shapeChip.modelData.choices[(shapeChip.at + 1) % shapeChip.modelData.choices.length])
                    }
                }
            }
        }

        FaceCheck {
            id: truePeakBox
            objectName: "truePeakCheck"
            x: 14; y: 182
            label: "ReplayGain: true peak"
            onToggled: face.flash.fsCommand("IDC_FS_TruePeak", checked ? "on" : "off")
        }
        FaceCheck {
            id: clippingBox
            objectName: "preventClippingCheck"
            x: 306; y: 182
            label: "ReplayGain: prevent clipping"
            onToggled: face.flash.fsCommand("IDC_FS_PreventClipping", checked ? "on" : "off")
        }

        FaceCheck {
            id: damagedBox
            objectName: "acceptDamagedCheck"
            x: 14; y: 238
            label: "Convert damaged files as far as they play"
            onToggled: face.flash.fsCommand("IDC_FS_AcceptDamaged", checked ? "on" : "off")
        }

        // Names: after the sources (empty), or a pattern typed or chosen from the offers.
        Text {
            x: 14; y: 210
            height: 26
            verticalAlignment: Text.AlignVCenter
            text: "Names"
            color: Theme.textMain
            font.pixelSize: 12
        }
        Rectangle {
            x: 64; y: 210
            width: parent.width - 64 - 14 - 104
            height: 26
            radius: 6
            color: "#0f131b"
            border.color: patternField.activeFocus ? Theme.accent : Theme.panelEdge
            TextInput {
                id: patternField
                objectName: "patternField"
                anchors { fill: parent; leftMargin: 8; rightMargin: 8 }
                verticalAlignment: TextInput.AlignVCenter
                clip: true
                color: Theme.textMain
                selectionColor: Theme.accentDark
                font.pixelSize: 12
                Accessible.role: Accessible.EditableText
                Accessible.name: "Naming pattern"
                // Enter hands the text over rather than starting the conversion.
                Keys.onReturnPressed: (event) => { face.forceActiveFocus(); event.accepted = true }
                Keys.onEnterPressed: (event) => { face.forceActiveFocus(); event.accepted = true }
                onEditingFinished: face.flash.fsCommand("IDC_FS_Pattern", text)
            }
            Text {
                anchors { fill: parent; leftMargin: 8; rightMargin: 8 }
                verticalAlignment: Text.AlignVCenter
                visible: patternField.text === "" && !patternField.activeFocus
                text: "Named after the source files, or type a pattern: {artist}/{album}/{track:02} {title}"
                elide: Text.ElideRight
                color: Theme.textDim
                font.pixelSize: 12
            }
        }
        FaceButton {
            objectName: "patternsButton"
            x: parent.width - 14 - 96; y: 209
            label: "Patterns ▾"
            implicitWidth: 96
            implicitHeight: 28
            onClicked: patternMenu.visible = !patternMenu.visible
        }

        SectionTitle { x: 306; y: 12; text: "SAVE CONVERTED FILES" }
        Row {
            x: 306; y: 32
            spacing: 6
            FaceButton {
                objectName: "sameFolderButton"
                label: "Same folder as source"
                implicitHeight: 28
                border.color: face.sameFolder ? Theme.accent : Theme.panelEdge
                onClicked: {
                    face.sameFolder = true
                    face.flash.fsCommand("IDC_FS_SameDirectory")
                }
            }
            FaceButton {
                objectName: "browseButton"
                label: "Browse…"
                implicitWidth: 86
                implicitHeight: 28
                border.color: face.sameFolder ? Theme.panelEdge : Theme.accent
                onClicked: face.flash.fsCommand("IDC_FS_Browse")
            }
        }
        Text {
            objectName: "outputFolderText"
            x: 306; y: 72
            width: parent.width - 320
            text: face.sameFolder ? "Beside each source file" : face.browsedPath
            elide: Text.ElideMiddle
            color: face.sameFolder ? Theme.textDim : Theme.accent
            font.pixelSize: 12
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
    }

    // Footer: help, player, about and the big Convert.
    Row {
        x: 16
        anchors { bottom: parent.bottom; bottomMargin: 16 }
        spacing: 8
        FaceButton {
            objectName: "helpButton"
            label: "Help"
            glyph: "?"
            implicitWidth: 84
            onClicked: face.flash.fsCommand("IDC_FS_Help")
        }
        FaceButton {
            objectName: "playerButton"
            label: "Player"
            glyph: "▶"
            implicitWidth: 96
            onClicked: face.flash.fsCommand("IDC_FS_Player")
        }
        FaceButton {
            objectName: "aboutButton"
            label: "About"
            glyph: "i"
            implicitWidth: 90
            onClicked: {
                face.flash.fsCommand("IDC_FS_About")
                about.visible = true
            }
        }
    }
    FaceButton {
        objectName: "convertButton"
        label: "Convert"
        glyph: "⟳"
        primary: true
        implicitWidth: 170
        implicitHeight: 40
        anchors { right: parent.right; rightMargin: 16; bottom: parent.bottom; bottomMargin: 13 }
        onClicked: face.flash.fsCommand("IDC_FS_Convert")
    }

    // The naming patterns offered; a choice is sent as if typed.
    Rectangle {
        id: patternMenu
        objectName: "patternMenu"
        visible: false
        x: settingsPanel.x + settingsPanel.width - width - 14
        y: settingsPanel.y + 206 - height
        width: 360
        height: patternColumn.height + 12
        radius: 8
        color: "#202839"
        border.color: Theme.accent
        Column {
            id: patternColumn
            x: 6; y: 6
            width: parent.width - 12
            Repeater {
                model: patterns
                Rectangle {
                    id: offer
                    required property int index
                    required property string pattern
                    objectName: "pattern" + index
                    width: patternColumn.width
                    height: 26
                    radius: 5
                    color: offerArea.containsMouse ? "#2c3650" : "transparent"
                    Accessible.role: Accessible.MenuItem
                    Accessible.name: offerText.text
                    Text {
                        id: offerText
                        anchors { left: parent.left; leftMargin: 8; verticalCenter: parent.verticalCenter }
                        text: offer.pattern === "" ? "Named after the source files" : offer.pattern
                        color: Theme.textMain
                        font.pixelSize: 12
                    }
                    MouseArea {
                        id: offerArea
                        anchors.fill: parent
                        hoverEnabled: true
                        onClicked: {
                            patternMenu.visible = false
                            patternField.text = offer.pattern
                            face.flash.fsCommand("IDC_FS_Pattern", offer.pattern)
                        }
                    }
                }
            }
        }
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
