#pragma once

#include "background.h"
#include "desktop_bus.h"
#include "dialog_program.h"
#include "facewindow.h"
#include "gapless_player.h"
#include "instance_lock.h"
#include "player_window.h"

#include <QCoreApplication>
#include <QObject>

namespace velune {

// The player put together from its real parts.
class PlayerApp : public QObject {
    Q_OBJECT
public:
    // The face is found in `programFolder`.
    explicit PlayerApp(const QString& programFolder = QCoreApplication::applicationDirPath());
    ~PlayerApp() override;
    enum class Started { Failed, Running, HandedOver };
    // Runs the window's start-up and shows it, restoring the remembered list, or
    // adding `files` and playing the first. When another player runs, the files
    // go to it instead.
    Started Start(const QStringList& files = {});
    // For benchmarks and checks: the window's logic, as the face drives it.
    PlayerWindow& window() { return player_; }

protected:
    // Hands the files to the player that holds the lock, waiting a little for its
    // name on the bus; false when it ended meanwhile (this one then holds the lock).
    bool HandOverSoon(const QStringList& files);
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    FaceWindow window_;
    DialogProgram dialogs_;
    ProgramMessageBoxes messages_;
    ProgramFileDialog dialog_;
    UserInstanceLock instance_;
    GaplessPlayer engine_;
    SecondTicker timer_;
    ProgramFolderChooser folders_;
    PooledBackground background_;
    PlayerWindow player_;
    DesktopBus bus_;
    bool running_ = false;
};

} // namespace velune
