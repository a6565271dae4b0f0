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

void QtMessageBoxes::Ask(const QString& text, std::function<void(bool)> answer) {
    auto* box = new QMessageBox(QMessageBox::Question, caption_, text,
                                QMessageBox::Yes | QMessageBox::No, owner_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QMessageBox::finished, box, [answer = std::move(answer)](int result) {
        answer(result == QMessageBox::Yes);
    });
    box->open();
}

} // namespace velune
