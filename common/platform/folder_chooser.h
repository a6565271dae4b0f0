#pragma once

#include <QString>

class QWidget;

namespace velune {

// The desktop's folder chooser: the chosen folder as a plain path, "" on cancel.
class FolderChooser {
public:
    virtual ~FolderChooser() = default;
    virtual QString Choose(const QString& title, const QString& startPath) = 0;
};

class QtFolderChooser : public FolderChooser {
public:
    explicit QtFolderChooser(QWidget* owner = nullptr) : owner_(owner) {}
    QString Choose(const QString& title, const QString& startPath) override;
    void SetOwner(QWidget* owner) { owner_ = owner; }

private:
    QWidget* owner_;
};

} // namespace velune
