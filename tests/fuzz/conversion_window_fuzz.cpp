// The conversion window's commands and ticks against a scripted engine's answers: after every step
// a trigger comes after its data, progress is 0 to 100, a closed window's timer is off, and no
// source is gone whose item was not converted.
#include "conversion_window.h"
#include "converter_settings.h"
#include "fakes.h"
#include "fuzz_input.h"
#include "media.h"

#include <QTemporaryDir>
#include <cmath>

using namespace velune;
using namespace velune::fuzz;
using namespace velune::test;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static QTemporaryDir dir;
    static const char* const kCommands[] = {"IDC_FS_Drag",  "IDC_FS_OK",       "IDC_FS_Cancel",
                                            "IDC_FS_Close", "IDC_FS_Minimize", "IDC_FS_Other"};
    static const std::optional<float> kPositions[] = {0.0f, 0.25f, 0.999f, 1.0f, NAN, {}};
    static const QString kFailures[] = {{}, u"add"_s, u"start"_s, {}};
    Input input(data, size);
    QStringList files;
    for (const char* name : {"a.wav", "b.wav", "c.wav"}) {
        files << dir.filePath(QString::fromLatin1(name));
        WriteFile(files.back(), "RIFF....WAVE");
    }
    files << dir.filePath(u"missing.wav"_s);
    const QStringList subfolders;
    const std::vector<std::optional<SheetTrack>> tracks;
    const QString out;
    Around around;
    ScriptedEngine engine;
    const uint8_t setup = input.Byte();
    engine.failing = kFailures[setup % 4];
    ConverterSettings settings;
    settings.targetName = u"mp3"_s;
    settings.deleteSources = setup & 4;
    ConversionWindow window(settings,
                            {around.face, around.form, around.messages, engine, around.timer, files,
                             subfolders, tracks, out, around.background, u"/opt/velune"_s});
    window.Start();
    for (int step = 0; step < 60 && !input.empty(); ++step) {
        around.face.writes.clear();
        switch (input.Byte() % 7) {
        case 0:
            window.OnFaceCommand(QString::fromLatin1(kCommands[input.Byte() % 6]), u"undefined"_s);
            break;
        case 1:
            window.Tick();
            break;
        case 2:
            engine.index = static_cast<int>(input.Byte() % 6) - 1;
            break;
        case 3:
            engine.position = kPositions[input.Byte() % 6];
            break;
        case 4: {
            const int item = input.Byte() % 3;
            engine.states.resize(std::max<qsizetype>(engine.states.size(), item + 1)); // Queued
            engine.states[item] = static_cast<ConverterEngine::ItemState>(input.Byte() % 4);
            break;
        }
        case 5:
            engine.finished = !engine.finished;
            break;
        default:
            window.Unload();
            break;
        }
        RequireTriggersAfterData(around.face.writes);
        for (const QString& write : around.face.writes.filter(u"_root.ProgressValue="_s)) {
            const int value = write.section(u'=', 1).toInt();
            Require(value >= 0 && value <= 100, "progress from 0 to 100", write);
        }
        Require(!window.Closed() || !around.timer.enabled, "a closed window's timer is off");
        for (int i = 0; i < 3; ++i)
            Require(IsFile(files[i]) ||
                        engine.states.value(i) == ConverterEngine::ItemState::Converted,
                    "a source is gone only once converted", files[i]);
    }
    return 0;
}
