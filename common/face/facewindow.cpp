#include "facewindow.h"

#include "dragwindow.h"
#include "right_click_filter.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QHideEvent>

namespace velune {

FaceWindow::FaceWindow(const QString& caption, QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::FramelessWindowHint), faceView_(new FaceView(this)) {
    setWindowTitle(caption);
}

// The filter goes before the window: it may not see a half-destroyed face.
FaceWindow::~FaceWindow() {
    RemoveFilter();
}

void FaceWindow::SetGeometry(std::optional<QPoint> topLeft, QSize window, QSize face) {
    if (topLeft)
        move(*topLeft);
    faceView_->setGeometry(QRect(QPoint(0, 0), face));
    setFixedSize(window);
}

void FaceWindow::Minimize() {
    showMinimized();
}

void FaceWindow::DragWindow() {
    velune::DragWindow(this);
}

void FaceWindow::EndProgram() {
    QCoreApplication::exit(0);
}

void FaceWindow::InstallFilter() {
    InstallRightClickFilter(this);
}

void FaceWindow::RemoveFilter() {
    RemoveRightClickFilter(this);
}

void FaceWindow::ShowModal() {
    setWindowModality(Qt::ApplicationModal);
    QEventLoop loop;
    const auto connection = connect(this, &FaceWindow::hidden, &loop, &QEventLoop::quit);
    show();
    if (isVisible())
        loop.exec();
    disconnect(connection);
}

bool FaceWindow::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate)
        emit activated();
    return QWidget::event(event);
}

void FaceWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // A minimised window is hidden by the system; only the program's own hide counts.
    if (!event->spontaneous())
        emit hidden();
}

} // namespace velune
