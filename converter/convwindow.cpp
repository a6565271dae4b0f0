#include "convwindow.h"

#include "mainfrm.h"

namespace velune {

void ConvWindow::ShowModal() {
    if (!main_)
        return;
    window_ = std::make_unique<FaceWindow>(QStringLiteral("VeluneConverter"), owner_);
    messages_ = std::make_unique<QtMessageBoxes>(kConverterTitle, owner_);
    timer_ = std::make_unique<SecondTicker>([this] {
        if (frm_)
            frm_->Timer1_Timer();
    });
    frm_ = std::make_unique<ConvFrm>(mod_, ConvFrm::Parts{window_->flash(), *window_, *messages_,
                                                          engine_, *timer_, main_->LstFiles(),
                                                          main_->TxtOut(), programFolder_});
    QObject::connect(&window_->flash(), &Flash::FSCommand, window_.get(),
                     [this](const QString& command, const QString& args) {
                         frm_->Flash_FSCommand(command, args);
                     });
    if (!frm_->Form_Load() || frm_->Closed())
        return;
    messages_->SetOwner(window_.get());
    window_->ShowModal();
}

void ConvWindow::Unload() {
    if (frm_)
        frm_->Form_Unload();
    frm_.reset();
    timer_.reset();
    window_.reset();
    messages_.reset();
}

} // namespace velune
