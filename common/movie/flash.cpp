#include "flash.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QUrl>

namespace velune {

void FaceBridge::fsCommand(const QString& command, const QVariant& args) {
    const bool none = !args.isValid() || args.isNull();
    emit this->command(command, none ? QStringLiteral("undefined") : args.toString());
}

void FaceBridge::hostWrite(const QString& name, const QString& value) {
    store_.insert(name, value);
    emit variableSet(name, value);
}

namespace {
// Faces are small flat drawings: the software renderer draws them anywhere,
// with or without a GPU, on a desktop or offscreen.
void UseSoftwareRendering() {
    static const bool done = [] {
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
        return true;
    }();
    (void)done;
}
} // namespace

Flash::Flash(QWidget* parent) : QQuickWidget((UseSoftwareRendering(), parent)), bridge_(this) {
    setObjectName(QStringLiteral("Flash"));
    setResizeMode(QQuickWidget::SizeViewToRootObject);
    setFocusPolicy(Qt::StrongFocus);
    rootContext()->setContextProperty(QStringLiteral("flash"), &bridge_);
    connect(&bridge_, &FaceBridge::command, this, &Flash::FSCommand);
}

bool Flash::LoadMovie(int /*layer*/, const QString& path) {
    setSource(QUrl::fromLocalFile(path));
    return status() == QQuickWidget::Ready && rootObject() != nullptr;
}

void Flash::SetVariable(const QString& name, const QString& value) {
    bridge_.hostWrite(name, value);
}

QString Flash::GetVariable(const QString& name) const {
    return bridge_.variable(name);
}

} // namespace velune
