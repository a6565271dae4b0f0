// A check box of the converter's main face with its label; `toggled` follows each press.
import QtQuick
import "converter_theme.js" as Theme

Rectangle {
    id: check
    property string label
    property bool checked: false
    signal toggled()
    width: checkLabel.implicitWidth + 30
    height: 22
    color: "transparent"
    Accessible.role: Accessible.CheckBox
    Accessible.name: label
    Accessible.checked: checked
    Accessible.onToggleAction: check.press()
    function press() {
        check.checked = !check.checked
        check.toggled()
    }
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
        onClicked: check.press()
    }
}
