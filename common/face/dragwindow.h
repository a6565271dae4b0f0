#pragma once

class QWidget;

namespace velune {

// Starts moving the borderless window under the mouse; the window follows the
// mouse while the button that sent the press is held.
void DragWindow(QWidget* form);

} // namespace velune
