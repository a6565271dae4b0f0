#pragma once

#include <QPoint>
#include <QSize>
#include <optional>

namespace velune {

// The window around a face, as its host logic drives it.
class Form {
public:
    virtual ~Form() = default;
    // Places the window (no position: leave it where it is), sizes it and its face.
    virtual void SetGeometry(std::optional<QPoint> topLeft, QSize window, QSize face) = 0;
    virtual void Minimize() = 0;
    // Moves the borderless window with the mouse while its button is held.
    virtual void DragWindow() = 0;
    // Ends the program at once: no unload step runs.
    virtual void EndProgram() = 0;
    // Keeps the face's own context menu away, and lets it back.
    virtual void InstallFilter() = 0;
    virtual void RemoveFilter() = 0;
    virtual void Hide() = 0;
};

// A window's poll timer.
class Ticker {
public:
    virtual ~Ticker() = default;
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool Enabled() const = 0;
};

} // namespace velune
