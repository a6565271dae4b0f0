// Damaged sources: the decoder finds every kind of damage (a file cut short, bytes
// overwritten, a disk that fails to read), says where it is and how much was lost,
// and takes what is no damage (junk after the last frame, tags at the end) for none.
#include "audio_decoder.h"
#include "media.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>

using namespace velune;
using namespace velune::test;

namespace {

struct Decoded {
    DecodeDamage damage;
    QString text;
    qint64 samples = 0;
    qint64 declared = 0;
    int rate = 0;
};

Decoded Decode(const QString& path) {
    AudioDecoder decoder;
    QString error;
    Decoded out;
    if (!decoder.Open(path, error) || !decoder.SetOutput(SampleLayout::Float, 0, 0, error))
        return out;
    const uint8_t* const* data = nullptr;
    for (int n = 0; (n = decoder.Read(&data)) > 0;)
        out.samples += n;
    out.damage = decoder.Damage();
    out.text = decoder.DamageText();
    out.declared = decoder.DeclaredSamples().value_or(0);
    out.rate = decoder.SourceRate();
    return out;
}

// With VELUNE_DECODE_FILE set, this binary is the child that decodes the file under the
// read fault shim and prints what it found, one value a line.
class DecodeChild : public ::testing::Environment {
    void SetUp() override {
        const Decoded d = Decode(qEnvironmentVariable("VELUNE_DECODE_FILE"));
        std::printf("decoded\n%d\n%lld\n%lld\n%lld\n%lld\n%d\n%s\n", d.damage.readError ? 1 : 0,
                    static_cast<long long>(d.damage.firstSample),
                    static_cast<long long>(d.damage.lostSamples), d.samples, d.declared, d.rate,
                    d.text.toUtf8().constData());
        std::fflush(stdout);
        std::_Exit(0);
    }
};
[[maybe_unused]] const auto* const kChild =
    qEnvironmentVariableIsSet("VELUNE_DECODE_FILE")
        ? ::testing::AddGlobalTestEnvironment(new DecodeChild)
        : nullptr;

// Decodes the file in a child whose reads of it fail from byte `failAt` on.
Decoded DecodeFailingAt(const QString& path, qint64 failAt) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"LD_PRELOAD"_s, QStringLiteral(READ_FAULT_SHIM));
    env.insert(u"VELUNE_FAIL_READ_PATH"_s, path);
    env.insert(u"VELUNE_FAIL_READ_AT"_s, QString::number(failAt));
    env.insert(u"VELUNE_DECODE_FILE"_s, path);
    env.insert(u"ASAN_OPTIONS"_s, env.value(u"ASAN_OPTIONS"_s) + u":verify_asan_link_order=0"_s);
    QProcess child;
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {});
    Decoded out;
    if (!child.waitForFinished(120000))
        return out;
    const QString output = QString::fromUtf8(child.readAllStandardOutput());
    const QStringList lines = output.mid(output.indexOf("decoded\n"_L1) + 8).split(u'\n');
    if (lines.size() < 7)
        return out;
    out.damage.readError = lines[0] == "1"_L1;
    out.damage.firstSample = lines[1].toLongLong();
    out.damage.lostSamples = lines[2].toLongLong();
    out.samples = lines[3].toLongLong();
    out.declared = lines[4].toLongLong();
    out.rate = lines[5].toInt();
    out.text = lines[6];
    return out;
}

// Bytes as a little-endian 32-bit number.
QByteArray Le32(quint32 value) {
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>(value >> (8 * i));
    return bytes;
}

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
    const char* source; // a clean 60 s file made once for all rows
    Breaker breakIt;
    bool exactLoss = false; // the container declares its length with no padding to trim
    bool readFault = false; // the file's reads fail where it breaks
};

const Row kRows[] = {
    {"wav", "tone.wav", kKeep},
    {"flac", "tone.flac", kKeep},
    {"mp3", "lame.mp3", kKeep},
    {"ogg", "tone.ogg", kKeep},
    {"opus", "tone.opus", kKeep},
    {"mp3_without_xing", "plain.mp3", kKeep},
    {"mp3_junk_after", "lame.mp3", Append(Noise(3000))},
    {"mp3_id3v1", "lame.mp3", Append("TAG" + QByteArray(125, ' '))},
    {"wav_list_after", "tone.wav",
     [](QByteArray& wav) {
         wav += "LIST" + Le32(16) + "INFOINAM" + Le32(4) + QByteArray("Tone", 4);
         wav.replace(4, 4, Le32(static_cast<quint32>(wav.size() - 8)));
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
    {"flac_read_error", "tone.flac", [](QByteArray& flac) { return flac.size() / 2; }, true, true},
};

class Durability : public ::testing::TestWithParam<Row> {
public:
    static void SetUpTestSuite() {
        dir_ = new QTemporaryDir;
        const QString wav = dir_->filePath(u"tone.wav"_s);
        const auto at = [](const QString& name) { return dir_->filePath(name); };
        made_ = MakeTone(wav, 60) && MakeTone(at(u"tone.flac"_s), 60) &&
                MakeTone(at(u"tone.opus"_s), 60) &&
                RunTool(u"lame"_s, Args(u"--quiet -b 192"_s) << wav << at(u"lame.mp3"_s)) &&
                RunTool(u"lame"_s, Args(u"--quiet -t -b 192"_s) << wav << at(u"plain.mp3"_s)) &&
                RunTool(u"oggenc"_s, Args(u"-Q -q 3 -o"_s) << at(u"tone.ogg"_s) << wav);
    }
    static void TearDownTestSuite() { delete dir_; }

protected:
    static inline QTemporaryDir* dir_ = nullptr;
    static inline bool made_ = false;
};

TEST_P(Durability, DamageIsFoundAndPlaced) {
    const Row& row = GetParam();
    ASSERT_TRUE(made_);
    const QString source = dir_->filePath(QString::fromLatin1(row.source));
    QByteArray bytes = ReadBytes(source);
    const qsizetype size = bytes.size();
    const qsizetype broken = row.breakIt(bytes);
    const QString path =
        dir_->filePath(QString::fromLatin1(row.name) + u'.' + QFileInfo(source).suffix());
    ASSERT_TRUE(WriteFile(path, bytes));
    const Decoded d = row.readFault ? DecodeFailingAt(path, broken) : Decode(path);
    ASSERT_GT(d.rate, 0);
    SCOPED_TRACE(d.text.toStdString());
    EXPECT_EQ(d.damage.any(), broken >= 0);
    EXPECT_EQ(d.damage.readError, row.readFault);
    // Every sample that decodes is handed out, and every one that does not is counted.
    if (row.exactLoss) {
        EXPECT_EQ(d.damage.lostSamples, d.declared - d.samples);
    }
    if (broken < 0) {
        EXPECT_TRUE(d.text.isEmpty());
        return;
    }
    const double seconds = 60.0 * static_cast<double>(broken) / static_cast<double>(size);
    EXPECT_NEAR(static_cast<double>(d.damage.firstSample) / d.rate, seconds, 1.0);
    const QRegularExpression text(u"^damaged at (\\d+):(\\d\\d): (?:(\\d{1,3}(?: \\d{3})*) samples "
                                  "could not be decoded|the file is cut short|the file could not "
                                  "be read)$"_s);
    const auto match = text.match(d.text);
    ASSERT_TRUE(match.hasMatch());
    EXPECT_EQ(match.captured(1).toInt() * 60 + match.captured(2).toInt(),
              d.damage.firstSample / d.rate);
    const QString lost = match.captured(3).remove(u' ');
    EXPECT_EQ(lost.isEmpty() ? qint64{-1} : lost.toLongLong(),
              d.damage.lostSamples > 0 && !d.damage.readError ? d.damage.lostSamples : -1);
}

INSTANTIATE_TEST_SUITE_P(Sources, Durability, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
