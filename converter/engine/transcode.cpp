#include "transcode.h"
#include "audio_decoder.h"
#include "engine_log.h"
#include "ffmpeg_text.h"
#include "mp3_writer.h"
#include "vorbis_writer.h"

#include <QCryptographicHash>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

namespace velune {

qint64 FrameToSample(qint64 frame, int rate) {
    return frame * rate / 75;
}

namespace {

// Handles released by their owner.
struct OutputClose {
    void operator()(AVFormatContext* c) const {
        if (c->pb)
            avio_closep(&c->pb);
        avformat_free_context(c);
    }
};
struct CodecFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FifoFree {
    void operator()(AVAudioFifo* f) const { av_audio_fifo_free(f); }
};
using Output = std::unique_ptr<AVFormatContext, OutputClose>;
using Codec = std::unique_ptr<AVCodecContext, CodecFree>;
using Frame = std::unique_ptr<AVFrame, FrameFree>;
using Packet = std::unique_ptr<AVPacket, PacketFree>;
using Fifo = std::unique_ptr<AVAudioFifo, FifoFree>;

// What each target format is written as.
struct Settings {
    const char* encoder;
    const char* container;
    AVSampleFormat sampleFormat;
    int maxChannels;
};

Settings SettingsOf(TargetFormat format) {
    switch (format) {
    case TargetFormat::Mp3: // written by Mp3Writer
        return {nullptr, nullptr, AV_SAMPLE_FMT_FLTP, 2};
    case TargetFormat::Ogg: // written by VorbisWriter
        return {nullptr, nullptr, AV_SAMPLE_FMT_FLTP, 8};
    case TargetFormat::Flac: // 24-bit sources are written as S32
        return {"flac", "flac", AV_SAMPLE_FMT_S16, 8};
    case TargetFormat::Opus:
        return {"libopus", "ogg", AV_SAMPLE_FMT_FLT, 2};
    case TargetFormat::M4a:
        return {"aac", "ipod", AV_SAMPLE_FMT_FLTP, 8};
    case TargetFormat::Alac: // planar, as the encoder takes it; 24-bit sources as S32P
        return {"alac", "ipod", AV_SAMPLE_FMT_S16P, 8};
    case TargetFormat::Wav:
        break;
    }
    return {"pcm_s16le", "wav", AV_SAMPLE_FMT_S16, INT_MAX};
}

// The highest rate an AAC stream has.
constexpr int kAacMaxRate = 96000;

// The rates an MP3 can have.
constexpr int kMp3Rates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};

// What each quality means for MP3 (default 192 kbit/s CBR) and Vorbis (default q5).
Mp3Setting Mp3SettingOf(Quality quality) {
    if (quality.kind == Quality::Kind::Vbr)
        return {true, quality.value};
    if (quality.kind == Quality::Kind::BitRate)
        return {false, quality.value};
    return {};
}
float VorbisQualityOf(Quality quality) {
    return quality.kind == Quality::Kind::Level ? static_cast<float>(quality.value) / 10.0f : 0.5f;
}
constexpr int kPcmFrameSamples = 4096;

const QString kStopped = QStringLiteral("the conversion was stopped");

// The MP3 rate nearest to `rate`.
int NearestMp3Rate(int rate) {
    int best = kMp3Rates[0];
    for (const int r : kMp3Rates)
        if (std::abs(r - rate) < std::abs(best - rate))
            best = r;
    return best;
}

// One conversion from start to end; each step fails with its reason.
class Job {
public:
    Job(const std::atomic<bool>& cancel, TranscodeProgress& progress)
        : cancel_(cancel), progress_(progress) {}
    ~Job() { av_channel_layout_uninit(&outLayout_); }
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;

    TranscodeResult Run(const QString& source, const QString& output, TargetFormat format,
                        Quality quality, OutputShape shape, FrameRange range, Measure measure,
                        OnDamage onDamage, qint64 reserveTagBytes) {
        onDamage_ = onDamage;
        if (!OpenSource(source, range) ||
            !OpenTarget(output, format, quality, shape, reserveTagBytes) || !SeekToPart())
            return Failure();
        // Measured on the samples that are encoded anyway: no second pass.
        if (measure != Measure::Nothing)
            meter_ =
                std::make_shared<LoudnessMeter>(decoder_.OutputChannels(), decoder_.OutputRate(),
                                                measure == Measure::LoudnessAndTruePeak);
        if (!Pump() || !Finish())
            return Failure();
        TranscodeResult result;
        result.ok = true;
        result.loudness = meter_;
        result.samples = written_;
        if (format == TargetFormat::M4a) {
            // What the encoder put before and after the samples, as an M4A declares it.
            result.delay = encoder_->initial_padding;
            result.padding = packets_ * frameSamples_ - result.delay - written_;
        }
        result.exactSource = decoder_.TrimmedLength().has_value();
        if (const DecodeDamage& damage = decoder_.Damage(); damage.any()) {
            result.lostMs = damage.lostSamples * 1000 / decoder_.SourceRate();
            result.damage = decoder_.DamageText();
        }
        return result;
    }

private:
    TranscodeResult Failure() const {
        TranscodeResult failed;
        failed.reason = reason_;
        return failed;
    }
    bool Fail(const QString& reason) {
        reason_ = reason;
        return false;
    }
    bool Failed(int status) { return Fail(FfmpegErrorText(status)); }

    bool OpenSource(const QString& source, FrameRange range) {
        if (!decoder_.Open(source, reason_, &cancel_))
            return false;
        const int rate = decoder_.SourceRate();
        const auto samples = decoder_.DeclaredSamples();
        first_ = FrameToSample(range.start, rate);
        if (range.end >= 0)
            last_ = FrameToSample(range.end, rate);
        else if (range.start > 0)
            last_ = samples.value_or(-1);
        if (samples && first_ >= *samples && first_ > 0)
            return Fail(QStringLiteral("the track starts past the end of its audio"));
        const qint64 total = last_ >= 0 ? last_ - first_ : samples.value_or(0);
        progress_.totalMs = total * 1000 / rate;
        return true;
    }

    // Goes to the part's first sample, once the output is set.
    bool SeekToPart() {
        if (first_ == 0 || decoder_.Seek(first_))
            return true;
        const QString error = decoder_.Error();
        return Fail(error.isEmpty() ? QStringLiteral("the track cannot be reached in its audio")
                                    : error);
    }

    bool OpenTarget(const QString& output, TargetFormat format, Quality quality, OutputShape shape,
                    qint64 reserveTagBytes) {
        Settings settings = SettingsOf(format);
        int channels = std::min(decoder_.SourceChannels(), settings.maxChannels);
        if (shape.channels > 0)
            channels = std::min(channels, shape.channels);
        int rate = shape.rate > 0 ? shape.rate : decoder_.SourceRate();
        // AAC goes up to 96 kHz: a higher rate is halved, within its family (44.1 or 48).
        while (format == TargetFormat::M4a && rate > kAacMaxRate)
            rate /= 2;
        av_channel_layout_default(&outLayout_, channels);
        // An encoder that lists its layouts takes one of them, and the default layout of
        // a count may not be one (ALAC's three channels are FL, FR and FC, not 2.1).
        const AVCodec* listing =
            settings.encoder ? avcodec_find_encoder_by_name(settings.encoder) : nullptr;
        if (listing && listing->ch_layouts) {
            const AVChannelLayout* same = nullptr;
            bool listed = false;
            for (const AVChannelLayout* l = listing->ch_layouts; l->nb_channels > 0; ++l) {
                listed = listed || av_channel_layout_compare(l, &outLayout_) == 0;
                if (!same && l->nb_channels == channels)
                    same = l;
            }
            if (!listed && !same)
                return Fail(QStringLiteral("the %1 encoder takes no %2 channels")
                                .arg(QLatin1String(settings.encoder))
                                .arg(channels));
            if (!listed)
                av_channel_layout_copy(&outLayout_, same);
        }
        outFormat_ = settings.sampleFormat;
        // FLAC and ALAC keep what a source of more than 16 bits has, 24 of them; WAV,
        // FLAC and ALAC take 16 or 24 when asked. Fewer bits than the source's are dithered.
        const bool lossless = format == TargetFormat::Flac || format == TargetFormat::Alac;
        const bool pcm = lossless || format == TargetFormat::Wav;
        const int sourceBits = decoder_.SourceBits();
        const bool deep =
            pcm && (shape.bits == 24 || (shape.bits == 0 && lossless && sourceBits > 16));
        // A float source (lossy formats) or a deeper one made 16-bit, the default depth too.
        const bool dither = pcm && !deep && (sourceBits == 0 || sourceBits > 16);
        if (deep)
            outFormat_ =
                av_sample_fmt_is_planar(outFormat_) ? AV_SAMPLE_FMT_S32P : AV_SAMPLE_FMT_S32;
        if (deep && format == TargetFormat::Wav)
            settings.encoder = "pcm_s24le";
        // Whole numbers come from the decoder interleaved; an encoder that takes them
        // planar (ALAC) gets them parted.
        const AVSampleFormat packed = av_get_packed_sample_fmt(outFormat_);
        parted_ = packed != outFormat_ && packed != AV_SAMPLE_FMT_FLT;
        layout_ = packed == AV_SAMPLE_FMT_S16       ? SampleLayout::S16
                  : packed == AV_SAMPLE_FMT_S32     ? SampleLayout::S32
                  : outFormat_ == AV_SAMPLE_FMT_FLT ? SampleLayout::Float
                                                    : SampleLayout::FloatPlanar;
        const SampleLayout layout = layout_;
        if (format == TargetFormat::Ogg) {
            vorbis_ = std::make_unique<VorbisWriter>();
            return decoder_.SetOutput(layout, rate, channels, reason_) &&
                   vorbis_->Open(output, channels, rate, VorbisQualityOf(quality), reason_);
        }
        if (format == TargetFormat::Mp3) {
            const int mp3Rate = NearestMp3Rate(rate);
            mp3_ = std::make_unique<Mp3Writer>();
            return decoder_.SetOutput(layout, mp3Rate, channels, reason_) &&
                   mp3_->Open(output, channels, mp3Rate, Mp3SettingOf(quality), reserveTagBytes,
                              reason_);
        }
        const AVCodec* encoder = avcodec_find_encoder_by_name(settings.encoder);
        if (!encoder)
            return Fail(QStringLiteral("this system has no %1 encoder")
                            .arg(QLatin1String(settings.encoder)));
        AVFormatContext* raw = nullptr;
        if (const int status =
                avformat_alloc_output_context2(&raw, nullptr, settings.container, nullptr);
            status < 0)
            return Failed(status);
        output_.reset(raw);
        // No "encoder" tag of the library's own; the tags come from the source.
        output_->flags |= AVFMT_FLAG_BITEXACT;

        encoder_.reset(avcodec_alloc_context3(encoder));
        if (!encoder_)
            return Failed(AVERROR(ENOMEM));
        AVCodecContext* enc = encoder_.get();
        // Opus is always 48 kHz; its decoders give back the source's rate as 48 kHz.
        enc->sample_rate = format == TargetFormat::Opus ? 48000 : rate;
        av_channel_layout_copy(&enc->ch_layout, &outLayout_);
        enc->sample_fmt = outFormat_;
        enc->time_base = AVRational{1, enc->sample_rate};
        enc->thread_count = 1;
        if (format == TargetFormat::Flac)
            enc->compression_level = 5; // the flac program's default
        if (lossless)
            enc->bits_per_raw_sample = deep ? 24 : 16;
        if (format == TargetFormat::Opus || format == TargetFormat::M4a)
            enc->bit_rate = (quality.kind == Quality::Kind::BitRate ? quality.value
                             : format == TargetFormat::Opus         ? 128
                                                                    : 192) *
                            1000;
        if (output_->oformat->flags & AVFMT_GLOBALHEADER)
            enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (const int status = avcodec_open2(enc, encoder, nullptr); status < 0)
            return Failed(status);

        AVStream* stream = avformat_new_stream(output_.get(), nullptr);
        if (!stream)
            return Failed(AVERROR(ENOMEM));
        stream->time_base = enc->time_base;
        if (const int status = avcodec_parameters_from_context(stream->codecpar, enc); status < 0)
            return Failed(status);

        if (!decoder_.SetOutput(layout, enc->sample_rate, channels, reason_, dither))
            return false;
        frameSamples_ = enc->frame_size > 0 ? enc->frame_size : kPcmFrameSamples;
        fifo_.reset(av_audio_fifo_alloc(enc->sample_fmt, channels, frameSamples_));
        if (!fifo_)
            return Failed(AVERROR(ENOMEM));

        if (const int status =
                avio_open(&output_->pb, FfmpegFileUrl(output).constData(), AVIO_FLAG_WRITE);
            status < 0)
            return Failed(status);
        // An M4A counts its whole length in samples, not in the muxer's default
        // milliseconds: the edit list then ends on the last sample exactly.
        AVDictionary* options = nullptr;
        if (std::string_view(settings.container) == "ipod")
            av_dict_set_int(&options, "movie_timescale", enc->sample_rate, 0);
        const int status = avformat_write_header(output_.get(), &options);
        av_dict_free(&options);
        if (status < 0)
            return Failed(status);
        return true;
    }

    // Decodes the source, or its part, into the encoder: a part ends at its last
    // sample exactly (counted at the output's rate).
    bool Pump() {
        const uint8_t* const* data = nullptr;
        const qint64 wanted =
            last_ >= 0 ? (last_ - first_) * decoder_.OutputRate() / decoder_.SourceRate() : -1;
        qint64& written = written_;
        int samples = 0;
        while ((wanted < 0 || written < wanted) && (samples = decoder_.Read(&data)) > 0) {
            if (wanted >= 0)
                samples = static_cast<int>(std::min<qint64>(samples, wanted - written));
            written += samples;
            progress_.doneMs = written * 1000 / decoder_.OutputRate();
            if (cancel_)
                return Fail(kStopped);
            if (!Write(data, samples) || !Encode(false))
                return false;
        }
        if (samples < 0)
            return Fail(cancel_ ? kStopped : decoder_.Error());
        // A source that could not be decoded whole fails unless its losses are accepted.
        if (decoder_.Damage().any() && onDamage_ == OnDamage::Fail)
            return Fail(decoder_.DamageText());
        if (written == 0)
            return Fail(QStringLiteral("no audio could be read from it"));
        return Encode(true);
    }

    bool Write(const uint8_t* const* data, int samples) {
        if (meter_)
            meter_->Add(data, layout_, samples);
        if (vorbis_)
            return vorbis_->Write(reinterpret_cast<const float* const*>(data), samples, reason_);
        if (mp3_)
            return mp3_->Write(reinterpret_cast<const float* const*>(data), samples, reason_);
        if (parted_)
            data = Parted(data, samples);
        if (av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(const_cast<uint8_t**>(data)),
                                samples) < samples)
            return Failed(AVERROR(ENOMEM));
        return true;
    }

    // Interleaved whole numbers in one plane per channel, valid until the next call.
    const uint8_t* const* Parted(const uint8_t* const* data, int samples) {
        const auto channels = static_cast<std::size_t>(outLayout_.nb_channels);
        const auto count = static_cast<std::size_t>(samples);
        const auto part = [&]<typename Sample>(Sample) {
            const auto* in = reinterpret_cast<const Sample*>(data[0]);
            for (std::size_t c = 0; c < channels; ++c) {
                std::vector<uint8_t>& plane = planes_[c];
                plane.resize(count * sizeof(Sample));
                auto* out = reinterpret_cast<Sample*>(plane.data());
                for (std::size_t i = 0; i < count; ++i)
                    out[i] = in[i * channels + c];
                planePointers_[c] = plane.data();
            }
        };
        planes_.resize(channels);
        planePointers_.resize(channels);
        if (outFormat_ == AV_SAMPLE_FMT_S16P)
            part(int16_t{});
        else
            part(int32_t{});
        return planePointers_.data();
    }

    // Encodes whole frames from the queue; at the end also the last, shorter one,
    // then drains the encoder. One frame and one packet serve the whole file.
    bool Encode(bool end) {
        if (vorbis_ || mp3_)
            return true;
        while (av_audio_fifo_size(fifo_.get()) >= frameSamples_ ||
               (end && av_audio_fifo_size(fifo_.get()) > 0)) {
            if (!frame_) {
                frame_.reset(av_frame_alloc());
                if (!frame_)
                    return Failed(AVERROR(ENOMEM));
                frame_->nb_samples = frameSamples_;
                frame_->format = encoder_->sample_fmt;
                frame_->sample_rate = encoder_->sample_rate;
                av_channel_layout_copy(&frame_->ch_layout, &encoder_->ch_layout);
                if (const int status = av_frame_get_buffer(frame_.get(), 0); status < 0)
                    return Failed(status);
            }
            if (const int status = av_frame_make_writable(frame_.get()); status < 0)
                return Failed(status);
            const int samples = std::min(av_audio_fifo_size(fifo_.get()), frameSamples_);
            frame_->nb_samples = samples;
            av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(frame_->data), samples);
            frame_->pts = nextPts_;
            nextPts_ += samples;
            if (const int status = avcodec_send_frame(encoder_.get(), frame_.get()); status < 0)
                return Failed(status);
            if (!WritePackets())
                return false;
        }
        if (!end)
            return true;
        if (const int status = avcodec_send_frame(encoder_.get(), nullptr); status < 0)
            return Failed(status);
        return WritePackets();
    }

    bool WritePackets() {
        if (!packet_ && !(packet_ = Packet(av_packet_alloc())))
            return Failed(AVERROR(ENOMEM));
        AVPacket* packet = packet_.get();
        for (;;) {
            const int status = avcodec_receive_packet(encoder_.get(), packet);
            if (status == AVERROR(EAGAIN) || status == AVERROR_EOF)
                return true;
            if (status < 0)
                return Failed(status);
            AVStream* stream = output_->streams[0];
            ++packets_;
            av_packet_rescale_ts(packet, encoder_->time_base, stream->time_base);
            packet->stream_index = 0;
            if (const int written = av_interleaved_write_frame(output_.get(), packet); written < 0)
                return Failed(written);
        }
    }

    // Completes the file's headers and closes it; a write error at any point fails.
    bool Finish() {
        if (vorbis_)
            return vorbis_->Finish(reason_);
        if (mp3_)
            return mp3_->Finish(reason_);
        if (const int status = av_write_trailer(output_.get()); status < 0)
            return Failed(status);
        const int pending = output_->pb->error;
        const int closed = avio_closep(&output_->pb);
        if (pending < 0)
            return Failed(pending);
        if (closed < 0)
            return Failed(closed);
        return true;
    }

private:
    const std::atomic<bool>& cancel_;
    TranscodeProgress& progress_;
    QString reason_;
    AudioDecoder decoder_;
    Output output_;
    Codec encoder_;
    AVChannelLayout outLayout_{};
    AVSampleFormat outFormat_ = AV_SAMPLE_FMT_NONE;
    std::unique_ptr<VorbisWriter> vorbis_;
    std::unique_ptr<Mp3Writer> mp3_;
    SampleLayout layout_ = SampleLayout::FloatPlanar;
    std::shared_ptr<LoudnessMeter> meter_;
    Fifo fifo_;
    Frame frame_;
    Packet packet_;
    int frameSamples_ = 0;
    int64_t nextPts_ = 0;
    qint64 packets_ = 0;  // written to the file
    bool parted_ = false; // the encoder takes planes, the decoder gives interleaved samples
    std::vector<std::vector<uint8_t>> planes_;
    std::vector<const uint8_t*> planePointers_;
    qint64 written_ = 0; // samples handed to the encoder, at the output's rate
    OnDamage onDamage_ = OnDamage::Fail;
    qint64 first_ = 0; // the part's first and end samples at the source's rate
    qint64 last_ = -1; // -1: to the source's end
};

} // namespace

TranscodeResult Transcode(const QString& source, const QString& output, TargetFormat format,
                          Quality quality, OutputShape shape, FrameRange range, Measure measure,
                          OnDamage onDamage, qint64 reserveTagBytes,
                          const std::atomic<bool>& cancel, TranscodeProgress& progress) {
    Job job(cancel, progress);
    return job.Run(source, output, format, quality, shape, range, measure, onDamage,
                   reserveTagBytes);
}

bool DecodesWhole(const QString& path, qint64 samples, const std::atomic<bool>& cancel,
                  QString& error) {
    AudioDecoder decoder;
    if (!decoder.Open(path, error, &cancel) ||
        !decoder.SetOutput(SampleLayout::FloatPlanar, 0, 0, error))
        return false;
    qint64 decoded = 0;
    const uint8_t* const* data = nullptr;
    int read = 0;
    while ((read = decoder.Read(&data)) > 0 && !cancel)
        decoded += read;
    if (read < 0 || cancel) {
        error = cancel ? kStopped : decoder.Error();
        return false;
    }
    if (decoder.Damage().any()) {
        error = decoder.DamageText();
        return false;
    }
    if (decoded != samples) {
        error = QStringLiteral("it decodes to %1 samples instead of %2").arg(decoded).arg(samples);
        return false;
    }
    return true;
}

QByteArray AudioDigest(const QString& path) {
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, FfmpegFileUrl(path).constData(), nullptr, nullptr) < 0)
        return {};
    const std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> format(
        raw, [](AVFormatContext* c) { avformat_close_input(&c); });
    if (avformat_find_stream_info(format.get(), nullptr) < 0)
        return {};
    const int stream = av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    const Packet packet(av_packet_alloc());
    if (stream < 0 || !packet)
        return {};
    QCryptographicHash digest(QCryptographicHash::Sha1);
    int status = 0;
    while ((status = av_read_frame(format.get(), packet.get())) >= 0) {
        if (packet->stream_index == stream)
            digest.addData(QByteArrayView(packet->data, packet->size));
        av_packet_unref(packet.get());
    }
    return status == AVERROR_EOF ? digest.result() : QByteArray();
}

std::optional<TailReading> ReadTail(const QString& path) {
    AudioDecoder decoder;
    QString error;
    if (!decoder.Open(path, error) || !decoder.SetOutput(SampleLayout::FloatPlanar, 0, 0, error))
        return std::nullopt;
    const auto declared = decoder.DeclaredSamples();
    const int rate = decoder.SourceRate();
    if (!declared || *declared <= 0 || rate <= 0)
        return std::nullopt;
    // Two seconds before the declared end, which counts the encoder's padding too.
    const qint64 from = std::max<qint64>(0, *declared - 2 * rate);
    if (from > 0 && !decoder.Seek(from))
        return std::nullopt;
    TailReading tail{-1, from, rate, false, decoder.SourceKind()};
    const uint8_t* const* data = nullptr;
    int read = 0;
    while ((read = decoder.Read(&data)) > 0)
        tail.end += read;
    tail.declared = decoder.TrimmedLength().value_or(-1);
    tail.whole = read == 0 && !decoder.Damage().any();
    return tail;
}

} // namespace velune
