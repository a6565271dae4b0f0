#pragma once

#include "converter_settings.h"
#include "library.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

namespace velune {

class Background;
class ConversionDialog;
class Face;
class FolderChooser;
class Form;
class InstanceLock;
class MessageBoxes;
class OpenFileDialog;
class Shell;

// The converter's main window: its file list, output folder and command table.
class ConverterWindow {
public:
    struct Parts {
        Face& face;
        Form& form;
        MessageBoxes& messages;
        OpenFileDialog& dialog;
        FolderChooser& folders;
        Shell& shell;
        InstanceLock& instance;
        ConversionDialog& conversion;
        Background& background;
        QString programFolder;
    };

    ConverterWindow(ConverterSettings& settings, Parts parts)
        : settings_(settings), p_(std::move(parts)) {}

    // Start-up; false when the program must end (another copy runs, no face).
    bool Start();
    void Activated();
    void OnFaceCommand(const QString& command, const QString& args);
    // Picks files that join the list.
    void AddFiles();
    // Picks a folder whose audio files, found on a worker, join the list.
    void AddFolder();
    // Files and folders from outside (dropped on the face): files join the list as
    // they are, each folder with the audio files below it.
    void AddPaths(const QStringList& paths);

    // What is remembered between runs: the format, the quality chosen for each
    // format, whether ReplayGain tags are written, the output folder ("" beside the
    // sources), the naming pattern, whether converted files are skipped, and the
    // folder that Add and Add folder used last.
    struct Remembered {
        QString format = QStringLiteral("wav");
        QHash<QString, QString> qualities;
        bool replayGain = false;
        QString outputFolder;
        QString pattern;
        bool skipExisting = false;
        QString lastFolder;
        OutputOptions output = {};
    };
    Remembered Remember() const;
    void Restore(const Remembered& state);
    // The output's shape, copies and times as chosen; each is shown on the face.
    void SetOutputOptions(const OutputOptions& output);

    const QStringList& Files() const { return files_; }
    // For each row, its folder below the folder it was added with ("" for a file
    // added on its own): its output goes there below the output folder.
    const QStringList& Subfolders() const { return subfolders_; }
    // "" when each output goes beside its source.
    const QString& OutputFolder() const { return outputFolder_; }
    // For each row, the CD image track it stands for (its file is the image's audio),
    // or none for a whole file.
    const std::vector<std::optional<SheetTrack>>& Tracks() const { return tracks_; }

private:
    void Remove(const QString& row);
    void RemoveAll();
    void ChooseOutputFolder();
    void SetTarget(const QString& name);
    void SetQuality(const QString& text);
    void SetReplayGain(bool on);
    void SetPattern(const QString& text);
    // One of the output's options as the face sends it (kRate, kCopySame, ...).
    void ChangeOutput(const char* command, const QString& args);
    // Where the file and folder dialogs open: the folder used last, else the Music folder.
    QString StartFolder() const;
    // Tells the face the qualities of the chosen format and which one is chosen.
    void ShowQualities();
    void Convert();
    void OpenHelp();
    void ShowVersion();
    void StartPlayer();

    // Whether the picked path may join the list; if not, the user is told why (a
    // path already listed is noted in `listed`, to be told once for the whole add).
    bool Acceptable(const SourceRow& row, QStringList& listed);
    void ScanAndAdd(const QString& folder);
    // The rows of files picked or dropped: sheets and images as their tracks.
    void AddFileRows(const QStringList& paths);
    // Appends the rows to the list and the face; duplicates are told in one message. The
    // list's header line then shows what the add passed over ("" for nothing).
    void AddRows(const std::vector<SourceRow>& rows, const QString& passedOver = {});
    void ShowListStatus(const QString& status);

    ConverterSettings& settings_;
    Parts p_;
    QStringList files_;
    QStringList subfolders_;
    std::vector<std::optional<SheetTrack>> tracks_;
    QString outputFolder_;
    QString lastFolder_;
    QString listStatus_;                // what the face's header line shows of the last add
    QHash<QString, QString> qualities_; // the quality chosen for each format, by its name
};

} // namespace velune
