#include "facewindow.h"

#include "right_click_filter.h"

#include <QGuiApplication>
#include <QEventLoop>
#include <QHideEvent>
#include <QQuickItem>

namespace velune {

FaceWindow::FaceWindow(const QString& caption, QWindow* owner) {
    setFlags(Qt::Window | Qt::FramelessWindowHint);
    setTransientParent(owner);
    setTitle(caption);
    // Told once the system's activation is over, as what it starts may close other
    // windows; a window under another's modal one is not the user's yet.
    connect(
        this, &QWindow::activeChanged, this,
        [this] {
            const QWindow* modal = QGuiApplication::modalWindow();
            if (isActive() && (!modal || modal == this))
                emit activated();
        },
        Qt::QueuedConnection);
}

// The filter goes before the window: it may not see a half-destroyed face.
FaceWindow::~FaceWindow() {
    RemoveFilter();
}

void FaceWindow::SetGeometry(std::optional<QPoint> topLeft, QSize window, QSize face) {
    if (topLeft)
        setPosition(*topLeft);
    if (QQuickItem* root = rootObject())
        root->setSize(face);
    setMinimumSize(window);
    setMaximumSize(window);
    resize(window);
}

void FaceWindow::Minimize() {
    showMinimized();
}

void FaceWindow::DragWindow() {
    startSystemMove();
}

void FaceWindow::EndProgram() {
    QCoreApplication::exit(0);
}

void FaceWindow::InstallFilter() {
    SetRightClickFilter(this, true);
}

void FaceWindow::RemoveFilter() {
    SetRightClickFilter(this, false);
}

void FaceWindow::ShowModal() {
    setModality(Qt::ApplicationModal);
    QEventLoop loop;
    const auto connection = connect(this, &FaceWindow::hidden, &loop, &QEventLoop::quit);
    show();
    if (isVisible())
        loop.exec();
    disconnect(connection);
}

void FaceWindow::hideEvent(QHideEvent* event) {
    FaceView::hideEvent(event);
    // A minimised window is hidden by the system; only the program's own hide counts.
    if (!event->spontaneous())
        emit hidden();
}

} // namespace velune
