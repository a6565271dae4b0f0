#include "batch.h"
#include "converter_app.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    // With arguments it converts without a window, and needs no display.
    if (argc > 1) {
        QCoreApplication app(argc, argv);
        return velune::BatchMain(QCoreApplication::arguments().mid(1));
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VeluneConverter"));
    QApplication::setDesktopFileName(QStringLiteral("velune-converter"));
    velune::ConverterApp converter;
    if (!converter.Start())
        return 1;
    return QApplication::exec();
}
