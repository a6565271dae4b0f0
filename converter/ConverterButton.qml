// A flat button of the converter's main face, with an optional glyph; `primary` fills it
// with the accent.
import QtQuick
import "converter_theme.js" as Theme

Rectangle {
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
