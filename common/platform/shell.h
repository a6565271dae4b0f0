#pragma once

#include <QString>

namespace velune {

// Opening documents and starting programs through the desktop; results are not reported.
class Shell {
public:
    virtual ~Shell() = default;
    // Opens a local file with the desktop's default handler.
    virtual void Open(const QString& file) = 0;
    // Starts a program, detached from this one.
    virtual void Start(const QString& program) = 0;
};

class DesktopShell : public Shell {
public:
    void Open(const QString& file) override;
    void Start(const QString& program) override;
};

} // namespace velune
