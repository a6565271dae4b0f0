#include "converter_app.h"

#include "converter_remembered.h"
#include "dropped.h"

#include <QDropEvent>
#include <QThreadPool>
#include <QTimer>

namespace velune {

ConverterApp::ConverterApp(const QString& programFolder)
    : window_(QStringLiteral("VeluneConverter")), messages_(kConverterTitle, &window_),
      dialog_(&window_), folders_(&window_), instance_(QStringLiteral("VeluneConverter")),
      conversion_(settings_, engine_, &window_, programFolder), background_(&window_) {
    main_ = std::make_unique<ConverterWindow>(
        settings_,
        ConverterWindow::Parts{window_.faceView(), window_, messages_, dialog_, folders_, shell_,
                               instance_, conversion_, background_, programFolder});
    conversion_.SetMain(main_.get());
    QObject::connect(&window_.faceView(), &FaceView::command, &window_,
                     [this](const QString& command, const QString& args) {
                         main_->OnFaceCommand(command, args);
                     });
    QObject::connect(&window_, &FaceWindow::activated, &window_, [this] { main_->Activated(); });
    // Files and folders dropped on the face join the list once the drop is over.
    drops_.onDrop = [this](const QStringList& paths) { main_->AddPaths(paths); };
    window_.installEventFilter(&drops_);
}

bool DropsToList::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Drop && onDrop) {
        const QStringList paths = DroppedFiles(static_cast<QDropEvent*>(event)->mimeData());
        if (!paths.isEmpty())
            QTimer::singleShot(0, this, [this, paths] { onDrop(paths); });
    }
    return QObject::eventFilter(watched, event);
}

ConverterApp::~ConverterApp() {
    // A folder still being read hands its rows to nobody: let it finish first.
    QThreadPool::globalInstance()->waitForDone();
    window_.removeEventFilter(&drops_);
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
