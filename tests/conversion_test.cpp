// Whole conversion runs: the conversion window with the real libVLC engine on
// generated files, checked with ffprobe.
#include "convfrm.h"
#include "fakes.h"
#include "media.h"
#include "vlc_converter.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace velune;
using namespace velune::test;

namespace {

// The engine drops up to a few hundredths of a second at the very end of a stream.
constexpr double kDurationTolerance = 0.2;

QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class Conversion : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        sources = new QTemporaryDir;
        ASSERT_TRUE(MakeTone(sources->filePath(QStringLiteral("tone.wav")), 2.0, 44100, 2));
        ASSERT_TRUE(MakeTone(sources->filePath(QStringLiteral("tone.mp3")), 2.0, 48000, 2,
                             {QStringLiteral("-b:a"), QStringLiteral("128k")}));
        ASSERT_TRUE(MakeTone(sources->filePath(QStringLiteral("tone.ogg")), 2.0, 44100, 1));
    }
    static void TearDownTestSuite() { delete sources; }

    // A copy of a generated source under a new name in the test's folder.
    QString Source(const QString& generated, const QString& name) {
        const QString path = dir.filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        EXPECT_TRUE(QFile::copy(sources->filePath(generated), path));
        return path;
    }

    // Opens the window, lets the engine finish, ticks once to complete.
    void Run(bool untilDone = true) {
        frm =
            std::make_unique<ConvFrm>(mod, ConvFrm::Parts{face, form, messages, engine, timer, list,
                                                          out, QStringLiteral(VELUNE_PROGRAM_DIR)});
        ASSERT_TRUE(frm->Form_Load());
        if (!untilDone)
            return;
        ASSERT_TRUE(QTest::qWaitFor([&] { return engine.Finished(); }, 120000));
        frm->Timer1_Timer();
        ASSERT_FALSE(timer.enabled);
        ASSERT_TRUE(face.writes.contains(QStringLiteral("_root.FileTxt=Conversion complete")));
    }
    void Close() {
        frm->Flash_FSCommand(QStringLiteral("IDC_FS_OK"), QStringLiteral("undefined"));
        frm->Form_Unload();
    }
    QStringList Files(const QString& folder) {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    static QTemporaryDir* sources;
    QTemporaryDir dir;
    VeluneMod mod;
    RecordingFace face;
    RecordingForm form;
    ScriptedMessages messages;
    VlcConverter engine;
    RecordingTicker timer;
    QStringList list;
    QString out;
    std::unique_ptr<ConvFrm> frm;
};
QTemporaryDir* Conversion::sources = nullptr;

struct Expected {
    const char* format;
    const char* container;
    const char* codec;
};

TEST_F(Conversion, EverySourceToEveryFormat) {
    const std::vector<Expected> targets{
        {"wav", "wav", "pcm_s16le"}, {"mp3", "mp3", "mp3"}, {"ogg", "ogg", "vorbis"}};
    const std::vector<std::pair<QString, MediaInfo>> inputs{
        {QStringLiteral("tone.wav"), Probe(sources->filePath(QStringLiteral("tone.wav")))},
        {QStringLiteral("tone.mp3"), Probe(sources->filePath(QStringLiteral("tone.mp3")))},
        {QStringLiteral("tone.ogg"), Probe(sources->filePath(QStringLiteral("tone.ogg")))}};
    for (const auto& target : targets) {
        QTemporaryDir outDir;
        list.clear();
        for (const auto& [name, info] : inputs)
            list << Source(name, QString::fromLatin1(target.format) + QLatin1Char('/') + name);
        out = outDir.path();
        mod.TargetFormat = QString::fromLatin1(target.format);
        face.writes.clear();
        Run();
        EXPECT_TRUE(messages.shown.isEmpty())
            << messages.shown.join(QLatin1Char('\n')).toStdString();
        for (std::size_t i = 0; i < inputs.size(); ++i) {
            const QString name = QFileInfo(inputs[i].first).completeBaseName() +
                                 (i == 0 ? QString() : QStringLiteral(" %1").arg(i)) +
                                 QLatin1Char('.') + QString::fromLatin1(target.format);
            const MediaInfo got = Probe(outDir.filePath(name));
            const MediaInfo& from = inputs[i].second;
            SCOPED_TRACE(inputs[i].first.toStdString() + " to " + target.format);
            ASSERT_TRUE(got.ok) << name.toStdString();
            EXPECT_EQ(got.container, QLatin1String(target.container));
            EXPECT_EQ(got.codec, QLatin1String(target.codec));
            EXPECT_EQ(got.channels, from.channels);
            EXPECT_EQ(got.sampleRate, from.sampleRate);
            EXPECT_NEAR(got.duration, from.duration, kDurationTolerance);
            if (QLatin1String(target.format) == QLatin1String("mp3")) {
                EXPECT_GE(got.bitRate, 128000);
            }
            EXPECT_EQ(Bytes(list[i]), Bytes(sources->filePath(inputs[i].first)));
        }
        EXPECT_EQ(Files(outDir.path()).size(), 3);
        Close();
    }
}

TEST_F(Conversion, MissingCorruptAndUnwritableSourcesAreNamedAndLeaveNothing) {
    const QString good = Source(QStringLiteral("tone.wav"), QStringLiteral("in/good.wav"));
    const QString corrupt = dir.filePath(QStringLiteral("in/corrupt.mp3"));
    {
        QFile file(corrupt);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        QByteArray noise(64 * 1024, '\0');
        QRandomGenerator generator(7);
        for (char& byte : noise)
            byte = static_cast<char>(generator.bounded(256));
        file.write(noise);
    }
    list = {good, dir.filePath(QStringLiteral("in/missing.wav")), corrupt};
    mod.TargetFormat = QStringLiteral("ogg");
    mod.DeleteSource = true;
    Run();
    ASSERT_EQ(messages.shown.size(), 2);
    EXPECT_EQ(messages.shown[0], QStringLiteral("Input file dosen't exist"));
    EXPECT_TRUE(messages.shown[1].contains(corrupt));
    EXPECT_FALSE(messages.shown[1].contains(good));
    // The status line ended on the truth, not on a failure reported as success.
    EXPECT_TRUE(face.writes.contains(QStringLiteral("_root.ShowOkbtn=1")));
    Close();
    EXPECT_EQ(Files(dir.filePath(QStringLiteral("in"))),
              (QStringList{QStringLiteral("corrupt.mp3"), QStringLiteral("good.ogg")}));
    // The converted source went as asked; the one that failed stayed.
    EXPECT_FALSE(QFile::exists(good));
    EXPECT_TRUE(QFile::exists(corrupt));

    // An output folder that cannot take files.
    messages.shown.clear();
    const QString source = Source(QStringLiteral("tone.mp3"), QStringLiteral("again/tone.mp3"));
    out = dir.filePath(QStringLiteral("in/good.ogg")); // a file, not a folder
    list = {source};
    Run();
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown[0].contains(source));
    Close();
    EXPECT_TRUE(QFile::exists(source));
}

TEST_F(Conversion, SameNamedSourcesNonAsciiAndApostrophes) {
    list = {
        Source(QStringLiteral("tone.wav"), QStringLiteral("A/Song.wav")),
        Source(QStringLiteral("tone.ogg"), QStringLiteral("B/Song.ogg")),
        Source(QStringLiteral("tone.mp3"), QStringLiteral("Bob's Été/Rock 'n' Roll — 東京.mp3"))};
    out = dir.filePath(QStringLiteral("Bob's Été"));
    mod.TargetFormat = QStringLiteral("mp3");
    Run();
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.shown.join(QLatin1Char('\n')).toStdString();
    for (const char* name : {"Song.mp3", "Song 1.mp3", "Rock n Roll — 東京.mp3"}) {
        const MediaInfo got = Probe(out + QLatin1Char('/') + QString::fromUtf8(name));
        EXPECT_TRUE(got.ok) << name;
        EXPECT_NEAR(got.duration, 2.0, kDurationTolerance) << name;
    }
    // The second Song came from a mono source.
    EXPECT_EQ(Probe(out + QStringLiteral("/Song 1.mp3")).channels, 1);
    Close();
}

TEST_F(Conversion, AnAbandonedRunKeepsEverySourceAndLeavesNoPartialFile) {
    list = {Source(QStringLiteral("tone.wav"), QStringLiteral("x/one.wav")),
            Source(QStringLiteral("tone.wav"), QStringLiteral("x/two.wav"))};
    mod.TargetFormat = QStringLiteral("ogg");
    mod.DeleteSource = true;
    Run(false); // closed while the first file is being converted
    frm->Flash_FSCommand(QStringLiteral("IDC_FS_Close"), QStringLiteral("undefined"));
    frm->Form_Unload();
    EXPECT_EQ(Files(dir.filePath(QStringLiteral("x"))),
              (QStringList{QStringLiteral("one.wav"), QStringLiteral("two.wav")}));
    EXPECT_TRUE(messages.shown.isEmpty());
}

} // namespace
