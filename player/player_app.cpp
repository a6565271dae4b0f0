#include "player_app.h"

#include "dropped.h"
#include "player_protocol.h"
#include "remembered.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

namespace velune {

namespace {
constexpr int kHandOverWaitMs = 5000;
constexpr int kHandOverRetryMs = 50;
} // namespace

PlayerApp::PlayerApp(const QString& programFolder)
    : window_(QStringLiteral("Velune Player")),
      dialogs_(programFolder + QStringLiteral("/velune-dialog"), &window_),
      messages_(dialogs_, kPlayerTitle), dialog_(dialogs_),
      instance_(QStringLiteral("VelunePlayer")), timer_([this] { player_.Tick(); }),
      folders_(dialogs_), background_(this),
      player_(PlayerWindow::Parts{
          window_.faceView(), window_, messages_, dialog_, instance_, engine_, timer_,
          programFolder, folders_, background_,
          QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
              QStringLiteral("/Velune")}),
      bus_(player_, [this] {
          window_.showNormal();
          window_.raise();
          window_.requestActivate();
      }) {
    connect(&window_.faceView(), &FaceView::command, this,
            [this](const QString& command, const QString& args) {
                player_.OnFaceCommand(command, args);
            });
    // The next row heard, or the end of the list: shown at once, not at the next tick.
    connect(&engine_, &GaplessPlayer::changed, this, [this] {
        player_.FollowEngine();
        bus_.Refresh();
    });
    window_.installEventFilter(this);
}

bool PlayerApp::HandOverSoon(const QStringList& files) {
    // A player that is starting holds the lock a moment before its name is on the bus.
    QElapsedTimer waited;
    waited.start();
    do {
        if (DesktopBus::HandOver(files))
            return true;
        if (instance_.TryLock())
            return false; // it has gone: this one plays them
        QThread::msleep(kHandOverRetryMs);
    } while (waited.elapsed() < kHandOverWaitMs);
    return false;
}

PlayerApp::Started PlayerApp::Start(const QStringList& files) {
    // Files for a player that already runs, or is starting, go to it.
    if (!files.isEmpty() && !instance_.TryLock() && HandOverSoon(files))
        return Started::HandedOver;
    // The lock and the name on the bus are taken together, before anything slow: a second
    // start finds either both free or the name to hand its files to. Calls that come in
    // are answered once the window runs.
    if (instance_.TryLock())
        bus_.Register();
    if (!player_.Start())
        return Started::Failed;
    running_ = true;
    player_.Restore(LoadRemembered());
    window_.show();
    if (!files.isEmpty())
        QTimer::singleShot(0, this, [this, files] { player_.PlayFiles(files); });
    return Started::Running;
}

PlayerApp::~PlayerApp() {
    // Folder walks, tags and covers under way end at their next file.
    background_.Stop();
    if (running_) {
        SaveRemembered(player_.Remember());
        player_.SaveTagCache();
    }
    // The window outlives this object's other members: it must not call back into them.
    window_.removeEventFilter(this);
}

bool PlayerApp::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &window_ && (event->type() == QEvent::WindowStateChange ||
                                event->type() == QEvent::Show || event->type() == QEvent::Hide)) {
        // The face draws nothing that moves while nobody can see it.
        const bool shown = window_.isVisible() && window_.visibility() != QWindow::Minimized;
        window_.faceView().SetVariable(QLatin1String(player_face::kShown),
                                       shown ? QStringLiteral("1") : QStringLiteral("0"));
    } else if (watched == &window_ && event->type() == QEvent::Close) {
        player_.Close();
    } else if (watched == &window_ && event->type() == QEvent::Drop) {
        // The face shows the drop; the list takes the files once the drop is over.
        const QStringList files = DroppedFiles(static_cast<QDropEvent*>(event)->mimeData(), true);
        if (!files.isEmpty())
            QTimer::singleShot(0, this, [this, files] { player_.DropFiles(files); });
    }
    return QObject::eventFilter(watched, event);
}

} // namespace velune
