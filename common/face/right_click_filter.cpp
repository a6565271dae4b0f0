#include "right_click_filter.h"

#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>

namespace velune {

bool RightClickFilter::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::RightButton)
            return true;
        break;
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Menu)
            return true;
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

namespace {
RightClickFilter& Filter() {
    static RightClickFilter filter;
    return filter;
}
} // namespace

void SetRightClickFilter(QObject* faceView, bool enable) {
    if (!faceView)
        return;
    if (enable)
        faceView->installEventFilter(&Filter());
    else
        faceView->removeEventFilter(&Filter());
}

} // namespace velune
