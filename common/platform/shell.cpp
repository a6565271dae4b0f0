#include "shell.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

namespace velune {

void DesktopShell::Open(const QString& file) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

void DesktopShell::Start(const QString& program) {
    QProcess::startDetached(program, {});
}

} // namespace velune
