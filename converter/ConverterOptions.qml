// The converter's options used less often, in a panel over the face: the output's shape,
// the sources' times, damaged files, the ID3 version, ReplayGain's peak, and the names of
// the new files. It shows what the host writes and sends what the user presses.
pragma ComponentBehavior: Bound
import QtQuick
import Velune.Face
import "converter_theme.js" as Theme

Rectangle {
    id: options

    property FaceBridge flash: null
    // The output's shape as the host last said it: rate, channels, bits.
    property var shape: ({ "Rate": "source", "Channels": "source", "Bits": "auto" })
    // How many of the options differ from their defaults, for the button that opens the panel.
    readonly property int changed: Number(keepTimesBox.checked) + Number(damagedBox.checked)
        + Number(id3v23Box.checked) + Number(truePeakBox.checked) + Number(clippingBox.checked)
        + Number(shape["Rate"] !== "source") + Number(shape["Channels"] !== "source")
        + Number(shape["Bits"] !== "auto") + Number(patternField.text !== "")
    // The naming pattern's field or the panel is done with: the face takes the keys again.
    signal keysBack()

    visible: false
    color: "#cc0b0e14"

    ListModel { id: patterns }

    Connections {
        target: options.flash
        function onVariableSet(name, value) {
            if (name === "_root.SetPatterns") {
                patterns.clear()
                for (const p of options.flash.variable("_root.FillPatterns").split("|"))
                    patterns.append({ pattern: p })
            } else if (name === "_root.Pattern") {
                patternField.text = value
            } else if (name === "_root.KeepTimes") {
                keepTimesBox.checked = value === "1"
            } else if (name === "_root.AcceptDamaged") {
                damagedBox.checked = value === "1"
            } else if (name === "_root.Id3v23") {
                id3v23Box.checked = value === "1"
            } else if (name === "_root.TruePeak") {
                truePeakBox.checked = value === "1"
            } else if (name === "_root.PreventClipping") {
                clippingBox.checked = value === "1"
            } else if (name === "_root.Rate" || name === "_root.Channels" || name === "_root.Bits") {
                const shape = Object.assign({}, options.shape)
                shape[name.substring(6)] = value
                options.shape = shape
            }
        }
    }

    // Closes the panel; the face takes the keys again.
    function close() {
        patternMenu.visible = false
        options.visible = false
        options.keysBack()
    }

    // A press beside the panel closes it.
    MouseArea {
        objectName: "optionsOutside"
        anchors.fill: parent
        Accessible.role: Accessible.Button
        Accessible.name: "Close the options"
        onClicked: options.close()
    }

    component Heading: Text {
        color: Theme.textDim
        font.pixelSize: 11
        font.bold: true
        font.letterSpacing: 1.2
    }

    Rectangle {
        id: sheet
        objectName: "optionsSheet"
        anchors.centerIn: parent
        width: parent.width - 40
        height: 284
        radius: 12
        color: Theme.panel
        border.color: Theme.accent
        Accessible.role: Accessible.Dialog
        Accessible.name: "More options"
        // Presses on the panel stay in it.
        MouseArea { anchors.fill: parent }

        Heading { x: 16; y: 16; text: "MORE OPTIONS" }
        ConverterButton {
            objectName: "optionsDone"
            anchors { right: parent.right; rightMargin: 14 }
            y: 10
            label: "Done"
            implicitHeight: 28
            onClicked: options.close()
        }

        Heading { x: 16; y: 50; text: "THE NEW FILES" }
        // The output's shape: each press takes the next choice; the host says which holds.
        Row {
            x: 16; y: 70
            spacing: 6
            Repeater {
                model: [{ tag: "Rate", choices: ["source", "44100", "48000"], shown: ["Rate: source", "44.1 kHz", "48 kHz"] },
                        { tag: "Channels", choices: ["source", "stereo", "mono"], shown: ["Channels: source", "Stereo", "Mono"] },
                        { tag: "Bits", choices: ["auto", "16", "24"], shown: ["Bits: auto", "16 bits", "24 bits"] }]
                ConverterChip {
                    id: shapeChip
                    required property var modelData
                    readonly property int at: Math.max(0, modelData.choices.indexOf(options.shape[modelData.tag] || modelData.choices[0]))
                    objectName: "shape" + modelData.tag
                    text: modelData.shown[at]
                    chosen: at > 0
                    height: 24
                    Accessible.role: Accessible.Button
                    onClicked: options.flash.fsCommand("IDC_FS_" + shapeChip.modelData.tag,
                        shapeChip.modelData.choices[(shapeChip.at + 1) % shapeChip.modelData.choices.length])
                }
            }
        }
        ConverterCheck {
            id: keepTimesBox
            objectName: "keepTimesCheck"
            x: 16; y: 104
            label: "Keep the sources' times"
            onToggled: options.flash.fsCommand("IDC_FS_KeepTimes", checked ? "on" : "off")
        }
        ConverterCheck {
            id: id3v23Box
            objectName: "id3v23Check"
            x: 300; y: 104
            label: "Write ID3v2.3 tags, for older players"
            onToggled: options.flash.fsCommand("IDC_FS_Id3v23", checked ? "on" : "off")
        }
        ConverterCheck {
            id: damagedBox
            objectName: "acceptDamagedCheck"
            x: 16; y: 130
            label: "Convert damaged files as far as they play"
            onToggled: options.flash.fsCommand("IDC_FS_AcceptDamaged", checked ? "on" : "off")
        }

        Heading { x: 16; y: 166; text: "REPLAYGAIN" }
        ConverterCheck {
            id: truePeakBox
            objectName: "truePeakCheck"
            x: 16; y: 184
            label: "ReplayGain: true peak"
            onToggled: options.flash.fsCommand("IDC_FS_TruePeak", checked ? "on" : "off")
        }
        ConverterCheck {
            id: clippingBox
            objectName: "preventClippingCheck"
            x: 300; y: 184
            label: "ReplayGain: prevent clipping"
            onToggled: options.flash.fsCommand("IDC_FS_PreventClipping", checked ? "on" : "off")
        }

        // Names: after the sources (empty), or a pattern typed or chosen from the offers.
        Heading { x: 16; y: 220; text: "NAMES" }
        Rectangle {
            id: patternBox
            x: 16; y: 240
            width: parent.width - 16 - 14 - 104
            height: 28
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
                Keys.onReturnPressed: (event) => { options.keysBack(); event.accepted = true }
                Keys.onEnterPressed: (event) => { options.keysBack(); event.accepted = true }
                onEditingFinished: options.flash.fsCommand("IDC_FS_Pattern", text)
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
        ConverterButton {
            objectName: "patternsButton"
            anchors { right: parent.right; rightMargin: 14 }
            y: 240
            label: "Patterns ▾"
            implicitWidth: 96
            implicitHeight: 28
            onClicked: patternMenu.visible = !patternMenu.visible
        }

        // The naming patterns offered; a choice is sent as if typed.
        Rectangle {
            id: patternMenu
            objectName: "patternMenu"
            visible: false
            anchors { right: parent.right; rightMargin: 14; bottom: patternBox.top; bottomMargin: 4 }
            width: 360
            height: patternColumn.height + 12
            radius: 8
            color: "#202839"
            border.color: Theme.accent
            Accessible.role: Accessible.PopupMenu
            Accessible.name: "Naming patterns"
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
                                options.flash.fsCommand("IDC_FS_Pattern", offer.pattern)
                            }
                        }
                    }
                }
            }
        }
    }
}
