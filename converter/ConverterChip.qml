// A round chip of the converter's main face: a format, a quality or a choice of the
// output's shape, filled with the accent while chosen.
import QtQuick
import "converter_theme.js" as Theme

Rectangle {
    id: chip
    property string text
    property bool chosen: false
    property int minimumWidth: 36
    property alias fontSize: caption.font.pixelSize
    property alias bold: caption.font.bold
    signal clicked()
    width: Math.max(minimumWidth, caption.implicitWidth + 16)
    height: 22
    radius: height / 2
    color: chosen ? Theme.accent : "#202839"
    border.color: chosen ? Theme.accent : Theme.panelEdge
    Accessible.role: Accessible.RadioButton
    Accessible.name: text
    Accessible.checked: chosen
    Accessible.onPressAction: chip.clicked()
    Text {
        id: caption
        anchors.centerIn: parent
        text: chip.text
        color: chip.chosen ? "#0d1a17" : Theme.textMain
        font.pixelSize: 11
    }
    MouseArea {
        anchors.fill: parent
        onClicked: chip.clicked()
    }
}
