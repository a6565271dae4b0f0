// The converter window's commands with the dialogs' answers (files, missing ones, a folder,
// sheets): after every step the face's list is the window's, and no trigger comes without its data.
#include "conversion_dialog.h"
#include "converter_settings.h"
#include "converter_window.h"
#include "fakes.h"
#include "fuzz_input.h"
#include "media.h"

#include <QTemporaryDir>

using namespace velune;
using namespace velune::fuzz;
using namespace velune::test;

namespace {

struct StubConversion : ConversionDialog {
    explicit StubConversion(ConverterSettings& s) : settings(s) {}
    void ShowModal() override { settings.conversionWindowOpen = true; }
    void Unload() override { settings.conversionWindowOpen = false; }
    ConverterSettings& settings;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static QTemporaryDir dir;
    static const QStringList files = [] {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(u"config"_s)));
        QStringList made;
        for (const char* name : {"a.mp3", "b.wav", "c|d.ogg", "sub/e\\f.flac", "sub/g.txt"}) {
            made << dir.filePath(QString::fromLatin1(name));
            MakeFolders(FolderOf(made.back()));
            WriteFile(made.back(), "RIFF....WAVE");
        }
        // A sheet for b.wav, and one whose audio is gone.
        made << dir.filePath(u"disc.cue"_s) << dir.filePath(u"gone.cue"_s);
        WriteFile(made[made.size() - 2], "FILE b.wav WAVE\nTRACK 1 AUDIO\nINDEX 01 00:00:00\n"
                                         "TRACK 2 AUDIO\nTITLE \"x|y\"\nINDEX 01 00:01:00\n");
        WriteFile(made.back(), "FILE none.wav WAVE\nTRACK 1 AUDIO\nINDEX 01 00:00:00\n");
        return made << dir.filePath(u"missing.wav"_s);
    }();
    // clang-format off
    static const char* const kCommands[] = {
        "IDC_FS_Add",       "IDC_FS_AddFolder",    "IDC_FS_Remove",         "IDC_FS_RemoveAll",
        "IDC_FS_Browse",    "IDC_FS_ConvertTo",    "IDC_FS_Quality",        "IDC_FS_ReplayGain",
        "IDC_FS_Pattern",   "IDC_FS_SkipExisting", "IDC_FS_Convert",        "IDC_FS_SameDirectory",
        "IDC_FS_Selected",  "IDC_FS_UnSelected",   "IDC_FS_About",          "IDC_FS_Unknown",
        "IDC_FS_Rate",      "IDC_FS_Channels",     "IDC_FS_Bits",           "IDC_FS_CopySame",
        "IDC_FS_KeepTimes", "IDC_FS_TruePeak",     "IDC_FS_PreventClipping", "IDC_FS_AcceptDamaged",
        "IDC_FS_Id3v23"};
    // clang-format on
    Input input(data, size);
    Around around;
    ConverterSettings settings;
    StubConversion conversion(settings);
    ConverterWindow window(settings, {around.face, around.form, around.messages, around.dialog,
                                      around.folders, around.shell, around.lock, conversion,
                                      around.background, u"/opt/velune"_s});
    window.Start();
    QStringList faceRows;
    for (int step = 0; step < 100 && !input.empty(); ++step) {
        around.face.writes.clear();
        const QString command = QString::fromLatin1(kCommands[input.Byte() % std::size(kCommands)]);
        const QString args = QString::fromUtf8(input.Piece());
        QStringList chosen;
        for (int n = input.Byte() % 4; n > 0; --n)
            chosen << files[input.Byte() % files.size()];
        around.dialog.Choose(chosen);
        around.folders.answer = input.Byte() % 2 ? dir.path() : QString();
        // The face removes its own row before it says so.
        bool whole = false;
        const int row = args.trimmed().toInt(&whole);
        if (command == u"IDC_FS_Remove"_s && whole && row >= 0 && row < faceRows.size())
            faceRows.removeAt(row);
        window.OnFaceCommand(command, args);
        if (settings.conversionWindowOpen)
            window.Activated(); // the conversion window closed again
        RequireTriggersAfterData(around.face.writes);
        QString added;
        for (const QString& write : std::as_const(around.face.writes)) {
            if (write == u"_root.RemoveAll=1"_s)
                faceRows.clear();
            else if (write.startsWith(u"_root.AddedFiles="_s))
                added = write.mid(17);
            else if (write == u"_root.SetAddedFiles=1"_s)
                faceRows << SplitFaceRows(added);
        }
        Require(window.Tracks().size() == static_cast<std::size_t>(window.Files().size()),
                "a track, or none, for every row");
        QStringList readable;
        for (qsizetype i = 0; i < window.Files().size(); ++i) {
            const auto& track = window.Tracks()[static_cast<std::size_t>(i)];
            readable << Readable(window.Files()[i]) +
                            (track ? u" — %1. %2"_s.arg(track->number).arg(track->shown)
                                   : QString());
        }
        Require(faceRows == readable, "the face's list is the window's",
                faceRows.join(u',') + u" / "_s + readable.join(u','));
    }
    return 0;
}
