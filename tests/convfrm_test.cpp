// The conversion window with a scripted engine: the exact order of calls and writes.
#include "convfrm.h"
#include "fakes.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace velune;
using namespace velune::test;
using State = ConverterEngine::ItemState;

namespace {

class ScriptedEngine : public ConverterEngine {
public:
    bool playlistClear() override { return Call(QStringLiteral("playlistClear")); }
    bool addTarget(const QString& uri, const QString& options, int mode, int position) override {
        targets << uri + QLatin1Char(' ') + options +
                       QStringLiteral(" %1 %2").arg(mode).arg(position);
        return Call(QStringLiteral("addTarget"));
    }
    bool play() override { return Call(QStringLiteral("play")); }
    bool pause() override { return Call(QStringLiteral("pause")); }
    bool stop() override { return Call(QStringLiteral("stop")); }
    bool playlistNext() override { return Call(QStringLiteral("playlistNext")); }
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
    std::optional<qint64> Duration(const QString&) override { return 3000; }

    bool Call(const QString& name) {
        calls << name;
        return name != failing;
    }

    QStringList calls;
    QStringList targets;
    QString failing;
    int index = -1;
    std::optional<float> position;
    std::optional<int> time;
    bool finished = false;
    QList<ConverterEngine::ItemState> states;
    QStringList reasons;
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
    list = {a, dir.filePath(QStringLiteral("b.wav")), c};
    mod.DeleteSource = true;
    out = dir.filePath(QStringLiteral("Out"));
    Load();
    EXPECT_EQ(face.loaded, std::vector<QString>{QStringLiteral("0:/opt/velune/VeluneC1.qml")});
    EXPECT_EQ(form.calls, (QStringList{QStringLiteral("geometry"), QStringLiteral("hook")}));
    EXPECT_EQ(form.position, QPoint(0, 0));
    EXPECT_EQ(form.windowSize, QSize(338, 187));
    EXPECT_EQ(messages.shown, QStringList{QStringLiteral("Input file dosen't exist")});
    EXPECT_EQ(engine.calls, (QStringList{QStringLiteral("playlistClear"),
                                         QStringLiteral("addTarget"), QStringLiteral("addTarget"),
                                         QStringLiteral("play"), QStringLiteral("playlistNext")}));
    EXPECT_EQ(
        engine.targets,
        (QStringList{a +
                         QStringLiteral(
                             " :sout=#transcode{acodec=s16l}:standard{access=file,mux=wav,dst='") +
                         out + QStringLiteral("/a.wav'} 1 0"),
                     c +
                         QStringLiteral(
                             " :sout=#transcode{acodec=s16l}:standard{access=file,mux=wav,dst='") +
                         out + QStringLiteral("/c.wav'} 1 0")}));
    EXPECT_TRUE(timer.enabled);
    EXPECT_TRUE(mod.ConversionWindowOpen);
    EXPECT_FALSE(frm->Closed());
}

TEST_F(ConversionWindow, TheSourceKeepsItsNameAndApostrophePathsAreEscaped) {
    const QString song = File(QStringLiteral("Song.mp3"));
    QDir().mkpath(dir.filePath(QStringLiteral("Bob's")));
    mod.TargetFormat = QStringLiteral("mp3");
    out = dir.filePath(QStringLiteral("Bob's"));
    // A trailing blank: the path is tested as it is and handed to the engine trimmed.
    list = {File(QStringLiteral("Song.mp3 "))};
    Load();
    ASSERT_EQ(engine.targets.size(), 1);
    EXPECT_TRUE(engine.targets[0].startsWith(song + QStringLiteral(" :sout=")));
    EXPECT_TRUE(engine.targets[0].contains(
        QStringLiteral("acodec=mp3}:standard{access=file,mux=dummy,dst='") +
        dir.filePath(QStringLiteral("Bob\\'s/Song.mp3'}"))));

    // Beside the source, the source itself holds the first name.
    list = {song};
    out.clear();
    engine.targets.clear();
    Load();
    EXPECT_TRUE(engine.targets[0].contains(QStringLiteral("/Song 1.mp3'}")));
}

TEST_F(ConversionWindow, NothingQueuedCompletesAtOnce) {
    list = {dir.filePath(QStringLiteral("gone.wav")), dir.filePath(QStringLiteral("gone2.wav"))};
    engine.finished = true;
    Load();
    EXPECT_EQ(messages.shown.size(), 2);
    EXPECT_EQ(engine.calls, (QStringList{QStringLiteral("playlistClear"), QStringLiteral("play"),
                                         QStringLiteral("playlistNext")}));
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
    engine.failing = QStringLiteral("addTarget");
    Load();
    EXPECT_EQ(messages.shown,
              QStringList{QStringLiteral("The conversion could not be started: engine broke")});
    EXPECT_TRUE(frm->Closed());
    EXPECT_EQ(form.calls.mid(2), (QStringList{QStringLiteral("unhook"), QStringLiteral("hide")}));
    EXPECT_FALSE(timer.enabled);
    EXPECT_TRUE(mod.ConversionWindowOpen);
    frm->Form_Unload();
    EXPECT_FALSE(mod.ConversionWindowOpen);
}

TEST_F(ConversionWindow, TickShowsTheRowOfTheItemAndItsPercentage) {
    const QString a = File(QStringLiteral("a.wav"));
    const QString c = File(QStringLiteral("c.wav"));
    list = {a, dir.filePath(QStringLiteral("missing.wav")), c};
    Load();
    face.writes.clear();
    engine.calls.clear();

    // No current item: nudge the engine, write nothing.
    frm->Timer1_Timer();
    EXPECT_EQ(engine.calls, QStringList{QStringLiteral("playlistNext")});
    EXPECT_TRUE(face.writes.isEmpty());

    // The second queued item is list row 2: the missing row 1 does not shift the names.
    engine.index = 1;
    engine.position = 0.29f;
    frm->Timer1_Timer();
    EXPECT_EQ(
        face.writes,
        (QStringList{QStringLiteral("_root.FileTxt=") + c, QStringLiteral("_root.SetFileTxt=1"),
                     QStringLiteral("_root.ProgressValue=28"),
                     QStringLiteral("_root.SetProgress=1"), QStringLiteral("_root.ArrowPlay=1")}));
    face.writes.clear();
    engine.position = 0.999f;
    frm->Timer1_Timer();
    EXPECT_EQ(face.writes[2], QStringLiteral("_root.ProgressValue=99"));
    face.writes.clear();
    engine.position.reset();
    frm->Timer1_Timer();
    EXPECT_EQ(
        face.writes,
        (QStringList{QStringLiteral("_root.FileTxt=") + c, QStringLiteral("_root.SetFileTxt=1"),
                     QStringLiteral("_root.SetProgress=1"), QStringLiteral("_root.ArrowPlay=1")}));

    // Position and time reading equal do not end a run: only the engine's word does.
    face.writes.clear();
    engine.position = 0.0f;
    engine.time = 0;
    frm->Timer1_Timer();
    EXPECT_FALSE(face.writes.contains(QStringLiteral("_root.ShowOkbtn=1")));
    EXPECT_TRUE(timer.enabled);
}

TEST_F(ConversionWindow, CompletionNamesTheFilesThatFailed) {
    const QString a = File(QStringLiteral("a.wav"));
    const QString b = File(QStringLiteral("b.mp3"));
    list = {a, b};
    Load();
    engine.finished = true;
    engine.states = {State::Converted, State::Failed};
    engine.reasons = {QString(), QStringLiteral("it could not be read as audio")};
    face.writes.clear();
    frm->Timer1_Timer();
    EXPECT_EQ(face.writes.first(), QStringLiteral("_root.FileTxt=Conversion complete"));
    EXPECT_EQ(messages.shown,
              QStringList{QStringLiteral("These files could not be converted:\n\n") + b +
                          QStringLiteral(" (it could not be read as audio)")});
    EXPECT_FALSE(timer.enabled);
}

TEST_F(ConversionWindow, EveryCommandButDragClosesAndStopsTheEngineInOrder) {
    list = {File(QStringLiteral("a.wav"))};
    Load();
    engine.calls.clear();
    form.calls.clear();
    frm->Flash_FSCommand(QStringLiteral("IDC_FS_Drag"), QStringLiteral("undefined"));
    EXPECT_TRUE(engine.calls.isEmpty());
    EXPECT_TRUE(form.calls.isEmpty());
    EXPECT_FALSE(frm->Closed());

    frm->Flash_FSCommand(QStringLiteral("IDC_FS_Close"), QStringLiteral("undefined"));
    EXPECT_EQ(engine.calls, (QStringList{QStringLiteral("pause"), QStringLiteral("stop"),
                                         QStringLiteral("playlistClear")}));
    EXPECT_EQ(form.calls, (QStringList{QStringLiteral("unhook"), QStringLiteral("hide")}));
    EXPECT_TRUE(frm->Closed());
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(ConversionWindow, DeletesOnlyFlaggedSourcesThatWereConverted) {
    const QString a = File(QStringLiteral("a.wav"));
    const QString b = File(QStringLiteral("b.wav"));
    const QString c = File(QStringLiteral("c.wav"));
    list = {a, b};
    mod.DeleteSource = true;
    Load();
    // a converted (its output exists), b failed; c was never queued.
    File(QStringLiteral("a 1.wav"));
    File(QStringLiteral("b 1.wav"));
    engine.finished = true;
    engine.states = {State::Converted, State::Failed};
    frm->Timer1_Timer();
    list << c;
    frm->Form_Unload();
    EXPECT_FALSE(QFile::exists(a));
    EXPECT_TRUE(QFile::exists(b));
    EXPECT_TRUE(QFile::exists(c));
}

TEST_F(ConversionWindow, AReadOnlySourceIsKept) {
    const QString a = File(QStringLiteral("a.wav"));
    QFile::setPermissions(a, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    list = {a};
    mod.DeleteSource = true;
    Load();
    File(QStringLiteral("a 1.wav"));
    engine.finished = true;
    engine.states = {State::Converted};
    frm->Timer1_Timer();
    frm->Form_Unload();
    EXPECT_TRUE(QFile::exists(a));
}

} // namespace
