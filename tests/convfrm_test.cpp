// The conversion window with a scripted engine: wrong rows or names shown, jobs queued
// wrong, completion reported early, sources deleted that were not safely converted.
#include "convfrm.h"
#include "fakes.h"
#include "media.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

using namespace velune;
using namespace velune::test;
using State = ConverterEngine::ItemState;

namespace {

class ScriptedEngine : public ConverterEngine {
public:
    void clear() override { calls << u"clear"_s; }
    bool add(const ConversionJob& job) override {
        jobs.push_back(job);
        return Call(u"add"_s);
    }
    bool start() override { return Call(u"start"_s); }
    void cancel() override { calls << u"cancel"_s; }
    int PlaylistIndex() const override { return index; }
    std::optional<float> Position() const override { return position; }
    std::optional<int> Time() const override { return time; }
    QString lastError() const override { return u"engine broke"_s; }
    bool Finished() const override { return finished; }
    ItemState State(int item) const override { return states.value(item, ItemState::Queued); }
    QString FailureReason(int item) const override { return reasons.value(item); }
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
    QList<ItemState> states;
    QStringList reasons;
    QHash<QString, qint64> durations;
};

class ConversionWindow : public ::testing::Test {
protected:
    ConversionWindow() { mod.TargetFormat = u"wav"_s; }

    QString File(const QString& name) {
        EXPECT_TRUE(WriteFile(dir.filePath(name), "data"));
        return dir.filePath(name);
    }
    void Load() {
        frm = std::make_unique<ConvFrm>(
            mod, ConvFrm::Parts{face, form, messages, engine, timer, list, out, u"/opt/velune"_s});
        EXPECT_TRUE(frm->Form_Load());
    }
    QString Shown(const QString& name) { return face.store.value(name); }

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
    const QString a = File(u"a.mp3"_s);
    const QString c = File(u"c.ogg"_s);
    // A trailing blank: the path is tested as it is and handed to the engine trimmed.
    const QString song = File(u"Song.mp3"_s);
    list = {a, dir.filePath(u"b.wav"_s), c, File(u"Song.mp3 "_s)};
    mod.TargetFormat = u"mp3"_s;
    Load();
    EXPECT_EQ(face.loaded, std::vector<QString>{u"0:/opt/velune/VeluneC1.qml"_s});
    EXPECT_EQ(form.position, QPoint(0, 0));
    EXPECT_EQ(form.windowSize, QSize(338, 187));
    EXPECT_EQ(messages.shown, QStringList{u"Input file dosen't exist"_s});
    EXPECT_EQ(engine.calls, (QStringList{u"clear"_s, u"add"_s, u"add"_s, u"add"_s, u"start"_s}));
    // Beside its source; the source itself holds the first name of its own format.
    const std::vector<std::pair<QString, QString>> jobs{
        {a, u"a 1.mp3"_s}, {c, u"c.mp3"_s}, {song, u"Song 1.mp3"_s}};
    ASSERT_EQ(engine.jobs.size(), jobs.size());
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        EXPECT_EQ(engine.jobs[i].source, jobs[i].first);
        EXPECT_EQ(engine.jobs[i].output, dir.filePath(jobs[i].second));
        EXPECT_EQ(engine.jobs[i].format, TargetFormat::Mp3);
    }
    EXPECT_TRUE(timer.enabled);
    EXPECT_TRUE(mod.ConversionWindowOpen);
}

TEST_F(ConversionWindow, NothingQueuedCompletesAtOnce) {
    list = {dir.filePath(u"gone.wav"_s), dir.filePath(u"gone2.wav"_s)};
    engine.finished = true;
    Load();
    EXPECT_EQ(messages.shown.size(), 2);
    EXPECT_EQ(face.writes,
              (QStringList{u"_root.FileTxt=Conversion complete"_s, u"_root.SetFileTxt=1"_s,
                           u"_root.ProgressValue=100"_s, u"_root.SetProgress=1"_s,
                           u"_root.ShowOkbtn=1"_s, u"_root.ArrowPlay=0"_s}));
    EXPECT_FALSE(timer.enabled);
}

TEST_F(ConversionWindow, AnEngineFailureWhileQueuingIsShownAndClosesTheWindow) {
    list = {File(u"a.wav"_s)};
    engine.failing = u"start"_s;
    Load();
    EXPECT_EQ(messages.shown, QStringList{u"The conversion could not be started: engine broke"_s});
    EXPECT_TRUE(frm->Closed());
    EXPECT_FALSE(timer.enabled);
    frm->Form_Unload();
    EXPECT_FALSE(mod.ConversionWindowOpen);
}

TEST_F(ConversionWindow, TickShowsTheRowOfTheLowestUnfinishedItemAndItsPercentage) {
    const QString c = File(u"c.wav"_s);
    list = {File(u"a.wav"_s), dir.filePath(u"missing.wav"_s), c};
    Load();
    face.writes.clear();
    frm->Timer1_Timer(); // nothing current yet: nothing to show
    EXPECT_TRUE(face.writes.isEmpty());

    // The second queued item is list row 2: the missing row 1 does not shift the names.
    engine.index = 1;
    engine.time = 0; // position and time reading equal do not end a run
    for (const auto& [position, shown] :
         std::vector<std::pair<float, QString>>{{0.29f, u"28"_s}, {0.999f, u"99"_s}, {0, u"0"_s}}) {
        engine.position = position;
        frm->Timer1_Timer();
        EXPECT_EQ(Shown(u"_root.FileTxt"_s), c);
        EXPECT_EQ(Shown(u"_root.ProgressValue"_s), shown);
        EXPECT_EQ(face.writes.last(), u"_root.ArrowPlay=1"_s);
    }
    EXPECT_TRUE(timer.enabled);
}

TEST_F(ConversionWindow, CompletionNamesTheFilesThatFailed) {
    const QString b = File(u"b.mp3"_s);
    list = {File(u"a.wav"_s), b};
    Load();
    engine.finished = true;
    engine.states = {State::Converted, State::Failed};
    engine.reasons = {QString(), u"No space left on device"_s};
    frm->Timer1_Timer();
    EXPECT_EQ(Shown(u"_root.FileTxt"_s), u"Conversion complete"_s);
    EXPECT_EQ(messages.shown, QStringList{u"These files could not be converted:\n\n"_s + b +
                                          u" (No space left on device)"_s});
    EXPECT_FALSE(timer.enabled);
}

TEST_F(ConversionWindow, EveryCommandButDragClosesAndStopsTheEngine) {
    list = {File(u"a.wav"_s)};
    Load();
    engine.calls.clear();
    form.calls.clear();
    frm->Flash_FSCommand(u"IDC_FS_Drag"_s, u"undefined"_s);
    EXPECT_TRUE(engine.calls.isEmpty());
    EXPECT_FALSE(frm->Closed());
    frm->Flash_FSCommand(u"IDC_FS_Close"_s, u"undefined"_s);
    EXPECT_EQ(engine.calls, (QStringList{u"cancel"_s, u"clear"_s}));
    EXPECT_EQ(form.calls, (QStringList{u"unhook"_s, u"hide"_s}));
    EXPECT_TRUE(frm->Closed());
}

// Which flagged sources go at unload: only those whose conversion is complete,
// that are still the file that was converted and that the user may change.
TEST_F(ConversionWindow, DeletesOnlySourcesWhoseConversionIsCompleteAndTheSame) {
    struct Row {
        QString what;
        State state;
        std::function<void(const QString& source)> meanwhile;
        bool deleted;
    };
    const std::vector<Row> rows{
        {u"converted"_s, State::Converted, {}, true},
        {u"failed"_s, State::Failed, {}, false},
        {u"read-only"_s, State::Converted,
         [](const QString& path) { QFile::setPermissions(path, QFile::ReadOwner); }, false},
        {u"replaced by another recording"_s, State::Converted,
         [](const QString& path) { QFile::remove(path), WriteFile(path, "another recording"); },
         false},
        {u"output shorter than the source"_s, State::Converted, {}, false},
    };
    mod.DeleteSource = true;
    engine.durations.insert(u"output shorter than the source 1.wav"_s, 2400);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what.toStdString());
        const QString source = File(row.what + u".wav"_s);
        list = {source};
        engine.states = {row.state};
        Load();
        File(row.what + u" 1.wav"_s); // its output
        if (row.meanwhile)
            row.meanwhile(source);
        engine.finished = true;
        frm->Timer1_Timer();
        frm->Form_Unload();
        EXPECT_EQ(!QFile::exists(source), row.deleted);
    }
    // A row added after queuing was never converted.
    const QString later = File(u"later.wav"_s);
    list << later;
    frm->Form_Unload();
    EXPECT_TRUE(QFile::exists(later));
}

} // namespace
