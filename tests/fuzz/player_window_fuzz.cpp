// The player window driven by face commands, dialog answers and engine reports. After every
// step the face's list is the window's, the rows it names exist, no trigger lacks its data.
#include "fakes.h"
#include "fuzz_input.h"
#include "media.h"
#include "player_protocol.h"
#include "player_window.h"

#include <QTemporaryDir>

using namespace velune;
using namespace velune::fuzz;
using namespace velune::test;

constexpr int kFields = velune::player_face::kRowFields;
namespace {

void CheckTriggers(const QStringList& writes) {
    // Each trigger: the data it must come after, and what was written since its last writing.
    std::map<QString, std::pair<QStringList, QSet<QString>>> triggers{
        {u"_root.SetFileTxt"_s, {{u"_root.FileTxt"_s}, {}}},
        {u"_root.SetTimeTxt"_s, {{u"_root.TotalTimeTxt"_s, u"_root.TimePlayedTxt"_s}, {}}},
        {u"_root.SetAddedFiles"_s, {{u"_root.AddedFiles"_s}, {}}},
        {u"_root.SetListRows"_s, {{u"_root.ListRows"_s}, {}}},
        {u"_root.SetListChanges"_s, {{u"_root.ListChanges"_s}, {}}}};
    for (const QString& write : writes) {
        const QString name = write.section(u'=', 0, 0);
        if (const auto it = triggers.find(name); it != triggers.end()) {
            for (const QString& needed : it->second.first)
                Require(it->second.second.contains(needed), "a trigger after its data", name);
            it->second.second.clear();
        }
        for (auto& [trigger, since] : triggers)
            since.second.insert(name);
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
        "IDC_FS_Play",      "IDC_FS_Pause",    "IDC_FS_Stop",          "IDC_FS_Previous",
        "IDC_FS_Next",      "IDC_FS_Repeat",   "IDC_FS_SoundOff",      "IDC_FS_SoundOn",
        "IDC_FS_ShowList",  "IDC_FS_Volume",   "IDC_FS_KnobReleased",  "IDC_FS_OpenFile",
        "IDC_FS_HideList",  "IDC_FS_Add",      "IDC_FS_SelectedIndex", "IDC_FS_Remove",
        "IDC_FS_RemoveAll", "IDC_FS_SeekBy",   "IDC_FS_ReplayGain",    "IDC_FS_Unknown",
        "IDC_FS_AddFolder", "IDC_FS_Find",     "IDC_FS_PlayFound",     "IDC_FS_Sort",
        "IDC_FS_Shuffle",   "IDC_FS_PlayNext", "IDC_FS_SaveList"};
    static const char* const kWords[] = {"",      "a",      "mp3",  "added", "artist", "album",
                                         "title", "length", "file", "off",   "tracks", "albums"};
    Input input(data, size);
    Around around;
    ScriptedPlayer engine;
    around.folders.answer = dir.path();
    around.dialog.saveAs = dir.filePath(QStringLiteral("saved.m3u8"));
    PlayerWindow window({around.face, around.form, around.messages, around.dialog, around.lock,
                         engine, around.timer, QStringLiteral("/opt/velune"), around.folders,
                         around.background, around.cache.path()});
    window.Start();
    QStringList faceRows;
    for (int step = 0; step < 200 && !input.empty(); ++step) {
        around.face.writes.clear();
        const uint8_t what = input.Byte();
        if (what < 160) {
            const char* command = kCommands[what % std::size(kCommands)];
            // The library's commands mostly take words they know.
            const QString args = input.Byte() % 2 ? QString::fromUtf8(input.Piece())
                                                  : QLatin1String(kWords[input.Byte() % 12]);
            if (what % std::size(kCommands) == 13 || what % std::size(kCommands) == 11) {
                QStringList chosen;
                for (int n = input.Byte() % 4; n > 0; --n)
                    chosen << files[input.Byte() % files.size()];
                around.dialog.Choose(chosen);
            }
            around.face.store.insert(QStringLiteral("_root.KnobPosition"), args);
            around.face.store.insert(QStringLiteral("_root.VolumePosition"), args);
            // The face removes its own row before it says so: the one it names, else
            // the one chosen in it (the host's chosen row, as shown).
            if (QLatin1String(command) == QLatin1String("IDC_FS_Remove")) {
                bool whole = false;
                int row = args.trimmed().toInt(&whole);
                const auto& shown = window.ShownRows();
                if (!whole || row < 0 || row >= int(shown.size())) {
                    const auto at = std::ranges::find(shown, window.list().chosen());
                    row = at == shown.end() ? -1 : int(at - shown.begin());
                }
                if (row >= 0 && row * kFields + kFields <= faceRows.size())
                    faceRows.remove(row * kFields, kFields);
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
            case 3:
            case 4: // an end: plain, the sound server gone, or a damaged item
                engine.ended = true;
                engine.soundFailure = what % 8 == 3 ? QStringLiteral("gone") : QString();
                engine.gone = what % 8 == 4;
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
            engine.gone = false;
        }
        // What the face was told: the rows shown, each row's path and queue place.
        QString rows, changes;
        for (const QString& write : std::as_const(around.face.writes)) {
            if (write.startsWith(QLatin1String("_root.ListRows=")))
                rows = write.mid(15);
            else if (write.startsWith(QLatin1String("_root.ListChanges=")))
                changes = write.mid(18);
            else if (write == QLatin1String("_root.SetListRows=1"))
                faceRows = rows.isEmpty() ? QStringList() : SplitFaceRows(rows);
            else if (write == QLatin1String("_root.SetListChanges=1")) {
                const QStringList fields = SplitFaceRows(changes);
                for (qsizetype i = 0; i + kFields < fields.size(); i += kFields + 1) {
                    const qsizetype at = fields[i].toInt() * kFields;
                    Require(at >= 0 && at + kFields <= faceRows.size(), "a changed row is shown");
                    for (int f = 0; f < kFields; ++f)
                        faceRows[at + f] = fields[i + 1 + f];
                }
            }
        }
        CheckTriggers(around.face.writes);
        const Playlist& list = window.list();
        Require(faceRows.size() == qsizetype(window.ShownRows().size()) * kFields,
                "the face shows the rows found");
        for (std::size_t i = 0; i < window.ShownRows().size(); ++i) {
            const int row = window.ShownRows()[i];
            Require(list.contains(row) && faceRows[i * kFields] == Readable(list.at(row)),
                    "the face's row is the window's");
            const int place = window.Order().QueuePlace(list.id(row));
            Require(faceRows[i * kFields + 6] == (place > 0 ? QString::number(place) : QString()),
                    "a queued row shows its place");
        }
        for (const int row : {list.current(), list.chosen(), list.queued()})
            Require(row == -1 || list.contains(row), "a row that exists, or none");
        Require(!engine.playing || list.contains(list.current()), "what plays is a row");
    }
    return 0;
}
