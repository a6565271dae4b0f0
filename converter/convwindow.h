#pragma once

#include "conversion_window.h"
#include "convfrm.h"
#include "facewindow.h"
#include "messages.h"

#include <memory>

namespace velune {

class MainFrm;

// The real conversion window, made afresh for every run.
class ConvWindow : public ConversionWindow {
public:
    ConvWindow(VeluneMod& mod, ConverterEngine& engine, QWidget* owner, QString programFolder)
        : mod_(mod), engine_(engine), owner_(owner), programFolder_(std::move(programFolder)) {}
    void SetMain(const MainFrm* main) { main_ = main; }

    void ShowModal() override;
    void Unload() override;

private:
    VeluneMod& mod_;
    ConverterEngine& engine_;
    QWidget* owner_;
    QString programFolder_;
    const MainFrm* main_ = nullptr;

    // Declared in this order so that the window logic goes before the parts it uses.
    std::unique_ptr<FaceWindow> window_;
    std::unique_ptr<QtMessageBoxes> messages_;
    std::unique_ptr<SecondTicker> timer_;
    std::unique_ptr<ConvFrm> frm_;
};

} // namespace velune
