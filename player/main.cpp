#include "player_app.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VelunePlayer"));
    velune::PlayerApp player;
    if (!player.Start())
        return 1;
    return QApplication::exec();
}
