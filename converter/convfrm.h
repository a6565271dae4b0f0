#pragma once

#include "converter_engine.h"
#include "sources.h"
#include "velunemod.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace velune {

class Face;
class Form;
class MessageBoxes;
class Ticker;

// The conversion window: queues the main window's list in the engine, follows the
// run once a second, and at unload deletes the sources marked for it that were
// converted in this run and are still the files that were converted.
class ConvFrm {
public:
    struct Parts {
        Face& flash;
        Form& form;
        MessageBoxes& messages;
        ConverterEngine& VL;
        Ticker& Timer1;
        const QStringList& LstFiles;
        const QString& TxtOut;
        QString programFolder;
    };

    ConvFrm(VeluneMod& mod, Parts parts) : mod_(mod), p_(std::move(parts)) {}

    // Start-up and the whole queuing; false when the program must end (no face).
    bool Form_Load();
    void Flash_FSCommand(const QString& command, const QString& args);
    void Timer1_Timer();
    void Form_Unload();
    void DELFILEs();

    // The close action has run: the window is hidden.
    bool Closed() const { return closed_; }

private:
    bool Convert();
    void CloseAction();
    void Complete();
    void RecordOutcomes();
    bool EngineFailed();

    VeluneMod& mod_;
    Parts p_;
    std::vector<bool> DeleteFlags;
    std::vector<QueuedSource> queued_;
    bool closed_ = false;
};

} // namespace velune
