#include "audio_decoder.h"
#include "audio_decoder_state.h"
#include "system_names.h"

#include "engine_log.h"
#include "ffmpeg_text.h"

#include <algorithm>
#include <cstdio>

extern "C" {
#include <libavutil/intreadwrite.h>
}
#include <string_view>

namespace velune {

namespace {

// True when an Ogg file ends inside its last page, or its last page does not end
// the stream: the file was cut short. Only the tail is read, where the last page
// (at most 65 307 bytes) lies.
bool OggCutShort(const QString& path) {
    std::FILE* file = std::fopen(SystemName(path).constData(), "rb");
    if (!file)
        return false;
    constexpr long kTail = 70000;
    QByteArray tail;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        const long size = std::ftell(file);
        const long from = size > kTail ? size - kTail : 0;
        if (size > 0 && std::fseek(file, from, SEEK_SET) == 0) {
            tail.resize(size - from);
            tail.resize(static_cast<qsizetype>(
                std::fread(tail.data(), 1, static_cast<std::size_t>(tail.size()), file)));
        }
    }
    std::fclose(file);
    const auto byte = [&tail](qsizetype i) { return static_cast<unsigned char>(tail[i]); };
    const qsizetype n = tail.size();
    for (qsizetype at = tail.lastIndexOf("OggS"); at >= 0; at = tail.lastIndexOf("OggS", at - 1)) {
        if (at + 5 < n && byte(at + 4) != 0)
            continue; // not a page: the capture pattern inside a packet
        if (at + 27 > n)
            return true;
        const int segments = byte(at + 26);
        if (at + 27 + segments > n)
            return true;
        qsizetype end = at + 27 + segments;
        for (int i = 0; i < segments; ++i)
            end += byte(at + 27 + i);
        constexpr unsigned char kEndOfStream = 0x04;
        return end > n || (byte(at + 5) & kEndOfStream) == 0;
    }
    return false;
}

// A count with its thousands apart, "4 096".
QString Grouped(int64_t count) {
    QString digits = QString::number(count);
    for (qsizetype at = digits.size() - 3; at > 0 && digits[at - 1].isDigit(); at -= 3)
        digits.insert(at, QLatin1Char(' '));
    return digits;
}

} // namespace

void AudioDecoder::State::NoteDamage(int64_t sample, int64_t lost, const QString& reason) {
    qCInfo(lcEngine) << "damaged at sample" << sample << "(" << lost << "lost):" << reason;
    if (!damage.any() || sample < damage.firstSample)
        damage.firstSample = sample;
    if (damage.reason.isEmpty())
        damage.reason = reason;
    damage.lostSamples += lost;
}

void AudioDecoder::State::NoteUndecoded(int status) {
    const int64_t at = frameEnd >= 0 ? frameEnd : position;
    const QString reason =
        QStringLiteral("a packet could not be decoded: ") + FfmpegErrorText(status);
    // Past the exact end the container declares lies no audio: junk after the last frame.
    if (const auto exact = ExactLength(); exact && at >= *exact)
        qCInfo(lcEngine) << "after the end:" << reason;
    else
        NoteDamage(at, 0, reason);
}

void AudioDecoder::State::NoteFrame(std::optional<int64_t> start, int count) {
    if (!start) {
        if (frameEnd >= 0)
            frameEnd += count;
        return;
    }
    // Timestamps are as exact as their time base: a gap within one tick is rounding.
    const int64_t tick =
        av_rescale_q_rnd(1, timeBase, AVRational{1, decoder->sample_rate}, AV_ROUND_UP);
    if (frameEnd >= 0 && *start - frameEnd > tick)
        NoteDamage(frameEnd, *start - frameEnd,
                   QStringLiteral("%1 samples skipped between frames").arg(*start - frameEnd));
    frameEnd = *start + count;
}

void AudioDecoder::State::NoteTrimming(const AVPacket* p) {
    std::size_t size = 0;
    const uint8_t* skip = av_packet_get_side_data(p, AV_PKT_DATA_SKIP_SAMPLES, &size);
    if (skip && size >= 8)
        trimmed += static_cast<int64_t>(AV_RL32(skip)) + (endInLength ? AV_RL32(skip + 4) : 0);
}

std::optional<int64_t> AudioDecoder::State::ExactLength() const {
    if (vorbis) {
        const ogg_int64_t total = ov_pcm_total(vorbis.get(), -1);
        return total >= 0 ? std::optional<int64_t>(total) : std::nullopt;
    }
    if (mp4Length >= 0) // the delay and padding are outside the edit list
        return mp4LengthExact ? std::optional<int64_t>(mp4Length) : std::nullopt;
    const AVStream* s = format->streams[stream];
    if (format->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE || s->duration <= 0)
        return std::nullopt;
    // Only containers that count samples declare them exactly (ASF, for one, keeps ms).
    static constexpr std::string_view kCounting[] = {"flac", "wav", "aiff", "mp3", "ogg",
                                                     "wv",   "ape", "w64",  "caf"};
    const std::string_view name(format->iformat->name);
    if (std::ranges::find(kCounting, name.substr(0, name.find(','))) == std::end(kCounting))
        return std::nullopt;
    // Of the delay and padding, only what was read is known: a file cut short may
    // seem to lose its padding too.
    return av_rescale_q(s->duration, s->time_base, AVRational{1, decoder->sample_rate}) - trimmed;
}

void AudioDecoder::State::NoteEnd() {
    if (ended || !decoder)
        return;
    ended = true;
    const int64_t end = !vorbis && frameEnd >= 0 ? frameEnd : position;
    if (!readFailure.isEmpty()) {
        NoteDamage(end, 0, QStringLiteral("the file could not be read: ") + readFailure);
        damage.readError = true;
    }
    if (const auto exact = ExactLength(); exact && *exact - position > damage.lostSamples)
        NoteDamage(end, *exact - position - damage.lostSamples,
                   QStringLiteral("%1 samples of %2 declared").arg(position).arg(*exact));
    const bool ogg = vorbis || std::string_view(format->iformat->name) == "ogg";
    if (ogg && !IsRemote(location) && OggCutShort(LocalPath(location))) {
        cutShort = true;
        NoteDamage(end, 0, QStringLiteral("the last Ogg page is cut or missing"));
    }
}

std::optional<int64_t> AudioDecoder::TrimmedLength() const {
    return d_->decoder ? d_->ExactLength() : std::nullopt;
}

const DecodeDamage& AudioDecoder::Damage() const {
    return d_->damage;
}

QString AudioDecoder::DamageText() const {
    const DecodeDamage& damage = d_->damage;
    if (!damage.any())
        return {};
    const int rate = SourceRate();
    const int64_t seconds = rate > 0 ? damage.firstSample / rate : 0;
    QString what;
    if (damage.readError)
        what = QStringLiteral("the file could not be read");
    else if (damage.lostSamples > 0)
        what = (damage.lostSamples == 1 ? QStringLiteral("%1 sample could not be decoded")
                                        : QStringLiteral("%1 samples could not be decoded"))
                   .arg(Grouped(damage.lostSamples));
    else if (d_->cutShort)
        what = QStringLiteral("the file is cut short");
    else
        what = QStringLiteral("a part of it could not be decoded");
    return QStringLiteral("damaged at %1:%2: %3")
        .arg(seconds / 60)
        .arg(seconds % 60, 2, 10, QLatin1Char('0'))
        .arg(what);
}

} // namespace velune
