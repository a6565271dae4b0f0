// Whole conversion runs through the conversion window with the real engine: the
// wrong file deleted or kept, outputs cut short, a failure reported as success.
#include "convfrm.h"
#include "fakes.h"
#include "ffmpeg_converter.h"
#include "media.h"

#include <QDir>
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
    void Open(const char* format) {
        mod.TargetFormat = QString::fromLatin1(format);
        mod.DeleteSource = true;
        frm =
            std::make_unique<ConvFrm>(mod, ConvFrm::Parts{face, form, messages, engine, timer, list,
                                                          out, QStringLiteral(VELUNE_PROGRAM_DIR)});
        ASSERT_TRUE(frm->Form_Load());
    }
    QStringList Files(const QString& folder) {
        return QDir(dir.filePath(folder)).entryList(QDir::Files | QDir::Hidden, QDir::Name);
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
    const QString ogg = Tone(u"in/mono.ogg"_s, 2.0, 1);
    const QString wav = dir.filePath(u"in/Rock 'n' Roll — 東京.wav"_s);
    ASSERT_TRUE(
        Tagged(Tone(u"plain.wav"_s, 1.5), wav, {u"title=Rock 'n' Roll"_s, u"artist=東京"_s}));
    const QString corrupt = dir.filePath(u"in/corrupt.mp3"_s);
    ASSERT_TRUE(WriteFile(corrupt, Noise(32 * 1024)));
    list = {wav, dir.filePath(u"in/missing.wav"_s), corrupt, ogg};
    Open("mp3");
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine.Finished(); }, 120000));
    frm->Timer1_Timer();
    EXPECT_EQ(face.store.value(u"_root.FileTxt"_s), u"Conversion complete"_s);
    EXPECT_EQ(messages.shown, (QStringList{u"Input file dosen't exist"_s,
                                           u"These files could not be converted:\n\n"_s + corrupt +
                                               u" (not an audio file)"_s}));
    frm->Flash_FSCommand(u"IDC_FS_OK"_s, u"undefined"_s);
    frm->Form_Unload();

    const QString mp3 = dir.filePath(u"in/Rock n Roll — 東京.mp3"_s);
    EXPECT_EQ(DecodedSamples(mp3, 2), 66150);
    const MediaInfo info = Probe(mp3);
    EXPECT_EQ(info.tags.value(u"title"_s), u"Rock 'n' Roll"_s);
    EXPECT_EQ(info.tags.value(u"artist"_s), u"東京"_s);
    EXPECT_EQ(DecodedSamples(dir.filePath(u"in/mono.mp3"_s), 1), 88200);
    // The converted sources went as asked; the one that failed stayed.
    EXPECT_EQ(Files(u"in"_s),
              (QStringList{u"Rock n Roll — 東京.mp3"_s, u"corrupt.mp3"_s, u"mono.mp3"_s}));
}

TEST_F(Conversion, AnAbandonedRunKeepsEverySourceAndLeavesNoPartialFile) {
    list = {Tone(u"x/one.wav"_s, 30.0), Tone(u"x/two.wav"_s, 30.0), Tone(u"x/three.wav"_s, 30.0)};
    Open("ogg");
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine.Position().value_or(0) > 0; }, 60000));
    frm->Flash_FSCommand(u"IDC_FS_Close"_s, u"undefined"_s);
    frm->Form_Unload();
    EXPECT_EQ(Files(u"x"_s), (QStringList{u"one.wav"_s, u"three.wav"_s, u"two.wav"_s}));
    EXPECT_TRUE(messages.shown.isEmpty());
}

} // namespace
