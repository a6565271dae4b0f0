// Shows one of the desktop's dialogs for a program that does without Qt's widgets (the
// player), above that program's window, and writes what was chosen.
//
//   velune-dialog message|ask|open|save|folder [WINDOW]
//
// Standard input holds five fields, each ended by a NUL: the caption or title, the text
// of a box, a file filter ("description|patterns|..."), a start folder or name (the
// file system's bytes), the asking program's desktop file (its icon in the task bar). Standard
// output gets the chosen paths (the file system's bytes) each ended by a NUL, and for "save" the
// chosen type's extension after them. Exit status 0 when the user chose (OK, Yes, a file), 1 when
// not, 2 on bad usage.

#include "system_names.h"
#include "widget_dialogs.h"

#include <QApplication>
#include <QFile>
#include <QWindow>
#include <cstdio>
#include <memory>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    const QString kind = arguments.value(0);
    std::unique_ptr<QWindow> owner;
    if (bool ok = false; arguments.size() > 1) {
        const WId id = arguments[1].toULongLong(&ok);
        if (ok)
            owner.reset(QWindow::fromWinId(id));
    }
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly))
        return 2;
    const QList<QByteArray> fields = input.readAll().split('\0');
    const QString title = QString::fromUtf8(fields.value(0));
    const QString text = QString::fromUtf8(fields.value(1));
    const QString filter = QString::fromUtf8(fields.value(2));
    const QString start =
        fields.value(3).isEmpty() ? QString() : velune::PathFromSystem(fields.value(3));
    QApplication::setApplicationDisplayName(title);
    QApplication::setDesktopFileName(QString::fromUtf8(fields.value(4)));

    QByteArray chosen;
    const auto choose = [&chosen](const QString& path) {
        if (!path.isEmpty())
            chosen += velune::SystemName(path) + '\0';
    };
    bool accepted = false;
    if (kind == QLatin1String("message")) {
        velune::QtMessageBoxes(title, owner.get()).Show(text);
        accepted = true;
    } else if (kind == QLatin1String("ask")) {
        accepted = velune::QtMessageBoxes(title, owner.get()).AskYesNo(text);
    } else if (kind == QLatin1String("open")) {
        QString error;
        for (const QString& path :
             velune::QtOpenFileDialog(owner.get()).Choose(title, filter, start, error))
            choose(path);
        accepted = !chosen.isEmpty();
    } else if (kind == QLatin1String("save")) {
        velune::QtOpenFileDialog dialog(owner.get());
        choose(dialog.ChooseSave(title, filter, start));
        accepted = !chosen.isEmpty();
        if (accepted)
            chosen += dialog.SaveType().toUtf8() + '\0';
    } else if (kind == QLatin1String("folder")) {
        choose(velune::QtFolderChooser(owner.get()).Choose(title, start));
        accepted = !chosen.isEmpty();
    } else {
        std::fputs("usage: velune-dialog message|ask|open|save|folder [WINDOW]\n", stderr);
        return 2;
    }
    std::fwrite(chosen.constData(), 1, static_cast<size_t>(chosen.size()), stdout);
    return accepted ? 0 : 1;
}
