// Nothing lost: damage found and placed, damaged sources kept, files published durably, tags kept.
#include "audio_decoder.h"
#include "media.h"
#include "tags.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>

using namespace velune;
using namespace velune::test;

namespace {

// Breaks a file's bytes; the offset where the damage begins, -1 for none.
using Breaker = std::function<qsizetype(QByteArray&)>;

const Breaker kKeep = [](QByteArray&) { return qsizetype{-1}; };
Breaker CutEnd(qsizetype bytes) {
    return [bytes](QByteArray& file) { return file.chop(bytes), file.size(); };
}
Breaker Append(const QByteArray& tail) {
    return [tail](QByteArray& file) { return file.append(tail), qsizetype{-1}; };
}

struct Row {
    const char* name;
    const char* source; // a clean 60 s file made once for all rows (a clean MP3: "mp3_id3v1")
    Breaker breakIt;
    bool exactLoss = false; // the container declares its length with no padding to trim
};

const Row kRows[] = {
    {"ogg", "tone.ogg", kKeep},
    {"mp3_without_xing", "plain.mp3", kKeep},
    {"mp3_junk_after", "lame.mp3", Append(Noise(3000))},
    {"mp3_id3v1", "lame.mp3", Append("TAG" + QByteArray(125, ' '))},
    {"wav_list_after", "tone.wav",
     [](QByteArray& wav) {
         wav += QByteArray("LIST\x10\0\0\0INFOINAM\x04\0\0\0Tone", 24);
         qToLittleEndian<quint32>(wav.size() - 8, wav.data() + 4);
         return qsizetype{-1};
     }},
    {"flac_cut", "tone.flac", CutEnd(20 * 1024), true},
    {"flac_overwritten", "tone.flac",
     [](QByteArray& flac) {
         const qsizetype middle = flac.size() / 2;
         flac.replace(middle, 4000, Noise(4000));
         return middle;
     },
     true},
    {"mp3_cut", "lame.mp3", CutEnd(20 * 1024)},
    {"ogg_cut", "tone.ogg", CutEnd(20 * 1024)},
};

TEST(Durability, DamageIsFoundAndPlaced) {
    QTemporaryDir dir;
    const QString wav = dir.filePath(u"tone.wav"_s);
    const auto at = [&](const QString& name) { return dir.filePath(name); };
    ASSERT_TRUE(MakeTone(wav, 60) && MakeTone(at(u"tone.flac"_s), 60) &&
                RunTool(u"lame"_s, Args(u"--quiet -b 192"_s) << wav << at(u"lame.mp3"_s)) &&
                RunTool(u"lame"_s, Args(u"--quiet -t -b 192"_s) << wav << at(u"plain.mp3"_s)) &&
                RunTool(u"oggenc"_s, Args(u"-Q -q 3 -o"_s) << at(u"tone.ogg"_s) << wav));
    const QRegularExpression form(u"^damaged at (\\d+):(\\d\\d): (?:(\\d{1,3}(?: \\d{3})*) samples "
                                  "could not be decoded|the file is cut short)$"_s);
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        const QString source = at(QString::fromLatin1(row.source));
        QByteArray bytes = ReadBytes(source);
        const qsizetype size = bytes.size();
        const qsizetype broken = row.breakIt(bytes);
        const QString path = at(QString::fromLatin1(row.name) + u'.' + QFileInfo(source).suffix());
        ASSERT_TRUE(WriteFile(path, bytes));
        AudioDecoder decoder;
        QString text;
        ASSERT_TRUE(decoder.Open(path, text) && decoder.SetOutput(SampleLayout::Float, 0, 0, text));
        const uint8_t* const* data = nullptr;
        qint64 samples = 0;
        for (int n = 0; (n = decoder.Read(&data)) > 0;)
            samples += n;
        const DecodeDamage damage = decoder.Damage();
        const int rate = decoder.SourceRate();
        text = decoder.DamageText();
        SCOPED_TRACE(text.toStdString());
        EXPECT_EQ(damage.any(), broken >= 0);
        // Every sample that decodes is handed out, and every one that does not is counted.
        if (row.exactLoss) {
            EXPECT_EQ(damage.lostSamples, decoder.DeclaredSamples().value_or(0) - samples);
        }
        if (broken < 0) {
            EXPECT_TRUE(text.isEmpty());
            continue;
        }
        const double seconds = 60.0 * static_cast<double>(broken) / static_cast<double>(size);
        EXPECT_NEAR(static_cast<double>(damage.firstSample) / rate, seconds, 1.0);
        const auto match = form.match(text);
        ASSERT_TRUE(match.hasMatch());
        EXPECT_EQ(match.captured(1).toInt() * 60 + match.captured(2).toInt(),
                  damage.firstSample / rate);
        const QString lost = match.captured(3).remove(u' ');
        EXPECT_EQ(lost.isEmpty() ? qint64{-1} : lost.toLongLong(),
                  damage.lostSamples > 0 ? damage.lostSamples : -1);
    }
}

// Built with AddressSanitizer, the converter takes a shim loaded before its runtime.
const QString kPreloadable =
    u"ASAN_OPTIONS="_s + qEnvironmentVariable("ASAN_OPTIONS") + u":verify_asan_link_order=0"_s;

// Damaged or unreadable (the shim) sources fail, or convert as far as they decode; none is deleted.
TEST(NothingLost, ADamagedSourceFailsOrIsToldAndIsNeverDeleted) {
    QTemporaryDir dir;
    const QString clean = dir.filePath(u"clean.flac"_s);
    ASSERT_TRUE(MakeTone(clean, 20.0, 44100, 2, Args(u"-sample_fmt s16"_s)));
    const QByteArray bytes = ReadBytes(clean);
    QByteArray garbled = bytes;
    garbled.replace(bytes.size() / 2, 4000, Noise(4000));
    const struct {
        const char* name;
        QByteArray bytes;
        bool accepted, unreadable;
        const char* told;
    } rows[] = {
        {"cut", bytes.left(bytes.size() - 20000), false, false, "damaged at 0:"},
        {"cut-accepted", bytes.left(bytes.size() - 20000), true, false,
         "converted with losses \\("},
        {"garbled", garbled, false, false, "samples could not be decoded"},
        {"unreadable", bytes, false, true, "damaged at 0:(09|1\\d): the file could not be read"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QString source = dir.filePath(QLatin1String(row.name) + u".flac"_s);
        ASSERT_TRUE(WriteFile(source, row.bytes));
        const QStringList shim{u"env"_s, u"LD_PRELOAD="_s + QStringLiteral(READ_FAULT_SHIM),
                               u"VELUNE_FAIL_READ_AT=%1"_s.arg(bytes.size() / 2),
                               u"VELUNE_FAIL_READ_PATH="_s + source, kPreloadable};
        const QStringList accept =
            row.accepted ? QStringList{u"--accept-damaged"_s} : QStringList();
        const Outcome run =
            Converter(accept + Args(u"--to wav --delete-sources --jobs 1"_s) << source,
                      row.unreadable ? shim : QStringList());
        EXPECT_EQ(run.status, row.accepted ? 0 : 1) << run.err;
        EXPECT_TRUE(run.err.contains(QRegularExpression(QLatin1String(row.told)))) << run.err;
        EXPECT_TRUE(QFile::exists(source));
        EXPECT_EQ(QFile::exists(dir.filePath(QLatin1String(row.name) + u".wav"_s)), row.accepted);
    }
    EXPECT_EQ(Entries(dir.path()).filter(u".part"_s), QStringList());
}

const QDateTime kDay(QDate(2001, 2, 3), QTime(4, 5, 6));

// A source goes only once its output is synced, renamed without replacing, its folder synced.
TEST(NothingLost, TheOrderOfSystemCallsKeepsEveryFileOnTheDisk) {
    QTemporaryDir dir;
    QStringList sources;
    const QString cover = dir.filePath(u"cover.png"_s);
    ASSERT_TRUE(MakeFromLavfi(u"color=red:s=8x8"_s, cover, {u"-frames:v"_s, u"1"_s}));
    for (const char* name : {"a", "b"}) {
        const QString plain = dir.filePath(QLatin1String(name) + u".wav"_s);
        ASSERT_TRUE(MakeTone(plain, 1.0 + sources.size()));
        sources << dir.filePath(QLatin1String(name) + u".flac"_s);
        ASSERT_TRUE(Tagged(plain, sources.back(), {u"album=A"_s, u"title=T"_s}, cover));
        QFile::remove(plain);
        QFile file(sources.back());
        ASSERT_TRUE(file.open(QIODevice::ReadWrite) &&
                    file.setFileTime(kDay, QFileDevice::FileModificationTime));
    }
    const QString log = dir.filePath(u"calls.log"_s);
    ASSERT_TRUE(QDir(dir.path()).mkpath(u"out"_s));
    const Outcome run =
        Converter(Args(u"--to flac --replaygain --keep-times --delete-sources --out %1/out"_s.arg(
                      dir.path())) +
                      sources,
                  QStringList{u"env"_s, kPreloadable + u":detect_leaks=0"_s} // no LSan under ptrace
                          + Args(u"strace -f -qq -y -e "
                                 u"trace=fsync,fdatasync,rename,renameat2,link,unlink,unlinkat,"
                                 "openat -o"_s)
                      << log);
    ASSERT_EQ(run.status, 0) << run.err;
    const QStringList calls = QString::fromUtf8(ReadBytes(log)).split(u'\n');
    const auto at = [&](const QString& pattern, qsizetype from) {
        const QRegularExpression form(pattern);
        for (qsizetype i = std::max<qsizetype>(from, 0); i < calls.size(); ++i)
            if (form.match(calls[i]).hasMatch())
                return i;
        return qsizetype(-1);
    };
    const QString out = QRegularExpression::escape(dir.path() + u"/out"_s);
    for (const QString& source : sources) {
        const QString stem = QFileInfo(source).completeBaseName();
        const QString temp = out + u"/\\."_s + stem + u"\\.flac\\.velune-[\\d-]+\\.part"_s;
        // Each call in this order, each after the one before.
        qsizetype last = 0;
        for (const QString& call :
             {u"fsync\\(\\d+<"_s + temp + u">\\)"_s,
              u"renameat2\\(.*\""_s + temp + u"\", .*\""_s + out + u"/"_s + stem +
                  u"\\.flac\", RENAME_NOREPLACE\\) = 0"_s,
              u"fsync\\(\\d+<"_s + out + u">\\)"_s,
              u"unlink(at)?\\(.*\""_s + QRegularExpression::escape(source) + u"\""_s,
              u"fsync\\(\\d+<"_s + QRegularExpression::escape(dir.path()) + u">\\)"_s}) {
            last = at(call, last + 1);
            EXPECT_GE(last, 0) << call.toStdString();
        }
        // A published name is never opened to be written.
        EXPECT_LT(at(u"openat\\(.*\""_s + out + u"/"_s + stem + u"\\.flac\", O_(WRONLY|RDWR)"_s, 0),
                  0);
        // One picture, of the source's kind; the source's time, the album's gain.
        const MediaInfo output = Probe(dir.filePath(u"out/"_s + stem + u".flac"_s));
        EXPECT_FALSE(output.tags.value(u"replaygain_album_gain"_s).isEmpty());
        EXPECT_EQ(output.pictures, QStringList{u"Other"_s});
        EXPECT_EQ(QFileInfo(dir.filePath(u"out/"_s + stem + u".flac"_s)).lastModified(), kDay);
        EXPECT_FALSE(QFile::exists(source));
    }
}

// A copy with ReplayGain keeps every other frame, ID3v1 and APE tag byte for byte.
TEST(NothingLost, ACopyKeepsEveryTagAndChangesOnlyTheLoudness) {
    QTemporaryDir dir;
    const QString source = dir.filePath(u"tagged.mp3"_s);
    ASSERT_TRUE(MakeTone(source, 2.0));
    {
        TagLib::MPEG::File file(SystemName(source).constData());
        TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);
        tag->setTitle("Title");
        tag->setYear(1999); // TYER in v2.3
        const auto text = [&](const char* name, const char* value) {
            auto* frame = new TagLib::ID3v2::UserTextIdentificationFrame(TagLib::String::UTF8);
            frame->setDescription(name);
            frame->setText(value);
            tag->addFrame(frame);
        };
        text("MOOD", "calm");
        for (const auto type : {TagLib::ID3v2::AttachedPictureFrame::FrontCover,
                                TagLib::ID3v2::AttachedPictureFrame::BackCover}) {
            auto* picture = new TagLib::ID3v2::AttachedPictureFrame;
            picture->setType(type);
            picture->setMimeType("image/png");
            picture->setPicture(TagLib::ByteVector(64, static_cast<char>(type)));
            tag->addFrame(picture);
        }
        text("replaygain_track_gain", "-9.00 dB"); // last: replaced
        file.ID3v1Tag(true)->setTitle("Title");
        file.APETag(true)->setItem("CUSTOM", TagLib::APE::Item("CUSTOM", "kept"));
        ASSERT_TRUE(
            file.save(TagLib::MPEG::File::AllTags, TagLib::File::StripOthers, TagLib::ID3v2::v3));
    }
    ASSERT_TRUE(QDir(dir.path()).mkpath(u"out"_s));
    const Outcome run = Converter(
        Args(u"--to mp3 --copy-same --replaygain --out %1/out"_s.arg(dir.path())) << source);
    ASSERT_EQ(run.out, u"Converted 0, copied 1, skipped 0, failed 0.\n"_s) << run.err;
    const QByteArray was = ReadBytes(source), now = ReadBytes(dir.filePath(u"out/tagged.mp3"_s));
    const auto tagEnd = [](const QByteArray& file) {
        qsizetype size = 0;
        for (int i = 6; i < 10; ++i)
            size = size << 7 | (file[i] & 0x7f);
        return 10 + size;
    };
    ASSERT_TRUE(was.startsWith("ID3\x03") && now.startsWith("ID3\x03"));
    // The frames as bytes: those of the loudness, in any spelling and encoding, apart.
    const auto frames = [&](const QByteArray& file, bool loudness) {
        QByteArrayList found;
        for (qsizetype at = 10; at + 10 <= tagEnd(file) && file[at] != '\0';) {
            const qsizetype size = qFromBigEndian<quint32>(file.constData() + at + 4);
            const QByteArray frame = file.mid(at, 10 + size);
            const bool gain = frame.toLower().contains("replaygain") ||
                              frame.contains(QByteArray("r\0e\0p\0l\0a\0y\0g\0a\0i\0n", 19));
            if (gain == loudness)
                found << frame;
            at += 10 + size;
        }
        return found;
    };
    EXPECT_EQ(frames(now, false), frames(was, false));
    EXPECT_EQ(now.mid(tagEnd(now)), was.mid(tagEnd(was))); // audio, ID3v1 and APE
    const QByteArrayList gains = frames(now, true);
    ASSERT_EQ(gains.size(), 2);
    EXPECT_TRUE(gains[0].contains("REPLAYGAIN_TRACK_GAIN") && !gains[0].contains("-9.00"));
}

// Rich tags from every source format to every target: each arrives or is named as left out.
TEST(NothingLost, EveryTagReachesEveryTargetOrIsNamed) {
    QTemporaryDir dir;
    const auto at = [&](const QString& name) { return dir.filePath(name); };
    ASSERT_TRUE(MakeFromLavfi(u"color=red:s=8x8"_s, at(u"a.png"_s), Args(u"-frames:v 1"_s)) &&
                MakeFromLavfi(u"color=blue:s=8x8"_s, at(u"b.jpg"_s), Args(u"-frames:v 1"_s)));
    TagSet rich{{}, u"3"_s, u"12"_s, u"1"_s, u"2"_s, {}};
    rich.pictures = {{ReadBytes(at(u"a.png"_s)), TagPicture::FrontCover, u"image/png"_s, u"F"_s},
                     {ReadBytes(at(u"b.jpg"_s)), TagPicture::BackCover, u"image/jpeg"_s, u"B"_s}};
    for (const QString& field :
         u"TITLE=Été à 東京;ARTIST=Ana|Bo;ALBUM=Å;ALBUMARTIST=V;DATE=1999;GENRE=Jazz;COMPOSER=Cö;"
         "COMMENT=Live;ISRC=USX9P0700001;LYRICS=la\nlo;BPM=120;LABEL=L;CUSTOM_NOTE=mine;ENCODER=x;"
         "MUSICBRAINZ_TRACKID=0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0"_s.split(u';'))
        rich.text.emplace_back(field.section(u'=', 0, 0), field.section(u'=', 1).split(u'|'));
    struct Format {
        QString name, args; // an M4A's codec; a target's words for batch mode
        TargetFormat format;
        char id3; // the ID3v2 version of an MP3
        QStringList drops;
    };
    const QStringList kMp4Drops{u"PICTURE (back cover)"_s, u"PICTURE (front cover) DESCRIPTION"_s};
    const auto expectCarried = [](const TagSet& want, const QString& path, const QStringList& named,
                                  const Format& format) {
        const QStringList& drops = format.drops;
        const TagSet got = ReadTags(path);
        std::vector<std::pair<QString, bool>> items{
            {u"TRACKNUMBER"_s,
             std::tie(got.track, got.trackTotal, got.disc, got.discTotal) ==
                 std::tie(want.track, want.trackTotal, want.disc, want.discTotal)}};
        for (const auto& field : want.text)
            items.emplace_back(field.first, std::ranges::count(got.text, field) == 1);
        for (const TagPicture& p : want.pictures) {
            const QString name = p.kind == TagPicture::FrontCover  ? u"PICTURE (front cover)"_s
                                 : p.kind == TagPicture::BackCover ? u"PICTURE (back cover)"_s
                                                                   : u"PICTURE (kind 0)"_s;
            const auto found = std::ranges::find_if(got.pictures, [&](const TagPicture& q) {
                return q.data == p.data && q.mime == p.mime && q.kind == p.kind;
            });
            items.emplace_back(name, found != got.pictures.end());
            if (!p.description.isEmpty() && !drops.contains(name))
                items.emplace_back(name + u" DESCRIPTION"_s,
                                   found != got.pictures.end() &&
                                       found->description == p.description);
        }
        for (const auto& [name, arrived] : items) {
            EXPECT_EQ(arrived, !drops.contains(name) && name != "ENCODER"_L1)
                << path << ": " << name;
            EXPECT_EQ(named.contains(name), drops.contains(name)) << path << ": " << name;
        }
        if (format.id3) { // in the version asked for, the custom field as TXXX, lyrics as USLT
            TagLib::MPEG::File mp3(SystemName(path).constData());
            const auto frames = mp3.ID3v2Tag()->frameListMap();
            EXPECT_TRUE(mp3.ID3v2Tag()->header()->majorVersion() == uint(format.id3) &&
                        frames.contains("TXXX") && frames.contains("USLT"))
                << path;
        }
    };
    const std::vector<Format> sources{
        {u"flac.flac"_s, {}, TargetFormat::Flac, 0, {}},
        {u"v24.mp3"_s, {}, TargetFormat::Mp3, 4, {}},
        {u"v23.mp3"_s, {}, TargetFormat::Mp3, 3, {}},
        {u"vorbis.ogg"_s, {}, TargetFormat::Ogg, 0, {}},
        {u"opus.opus"_s, {}, TargetFormat::Opus, 0, {}},
        {u"aac.m4a"_s, u"-c:a aac"_s, TargetFormat::M4a, 0, kMp4Drops}};
    QStringList paths;
    QString error;
    for (const Format& source : sources) {
        QStringList named;
        paths << at(u"in/"_s + source.name);
        ASSERT_TRUE(MakeTone(paths.back(), 0.3, 44100, 2, Args(source.args)));
        ASSERT_TRUE(WriteTags(paths.back(), source.format, rich, error, source.id3 == 3, &named));
        expectCarried(rich, paths.back(), named, source);
    }
    const QStringList kWavDrops{u"PICTURE (front cover)"_s, u"PICTURE (back cover)"_s,
                                u"PICTURE (kind 0)"_s};
    const std::vector<Format> targets{{u"wav"_s, u"--to wav"_s, TargetFormat::Wav, 0, kWavDrops},
                                      {u"mp3"_s, u"--to mp3"_s, TargetFormat::Mp3, 4, {}},
                                      {u"mp3"_s, u"--to mp3 --id3v2.3"_s, TargetFormat::Mp3, 3, {}},
                                      {u"ogg"_s, u"--to ogg"_s, TargetFormat::Ogg, 0, {}},
                                      {u"flac"_s, u"--to flac"_s, TargetFormat::Flac, 0, {}},
                                      {u"opus"_s, u"--to opus"_s, TargetFormat::Opus, 0, {}},
                                      {u"m4a"_s, u"-c:a aac"_s, TargetFormat::M4a, 0, kMp4Drops},
                                      {u"m4a"_s, u"-c:a alac"_s, TargetFormat::Alac, 0, kMp4Drops}};
    const QRegularExpression told(u"outputs cannot hold these tags, left out: (.*)"_s);
    for (std::size_t t = 0; t < targets.size(); ++t) {
        const Format& target = targets[t];
        const QString out = at(u"out%1/"_s.arg(t));
        const bool batch = target.args.startsWith(u"--"_s);
        QStringList named;
        // Batch mode converts, its log naming what is left out; an M4A is tagged in place.
        if (batch) {
            ASSERT_TRUE(QDir().mkpath(out));
            const Outcome run =
                Converter(Args(target.args + u" --out "_s + out) + paths,
                          Args(u"env QT_LOGGING_RULES=velune.engine.warning=true"_s));
            ASSERT_EQ(run.status, 0) << run.err;
            for (auto lines = told.globalMatch(run.err); lines.hasNext();)
                named << lines.next().captured(1).split(u", "_s, Qt::SkipEmptyParts);
        }
        for (const QString& source : paths) {
            const QString path = out + QFileInfo(source).completeBaseName() + u'.' + target.name;
            ASSERT_TRUE(batch ||
                        (MakeTone(path, 0.3, 44100, 2, Args(target.args)) &&
                         WriteTags(path, target.format, ReadTags(source), error, false, &named)));
            expectCarried(ReadTags(source), path, named, target);
        }
    }
}

// A re-run trusts only whole outputs and tidies a kill -9's leftover.
TEST(NothingLost, ReRunsTrustOnlyCompleteOutputs) {
    QTemporaryDir dir;
    const auto file = [&](const QString& name) { return dir.filePath(name); };
    ASSERT_TRUE(MakeTone(file(u"lib/a.wav"_s), 3.0) && MakeTone(file(u"lib/b.wav"_s), 2.0));
    const QStringList skip = Args(u"--to flac --skip-existing --out"_s)
                             << dir.path() << file(u"lib"_s);
    ASSERT_EQ(Converter(skip).out, u"Converted 2, skipped 0, failed 0.\n"_s);
    const QByteArray whole = ReadBytes(file(u"a.flac"_s));
    ASSERT_TRUE(WriteFile(file(u"a.flac"_s), whole.left(whole.size() / 2)));
    const Outcome again = Converter(skip);
    EXPECT_EQ(again.out, u"Converted 1, skipped 1, failed 0.\n"_s);
    EXPECT_TRUE(again.err.contains(
        u"'a.flac' from an earlier run is incomplete; kept, and a new output written"_s))
        << again.err;
    EXPECT_EQ(DecodedSamples(file(u"a 1.flac"_s), 2), 3 * 44100);
    EXPECT_EQ(Converter(skip).out, u"Converted 0, skipped 2, failed 0.\n"_s);
    EXPECT_FALSE(QFile::exists(file(u"a 2.flac"_s)));

    // Killed while it writes beside its source.
    ASSERT_TRUE(MakeTone(file(u"rip/long.wav"_s), 120.0));
    QProcess killed;
    killed.start(QStringLiteral(CONVERTER), Args(u"--to flac"_s) << file(u"rip/long.wav"_s));
    QStringList leftovers;
    for (int i = 0; i < 3000 && leftovers.isEmpty(); ++i, QTest::qWait(5))
        leftovers = Entries(file(u"rip"_s)).filter(u".part"_s);
    ASSERT_FALSE(leftovers.isEmpty());
    ::kill(static_cast<pid_t>(killed.processId()), SIGKILL);
    killed.waitForFinished();
    ASSERT_TRUE(QFile::exists(file(u"rip/"_s + leftovers.front())));
    const Outcome after = Converter(Args(u"--to flac --skip-existing"_s) << file(u"rip"_s));
    EXPECT_EQ(after.status, 0) << after.err;
    EXPECT_EQ(after.out, u"Converted 1, skipped 0, failed 0.\n"_s);
    EXPECT_EQ(Entries(file(u"rip"_s)), (QStringList{u"long.flac"_s, u"long.wav"_s}));
}

} // namespace
