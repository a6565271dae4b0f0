#pragma once

#include "folder_chooser.h"
#include "messages.h"
#include "picker.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>

class QProcess;
class QWindow;

namespace velune {

// The desktop's dialogs, each shown by the dialog program beside this one
// ("velune-dialog"): a program whose window is drawn by Qt Quick alone then never loads
// Qt's widgets for boxes it rarely shows. While a modal one is open, the user's input
// to this program's windows is held back, as a dialog of its own would hold it; those
// still open when this ends are closed.
class DialogProgram : public QObject {
public:
    struct Result {
        bool accepted = false;    // OK, Yes, or something chosen
        QList<QByteArray> values; // the chosen paths (the file system's bytes), then more
        QString error;            // the dialog could not be shown
    };
    DialogProgram(QString path, QWindow* owner);
    ~DialogProgram() override;
    // `fields`: caption or title, text, filter, start (see the dialog program).
    // Shows the dialog and returns once it is closed, serving events meanwhile.
    Result Run(const QString& kind, const QList<QByteArray>& fields);
    // Shows it and returns at once; `done` follows from the event loop once it is closed.
    QProcess* Start(const QString& kind, const QList<QByteArray>& fields, bool modal,
                    std::function<void(const Result&)> done);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void HoldInput(bool hold);

    QString path_;
    QPointer<QWindow> owner_;
    int modal_ = 0;
};

class ProgramMessageBoxes : public MessageBoxes {
public:
    ProgramMessageBoxes(DialogProgram& program, QString caption)
        : program_(program), caption_(std::move(caption)) {}
    void Show(const QString& text) override;
    void Inform(const QString& text) override;
    bool AskYesNo(const QString& text) override;
    void Ask(const QString& text, std::function<void(bool)> answer) override;

private:
    QList<QByteArray> Fields(const QString& text) const {
        return {caption_.toUtf8(), text.toUtf8()};
    }

    DialogProgram& program_;
    QString caption_;
};

class ProgramFileDialog : public OpenFileDialog {
public:
    explicit ProgramFileDialog(DialogProgram& program) : program_(program) {}
    QStringList Choose(const QString& title, const QString& filter, const QString& startFolder,
                       QString& error) override;
    QString ChooseSave(const QString& title, const QString& filter,
                       const QString& suggested) override;
    QString SaveType() const override { return saveType_; }

private:
    DialogProgram& program_;
    QString saveType_;
};

class ProgramFolderChooser : public FolderChooser {
public:
    explicit ProgramFolderChooser(DialogProgram& program) : program_(program) {}
    QString Choose(const QString& title, const QString& startPath) override;

private:
    DialogProgram& program_;
};

} // namespace velune
