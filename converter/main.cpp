#include "converter_app.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VeluneConverter"));
    velune::ConverterApp converter;
    if (!converter.Start())
        return 1;
    return QApplication::exec();
}
