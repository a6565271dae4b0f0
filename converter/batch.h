#pragma once

#include "converter_engine.h"

#include <QString>
#include <QStringList>
#include <cstdio>
#include <optional>

namespace velune {

// The converter without its window:
//   VeluneConverter --to wav|mp3|ogg|flac|opus [--quality Q] [--replaygain] [--out FOLDER] [--jobs
//   N]
//   [--delete-sources]
//                   FILE...
struct BatchOptions {
    QString format; // "wav", "mp3" or "ogg"
    Quality quality;
    QString out;  // "" = beside each source
    int jobs = 0; // 0 = one per core
    bool deleteSources = false;
    bool replayGain = false;
    bool skipExisting = false;
    QString pattern; // names from tags, e.g. "{albumartist}/{album}/{track:02} {title}"; "" none
    OutputOptions output = {}; // --rate, --channels, --bits, --copy-same, --keep-times
    QStringList files;         // files, and folders whose audio files below them all convert
};

struct BatchArguments {
    std::optional<BatchOptions> options; // none: help or the version asked for, or a usage error
    bool help = false;
    bool version = false;
    QString error; // what is wrong with the arguments
};

BatchArguments ParseBatchArguments(const QStringList& arguments);
QString BatchUsage();

// Where the batch run reports: a progress line (only on a terminal), the summary,
// and each failure with its reason.
struct BatchOutput {
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    bool terminal = false;
};

// Converts every file with the same naming, publishing and deletion rules as the
// window. Returns the exit status: 0 when every file converted, 1 when some failed.
int RunBatch(const BatchOptions& options, ConverterEngine& engine, const BatchOutput& output);

// Parses, runs with the real engine, and returns the exit status (2 on bad usage).
int BatchMain(const QStringList& arguments);

} // namespace velune
