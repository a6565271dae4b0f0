#include "ffmpeg_converter.h"
#include "system_names.h"

#include "audio_decoder.h"
#include "engine_log.h"
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

void AddText(TagSet& tags, const std::vector<std::pair<QString, QString>>& pairs) {
    for (const auto& [key, value] : pairs)
        tags.text.emplace_back(key, QStringList{value});
}

// A lossy source already in the target format: copying it loses nothing, encoding
// it again would.
bool AlreadyInFormat(const QString& source, TargetFormat format) {
    const char* kind = format == TargetFormat::Mp3    ? "mp3/mp3"
                       : format == TargetFormat::Ogg  ? "ogg/vorbis"
                       : format == TargetFormat::Opus ? "ogg/opus"
                                                      : nullptr;
    AudioDecoder decoder;
    QString error;
    return kind && decoder.Open(source, error) && decoder.SourceKind() == QLatin1String(kind);
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
    // Each run looks for leftovers in the folders it writes into.
    std::lock_guard lock(mutex_);
    tidiedFolders_.clear();
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
    // Nothing that was left is converted now, and no album is complete.
    next_ = items_.size();
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
    const QString temp = ReserveTemporary(item.job.output, failure);
    if (temp.isEmpty())
        return Settle(item, false, failure);
    TagSet tags = item.job.tags ? *item.job.tags : ReadTags(item.job.source);
    const OutputOptions& options = item.job.options;
    const bool part = item.job.startFrame > 0 || item.job.endFrame >= 0;
    const bool truePeak = options.truePeak || options.preventClipping;
    TranscodeResult result;
    item.copied = options.copySame && !part && AlreadyInFormat(item.job.source, item.job.format);
    if (item.copied) {
        // Bit for bit; only the loudness tags, when asked, are written into the copy.
        result.ok = CopyBytes(item.job.source, temp, cancel_, item.progress, result.reason);
        if (result.ok && item.job.replayGain)
            result.ok = (result.loudness = MeasureLoudness(item.job.source, truePeak, cancel_,
                                                           result.reason)) != nullptr;
        if (!item.job.replayGain)
            tags = TagSet();
    } else {
        // Room for the loudness tags that come with the rest.
        result = Transcode(item.job.source, temp, item.job.format, item.job.quality, options.shape,
                           {item.job.startFrame, item.job.endFrame},
                           !item.job.replayGain ? Measure::Nothing
                           : truePeak           ? Measure::LoudnessAndTruePeak
                                                : Measure::Loudness,
                           tags.estimatedBytes() + (item.job.replayGain ? 256 : 0), cancel_,
                           item.progress);
    }
    bool converted = result.ok;
    failure = result.reason;
    if (converted && result.loudness)
        AddText(tags, ReplayGainTagsFor(item.job.format == TargetFormat::Opus,
                                        QStringLiteral("TRACK"), result.loudness->Loudness(),
                                        result.loudness->Peak(), options.preventClipping));
    if (converted && !tags.empty())
        converted = RoomFor(temp, tags.estimatedBytes(), failure) &&
                    WriteTags(temp, item.job.format, tags, failure);
    if (converted && cancel_) {
        converted = false;
        failure = kStopped;
    }
    if (converted && options.keepTimes)
        KeepTime(item.job.source, temp);
    if (converted)
        converted = PublishNoReplace(temp, item.job.output, failure);
    if (!converted)
        RemoveFile(temp);
    item.tags = std::move(tags);
    item.loudness = result.loudness;
    Settle(item, converted, failure);
}

void FfmpegConverter::Settle(Item& item, bool converted, const QString& failure) {
    if (!converted)
        qCWarning(lcEngine) << "cannot convert" << item.job.source << "to" << item.job.output
                            << failure;
    {
        std::lock_guard lock(mutex_);
        item.state = converted ? ItemState::Converted : ItemState::Failed;
        item.failure = converted ? QString() : failure;
        // The last item of the run is settled: the album gains are this worker's.
        if (!albumsPending_ || LowestIndex() >= 0)
            return;
    }
    WriteAlbumGains();
    std::lock_guard lock(mutex_);
    albumsPending_ = false;
}

void FfmpegConverter::WriteAlbumGains() {
    std::map<QString, std::vector<Item*>> albums;
    for (const auto& item : items_)
        if (item->state == ItemState::Converted && item->loudness && !AlbumOf(item->tags).isEmpty())
            albums[AlbumOf(item->tags)].push_back(item.get());
    for (const auto& [album, members] : albums) {
        std::vector<const LoudnessMeter*> meters;
        for (const Item* item : members)
            meters.push_back(item->loudness.get());
        const auto [loudness, peak] = LoudnessMeter::Together(meters);
        for (Item* item : members) {
            if (cancel_)
                return;
            AddText(item->tags, ReplayGainTagsFor(item->job.format == TargetFormat::Opus,
                                                  QStringLiteral("ALBUM"), loudness, peak,
                                                  item->job.options.preventClipping));
            QString error;
            if (!WriteTags(item->job.output, item->job.format, item->tags, error))
                qCWarning(lcEngine)
                    << "cannot write the album gain into" << item->job.output << error;
        }
    }
}

int FfmpegConverter::LowestIndex() const {
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

QString FfmpegConverter::FailureReason(int item) const {
    std::lock_guard lock(mutex_);
    if (item < 0 || item >= static_cast<int>(items_.size()))
        return {};
    return items_[item]->failure;
}

std::optional<qint64> FfmpegConverter::Duration(const QString& path) {
    return MediaDuration(path);
}

} // namespace velune
