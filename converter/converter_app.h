#pragma once

#include "convwindow.h"
#include "facewindow.h"
#include "ffmpeg_converter.h"
#include "folder_chooser.h"
#include "instance_lock.h"
#include "mainfrm.h"
#include "messages.h"
#include "picker.h"
#include "shell.h"
#include "velunemod.h"

#include <QCoreApplication>
#include <memory>

namespace velune {

// The converter put together from its real parts.
class ConverterApp {
public:
    // The faces, the help and the player are found in `programFolder`.
    explicit ConverterApp(const QString& programFolder = QCoreApplication::applicationDirPath());
    ~ConverterApp();
    // Runs the main window's start-up and shows it; false when the program must end.
    bool Start();

private:
    VeluneMod mod_;
    FaceWindow window_;
    QtMessageBoxes messages_;
    QtOpenFileDialog dialog_;
    QtFolderChooser folders_;
    DesktopShell shell_;
    UserInstanceLock instance_;
    FfmpegConverter engine_;
    ConvWindow conversion_;
    std::unique_ptr<MainFrm> frm_;
};

} // namespace velune
