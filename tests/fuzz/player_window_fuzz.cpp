// The player window's command table, driven by the input: face commands with their
// arguments, the dialog's answers and the engine's reports (advances, items left
// out, ends, failures, the mixer). After every step the window's promises hold: the
// face's list is the model's, the current, chosen and queued rows exist or are none,
// and no trigger is written without its data.
#include "fakes.h"
#include "fuzz_input.h"
#include "media.h"
#include "player_window.h"

#include <QTemporaryDir>

using namespace velune;
using namespace velune::fuzz;
using namespace velune::test;

namespace {

void CheckTriggers(const QStringList& writes) {
    // Each trigger and the data it must come after, since its last writing.
    const std::pair<const char*, std::vector<const char*>> kTriggers[] = {
        {"_root.SetFileTxt", {"_root.FileTxt"}},
        {"_root.SetTimeTxt", {"_root.TotalTimeTxt", "_root.TimePlayedTxt"}},
        {"_root.SetAddedFiles", {"_root.AddedFiles"}},
    };
    for (const auto& [trigger, data] : kTriggers) {
        QSet<QString> since;
        for (const QString& write : writes) {
            const QString name = write.section(u'=', 0, 0);
            if (name == QLatin1String(trigger)) {
                for (const char* needed : data)
                    Require(since.contains(QLatin1String(needed)), "a trigger after its data",
                            QLatin1String(trigger));
                since.clear();
            } else {
                since.insert(name);
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static QTemporaryDir dir;
    static const QStringList files = [] {
        QStringList made;
        for (const char* name : {"a.mp3", "b.wav", "c|d.ogg", "e\\f.flac", "g.ram"}) {
            made << dir.filePath(QString::fromLatin1(name));
            WriteFile(made.back());
        }
        return made << dir.filePath(QStringLiteral("missing.wav"))
                    << dir.filePath(QStringLiteral("notes.txt"));
    }();
    static const char* const kCommands[] = {
        "IDC_FS_Play",      "IDC_FS_Pause",  "IDC_FS_Stop",          "IDC_FS_Previous",
        "IDC_FS_Next",      "IDC_FS_Repeat", "IDC_FS_SoundOff",      "IDC_FS_SoundOn",
        "IDC_FS_ShowList",  "IDC_FS_Volume", "IDC_FS_KnobReleased",  "IDC_FS_OpenFile",
        "IDC_FS_HideList",  "IDC_FS_Add",    "IDC_FS_SelectedIndex", "IDC_FS_Remove",
        "IDC_FS_RemoveAll", "IDC_FS_SeekBy", "IDC_FS_ReplayGain",    "IDC_FS_Unknown"};
    Input input(data, size);
    Around around;
    ScriptedPlayer engine;
    PlayerWindow window({around.face, around.form, around.messages, around.dialog, around.lock,
                         engine, around.timer, QStringLiteral("/opt/velune")});
    window.Start();
    QStringList faceRows;
    for (int step = 0; step < 200 && !input.empty(); ++step) {
        around.face.writes.clear();
        const uint8_t what = input.Byte();
        if (what < 160) {
            const char* command = kCommands[what % std::size(kCommands)];
            const QString args = QString::fromUtf8(input.Piece());
            if (what % std::size(kCommands) == 13 || what % std::size(kCommands) == 11) {
                QStringList chosen;
                for (int n = input.Byte() % 4; n > 0; --n)
                    chosen << files[input.Byte() % files.size()];
                around.dialog.Choose(chosen);
            }
            around.face.store.insert(QStringLiteral("_root.KnobPosition"), args);
            around.face.store.insert(QStringLiteral("_root.VolumePosition"), args);
            // The face removes its own row before it says so: the one it names, else
            // the one chosen in it (the host's chosen row).
            if (QLatin1String(command) == QLatin1String("IDC_FS_Remove")) {
                bool whole = false;
                int row = args.trimmed().toInt(&whole);
                if (!whole || row < 0 || row >= faceRows.size())
                    row = window.list().chosen();
                if (row >= 0 && row < faceRows.size())
                    faceRows.removeAt(row);
            }
            window.OnFaceCommand(QString::fromLatin1(command), args);
        } else {
            switch (what % 8) {
            case 0:
                engine.Advance();
                break;
            case 1:
                engine.Skip(input.Byte() % 2 == 0);
                break;
            case 2:
                engine.ended = true;
                break;
            case 3:
                engine.ended = true, engine.soundFailure = QStringLiteral("gone");
                break;
            case 4:
                engine.ended = true, engine.itemFailure = QStringLiteral("damaged");
                break;
            case 5:
                engine.mixer = std::pair{int(input.Byte()), input.Byte() % 2 == 0};
                break;
            case 6:
                engine.length = input.Byte() * 1000.0, engine.time = input.Byte() * 500.0;
                break;
            default:
                window.Tick();
                break;
            }
            window.FollowEngine();
            engine.soundFailure.clear();
            engine.itemFailure.clear();
        }
        // What the face was told.
        QString added;
        for (const QString& write : std::as_const(around.face.writes)) {
            if (write == QLatin1String("_root.RemoveAll=1"))
                faceRows.clear();
            else if (write.startsWith(QLatin1String("_root.AddedFiles=")))
                added = write.mid(17);
            else if (write == QLatin1String("_root.SetAddedFiles=1"))
                faceRows << SplitFaceRows(added);
        }
        CheckTriggers(around.face.writes);
        const Playlist& list = window.list();
        QStringList readable;
        for (const QString& row : list.rows())
            readable << Readable(row);
        Require(faceRows == readable, "the face's list is the window's");
        for (const int row : {list.current(), list.chosen(), list.queued()})
            Require(row == -1 || list.contains(row), "a row that exists, or none");
        Require(!engine.playing || list.contains(list.current()), "what plays is a row");
    }
    return 0;
}
