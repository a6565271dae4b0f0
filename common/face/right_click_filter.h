#pragma once

#include <QObject>

namespace velune {

// Keeps the face's own context menu away: swallows right-button presses and the
// context-menu key, passes every other event on unchanged.
class RightClickFilter : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Installs or removes the filter on a face's window.
void SetRightClickFilter(QObject* faceWindow, bool enable);

} // namespace velune
