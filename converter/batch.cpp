#include "batch.h"
#include "output_names.h"

#include "converter_settings.h"
#include "cue_sheet.h"
#include "ffmpeg_converter.h"
#include "library.h"
#include "names.h"
#include "output_plan.h"
#include "publish.h"
#include "sources.h"
#include "system_names.h"

#include <QSet>
#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>
#include <unistd.h>

namespace velune {

namespace {

std::atomic<bool> gInterrupted{false};

void OnInterrupt(int) {
    gInterrupted = true;
}

void Print(std::FILE* file, const QString& text) {
    // Paths are printed as the bytes they were given as.
    std::fputs(SystemName(text).constData(), file);
    std::fflush(file);
}

// The progress line: the file being converted, files done of all, overall percent.
QString ProgressLine(const ConverterEngine& engine, const std::vector<QueuedSource>& queued,
                     int total) {
    int done = total - static_cast<int>(queued.size());
    for (std::size_t i = 0; i < queued.size(); ++i) {
        const auto state = engine.State(static_cast<int>(i));
        if (state == ConverterEngine::ItemState::Converted ||
            state == ConverterEngine::ItemState::Failed)
            ++done;
    }
    const int current = engine.LowestUnfinished();
    const double fraction = current >= 0 ? engine.Position().value_or(0.0f) : 0.0;
    const int percent = total > 0 ? static_cast<int>(100.0 * (done + fraction) / total) : 100;
    QString name = current >= 0 && current < static_cast<int>(queued.size())
                       ? queued[current].source.section(QLatin1Char('/'), -1)
                       : QString();
    if (current >= 0 && engine.AwaitingAlbumGain(current))
        name += QStringLiteral(" (waiting for the album's gain)");
    return QStringLiteral("\r\033[K%1/%2 files, %3% %4")
        .arg(done)
        .arg(total)
        .arg(percent)
        .arg(name);
}

// What the arguments name: files as they are, folders with every audio file below
// them. What cannot be taken is said in `notes` (folders passed over) or counted.
struct Sources {
    std::vector<PlannedSource> sources;
    QStringList missing; // "name: No such file", and sheets that cannot be used
    QStringList twice;   // named more than once
    int notAudio = 0;    // files in folders that hold no audio
    QStringList notes;
};

Sources Expand(const QStringList& arguments) {
    Sources found;
    QSet<QString> seen;
    SheetsBeside beside;
    // A file or sheet named twice converts once; a track is known by its sheet and number.
    const auto take = [&](const SourceRow& row, const QString& named) {
        const QString key = RowKey(row);
        if (seen.contains(key)) {
            if (!row.track || row.track->number == 1)
                found.twice << named;
            return;
        }
        seen.insert(key);
        found.sources.push_back({row.path, row.subfolder, row.track});
    };
    for (const QString& argument : arguments) {
        // As the system resolves it: "link/../a.flac" is beside the folder the link names.
        const QString path = ResolvedPath(argument);
        if (IsOurTemporary(FileName(path, u'/')))
            continue; // a leftover of a run that was killed
        if (IsFile(path)) {
            for (const SourceRow& row : beside.RowsOf(path, QString(), found.missing))
                take(row, path);
        } else if (IsFolder(path)) {
            const LibraryScan scan = ScanFolder(path);
            found.notes << scan.skippedFolders;
            // What cannot be read is not converted: a failure, not a note.
            found.missing << scan.unreadable;
            found.notAudio += scan.notAudio - static_cast<int>(scan.sheets.size());
            for (const SourceRow& row : RowsOfScan(scan, found.missing, beside))
                take(row, row.path);
        } else {
            found.missing << argument + QStringLiteral(": No such file");
        }
    }
    // An image named beside its own sheet converts as its tracks only.
    QSet<QString> images;
    for (const PlannedSource& source : found.sources)
        if (source.track)
            images.insert(source.path);
    std::erase_if(found.sources, [&images](const PlannedSource& source) {
        return !source.track && images.contains(source.path);
    });
    return found;
}

bool IsTrackItem(const Sources& found, const QueuedSource& item) {
    return std::ranges::any_of(found.sources, [&item](const PlannedSource& source) {
        return source.track && source.path == item.source;
    });
}

} // namespace

QString BatchUsage() {
    return QStringLiteral(
        "Usage: VeluneConverter --to wav|mp3|ogg|flac|opus|m4a|alac [--quality Q]\n"
        "                       [--replaygain] [--out FOLDER] [--skip-existing]\n"
        "                       [--pattern TEXT] [--jobs N] [--rate R] [--channels C]\n"
        "                       [--bits B] [--copy-same] [--keep-times] [--true-peak]\n"
        "                       [--prevent-clipping] [--id3v2.3] [--accept-damaged]\n"
        "                       [--delete-sources]\n"
        "                       FILE|SHEET|FOLDER...\n"
        "\n"
        "Converts audio files without opening the window. Started with no arguments,\n"
        "VeluneConverter opens its window.\n"
        "\n"
        "  --to FORMAT        the format to write: wav (16-bit PCM), mp3 (192 kbit/s),\n"
        "                     ogg (Vorbis, quality 5), flac (16 or 24 bits, as the source),\n"
        "                     opus (128 kbit/s, 48 kHz), m4a (AAC, 192 kbit/s) or alac\n"
        "                     (Apple Lossless in M4A, 16 or 24 bits, as the source)\n"
        "  --quality Q        mp3: 128, 192, 256 or 320 (kbit/s), v0, v2 or v4 (VBR);\n"
        "                     ogg: q3 to q8; opus: 96, 128 or 160 (kbit/s); m4a: 128,\n"
        "                     192 or 256 (kbit/s)\n"
        "  --replaygain       measure each output's loudness and write ReplayGain tags\n"
        "                     (album gains for the files of one album)\n"
        "  --true-peak        with --replaygain, write the true peak (as loudgain does)\n"
        "                     instead of the highest sample\n"
        "  --prevent-clipping with --replaygain, lower a gain that would take the true\n"
        "                     peak above -1 dBTP\n"
        "  --out FOLDER       write into FOLDER (the files of a folder given keep their\n"
        "                     subfolders there); by default each output goes beside its source\n"
        "  --skip-existing    skip a file whose output is already there, complete\n"
        "  --pattern TEXT     name outputs from their tags, below --out or beside each\n"
        "                     source: {artist} {albumartist} {album} {title} {track}\n"
        "                     {disc} {year} {genre} {stem} {folder}; {track:02} pads\n"
        "  --jobs N           convert up to N files at once; by default one per core\n"
        "  --rate R           source (the default), 44100 or 48000 (Hz)\n"
        "  --channels C       source (the default), stereo or mono\n"
        "  --bits B           wav, flac and alac: auto (16 for wav, the source's for flac\n"
        "                     and alac), 16 or 24; fewer bits than the source's are dithered\n"
        "  --copy-same        copy an mp3, ogg, opus, AAC or ALAC source already in the\n"
        "                     target format as it is instead of encoding it again\n"
        "  --keep-times       give each output its source's modification time\n"
        "  --id3v2.3          write ID3v2.3 tags into mp3 and wav outputs (for old car\n"
        "                     stereos and players) instead of ID3v2.4; copies keep the\n"
        "                     tags they have\n"
        "  --accept-damaged   convert a damaged file as far as it plays (the loss is told,\n"
        "                     the source never deleted); by default such a file fails\n"
        "  --delete-sources   delete each source once its output was written to the disk\n"
        "                     and read back whole\n"
        "  --version          show the version\n"
        "  --help             show this text\n"
        "\n"
        "Outputs are named after their sources and never replace a file: Song.mp3 becomes\n"
        "Song.wav, or Song 1.wav when that name is taken. Every tag and picture that the\n"
        "target holds is copied; those it cannot hold are named in the log. A folder adds\n"
        "every audio file below it. A CUE sheet (a .cue file, or a FLAC, WavPack or APE\n"
        "image whose tags hold one) stands for its tracks: each becomes a file named\n"
        "\"NN Title\" with the sheet's tags. Exit status: 0 when no file failed (skipped\n"
        "files are no failures), 1 when some failed, 2 on bad usage.\n");
}

BatchArguments ParseBatchArguments(const QStringList& arguments) {
    BatchArguments parsed;
    BatchOptions options;
    const auto fail = [&](const QString& error) {
        parsed.error = error;
        return parsed;
    };
    bool onlyFiles = false;
    QString quality;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (onlyFiles || !argument.startsWith(QLatin1String("--"))) {
            options.files << argument;
            continue;
        }
        const bool takesValue =
            argument == QLatin1String("--to") || argument == QLatin1String("--out") ||
            argument == QLatin1String("--jobs") || argument == QLatin1String("--quality") ||
            argument == QLatin1String("--pattern") || argument == QLatin1String("--rate") ||
            argument == QLatin1String("--channels") || argument == QLatin1String("--bits");
        if (takesValue && i + 1 >= arguments.size())
            return fail(argument + QStringLiteral(" needs a value"));
        const QString value = takesValue ? arguments[++i] : QString();
        if (argument == QLatin1String("--help")) {
            parsed.help = true;
            return parsed;
        } else if (argument == QLatin1String("--version")) {
            parsed.version = true;
            return parsed;
        } else if (argument == QLatin1String("--")) {
            onlyFiles = true;
        } else if (argument == QLatin1String("--to")) {
            if (!FormatNamed(value))
                return fail(
                    QStringLiteral("--to takes wav, mp3, ogg, flac, opus, m4a or alac, not \"%1\"")
                        .arg(value));
            options.format = value;
        } else if (argument == QLatin1String("--quality")) {
            quality = value;
        } else if (argument == QLatin1String("--out")) {
            if (!IsFolder(value))
                return fail(QStringLiteral("--out: \"%1\" is not a folder").arg(value));
            options.out = AbsolutePath(value);
        } else if (argument == QLatin1String("--jobs")) {
            bool whole = false;
            options.jobs = value.toInt(&whole);
            if (!whole || options.jobs < 1)
                return fail(QStringLiteral("--jobs takes a whole number from 1 up"));
        } else if (argument == QLatin1String("--delete-sources")) {
            options.deleteSources = true;
        } else if (argument == QLatin1String("--replaygain")) {
            options.replayGain = true;
        } else if (argument == QLatin1String("--skip-existing")) {
            options.skipExisting = true;
        } else if (argument == QLatin1String("--rate") || argument == QLatin1String("--channels") ||
                   argument == QLatin1String("--bits")) {
            OutputShape& shape = options.output.shape;
            const bool rate = argument == QLatin1String("--rate");
            const bool channels = argument == QLatin1String("--channels");
            const auto named = rate       ? ChoiceNamed(kRateChoices, value)
                               : channels ? ChoiceNamed(kChannelChoices, value)
                                          : ChoiceNamed(kBitChoices, value);
            if (!named)
                return fail(QStringLiteral("%1 takes %2, not \"%3\"")
                                .arg(argument,
                                     rate       ? ChoiceNames(kRateChoices)
                                     : channels ? ChoiceNames(kChannelChoices)
                                                : ChoiceNames(kBitChoices),
                                     value));
            (rate ? shape.rate : channels ? shape.channels : shape.bits) = *named;
        } else if (argument == QLatin1String("--copy-same")) {
            options.output.copySame = true;
        } else if (argument == QLatin1String("--id3v2.3")) {
            options.output.id3v23 = true;
        } else if (argument == QLatin1String("--accept-damaged")) {
            options.output.acceptDamaged = true;
        } else if (argument == QLatin1String("--keep-times")) {
            options.output.keepTimes = true;
        } else if (argument == QLatin1String("--true-peak")) {
            options.output.truePeak = true;
        } else if (argument == QLatin1String("--prevent-clipping")) {
            options.output.preventClipping = true;
        } else if (argument == QLatin1String("--pattern")) {
            if (const QString problem = PatternProblem(value); !problem.isEmpty())
                return fail(QStringLiteral("--pattern: ") + problem);
            options.pattern = value;
        } else {
            return fail(QStringLiteral("unknown option ") + argument);
        }
    }
    if (options.format.isEmpty())
        return fail(QStringLiteral("--to is missing"));
    const TargetFormat format = *FormatNamed(options.format);
    if (const auto named = QualityNamed(format, quality)) {
        options.quality = *named;
    } else {
        const QStringList taken = QualitiesOf(format);
        return fail(taken.isEmpty()
                        ? QStringLiteral("--quality: %1 takes no quality").arg(options.format)
                        : QStringLiteral("--quality: %1 takes %2, not \"%3\"")
                              .arg(options.format, taken.join(QStringLiteral(", ")), quality));
    }
    if (options.files.isEmpty())
        return fail(QStringLiteral("no files to convert"));
    parsed.options = options;
    return parsed;
}

int RunBatch(const BatchOptions& options, ConverterEngine& engine, const BatchOutput& output) {
    const TargetFormat format = *FormatNamed(options.format);
    const Sources found = Expand(options.files);
    QStringList failures = found.missing;
    std::vector<QueuedSource> queued;
    int skipped = 0;
    int notQueued = 0; // failed before they were handed to the engine
    engine.clear();
    const std::vector<PlannedOutput> plan = PlanOutputs(
        found.sources, {options.out, options.format, options.pattern, options.skipExisting},
        EarlierOutputsOf(engine));
    for (std::size_t i = 0; i < plan.size(); ++i) {
        const PlannedSource& source = found.sources[i];
        const PlannedOutput& planned = plan[i];
        if (!planned.note.isEmpty())
            Print(output.err, planned.note + QLatin1Char('\n'));
        if (planned.kind == PlannedOutput::Kind::Skip) {
            ++skipped;
            continue;
        }
        if (planned.kind != PlannedOutput::Kind::Convert) {
            ++notQueued;
            failures << source.path + QStringLiteral(": ") +
                            (planned.kind == PlannedOutput::Kind::Missing
                                 ? QStringLiteral("No such file")
                                 : planned.reason);
            continue;
        }
        const QString& out = planned.output;
        const SheetTrack* track = source.track ? &*source.track : nullptr;
        ConversionJob job{source.path,        out,           format, options.quality,
                          options.replayGain, options.output};
        if (track) {
            job.startFrame = track->startFrame;
            job.endFrame = track->endFrame;
            job.tags = track->tags;
        }
        // A CD image holds every track of its sheet: it is not deleted for one.
        job.verify = options.deleteSources && !track;
        if (!engine.add(job)) {
            Print(output.err, engine.lastError() + QLatin1Char('\n'));
            return 1;
        }
        queued.push_back(
            {static_cast<int>(queued.size()), source.path, out, IdentityOf(source.path)});
    }
    if (!engine.start()) {
        Print(output.err, engine.lastError() + QLatin1Char('\n'));
        return 1;
    }

    gInterrupted = false;
    const auto previous = std::signal(SIGINT, OnInterrupt);
    const int total = static_cast<int>(queued.size());
    while (!engine.Finished()) {
        if (gInterrupted) {
            engine.cancel();
            break;
        }
        if (output.terminal)
            Print(output.out, ProgressLine(engine, queued, total));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    std::signal(SIGINT, previous);
    if (output.terminal)
        Print(output.out, ProgressLine(engine, queued, total) + QLatin1Char('\n'));

    int converted = 0;
    int copied = 0;
    QStringList losses;
    for (std::size_t i = 0; i < queued.size(); ++i) {
        QueuedSource& item = queued[i];
        const int index = static_cast<int>(i);
        item.outcome = engine.State(index);
        item.verified = engine.Verified(index);
        if (item.outcome == ConverterEngine::ItemState::Converted) {
            ++converted;
            copied += engine.Copied(index) ? 1 : 0;
            if (const QString lost = engine.Losses(index); !lost.isEmpty()) {
                losses << item.source + QStringLiteral(": converted with losses (%1)").arg(lost);
                continue; // what could not be decoded is only in the source
            }
            // A CD image holds every track of its sheet: it is not deleted for one.
            if (options.deleteSources && !IsTrackItem(found, item) && !DeleteConvertedSource(item))
                failures << item.source + QStringLiteral(": converted, but kept (it could not "
                                                         "be safely deleted)");
        } else {
            failures << item.source + QStringLiteral(": ") +
                            engine.FailureReason(static_cast<int>(i));
        }
    }
    const int failed = static_cast<int>(found.missing.size()) + notQueued + total - converted;
    // Copies are counted apart when copying was asked for.
    Print(output.out, QStringLiteral("Converted %1, %4skipped %2, failed %3.\n")
                          .arg(converted - copied)
                          .arg(skipped)
                          .arg(failed)
                          .arg(options.output.copySame ? QStringLiteral("copied %1, ").arg(copied)
                                                       : QString()));
    if (found.notAudio > 0)
        Print(output.out, QStringLiteral("%1 files in the folders were passed over: not audio.\n")
                              .arg(found.notAudio));
    if (!found.twice.isEmpty())
        Print(output.out, QStringLiteral("Given more than once, converted once:\n  ") +
                              found.twice.join(QStringLiteral("\n  ")) + QLatin1Char('\n'));
    for (const QString& note : found.notes)
        Print(output.err, note + QLatin1Char('\n'));
    for (const QString& loss : std::as_const(losses))
        Print(output.err, loss + QLatin1Char('\n'));
    for (const QString& failure : std::as_const(failures))
        Print(output.err, failure + QLatin1Char('\n'));
    return failures.isEmpty() ? 0 : 1;
}

int BatchMain(const QStringList& arguments) {
    const BatchArguments parsed = ParseBatchArguments(arguments);
    if (parsed.help) {
        Print(stdout, BatchUsage());
        return 0;
    }
    if (parsed.version) {
        Print(stdout, QStringLiteral("VeluneConverter %1.%2\n")
                          .arg(VELUNE_VERSION_MAJOR)
                          .arg(VELUNE_VERSION_MINOR));
        return 0;
    }
    if (!parsed.options) {
        Print(stderr, QStringLiteral("VeluneConverter: ") + parsed.error + QStringLiteral("\n\n") +
                          BatchUsage());
        return 2;
    }
    FfmpegConverter engine(parsed.options->jobs > 0 ? parsed.options->jobs
                                                    : FfmpegConverter::DefaultJobs());
    return RunBatch(*parsed.options, engine, {stdout, stderr, ::isatty(STDOUT_FILENO) == 1});
}

} // namespace velune
