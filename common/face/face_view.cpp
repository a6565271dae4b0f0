#include "face_view.h"

#include <QQmlComponent>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QUrl>

// Registers Velune.Face's types (made by the build from FaceBridge).
void qml_register_types_Velune_Face();

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

FaceView::FaceView() : QQuickWindow((UseSoftwareRendering(), static_cast<QWindow*>(nullptr))) {
    setObjectName(QStringLiteral("FaceView"));
    qml_register_types_Velune_Face();
    connect(&bridge_, &FaceBridge::command, this, &FaceView::command);
}

// The face goes before its engine and the window it is drawn in.
FaceView::~FaceView() {
    root_.reset();
}

bool FaceView::LoadFace(const QString& path) {
    QQmlComponent component(&engine_, QUrl::fromLocalFile(path));
    std::unique_ptr<QObject> made(component.create());
    auto* item = qobject_cast<QQuickItem*>(made.get());
    if (!item) {
        for (const QQmlError& error : component.errors())
            qCWarning(lcFace) << error.toString();
        return false;
    }
    root_.reset(item);
    (void)made.release(); // now root_'s
    item->setParentItem(contentItem());
    resize(item->size().toSize());
    // A face has a `flash` property of type FaceBridge; it has no other way to the host.
    return item->setProperty("flash", QVariant::fromValue(&bridge_));
}

void FaceView::SetVariable(const QString& name, const QString& value) {
    bridge_.hostWrite(name, value);
}

QString FaceView::GetVariable(const QString& name) const {
    return bridge_.variable(name);
}

} // namespace velune
