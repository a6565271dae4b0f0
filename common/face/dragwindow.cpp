#include "dragwindow.h"

#include <QWidget>
#include <QWindow>

namespace velune {

void DragWindow(QWidget* form) {
    if (!form)
        return;
    if (QWindow* handle = form->window()->windowHandle())
        handle->startSystemMove();
}

} // namespace velune
