#pragma once

#include "face.h"

#include <QHash>
#include <QObject>
#include <QQuickWidget>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

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

// The face view of a window: plays a QML face and carries its commands and variables.
class FaceView : public QQuickWidget, public Face {
    Q_OBJECT
public:
    explicit FaceView(QWidget* parent = nullptr);

    bool LoadFace(const QString& path) override;
    void SetVariable(const QString& name, const QString& value) override;
    QString GetVariable(const QString& name) const override;

    FaceBridge& bridge() { return bridge_; }

signals:
    void command(const QString& command, const QString& args);

private:
    FaceBridge bridge_;
};

} // namespace velune
