// Mutated media through the decoder and the loudness tags: no crash, no hang (-timeout), no
// negative declared length, and no more samples on a second read from the start.
#include "audio_decoder.h"
#include "fuzz_input.h"
#include "replay_gain.h"
#include "system_names.h"

#include <QTemporaryDir>
#include <fstream>

using namespace velune;
using namespace velune::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static QTemporaryDir dir;
    Input input(data, size);
    static const char* const kNames[] = {"a.wav", "a.mp3", "a.ogg", "a.flac", "a.opus",
                                         "a.m4a", "a.wma", "a.rm",  "a.ape",  "a.wv"};
    const QString path = dir.filePath(QString::fromLatin1(kNames[input.Byte() % 10]));
    const QByteArray bytes = input.Rest();
    std::ofstream(SystemPath(path), std::ios::binary | std::ios::trunc)
        .write(bytes.constData(), bytes.size());
    AudioDecoder decoder;
    QString error;
    if (!decoder.Open(path, error, nullptr, 1000)) {
        Require(!error.isEmpty(), "a file that does not open says why");
        return 0;
    }
    ReadReplayGain([&decoder](const char* name) { return decoder.Tag(name); });
    if (const auto declared = decoder.DeclaredSamples())
        Require(*declared >= 0, "a declared length is not negative");
    if (!decoder.SetOutput(SampleLayout::Float, 0, 8, error))
        return 0;
    const auto readAll = [&decoder] {
        int64_t delivered = 0;
        const uint8_t* const* samples = nullptr;
        for (int reads = 0; reads < 20000; ++reads) {
            const int frames = decoder.Read(&samples);
            if (frames <= 0)
                break;
            delivered += frames;
        }
        return delivered;
    };
    if (const int64_t delivered = readAll(); delivered > 0 && decoder.Seek(0)) {
        const int64_t again = readAll();
        Require(again <= delivered + decoder.OutputRate(), "a second read gives no more",
                QString::number(again) + QStringLiteral(" > ") + QString::number(delivered));
    }
    return 0;
}
