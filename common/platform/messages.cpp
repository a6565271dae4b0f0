#include "messages.h"

#include <QMessageBox>

namespace velune {

void QtMessageBoxes::Show(const QString& text) {
    QMessageBox::information(owner_, caption_, text, QMessageBox::Ok);
}

void QtMessageBoxes::Inform(const QString& text) {
    auto* box = new QMessageBox(QMessageBox::Information, caption_, text, QMessageBox::Ok, owner_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

bool QtMessageBoxes::AskYesNo(const QString& text) {
    return QMessageBox::question(owner_, caption_, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

} // namespace velune
