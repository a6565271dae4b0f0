#pragma once

#include <QObject>

class QWidget;

namespace velune::Hookr {

// Keeps the face's own context menu away: swallows right-button presses and the
// context-menu key, passes every other event on unchanged.
class MovieWndProc : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// The first direct child of the form whose class name contains the face view's.
QWidget* FindMovieWindow(QWidget* form);
void SetMovieHook(QWidget* window, bool enable);
bool IsHooked(const QWidget* window);

// Form procedures: find the form's face view and install or remove the hook.
// A form without a face view is left alone.
void HookFlash(QWidget* form);
void UnhookFlash(QWidget* form);

} // namespace velune::Hookr
