#include "messages.h"

#include <QMessageBox>

namespace velune {

void QtMessageBoxes::Show(const QString& text) {
    QMessageBox::information(owner_, caption_, text, QMessageBox::Ok);
}

bool QtMessageBoxes::AskYesNo(const QString& text) {
    return QMessageBox::question(owner_, caption_, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

} // namespace velune
