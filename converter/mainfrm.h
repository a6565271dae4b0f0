#pragma once

#include "velunemod.h"

#include <QString>
#include <QStringList>

namespace velune {

class ConversionWindow;
class Face;
class FolderChooser;
class Form;
class InstanceLock;
class MessageBoxes;
class OpenFileDialog;
class Shell;

// The converter's main window: its file list, output folder and command table.
class MainFrm {
public:
    struct Parts {
        Face& flash;
        Form& form;
        MessageBoxes& messages;
        OpenFileDialog& dialog;
        FolderChooser& folders;
        Shell& shell;
        InstanceLock& instance;
        ConversionWindow& conversion;
        QString programFolder;
    };

    MainFrm(VeluneMod& mod, Parts parts) : mod_(mod), p_(std::move(parts)) {}

    // Start-up; false when the program must end (another copy runs, no face).
    bool Form_Load();
    void Form_Activate();
    void Flash_FSCommand(const QString& command, const QString& args);
    void Add_Click();

    const QStringList& LstFiles() const { return LstFiles_; }
    const QString& TxtOut() const { return TxtOut_; }

private:
    void Close(const QString& args);
    void Minimize(const QString& args);
    void AddFiles(const QString& args);
    void Remove(const QString& args);
    void RemoveAll(const QString& args);
    void Drag(const QString& args);
    void Browse(const QString& args);
    void ConvertTo(const QString& args);
    void Convert(const QString& args);
    void Help(const QString& args);
    void SameDirectory(const QString& args);
    void Selected(const QString& args);
    void UnSelected(const QString& args);
    void About(const QString& args);
    void Player(const QString& args);

    // Whether the picked path may join the list; if not, the user is told why.
    bool Acceptable(const QString& path);

    VeluneMod& mod_;
    Parts p_;
    QStringList LstFiles_;
    QString TxtOut_;
};

} // namespace velune
