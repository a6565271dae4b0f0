#include "folder_chooser.h"

#include "messages.h"

#include <QFileDialog>

namespace velune {

QString QtFolderChooser::Choose(const QString& title, const QString& startPath) {
    QFileDialog dialog(nullptr, title, startPath);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    PlaceOver(&dialog, owner_);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

} // namespace velune
