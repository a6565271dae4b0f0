#include "ffmpeg_converter.h"
#include "system_names.h"

#include "audio_decoder.h"
#include "engine_log.h"
#include "mp4_tags.h"
#include "publish.h"
#include "tags.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace velune {

namespace {

const QString kStopped = QStringLiteral("the conversion was stopped");

// Tags are written into the finished file; where that makes it grow, the disk
// must have room for it.
bool RoomFor(const QString& path, qint64 bytes, QString& error) {
    struct statvfs fs {};
    if (::statvfs(SystemName(path).constData(), &fs) != 0)
        return true;
    if (static_cast<qint64>(fs.f_bavail) * static_cast<qint64>(fs.f_frsize) >= 2 * bytes)
        return true;
    error = QString::fromLocal8Bit(std::strerror(ENOSPC));
    return false;
}

// What an output's album is known by: its album and album artist; "" for none.
QString AlbumOf(const TagSet& tags) {
    QString album, artist;
    for (const auto& [key, values] : tags.text) {
        if (key == QLatin1String("ALBUM"))
            album = values.join(QLatin1Char(';'));
        else if (key == QLatin1String("ALBUMARTIST"))
            artist = values.join(QLatin1Char(';'));
    }
    return album.isEmpty() ? QString() : album + QChar(0) + artist;
}

const char* FormatName(TargetFormat format) {
    switch (format) {
    case TargetFormat::Wav:
        return "WAV";
    case TargetFormat::Mp3:
        return "MP3";
    case TargetFormat::Ogg:
        return "OGG";
    case TargetFormat::Flac:
        return "FLAC";
    case TargetFormat::Opus:
        return "OPUS";
    case TargetFormat::M4a:
        return "M4A";
    case TargetFormat::Alac:
        return "ALAC";
    }
    return "";
}

void AddText(TagSet& tags, const std::vector<std::pair<QString, QString>>& pairs) {
    for (const auto& [key, value] : pairs)
        tags.text.emplace_back(key, QStringList{value});
}

// A source already in the target format and shape: copying it loses nothing (and
// takes less time), encoding a lossy one again would. The codec decides, not the container
// (Ogg holds Vorbis and Opus, M4A AAC and ALAC), and a rate, channel count or depth asked
// for must be the file's own. An MP4 is taken only as an M4A: another may hold a film.
bool CopyGives(const QString& source, TargetFormat format, const OutputShape& shape) {
    const char* kind = format == TargetFormat::Mp3    ? "mp3/mp3"
                       : format == TargetFormat::Ogg  ? "ogg/vorbis"
                       : format == TargetFormat::Opus ? "ogg/opus"
                       : format == TargetFormat::M4a  ? "mov/aac"
                       : format == TargetFormat::Alac ? "mov/alac"
                                                      : nullptr;
    const bool mp4 = format == TargetFormat::M4a || format == TargetFormat::Alac;
    if (!kind || (mp4 && !source.endsWith(QLatin1String(".m4a"), Qt::CaseInsensitive)))
        return false;
    AudioDecoder decoder;
    QString error;
    return decoder.Open(source, error) && decoder.SourceKind() == QLatin1String(kind) &&
           (shape.rate == 0 || shape.rate == decoder.SourceRate()) &&
           (shape.channels == 0 || shape.channels == decoder.SourceChannels()) &&
           (shape.bits == 0 || format != TargetFormat::Alac || shape.bits == decoder.SourceBits());
}

// Copies the file's bytes; false with the system's reason.
bool CopyBytes(const QString& source, const QString& target, const std::atomic<bool>& cancel,
               TranscodeProgress& progress, QString& error) {
    std::FILE* in = std::fopen(SystemName(source).constData(), "rb");
    std::FILE* out = in ? std::fopen(SystemName(target).constData(), "wb") : nullptr;
    const qint64 size = std::max<qint64>(FileSize(source), 1);
    progress.totalMs = size;
    std::vector<char> chunk(1 << 20);
    bool ok = in && out;
    for (qint64 done = 0; ok && !cancel;) {
        const std::size_t read = std::fread(chunk.data(), 1, chunk.size(), in);
        ok = std::fwrite(chunk.data(), 1, read, out) == read && !std::ferror(in);
        progress.doneMs = done += static_cast<qint64>(read);
        if (read < chunk.size())
            break;
    }
    error = ok ? QString() : QString::fromLocal8Bit(std::strerror(errno));
    if (in)
        std::fclose(in);
    if (out && std::fclose(out) != 0 && ok) {
        ok = false;
        error = QString::fromLocal8Bit(std::strerror(errno));
    }
    if (cancel) {
        ok = false;
        error = kStopped;
    }
    return ok;
}

// The loudness of a file as it decodes.
std::shared_ptr<LoudnessMeter> MeasureLoudness(const QString& path, bool truePeak,
                                               const std::atomic<bool>& cancel, QString& error) {
    AudioDecoder decoder;
    if (!decoder.Open(path, error, &cancel) ||
        !decoder.SetOutput(SampleLayout::FloatPlanar, 0, 0, error))
        return nullptr;
    auto meter =
        std::make_shared<LoudnessMeter>(decoder.OutputChannels(), decoder.OutputRate(), truePeak);
    const uint8_t* const* data = nullptr;
    int samples = 0;
    while ((samples = decoder.Read(&data)) > 0 && !cancel)
        meter->Add(data, SampleLayout::FloatPlanar, samples);
    if (samples < 0 || cancel) {
        error = cancel ? kStopped : decoder.Error();
        return nullptr;
    }
    if (decoder.Damage().any()) {
        error = decoder.DamageText();
        return nullptr;
    }
    return meter;
}

// The output takes the source's modification time.
void KeepTime(const QString& source, const QString& output) {
    struct stat info {};
    if (::stat(SystemName(source).constData(), &info) != 0)
        return;
    const timespec times[2] = {{0, UTIME_NOW}, info.st_mtim};
    if (::utimensat(AT_FDCWD, SystemName(output).constData(), times, 0) != 0)
        qCWarning(lcEngine) << "cannot give" << output << "the time of" << source;
}

} // namespace

int FfmpegConverter::DefaultJobs() {
    bool whole = false;
    const int asked = qEnvironmentVariableIntValue("VELUNE_JOBS", &whole);
    if (whole && asked >= 1)
        return asked;
    return std::max(1u, std::thread::hardware_concurrency());
}

FfmpegConverter::FfmpegConverter(int jobs) : jobs_(std::max(1, jobs)) {}

FfmpegConverter::~FfmpegConverter() {
    cancel();
}

void FfmpegConverter::clear() {
    cancel();
    items_.clear();
    next_ = 0;
    cancel_ = false;
    // Each run looks for leftovers in the folders it writes into, and tells what its
    // outputs cannot hold.
    std::lock_guard lock(mutex_);
    tidiedFolders_.clear();
    toldUnheld_.clear();
}

bool FfmpegConverter::add(const ConversionJob& job) {
    if (!workers_.empty()) {
        error_ = QStringLiteral("a conversion is already running");
        return false;
    }
    auto item = std::make_unique<Item>();
    item->job = job;
    items_.push_back(std::move(item));
    return true;
}

bool FfmpegConverter::start() {
    if (!workers_.empty()) {
        error_ = QStringLiteral("a conversion is already running");
        return false;
    }
    cancel_ = false;
    {
        std::lock_guard lock(mutex_);
        albumsPending_ =
            std::any_of(items_.begin() + static_cast<std::ptrdiff_t>(next_.load()), items_.end(),
                        [](const auto& item) { return item->job.replayGain; });
    }
    const std::size_t count = std::min<std::size_t>(jobs_, items_.size() - next_);
    try {
        for (std::size_t i = 0; i < count; ++i)
            workers_.emplace_back(&FfmpegConverter::Work, this);
    } catch (const std::system_error& e) {
        error_ = QString::fromLocal8Bit(e.what());
        if (workers_.empty())
            return false;
    }
    return true;
}

void FfmpegConverter::cancel() {
    cancel_ = true;
    Join();
    // Nothing that was left is converted now, and no album is complete: the outputs
    // that waited for their album's gain are whole, and published with their own.
    next_ = items_.size();
    for (auto& item : items_)
        if (item->awaitingAlbum)
            Publish(*item);
    std::lock_guard lock(mutex_);
    albumsPending_ = false;
    for (auto& item : items_) {
        if (item->state == ItemState::Queued || item->state == ItemState::Converting) {
            item->state = ItemState::Failed;
            item->failure = kStopped;
        }
    }
}

void FfmpegConverter::Join() {
    for (std::thread& worker : workers_)
        worker.join();
    workers_.clear();
}

void FfmpegConverter::Work() {
    for (;;) {
        if (cancel_)
            return;
        const std::size_t index = next_.fetch_add(1);
        if (index >= items_.size())
            return;
        Convert(*items_[index]);
    }
}

void FfmpegConverter::Convert(Item& item) {
    const QString folder = FolderOf(item.job.output);
    bool tidy = false;
    {
        std::lock_guard lock(mutex_);
        item.state = ItemState::Converting;
        tidy = !tidiedFolders_.contains(folder);
        tidiedFolders_.insert(folder);
    }
    if (tidy)
        RemoveStaleTemporaries(folder);

    QString failure;
    item.temp = ReserveTemporary(item.job.output, failure);
    if (item.temp.isEmpty())
        return Settle(item, false, failure);
    item.tags = item.job.tags ? *item.job.tags : ReadTags(item.job.source);
    // The gains measured here replace the source's.
    if (item.job.replayGain)
        std::erase_if(item.tags.text,
                      [](const auto& field) { return IsLoudnessField(field.first); });
    const OutputOptions& options = item.job.options;
    const bool part = item.job.startFrame > 0 || item.job.endFrame >= 0;
    const bool truePeak = options.truePeak || options.preventClipping;
    TranscodeResult result;
    item.copied =
        options.copySame && !part && CopyGives(item.job.source, item.job.format, options.shape);
    if (item.copied) {
        // Bit for bit; only the loudness fields, when asked, are written into the copy.
        result.ok = CopyBytes(item.job.source, item.temp, cancel_, item.progress, result.reason);
        if (result.ok && item.job.replayGain)
            result.ok = (result.loudness = MeasureLoudness(item.job.source, truePeak, cancel_,
                                                           result.reason)) != nullptr;
    } else {
        // Room for the loudness tags that come with the rest.
        result = Transcode(item.job.source, item.temp, item.job.format, item.job.quality,
                           options.shape, {item.job.startFrame, item.job.endFrame},
                           !item.job.replayGain ? Measure::Nothing
                           : truePeak           ? Measure::LoudnessAndTruePeak
                                                : Measure::Loudness,
                           options.acceptDamaged ? OnDamage::Accept : OnDamage::Fail,
                           item.tags.estimatedBytes() + (item.job.replayGain ? 256 : 0), cancel_,
                           item.progress);
        item.samples = result.samples;
        item.exactSource = result.exactSource;
        if (item.job.format == TargetFormat::M4a)
            item.gapless = GaplessField(result.delay, result.padding, result.samples);
        if (!result.damage.isEmpty()) {
            // What was lost, in time when it is known, else where.
            item.losses =
                result.lostMs > 0 ? QStringLiteral("%1 ms").arg(result.lostMs) : result.damage;
            qCWarning(lcEngine) << item.job.source << "converted with losses:" << result.damage;
        }
    }
    bool converted = result.ok;
    failure = result.reason;
    item.loudness = result.loudness;
    if (converted && item.loudness) {
        // Its track gain is known now; an album's outputs wait, unpublished, for theirs.
        AddText(item.tags, ReplayGainTagsFor(item.job.format == TargetFormat::Opus,
                                             QStringLiteral("TRACK"), item.loudness->Loudness(),
                                             item.loudness->Peak(), options.preventClipping));
    }
    const bool waits = converted && item.loudness && !AlbumOf(item.tags).isEmpty();
    if (converted && cancel_) {
        converted = false;
        failure = kStopped;
    }
    if (converted && !waits)
        converted = Complete(item, failure);
    if (!converted)
        RemoveFile(item.temp);
    Settle(item, converted, failure, waits);
}

bool FfmpegConverter::Complete(Item& item, QString& failure) {
    const ConversionJob& job = item.job;
    // Tags go into the file before it has its name: a published file is never written.
    bool done = true;
    const bool mp4 = job.format == TargetFormat::M4a || job.format == TargetFormat::Alac;
    if (item.copied) {
        // A copy keeps every byte of its tags but the gains measured for it.
        std::vector<std::pair<QString, QString>> loudness;
        for (const auto& [key, values] : item.tags.text)
            if (item.loudness && IsLoudnessField(key))
                loudness.emplace_back(key, values.join(QLatin1Char(';')));
        done = loudness.empty() ||
               (mp4 ? WriteMp4Fields(item.temp, loudness, failure)
                    : WriteLoudnessFields(item.temp, job.format, loudness, failure));
    } else if (!item.tags.empty()) {
        QStringList unheld;
        done = RoomFor(item.temp, item.tags.estimatedBytes(), failure) &&
               WriteTags(item.temp, job.format, item.tags, failure, job.options.id3v23, &unheld);
        TellUnheld(job.format, unheld);
    }
    // After the tags, so that no field copied from the source takes its place.
    if (done && !item.gapless.first.isEmpty())
        done = WriteMp4Fields(item.temp, {item.gapless}, failure);
    if (done && job.options.keepTimes)
        KeepTime(job.source, item.temp);
    bool durable = true;
    if (!done || !PublishNoReplace(item.temp, job.output, failure, &durable))
        return false;
    item.temp.clear();
    // A source that was damaged, or whose length is only guessed, is never deleted;
    // nor one whose output may not be on the disk yet.
    if (!job.verify || !item.losses.isEmpty() || !durable || (!item.copied && !item.exactSource))
        return true;
    // Read back from the disk: what a deleted source leaves is this file alone. A
    // copy holds the source's audio packets; an encoding decodes to what was encoded.
    QString why;
    const QByteArray digest = item.copied ? AudioDigest(job.output) : QByteArray();
    item.verified = item.copied ? !digest.isEmpty() && digest == AudioDigest(job.source)
                                : DecodesWhole(job.output, item.samples, cancel_, why);
    if (item.verified || cancel_)
        return true;
    // Published, but not what was written: it goes, and the item fails.
    failure = QStringLiteral("it was written, but does not read back whole (%1)")
                  .arg(why.isEmpty() ? QStringLiteral("its audio differs") : why);
    QString error;
    RemoveDurably(job.output, error);
    return false;
}

void FfmpegConverter::Settle(Item& item, bool converted, const QString& failure, bool waits) {
    if (!converted)
        qCWarning(lcEngine) << "cannot convert" << item.job.source << "to" << item.job.output
                            << failure;
    {
        std::lock_guard lock(mutex_);
        // Only now, with the worker done with it, may another worker publish it.
        item.awaitingAlbum = converted && waits;
        if (!item.awaitingAlbum) {
            item.state = converted ? ItemState::Converted : ItemState::Failed;
            item.failure = converted ? QString() : failure;
        }
        // Every other item has settled: the album gains are this worker's.
        if (!albumsPending_ || !AlbumsReady())
            return;
        albumsPending_ = false;
    }
    WriteAlbumGains();
}

bool FfmpegConverter::AlbumsReady() const {
    return std::none_of(items_.begin(), items_.end(), [](const auto& item) {
        return item->state == ItemState::Queued ||
               (item->state == ItemState::Converting && !item->awaitingAlbum);
    });
}

void FfmpegConverter::WriteAlbumGains() {
    std::map<QString, std::vector<Item*>> albums;
    for (const auto& item : items_)
        if (item->awaitingAlbum)
            albums[AlbumOf(item->tags)].push_back(item.get());
    for (const auto& [album, members] : albums) {
        std::vector<const LoudnessMeter*> meters;
        for (const Item* item : members)
            meters.push_back(item->loudness.get());
        const auto [loudness, peak] = LoudnessMeter::Together(meters);
        for (Item* item : members) {
            AddText(item->tags, ReplayGainTagsFor(item->job.format == TargetFormat::Opus,
                                                  QStringLiteral("ALBUM"), loudness, peak,
                                                  item->job.options.preventClipping));
            if (!cancel_)
                Publish(*item);
        }
    }
}

void FfmpegConverter::Publish(Item& item) {
    QString failure;
    const bool converted = Complete(item, failure);
    if (!converted) {
        RemoveFile(item.temp);
        qCWarning(lcEngine) << "cannot convert" << item.job.source << failure;
    }
    std::lock_guard lock(mutex_);
    item.awaitingAlbum = false;
    item.state = converted ? ItemState::Converted : ItemState::Failed;
    item.failure = converted ? QString() : failure;
}

void FfmpegConverter::TellUnheld(TargetFormat format, const QStringList& fields) {
    QStringList untold;
    {
        std::lock_guard lock(mutex_);
        for (const QString& field : fields) {
            const QString key = QLatin1String(FormatName(format)) + QChar(0) + field;
            if (!toldUnheld_.contains(key)) {
                toldUnheld_.insert(key);
                untold << field;
            }
        }
    }
    if (!untold.isEmpty())
        qCWarning(lcEngine).noquote()
            << QStringLiteral("%1 outputs cannot hold these tags, left out: %2")
                   .arg(QLatin1String(FormatName(format)), untold.join(QStringLiteral(", ")));
}

int FfmpegConverter::LowestIndex() const {
    // An output waiting for its album's gain is unfinished: it is shown as waiting.
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (items_[i]->state == ItemState::Queued || items_[i]->state == ItemState::Converting)
            return static_cast<int>(i);
    return -1;
}

const FfmpegConverter::Item* FfmpegConverter::Lowest() const {
    const int index = LowestIndex();
    return index < 0 ? nullptr : items_[index].get();
}

int FfmpegConverter::LowestUnfinished() const {
    std::lock_guard lock(mutex_);
    return LowestIndex();
}

std::optional<float> FfmpegConverter::Position() const {
    std::lock_guard lock(mutex_);
    const Item* item = Lowest();
    if (!item || item->state != ItemState::Converting)
        return std::nullopt;
    const qint64 total = item->progress.totalMs;
    if (total <= 0)
        return 0.0f;
    return std::clamp(static_cast<float>(item->progress.doneMs) / static_cast<float>(total), 0.0f,
                      1.0f);
}

std::optional<int> FfmpegConverter::Time() const {
    std::lock_guard lock(mutex_);
    const Item* item = Lowest();
    if (!item || item->state != ItemState::Converting)
        return std::nullopt;
    return static_cast<int>(item->progress.doneMs);
}

bool FfmpegConverter::Finished() const {
    std::lock_guard lock(mutex_);
    return Lowest() == nullptr && !albumsPending_;
}

ConverterEngine::ItemState FfmpegConverter::State(int item) const {
    std::lock_guard lock(mutex_);
    if (item < 0 || item >= static_cast<int>(items_.size()))
        return ItemState::Failed;
    return items_[item]->state;
}

bool FfmpegConverter::Copied(int item) const {
    std::lock_guard lock(mutex_);
    return item >= 0 && item < static_cast<int>(items_.size()) &&
           items_[item]->state == ItemState::Converted && items_[item]->copied;
}

QString FfmpegConverter::Losses(int item) const {
    std::lock_guard lock(mutex_);
    if (item < 0 || item >= static_cast<int>(items_.size()) ||
        items_[item]->state != ItemState::Converted)
        return {};
    return items_[item]->losses;
}

bool FfmpegConverter::Verified(int item) const {
    std::lock_guard lock(mutex_);
    return item >= 0 && item < static_cast<int>(items_.size()) &&
           items_[item]->state == ItemState::Converted && items_[item]->verified;
}

bool FfmpegConverter::AwaitingAlbumGain(int item) const {
    std::lock_guard lock(mutex_);
    return item >= 0 && item < static_cast<int>(items_.size()) && items_[item]->awaitingAlbum;
}

QString FfmpegConverter::FailureReason(int item) const {
    std::lock_guard lock(mutex_);
    if (item < 0 || item >= static_cast<int>(items_.size()))
        return {};
    return items_[item]->failure;
}

bool FfmpegConverter::HoldsWhole(const QString& output, TargetFormat format, const QString& source,
                                 qint64 startFrame, qint64 endFrame) {
    // Our outputs declare their length exactly; one that does not is no output of ours.
    // A source is as long as it decodes (some declare their length only roughly).
    const auto done = ReadTail(output);
    const bool held = done && done->exact() &&
                      (format == TargetFormat::M4a    ? done->kind == QLatin1String("mov/aac")
                       : format == TargetFormat::Alac ? done->kind == QLatin1String("mov/alac")
                                                      : true);
    const auto original = held ? ReadTail(source) : std::nullopt;
    if (!original || !original->whole)
        return false;
    const qint64 rate = original->rate;
    const qint64 first = FrameToSample(startFrame, original->rate);
    const qint64 last = endFrame >= 0 ? FrameToSample(endFrame, original->rate) : original->end;
    // The same length, give or take the sample that a change of rate rounds.
    return last > first &&
           std::llabs((last - first) * done->rate - done->end * rate) <= done->rate + rate;
}

} // namespace velune
