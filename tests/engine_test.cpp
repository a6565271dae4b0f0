// The converter's libVLC engine on generated files: real conversions, checked with ffprobe.
#include "media.h"
#include "qt_print.h"
#include "vlc_converter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace velune;
using namespace velune::test;
using State = ConverterEngine::ItemState;

namespace {

QString Chain(const QString& codec, const QString& mux, const QString& output) {
    return QStringLiteral(":sout=#transcode{acodec=%1}:standard{access=file,mux=%2,dst='%3'}")
        .arg(codec, mux, EscapeChainText(output));
}

class Engine : public ::testing::Test {
protected:
    // Runs the queue to its end: play, then next, as the conversion window does.
    void Run() {
        ASSERT_TRUE(engine.play());
        ASSERT_TRUE(engine.playlistNext());
        ASSERT_TRUE(QTest::qWaitFor([&] { return engine.Finished(); }, 120000));
    }
    QString Path(const QString& name) { return dir.filePath(name); }

    QTemporaryDir dir;
    VlcConverter engine;
};

TEST(Chain, EscapedDestinationsRoundTrip) {
    const QString path = QStringLiteral("/m/Bob's \"Best\" \\ Hits/é.wav");
    const QString chain = Chain(QStringLiteral("s16l"), QStringLiteral("wav"), path);
    const auto dst = FindChainDestination(chain);
    ASSERT_TRUE(dst);
    EXPECT_EQ(dst->path, path);
    EXPECT_EQ(chain.mid(dst->end), QStringLiteral("'}"));
    EXPECT_EQ(EscapeChainText(QStringLiteral("/plain/Song.wav")),
              QStringLiteral("/plain/Song.wav"));
    EXPECT_FALSE(FindChainDestination(QStringLiteral(":sout=#transcode{acodec=mp3}")));
}

TEST_F(Engine, ConvertsWavToEveryFormatAndKeepsRateAndChannels) {
    const QString source = Path(QStringLiteral("tone.wav"));
    ASSERT_TRUE(MakeTone(source, 3.0, 48000, 2));
    const QByteArray before = [&] {
        QFile f(source);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();

    ASSERT_TRUE(engine.playlistClear());
    ASSERT_TRUE(engine.addTarget(source, Chain("s16l", "wav", Path("out.wav")), 1, 0));
    ASSERT_TRUE(engine.addTarget(source, Chain("mp3", "dummy", Path("out.mp3")), 1, 0));
    ASSERT_TRUE(engine.addTarget(source, Chain("vorb", "ogg", Path("out.ogg")), 1, 0));
    Run();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(engine.State(i), State::Converted) << engine.FailureReason(i).toStdString();
    EXPECT_LT(engine.PlaylistIndex(), 0);

    const MediaInfo wav = Probe(Path("out.wav"));
    EXPECT_EQ(wav.container, QStringLiteral("wav"));
    EXPECT_EQ(wav.codec, QStringLiteral("pcm_s16le"));
    const MediaInfo mp3 = Probe(Path("out.mp3"));
    EXPECT_EQ(mp3.container, QStringLiteral("mp3"));
    EXPECT_EQ(mp3.codec, QStringLiteral("mp3"));
    EXPECT_GE(mp3.bitRate, 128000);
    const MediaInfo ogg = Probe(Path("out.ogg"));
    EXPECT_EQ(ogg.container, QStringLiteral("ogg"));
    EXPECT_EQ(ogg.codec, QStringLiteral("vorbis"));
    for (const MediaInfo& out : {wav, mp3, ogg}) {
        EXPECT_EQ(out.channels, 2);
        EXPECT_EQ(out.sampleRate, 48000);
        EXPECT_NEAR(out.duration, 3.0, 0.2) << out.container.toStdString();
    }
    // Nothing but the outputs is left beside them, and the source is untouched.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 4);
    QFile after(source);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), before);
}

TEST_F(Engine, AFileThatTookTheOutputNameMeanwhileIsNeverReplaced) {
    const QString source = Path(QStringLiteral("tone.wav"));
    ASSERT_TRUE(MakeTone(source, 1.0));
    const QString output = Path(QStringLiteral("taken.ogg"));
    ASSERT_TRUE(engine.playlistClear());
    ASSERT_TRUE(engine.addTarget(source, Chain("vorb", "ogg", output), 1, 0));
    {
        QFile late(output);
        ASSERT_TRUE(late.open(QIODevice::WriteOnly));
        late.write("mine");
    }
    Run();
    EXPECT_EQ(engine.State(0), State::Failed);
    EXPECT_TRUE(engine.FailureReason(0).contains(output));
    QFile kept(output);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("mine"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST_F(Engine, StoppingAbandonsTheCurrentItemAndLeavesNoOutput) {
    const QString source = Path(QStringLiteral("long.wav"));
    ASSERT_TRUE(MakeTone(source, 20.0));
    ASSERT_TRUE(engine.playlistClear());
    ASSERT_TRUE(engine.addTarget(source, Chain("mp3", "dummy", Path("long.mp3")), 1, 0));
    ASSERT_TRUE(engine.addTarget(source, Chain("mp3", "dummy", Path("long2.mp3")), 1, 0));
    ASSERT_TRUE(engine.play());
    ASSERT_TRUE(engine.playlistNext());
    EXPECT_EQ(engine.PlaylistIndex(), 0);
    ASSERT_TRUE(engine.pause());
    ASSERT_TRUE(engine.stop());
    EXPECT_EQ(engine.State(0), State::Failed);
    EXPECT_EQ(engine.State(1), State::Queued);
    EXPECT_LT(engine.PlaylistIndex(), 0);
    EXPECT_FALSE(engine.Position());
    ASSERT_TRUE(engine.playlistClear());
    EXPECT_TRUE(engine.Finished());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("long.wav")});
}

TEST_F(Engine, ReadsDurationsAndFailsReadsWithoutAnItem) {
    const QString source = Path(QStringLiteral("d.ogg"));
    ASSERT_TRUE(MakeTone(source, 2.5));
    const auto duration = engine.Duration(source);
    ASSERT_TRUE(duration);
    EXPECT_NEAR(static_cast<double>(*duration), 2500.0, 100.0);
    EXPECT_FALSE(engine.Duration(Path(QStringLiteral("none.ogg"))));
    EXPECT_FALSE(engine.Position());
    EXPECT_FALSE(engine.Time());
    EXPECT_FALSE(engine.pause());
    EXPECT_TRUE(engine.Finished());
}

} // namespace
