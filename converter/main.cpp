#include "batch.h"
#include "converter_app.h"
#include "system_names.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    // With arguments it converts without a window, and needs no display.
    if (argc > 1) {
        QCoreApplication app(argc, argv);
        // File names are taken as the bytes they are, whatever their encoding.
        QStringList arguments;
        for (int i = 1; i < argc; ++i)
            arguments << velune::PathFromSystem(QByteArray(argv[i]));
        return velune::BatchMain(arguments);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VeluneConverter"));
    QApplication::setDesktopFileName(QStringLiteral("velune-converter"));
    velune::ConverterApp converter;
    if (!converter.Start())
        return 1;
    return QApplication::exec();
}
