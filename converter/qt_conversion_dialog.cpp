#include "qt_conversion_dialog.h"

#include "converter_window.h"

namespace velune {

void QtConversionDialog::ShowModal() {
    if (!main_)
        return;
    window_ = std::make_unique<FaceWindow>(QStringLiteral("VeluneConverter"), owner_);
    messages_ = std::make_unique<QtMessageBoxes>(kConverterTitle, owner_);
    timer_ = std::make_unique<SecondTicker>([this] {
        if (conversion_)
            conversion_->Tick();
    });
    background_ = std::make_unique<PooledBackground>(window_.get());
    conversion_ = std::make_unique<ConversionWindow>(
        settings_,
        ConversionWindow::Parts{window_->faceView(), *window_, *messages_, engine_, *timer_,
                                main_->Files(), main_->Subfolders(), main_->Tracks(),
                                main_->OutputFolder(), *background_, programFolder_});
    QObject::connect(&window_->faceView(), &FaceView::command, window_.get(),
                     [this](const QString& command, const QString& args) {
                         conversion_->OnFaceCommand(command, args);
                     });
    if (!conversion_->Start() || conversion_->Closed())
        return;
    messages_->SetOwner(window_.get());
    window_->ShowModal();
}

void QtConversionDialog::Unload() {
    if (conversion_)
        conversion_->Unload();
    conversion_.reset();
    timer_.reset();
    background_.reset();
    window_.reset();
    messages_.reset();
}

} // namespace velune
