#include "right_click_filter.h"

#include "face_view.h"

#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

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
const char* const kFilteredProperty = "veluneRightClickFiltered";

// A class's own name, without its namespace.
QString ClassName(const QMetaObject& meta) {
    const QString name = QString::fromLatin1(meta.className());
    return name.mid(name.lastIndexOf(QLatin1Char(':')) + 1);
}
} // namespace

QWidget* FindFaceView(QWidget* window) {
    if (!window)
        return nullptr;
    const QString needle = ClassName(FaceView::staticMetaObject).toLower();
    for (QObject* child : window->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget && ClassName(*widget->metaObject()).toLower().contains(needle))
            return widget;
    }
    return nullptr;
}

void SetRightClickFilter(QWidget* faceView, bool enable) {
    if (!faceView)
        return;
    if (enable) {
        faceView->installEventFilter(&Filter());
    } else {
        faceView->removeEventFilter(&Filter());
    }
    faceView->setProperty(kFilteredProperty, enable);
}

bool HasRightClickFilter(const QWidget* faceView) {
    return faceView && faceView->property(kFilteredProperty).toBool();
}

void InstallRightClickFilter(QWidget* window) {
    SetRightClickFilter(FindFaceView(window), true);
}

void RemoveRightClickFilter(QWidget* window) {
    SetRightClickFilter(FindFaceView(window), false);
}

} // namespace velune
