#pragma once

#include "background.h"
#include "converter_settings.h"
#include "converter_window.h"
#include "facewindow.h"
#include "ffmpeg_converter.h"
#include "instance_lock.h"
#include "qt_conversion_dialog.h"
#include "shell.h"
#include "widget_dialogs.h"

#include <QCoreApplication>
#include <functional>
#include <memory>

namespace velune {

// Hands the paths dropped on a face to `onDrop`, once the drop is over.
class DropsToList : public QObject {
    Q_OBJECT
public:
    std::function<void(const QStringList&)> onDrop;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// The converter put together from its real parts.
class ConverterApp {
public:
    // The faces, the help and the player are found in `programFolder`.
    explicit ConverterApp(const QString& programFolder = QCoreApplication::applicationDirPath());
    ~ConverterApp();
    // Runs the main window's start-up and shows it; false when the program must end.
    bool Start();

    FaceView& faceView() { return window_.faceView(); }
    const ConverterWindow& window() const { return *main_; }

private:
    ConverterSettings settings_;
    FaceWindow window_;
    QtMessageBoxes messages_;
    QtOpenFileDialog dialog_;
    QtFolderChooser folders_;
    DesktopShell shell_;
    UserInstanceLock instance_;
    FfmpegConverter engine_;
    QtConversionDialog conversion_;
    PooledBackground background_;
    DropsToList drops_;
    std::unique_ptr<ConverterWindow> main_;
    bool running_ = false;
};

} // namespace velune
