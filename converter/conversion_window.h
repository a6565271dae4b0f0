#pragma once

#include "cue_sheet.h"

#include "converter_engine.h"
#include "converter_settings.h"
#include "output_plan.h"
#include "sources.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace velune {

class Background;
class Face;
class Form;
class MessageBoxes;
class Ticker;

// The conversion window: queues the main window's list in the engine, follows the
// run once a second, and at unload deletes the sources marked for it that were
// converted in this run and are still the files that were converted.
class ConversionWindow {
public:
    struct Parts {
        Face& face;
        Form& form;
        MessageBoxes& messages;
        ConverterEngine& engine;
        Ticker& ticker;
        const QStringList& files;
        const QStringList& subfolders; // each row's folder below the output folder
        // Each row's CD image track, none for a whole file (fewer: none for the rest).
        const std::vector<std::optional<SheetTrack>>& tracks;
        const QString& outputFolder;
        Background& background;
        QString programFolder;
    };

    ConversionWindow(ConverterSettings& settings, Parts parts)
        : settings_(settings), p_(std::move(parts)) {}

    // Start-up and the whole queuing; false when the program must end (no face).
    bool Start();
    void OnFaceCommand(const QString& command, const QString& args);
    void Tick();
    void Unload();
    void DeleteConvertedSources();

    // The close action has run: the window is hidden.
    bool Closed() const { return closed_; }

private:
    // Decides every output on a worker, then queues them.
    void Plan();
    bool Queue(const std::vector<PlannedOutput>& plan);
    void StopAndHide();
    void Complete();
    void RecordOutcomes();
    bool EngineFailed();

    ConverterSettings& settings_;
    Parts p_;
    std::vector<bool> deleteFlags_;
    std::vector<QueuedSource> queued_;
    int skipped_ = 0;       // already converted
    QStringList notQueued_; // failed before the engine had them: "path (reason)"
    QStringList notes_;     // what the user is told of converted files (earlier outputs kept)
    bool closed_ = false;
    bool completed_ = false;
};

} // namespace velune
