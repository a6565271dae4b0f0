#include "converter_app.h"

namespace velune {

ConverterApp::ConverterApp(const QString& programFolder)
    : window_(QStringLiteral("VeluneConverter")), messages_(kConverterTitle, &window_),
      dialog_(&window_), folders_(&window_), instance_(QStringLiteral("VeluneConverter")),
      conversion_(mod_, engine_, &window_, programFolder) {
    frm_ = std::make_unique<MainFrm>(mod_, MainFrm::Parts{window_.flash(), window_, messages_,
                                                          dialog_, folders_, shell_, instance_,
                                                          conversion_, programFolder});
    conversion_.SetMain(frm_.get());
    QObject::connect(&window_.flash(), &Flash::FSCommand, &window_,
                     [this](const QString& command, const QString& args) {
                         frm_->Flash_FSCommand(command, args);
                     });
    QObject::connect(&window_, &FaceWindow::activated, &window_, [this] { frm_->Form_Activate(); });
}

ConverterApp::~ConverterApp() = default;

bool ConverterApp::Start() {
    if (!frm_->Form_Load())
        return false;
    window_.show();
    return true;
}

} // namespace velune
