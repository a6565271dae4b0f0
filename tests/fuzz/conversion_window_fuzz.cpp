// The conversion window's command table with a scripted engine: the input picks the
// face's commands, ticks, and the engine's answers (which item is converting and how
// far, each item's state, a failure to queue or start). After every step a trigger
// comes after its data, the progress shown is 0 to 100, a closed window's timer is
// off, and no source is gone whose item was not converted.
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
    static const float kPositions[] = {0.0f, 0.25f, 0.999f, 1.0f, NAN, -0.5f};
    Input input(data, size);
    QStringList files;
    for (const char* name : {"a.wav", "b.wav", "c.wav"}) {
        files << dir.filePath(QString::fromLatin1(name));
        WriteFile(files.back(), "RIFF....WAVE");
    }
    files << dir.filePath(QStringLiteral("missing.wav"));
    const QStringList subfolders;
    const std::vector<std::optional<SheetTrack>> tracks;
    const QString out;
    Around around;
    ScriptedEngine engine;
    const uint8_t setup = input.Byte();
    engine.failing = setup % 4 == 1   ? QStringLiteral("add")
                     : setup % 4 == 2 ? QStringLiteral("start")
                                      : QString();
    ConverterSettings settings;
    settings.targetName = QStringLiteral("mp3");
    settings.deleteSources = setup & 4;
    ConversionWindow window(settings, {around.face, around.form, around.messages, engine,
                                       around.timer, files, subfolders, tracks, out,
                                       around.background, QStringLiteral("/opt/velune")});
    window.Start();
    for (int step = 0; step < 60 && !input.empty(); ++step) {
        around.face.writes.clear();
        const uint8_t what = input.Byte();
        switch (what % 7) {
        case 0:
            window.OnFaceCommand(QString::fromLatin1(kCommands[input.Byte() % 6]),
                                 QStringLiteral("undefined"));
            break;
        case 1:
            window.Tick();
            break;
        case 2:
            engine.index = static_cast<int>(input.Byte() % 6) - 1;
            break;
        case 3: {
            const float position = kPositions[input.Byte() % 6];
            engine.position = position == -0.5f ? std::nullopt : std::optional<float>(position);
            break;
        }
        case 4: {
            const int item = input.Byte() % 3;
            while (engine.states.size() <= item)
                engine.states << ConverterEngine::ItemState::Queued;
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
        QSet<QString> since;
        for (const QString& write : std::as_const(around.face.writes)) {
            const QString name = write.section(u'=', 0, 0);
            if (name.startsWith(QLatin1String("_root.Set"))) {
                Require(!since.isEmpty(), "a trigger after its data", name);
                since.clear();
            } else {
                since.insert(name);
            }
            if (name == QLatin1String("_root.ProgressValue")) {
                const int value = write.section(u'=', 1).toInt();
                Require(value >= 0 && value <= 100, "progress from 0 to 100", write);
            }
        }
        if (window.Closed())
            Require(!around.timer.enabled, "a closed window's timer is off");
        for (int i = 0; i < 3; ++i)
            Require(IsFile(files[i]) ||
                        engine.states.value(i) == ConverterEngine::ItemState::Converted,
                    "a source is gone only once converted", files[i]);
    }
    return 0;
}
