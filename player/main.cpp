#include "player_app.h"

#include "dropped.h"
#include "item_reader.h"
#include "quit_signals.h"
#include "system_names.h"

#include <QGuiApplication>
#include <QThreadPool>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>

namespace {
// How long the workers have to end at their next file once the window is gone.
constexpr int kWorkersWaitMs = 300;
} // namespace

int main(int argc, char* argv[]) {
    // Each item is decoded on a thread of its own: one heap for all of them, not one each.
    mallopt(M_ARENA_MAX, 1);
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("VelunePlayer"));
    QGuiApplication::setDesktopFileName(QStringLiteral("velune-player"));
    // Files from the command line or a file manager ("Open with"), as full paths that
    // keep every byte of their names (Qt's decoded arguments would not).
    QStringList files;
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        const QString address = QString::fromUtf8(argument);
        files << (velune::IsStreamAddress(address) ? address
                  : argument.startsWith("file:")
                      ? velune::PathOfFileUri(argument)
                      : velune::AbsolutePath(velune::PathFromSystem(argument)));
    }
    files.removeAll(QString());
    // A logout ends the player as closing it does: what it remembers is saved.
    velune::QuitOnTerminationSignals();
    int code = 0;
    {
        velune::PlayerApp player;
        switch (player.Start(files)) {
        case velune::PlayerApp::Started::Failed:
            return 1;
        case velune::PlayerApp::Started::HandedOver:
            return 0;
        case velune::PlayerApp::Started::Running:
            break;
        }
        code = QGuiApplication::exec();
    } // what is remembered is saved here, and the workers told to stop
    // A worker stuck on a file system that does not answer is not waited for, and a
    // reader let go (held up in a name lookup) must not see the libraries cleaned up.
    if (!QThreadPool::globalInstance()->waitForDone(kWorkersWaitMs) ||
        velune::ItemReader::ThreadsRunning() > 0) {
        std::fflush(nullptr);
        std::_Exit(code);
    }
    return code;
}
