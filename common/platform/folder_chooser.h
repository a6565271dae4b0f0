#pragma once

#include <QString>

namespace velune {

// The desktop's folder chooser: the chosen folder as a plain path, "" on cancel.
class FolderChooser {
public:
    virtual ~FolderChooser() = default;
    virtual QString Choose(const QString& title, const QString& startPath) = 0;
};

} // namespace velune
