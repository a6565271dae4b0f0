#pragma once

#include "face.h"

#include <QHash>
#include <QObject>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QVariant>
#include <QtQml/qqmlregistration.h>
#include <memory>

namespace velune {

// The object a face sees as its `flash` property: one store of variables shared
// by host and face. Faces import it as Velune.Face's FaceBridge.
class FaceBridge : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(FaceBridge)
    QML_UNCREATABLE("The host gives each face its bridge.")
public:
    using QObject::QObject;

    // Face -> host. A face that gives no value sends "undefined".
    Q_INVOKABLE void fsCommand(const QString& command, const QVariant& args = QVariant());
    Q_INVOKABLE QString variable(const QString& name) const { return store_.value(name); }
    // The face's own writes: stored for the host, nothing is emitted.
    Q_INVOKABLE void setVariable(const QString& name, const QString& value) {
        store_.insert(name, value);
    }

    // Host -> face: stored, then announced to the face.
    void hostWrite(const QString& name, const QString& value);

signals:
    void variableSet(const QString& name, const QString& value);
    void command(const QString& command, const QString& args);

private:
    QHash<QString, QString> store_;
};

// A window that plays a QML face and carries its commands and variables. The face is
// drawn straight into the window, with no widget layer between.
class FaceView : public QQuickWindow, public Face {
    Q_OBJECT
public:
    FaceView();
    ~FaceView() override;

    bool LoadFace(const QString& path) override;
    void SetVariable(const QString& name, const QString& value) override;
    QString GetVariable(const QString& name) const override;

    FaceBridge& bridge() { return bridge_; }
    // The face's root item; null before a face was loaded.
    QQuickItem* rootObject() const { return root_.get(); }

signals:
    void command(const QString& command, const QString& args);

private:
    FaceBridge bridge_;
    QQmlEngine engine_;
    std::unique_ptr<QQuickItem> root_;
};

} // namespace velune
