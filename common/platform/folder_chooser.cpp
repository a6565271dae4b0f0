#include "folder_chooser.h"

#include <QFileDialog>

namespace velune {

QString QtFolderChooser::Choose(const QString& title, const QString& startPath) {
    return QFileDialog::getExistingDirectory(owner_, title, startPath, QFileDialog::ShowDirsOnly);
}

} // namespace velune
