#include "hookr.h"

#include "flash.h"

#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>

namespace velune::Hookr {

bool MovieWndProc::eventFilter(QObject* watched, QEvent* event) {
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
MovieWndProc& Filter() {
    static MovieWndProc filter;
    return filter;
}
const char* const kHookedProperty = "veluneMovieHooked";

// A class's own name, without its namespace.
QString ClassName(const QMetaObject& meta) {
    const QString name = QString::fromLatin1(meta.className());
    return name.mid(name.lastIndexOf(QLatin1Char(':')) + 1);
}
} // namespace

QWidget* FindMovieWindow(QWidget* form) {
    if (!form)
        return nullptr;
    const QString needle = ClassName(Flash::staticMetaObject).toLower();
    for (QObject* child : form->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget && ClassName(*widget->metaObject()).toLower().contains(needle))
            return widget;
    }
    return nullptr;
}

void SetMovieHook(QWidget* window, bool enable) {
    if (!window)
        return;
    if (enable) {
        window->installEventFilter(&Filter());
    } else {
        window->removeEventFilter(&Filter());
    }
    window->setProperty(kHookedProperty, enable);
}

bool IsHooked(const QWidget* window) {
    return window && window->property(kHookedProperty).toBool();
}

void HookFlash(QWidget* form) {
    SetMovieHook(FindMovieWindow(form), true);
}

void UnhookFlash(QWidget* form) {
    SetMovieHook(FindMovieWindow(form), false);
}

} // namespace velune::Hookr
