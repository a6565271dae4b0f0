#pragma once

namespace velune {

// The conversion window as the main window sees it.
class ConversionDialog {
public:
    virtual ~ConversionDialog() = default;
    // Loads the window, which starts the run, and returns when it has been hidden.
    virtual void ShowModal() = 0;
    // Unloads the hidden window (its unload deletes the sources marked for it).
    virtual void Unload() = 0;
};

} // namespace velune
