#include "converter_app.h"

#include "converter_remembered.h"

namespace velune {

ConverterApp::ConverterApp(const QString& programFolder)
    : window_(QStringLiteral("VeluneConverter")), messages_(kConverterTitle, &window_),
      dialog_(&window_), folders_(&window_), instance_(QStringLiteral("VeluneConverter")),
      conversion_(settings_, engine_, &window_, programFolder) {
    main_ = std::make_unique<ConverterWindow>(
        settings_, ConverterWindow::Parts{window_.faceView(), window_, messages_, dialog_, folders_,
                                          shell_, instance_, conversion_, programFolder});
    conversion_.SetMain(main_.get());
    QObject::connect(&window_.faceView(), &FaceView::command, &window_,
                     [this](const QString& command, const QString& args) {
                         main_->OnFaceCommand(command, args);
                     });
    QObject::connect(&window_, &FaceWindow::activated, &window_, [this] { main_->Activated(); });
}

ConverterApp::~ConverterApp() {
    if (running_)
        SaveConverterChoices(main_->Remember());
}

bool ConverterApp::Start() {
    if (!main_->Start())
        return false;
    running_ = true;
    main_->Restore(LoadConverterChoices());
    window_.show();
    return true;
}

} // namespace velune
