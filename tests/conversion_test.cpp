// Whole conversion runs through the conversion window with the real engine: the
// wrong file deleted or kept, outputs cut short, a failure reported as success.
#include "convfrm.h"
#include "fakes.h"
#include "ffmpeg_converter.h"
#include "media.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace velune;
using namespace velune::test;

namespace {

class Conversion : public ::testing::Test {
protected:
    QString Tone(const QString& name, double seconds, int channels = 2) {
        const QString path = dir.filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        EXPECT_TRUE(MakeTone(path, seconds, 44100, channels));
        return path;
    }
    void Open() {
        frm =
            std::make_unique<ConvFrm>(mod, ConvFrm::Parts{face, form, messages, engine, timer, list,
                                                          out, QStringLiteral(VELUNE_PROGRAM_DIR)});
        ASSERT_TRUE(frm->Form_Load());
    }
    void Close() {
        frm->Flash_FSCommand(QStringLiteral("IDC_FS_OK"), QStringLiteral("undefined"));
        frm->Form_Unload();
    }

    QTemporaryDir dir;
    VeluneMod mod;
    RecordingFace face;
    RecordingForm form;
    ScriptedMessages messages;
    FfmpegConverter engine{2};
    RecordingTicker timer;
    QStringList list;
    QString out;
    std::unique_ptr<ConvFrm> frm;
};

TEST_F(Conversion, ARunConvertsExactlyReportsTheFailureAndDeletesOnlyWhatWasConverted) {
    const QString plain = Tone(QStringLiteral("plain.wav"), 1.5);
    const QString wav = dir.filePath(QStringLiteral("in/Rock 'n' Roll — 東京.wav"));
    QDir().mkpath(dir.filePath(QStringLiteral("in")));
    RunTool(QStringLiteral("ffmpeg"),
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), plain,
             QStringLiteral("-metadata"), QStringLiteral("title=Rock 'n' Roll"),
             QStringLiteral("-metadata"), QStringLiteral("artist=東京"), wav});
    const QString ogg = Tone(QStringLiteral("in/mono.ogg"), 2.0, 1);
    const QString corrupt = dir.filePath(QStringLiteral("in/corrupt.mp3"));
    ASSERT_TRUE(WriteFile(corrupt, Noise(32 * 1024)));
    list = {wav, dir.filePath(QStringLiteral("in/missing.wav")), corrupt, ogg};
    mod.TargetFormat = QStringLiteral("mp3");
    mod.DeleteSource = true;
    Open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine.Finished(); }, 120000));
    frm->Timer1_Timer();
    EXPECT_EQ(face.store.value(QStringLiteral("_root.FileTxt")),
              QStringLiteral("Conversion complete"));
    ASSERT_EQ(messages.shown.size(), 2);
    EXPECT_EQ(messages.shown[0], QStringLiteral("Input file dosen't exist"));
    EXPECT_EQ(messages.shown[1], QStringLiteral("These files could not be converted:\n\n") +
                                     corrupt + QStringLiteral(" (not an audio file)"));
    Close();

    const QString in = dir.filePath(QStringLiteral("in"));
    EXPECT_EQ(DecodedSamples(in + QStringLiteral("/Rock n Roll — 東京.mp3"), 2), 66150);
    const auto tags = Tags(in + QStringLiteral("/Rock n Roll — 東京.mp3"));
    EXPECT_EQ(tags.value(QStringLiteral("title")), QStringLiteral("Rock 'n' Roll"));
    EXPECT_EQ(tags.value(QStringLiteral("artist")), QStringLiteral("東京"));
    EXPECT_EQ(DecodedSamples(in + QStringLiteral("/mono.mp3"), 1), 88200);
    // The converted sources went as asked; the one that failed stayed.
    EXPECT_EQ(QDir(in).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{QStringLiteral("Rock n Roll — 東京.mp3"), QStringLiteral("corrupt.mp3"),
                           QStringLiteral("mono.mp3")}));
}

TEST_F(Conversion, AnAbandonedRunKeepsEverySourceAndLeavesNoPartialFile) {
    list = {Tone(QStringLiteral("x/one.wav"), 30.0), Tone(QStringLiteral("x/two.wav"), 30.0),
            Tone(QStringLiteral("x/three.wav"), 30.0)};
    mod.TargetFormat = QStringLiteral("ogg");
    mod.DeleteSource = true;
    Open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine.Position().value_or(0) > 0; }, 60000));
    frm->Flash_FSCommand(QStringLiteral("IDC_FS_Close"), QStringLiteral("undefined"));
    frm->Form_Unload();
    EXPECT_EQ(QDir(dir.filePath(QStringLiteral("x"))).entryList(QDir::Files | QDir::Hidden),
              (QStringList{QStringLiteral("one.wav"), QStringLiteral("three.wav"),
                           QStringLiteral("two.wav")}));
    EXPECT_TRUE(messages.shown.isEmpty());
}

} // namespace
