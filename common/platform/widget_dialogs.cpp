#include "widget_dialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QWindow>

namespace velune {

void PlaceOver(QWidget* dialog, QWindow* owner) {
    if (!owner)
        return;
    dialog->setAttribute(Qt::WA_NativeWindow);
    if (QWindow* window = dialog->windowHandle())
        window->setTransientParent(owner);
}

void QtMessageBoxes::Show(const QString& text) {
    QMessageBox box(QMessageBox::Information, caption_, text, QMessageBox::Ok);
    PlaceOver(&box, owner_);
    box.exec();
}

void QtMessageBoxes::Inform(const QString& text) {
    auto* box = new QMessageBox(QMessageBox::Information, caption_, text, QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    PlaceOver(box, owner_);
    box->show();
}

bool QtMessageBoxes::AskYesNo(const QString& text) {
    QMessageBox box(QMessageBox::Question, caption_, text, QMessageBox::Yes | QMessageBox::No);
    PlaceOver(&box, owner_);
    return box.exec() == QMessageBox::Yes;
}

void QtMessageBoxes::Ask(const QString& text, std::function<void(bool)> answer) {
    auto* box =
        new QMessageBox(QMessageBox::Question, caption_, text, QMessageBox::Yes | QMessageBox::No);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    PlaceOver(box, owner_);
    QObject::connect(box, &QMessageBox::finished, box, [answer = std::move(answer)](int result) {
        answer(result == QMessageBox::Yes);
    });
    box->show();
}

QStringList QtOpenFileDialog::Choose(const QString& title, const QString& filter,
                                     const QString& startFolder, QString& /*error*/) {
    QFileDialog dialog(nullptr, title, startFolder, QtFilter(filter));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    PlaceOver(&dialog, owner_);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles() : QStringList();
}

QString QtOpenFileDialog::ChooseSave(const QString& title, const QString& filter,
                                     const QString& suggested) {
    QFileDialog dialog(nullptr, title, suggested, QtFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    PlaceOver(&dialog, owner_);
    QString name = dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    const QString selected = dialog.selectedNameFilter();
    // "PLS playlist (*.pls)" -> "pls"
    saveType_ = selected.section(QStringLiteral("*."), 1)
                    .section(QLatin1Char(')'), 0, 0)
                    .section(QLatin1Char(' '), 0, 0)
                    .toLower();
    return name;
}

QString QtFolderChooser::Choose(const QString& title, const QString& startPath) {
    QFileDialog dialog(nullptr, title, startPath);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    PlaceOver(&dialog, owner_);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

} // namespace velune
