#include "player_app.h"

#include <QApplication>
#include <QFileInfo>
#include <QUrl>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VelunePlayer"));
    QApplication::setDesktopFileName(QStringLiteral("velune-player"));
    // Files from the command line or a file manager ("Open with"), as full paths.
    QStringList files;
    for (const QString& argument : QApplication::arguments().mid(1))
        files << (argument.startsWith(QLatin1String("file:"))
                      ? QUrl(argument).toLocalFile()
                      : QFileInfo(argument).absoluteFilePath());
    velune::PlayerApp player;
    switch (player.Start(files)) {
    case velune::PlayerApp::Started::Failed:
        return 1;
    case velune::PlayerApp::Started::HandedOver:
        return 0;
    case velune::PlayerApp::Started::Running:
        break;
    }
    return QApplication::exec();
}
