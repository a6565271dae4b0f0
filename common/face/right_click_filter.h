#pragma once

#include <QObject>

class QWidget;

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

// The first direct child of the window whose class name contains the face view's.
QWidget* FindFaceView(QWidget* window);
void SetRightClickFilter(QWidget* faceView, bool enable);
bool HasRightClickFilter(const QWidget* faceView);

// Finds the window's face view and installs or removes the filter on it. A window
// without a face view is left alone.
void InstallRightClickFilter(QWidget* window);
void RemoveRightClickFilter(QWidget* window);

} // namespace velune
