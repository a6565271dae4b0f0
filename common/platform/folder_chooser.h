#pragma once

#include <QString>

class QWindow;

namespace velune {

// The desktop's folder chooser: the chosen folder as a plain path, "" on cancel.
class FolderChooser {
public:
    virtual ~FolderChooser() = default;
    virtual QString Choose(const QString& title, const QString& startPath) = 0;
};

class QtFolderChooser : public FolderChooser {
public:
    explicit QtFolderChooser(QWindow* owner = nullptr) : owner_(owner) {}
    QString Choose(const QString& title, const QString& startPath) override;

private:
    QWindow* owner_;
};

} // namespace velune
