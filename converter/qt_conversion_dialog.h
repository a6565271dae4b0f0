#pragma once

#include "background.h"
#include "conversion_dialog.h"
#include "conversion_window.h"
#include "facewindow.h"
#include "widget_dialogs.h"

#include <memory>

namespace velune {

class ConverterWindow;

// The real conversion window, made afresh for every run.
class QtConversionDialog : public ConversionDialog {
public:
    QtConversionDialog(ConverterSettings& settings, ConverterEngine& engine, QWindow* owner,
                       QString programFolder)
        : settings_(settings), engine_(engine), owner_(owner),
          programFolder_(std::move(programFolder)) {}
    void SetMain(const ConverterWindow* main) { main_ = main; }

    void ShowModal() override;
    void Unload() override;

private:
    ConverterSettings& settings_;
    ConverterEngine& engine_;
    QWindow* owner_;
    QString programFolder_;
    const ConverterWindow* main_ = nullptr;

    // Declared in this order so that the window logic goes before the parts it uses.
    std::unique_ptr<FaceWindow> window_;
    std::unique_ptr<QtMessageBoxes> messages_;
    std::unique_ptr<SecondTicker> timer_;
    std::unique_ptr<PooledBackground> background_;
    std::unique_ptr<ConversionWindow> conversion_;
};

} // namespace velune
