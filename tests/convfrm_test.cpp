// The conversion window with a scripted engine: wrong rows or names shown, jobs queued
// wrong, completion reported early, sources deleted that were not safely converted.
#include "convfrm.h"
#include "fakes.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

using namespace velune;
using namespace velune::test;
using State = ConverterEngine::ItemState;

namespace {

class ScriptedEngine : public ConverterEngine {
public:
    void clear() override { calls << QStringLiteral("clear"); }
    bool add(const ConversionJob& job) override {
        jobs.push_back(job);
        return Call(QStringLiteral("add"));
    }
    bool start() override { return Call(QStringLiteral("start")); }
    void cancel() override { calls << QStringLiteral("cancel"); }
    int PlaylistIndex() const override { return index; }
    std::optional<float> Position() const override { return position; }
    std::optional<int> Time() const override { return time; }
    QString lastError() const override { return QStringLiteral("engine broke"); }
    bool Finished() const override { return finished; }
    ItemState State(int item) const override {
        return item < states.size() ? states[item] : ItemState::Queued;
    }
    QString FailureReason(int item) const override {
        return item < reasons.size() ? reasons[item] : QString();
    }
    std::optional<qint64> Duration(const QString& path) override {
        return durations.value(QFileInfo(path).fileName(), 3000);
    }

    bool Call(const QString& name) {
        calls << name;
        return name != failing;
    }

    QStringList calls;
    std::vector<ConversionJob> jobs;
    QString failing;
    int index = -1;
    std::optional<float> position;
    std::optional<int> time;
    bool finished = false;
    QList<ConverterEngine::ItemState> states;
    QStringList reasons;
    QHash<QString, qint64> durations;
};

class ConversionWindow : public ::testing::Test {
protected:
    ConversionWindow() { mod.TargetFormat = QStringLiteral("wav"); }

    QString File(const QString& name) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("data");
        return path;
    }
    ConvFrm& Load() {
        frm =
            std::make_unique<ConvFrm>(mod, ConvFrm::Parts{face, form, messages, engine, timer, list,
                                                          out, QStringLiteral("/opt/velune")});
        EXPECT_TRUE(frm->Form_Load());
        return *frm;
    }

    QTemporaryDir dir;
    VeluneMod mod;
    RecordingFace face;
    RecordingForm form;
    ScriptedMessages messages;
    ScriptedEngine engine;
    RecordingTicker timer;
    QStringList list;
    QString out;
    std::unique_ptr<ConvFrm> frm;
};

TEST_F(ConversionWindow, LoadQueuesExistingFilesInOrderThenStartsTheEngine) {
    const QString a = File(QStringLiteral("a.mp3"));
    const QString c = File(QStringLiteral("c.ogg"));
    // A trailing blank: the path is tested as it is and handed to the engine trimmed.
    const QString song = File(QStringLiteral("Song.mp3"));
    list = {a, dir.filePath(QStringLiteral("b.wav")), c, File(QStringLiteral("Song.mp3 "))};
    mod.TargetFormat = QStringLiteral("mp3");
    mod.DeleteSource = true;
    Load();
    EXPECT_EQ(face.loaded, std::vector<QString>{QStringLiteral("0:/opt/velune/VeluneC1.qml")});
    EXPECT_EQ(form.position, QPoint(0, 0));
    EXPECT_EQ(form.windowSize, QSize(338, 187));
    EXPECT_EQ(messages.shown, QStringList{QStringLiteral("Input file dosen't exist")});
    EXPECT_EQ(engine.calls,
              (QStringList{QStringLiteral("clear"), QStringLiteral("add"), QStringLiteral("add"),
                           QStringLiteral("add"), QStringLiteral("start")}));
    ASSERT_EQ(engine.jobs.size(), 3u);
    // Beside its source; the source itself holds the first name of its own format.
    const QStringList outputs{dir.filePath(QStringLiteral("a 1.mp3")),
                              dir.filePath(QStringLiteral("c.mp3")),
                              dir.filePath(QStringLiteral("Song 1.mp3"))};
    const QStringList sources{a, c, song};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(engine.jobs[i].source, sources[i]);
        EXPECT_EQ(engine.jobs[i].output, outputs[i]);
        EXPECT_EQ(engine.jobs[i].format, TargetFormat::Mp3);
    }
    EXPECT_TRUE(timer.enabled);
    EXPECT_TRUE(mod.ConversionWindowOpen);
    EXPECT_FALSE(frm->Closed());
}

TEST_F(ConversionWindow, NothingQueuedCompletesAtOnce) {
    list = {dir.filePath(QStringLiteral("gone.wav")), dir.filePath(QStringLiteral("gone2.wav"))};
    engine.finished = true;
    Load();
    EXPECT_EQ(messages.shown.size(), 2);
    EXPECT_EQ(face.writes, (QStringList{QStringLiteral("_root.FileTxt=Conversion complete"),
                                        QStringLiteral("_root.SetFileTxt=1"),
                                        QStringLiteral("_root.ProgressValue=100"),
                                        QStringLiteral("_root.SetProgress=1"),
                                        QStringLiteral("_root.ShowOkbtn=1"),
                                        QStringLiteral("_root.ArrowPlay=0")}));
    EXPECT_FALSE(timer.enabled);
}

TEST_F(ConversionWindow, AnEngineFailureWhileQueuingIsShownAndClosesTheWindow) {
    list = {File(QStringLiteral("a.wav"))};
    engine.failing = QStringLiteral("start");
    Load();
    EXPECT_EQ(messages.shown,
              QStringList{QStringLiteral("The conversion could not be started: engine broke")});
    EXPECT_TRUE(frm->Closed());
    EXPECT_FALSE(timer.enabled);
    frm->Form_Unload();
    EXPECT_FALSE(mod.ConversionWindowOpen);
}

TEST_F(ConversionWindow, TickShowsTheRowOfTheLowestUnfinishedItemAndItsPercentage) {
    const QString a = File(QStringLiteral("a.wav"));
    const QString c = File(QStringLiteral("c.wav"));
    list = {a, dir.filePath(QStringLiteral("missing.wav")), c};
    Load();
    face.writes.clear();
    frm->Timer1_Timer(); // nothing current yet: nothing to show
    EXPECT_TRUE(face.writes.isEmpty());

    // The second queued item is list row 2: the missing row 1 does not shift the names.
    const std::vector<std::pair<float, QString>> rows{
        {0.29f, QStringLiteral("28")}, {0.999f, QStringLiteral("99")}, {0.0f, QStringLiteral("0")}};
    engine.index = 1;
    for (const auto& [position, shown] : rows) {
        engine.position = position;
        engine.time = 0; // position and time reading equal do not end a run
        frm->Timer1_Timer();
        EXPECT_EQ(face.store.value(QStringLiteral("_root.FileTxt")), c);
        EXPECT_EQ(face.store.value(QStringLiteral("_root.ProgressValue")), shown);
        EXPECT_EQ(face.writes.last(), QStringLiteral("_root.ArrowPlay=1"));
    }
    EXPECT_TRUE(timer.enabled);
}

TEST_F(ConversionWindow, CompletionNamesTheFilesThatFailed) {
    const QString a = File(QStringLiteral("a.wav"));
    const QString b = File(QStringLiteral("b.mp3"));
    list = {a, b};
    Load();
    engine.finished = true;
    engine.states = {State::Converted, State::Failed};
    engine.reasons = {QString(), QStringLiteral("No space left on device")};
    frm->Timer1_Timer();
    EXPECT_EQ(face.store.value(QStringLiteral("_root.FileTxt")),
              QStringLiteral("Conversion complete"));
    EXPECT_EQ(messages.shown,
              QStringList{QStringLiteral("These files could not be converted:\n\n") + b +
                          QStringLiteral(" (No space left on device)")});
    EXPECT_FALSE(timer.enabled);
}

TEST_F(ConversionWindow, EveryCommandButDragClosesAndStopsTheEngine) {
    list = {File(QStringLiteral("a.wav"))};
    Load();
    engine.calls.clear();
    form.calls.clear();
    frm->Flash_FSCommand(QStringLiteral("IDC_FS_Drag"), QStringLiteral("undefined"));
    EXPECT_TRUE(engine.calls.isEmpty());
    EXPECT_FALSE(frm->Closed());

    frm->Flash_FSCommand(QStringLiteral("IDC_FS_Close"), QStringLiteral("undefined"));
    EXPECT_EQ(engine.calls, (QStringList{QStringLiteral("cancel"), QStringLiteral("clear")}));
    EXPECT_EQ(form.calls, (QStringList{QStringLiteral("unhook"), QStringLiteral("hide")}));
    EXPECT_TRUE(frm->Closed());
}

// Which flagged sources go at unload: only those whose conversion is complete,
// that are still the file that was converted and that the user may change.
TEST_F(ConversionWindow, DeletesOnlySourcesWhoseConversionIsCompleteAndTheSame) {
    struct Row {
        const char* what;
        State state;
        std::function<void(const QString& source)> meanwhile;
        bool deleted;
    };
    const std::vector<Row> rows{
        {"converted", State::Converted, {}, true},
        {"failed", State::Failed, {}, false},
        {"read-only", State::Converted,
         [](const QString& path) { QFile::setPermissions(path, QFile::ReadOwner); }, false},
        {"replaced by another recording", State::Converted,
         [](const QString& path) {
             QFile::remove(path);
             QFile file(path);
             ASSERT_TRUE(file.open(QIODevice::WriteOnly));
             file.write("another recording");
         },
         false},
        {"output shorter than the source", State::Converted, {}, false},
    };
    mod.DeleteSource = true;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const QString source = File(QStringLiteral("%1.wav").arg(QLatin1String(row.what)));
        list = {source};
        engine.states = {row.state};
        Load();
        File(QStringLiteral("%1 1.wav").arg(QLatin1String(row.what))); // its output
        if (QLatin1String(row.what).startsWith(QLatin1String("output shorter")))
            engine.durations.insert(QStringLiteral("%1 1.wav").arg(QLatin1String(row.what)), 2400);
        if (row.meanwhile)
            row.meanwhile(source);
        engine.finished = true;
        frm->Timer1_Timer();
        frm->Form_Unload();
        EXPECT_EQ(!QFile::exists(source), row.deleted);
    }
    // A row added after queuing was never converted.
    const QString later = File(QStringLiteral("later.wav"));
    list << later;
    frm->Form_Unload();
    EXPECT_TRUE(QFile::exists(later));
}

} // namespace
