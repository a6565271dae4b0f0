#pragma once

// The desktop's dialogs drawn with Qt's widgets: in the converter's own process, and in
// the dialog program that shows the player's (whose process does without widgets).

#include "folder_chooser.h"
#include "messages.h"
#include "picker.h"

class QWidget;
class QWindow;

namespace velune {

class QtMessageBoxes : public MessageBoxes {
public:
    QtMessageBoxes(QString caption, QWindow* owner = nullptr)
        : caption_(std::move(caption)), owner_(owner) {}
    void Show(const QString& text) override;
    void Inform(const QString& text) override;
    bool AskYesNo(const QString& text) override;
    void Ask(const QString& text, std::function<void(bool)> answer) override;
    void SetOwner(QWindow* owner) { owner_ = owner; }

private:
    QString caption_;
    QWindow* owner_;
};

class QtOpenFileDialog : public OpenFileDialog {
public:
    explicit QtOpenFileDialog(QWindow* owner = nullptr) : owner_(owner) {}
    QStringList Choose(const QString& title, const QString& filter, const QString& startFolder,
                       QString& error) override;
    QString ChooseSave(const QString& title, const QString& filter,
                       const QString& suggested) override;
    QString SaveType() const override { return saveType_; }

private:
    QString saveType_;
    QWindow* owner_;
};

class QtFolderChooser : public FolderChooser {
public:
    explicit QtFolderChooser(QWindow* owner = nullptr) : owner_(owner) {}
    QString Choose(const QString& title, const QString& startPath) override;

private:
    QWindow* owner_;
};

// Keeps a dialog above the window it was opened for.
void PlaceOver(QWidget* dialog, QWindow* owner);

} // namespace velune
