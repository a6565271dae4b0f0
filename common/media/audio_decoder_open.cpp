#include "audio_decoder.h"
#include "audio_decoder_state.h"
#include "system_names.h"

#include "engine_log.h"
#include "ffmpeg_text.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <string_view>
#include <utility>

extern "C" {
#include <libavutil/opt.h>
}

namespace velune {

namespace {

const QString kNotAudio = QStringLiteral("not an audio file");

// FFmpeg's last error message on this thread: a failed TLS handshake is said only so.
thread_local QByteArray lastFfmpegError;

void KeepErrors(void* context, int level, const char* format, va_list args) {
    if (level <= AV_LOG_ERROR) {
        char line[512];
        int prefix = 1;
        va_list copy;
        va_copy(copy, args);
        av_log_format_line2(context, level, format, copy, line, sizeof line, &prefix);
        va_end(copy);
        const QByteArray text = QByteArray(line).trimmed();
        // "[tls @ 0x...] An unexpected TLS packet was received.": the message alone.
        lastFfmpegError = text.startsWith('[') ? text.mid(text.indexOf("] ") + 2) : text;
    }
    av_log_default_callback(context, level, format, args);
}

// An address with its scheme in lower case, as FFmpeg names its protocols ("HTTP://").
QByteArray AddressUrl(const QString& address) {
    const qsizetype colon = address.indexOf(QLatin1Char(':'));
    return (address.left(colon).toLower() + address.mid(colon)).toUtf8();
}

// What FFmpeg opens for a location: addresses as they are, local files through the
// file protocol whatever characters their names hold.
QByteArray FfmpegUrl(const QString& location) {
    if (IsRemote(location))
        return AddressUrl(location);
    return FfmpegFileUrl(LocalPath(location));
}

// Vorbis orders channels its own way: for each channel in FFmpeg's order of the
// layout below, the Vorbis channel that holds it.
struct VorbisChannels {
    uint64_t mask;
    std::vector<int> order;
};
VorbisChannels VorbisLayout(int channels) {
    switch (channels) {
    case 1:
        return {AV_CH_LAYOUT_MONO, {0}};
    case 2:
        return {AV_CH_LAYOUT_STEREO, {0, 1}};
    case 3:
        return {AV_CH_LAYOUT_SURROUND, {0, 2, 1}};
    case 4:
        return {AV_CH_LAYOUT_QUAD, {0, 1, 2, 3}};
    case 5:
        return {AV_CH_LAYOUT_5POINT0_BACK, {0, 2, 1, 3, 4}};
    case 6:
        return {AV_CH_LAYOUT_5POINT1_BACK, {0, 2, 1, 5, 3, 4}};
    case 7:
        return {AV_CH_LAYOUT_6POINT1, {0, 2, 1, 6, 5, 3, 4}};
    case 8:
        return {AV_CH_LAYOUT_7POINT1, {0, 2, 1, 7, 5, 6, 3, 4}};
    default:
        return {0, {}};
    }
}

// The container a local file's extension names, so that the file is not probed
// by every demuxer FFmpeg has; none for an unknown extension or an address.
const AVInputFormat* ContainerOf(const QString& location) {
    static const std::pair<const char*, const char*> kContainers[] = {
        {"mp3", "mp3"}, {"ogg", "ogg"},   {"oga", "ogg"},  {"opus", "ogg"}, {"flac", "flac"},
        {"wav", "wav"}, {"m4a", "mov"},   {"aac", "aac"},  {"wma", "asf"},  {"rm", "rm"},
        {"ra", "rm"},   {"aiff", "aiff"}, {"aif", "aiff"}, {"ape", "ape"},  {"wv", "wv"}};
    if (IsRemote(location))
        return nullptr;
    const QString extension = location.section(QLatin1Char('.'), -1).toLower();
    if (extension.contains(QLatin1Char('/')))
        return nullptr;
    for (const auto& [ending, name] : kContainers)
        if (extension == QLatin1String(ending))
            return av_find_input_format(name);
    return nullptr;
}

AVSampleFormat SampleFormatOf(SampleLayout layout) {
    switch (layout) {
    case SampleLayout::S16:
        return AV_SAMPLE_FMT_S16;
    case SampleLayout::S32:
        return AV_SAMPLE_FMT_S32;
    case SampleLayout::Float:
        return AV_SAMPLE_FMT_FLT;
    case SampleLayout::FloatPlanar:
        break;
    }
    return AV_SAMPLE_FMT_FLTP;
}

} // namespace

int AudioDecoder::State::OpenInput(const QByteArray& url, const AVInputFormat* container) {
    format = avformat_alloc_context();
    if (!format)
        return AVERROR(ENOMEM);
    format->interrupt_callback = AVIOInterruptCB{&State::Interrupted, this};
    AVDictionary* options = nullptr;
    av_dict_set_int(&options, "rw_timeout", static_cast<int64_t>(timeoutMs) * 1000, 0);
    av_dict_set_int(&options, "timeout", static_cast<int64_t>(timeoutMs) * 1000, 0);
    // A radio station's titles come in the stream when asked for; a secure one shows a
    // certificate the system trusts.
    if (IsRemote(location)) {
        av_dict_set(&options, "icy", "1", 0);
        av_dict_set(&options, "tls_verify", "1", 0);
    }
    Arm();
    const int status = avformat_open_input(&format, url.constData(), container, &options);
    av_dict_free(&options);
    return status;
}

int AudioDecoder::State::Interrupted(void* opaque) {
    auto* self = static_cast<State*>(opaque);
    if (self->cancel && self->cancel->load())
        return 1;
    if (Clock::now() > self->deadline) {
        self->timedOut = true;
        return 1;
    }
    return 0;
}

AudioDecoder::AudioDecoder() : d_(std::make_unique<State>()) {
    // FFmpeg's own messages go to the engine's log; the user is told in words.
    static const bool quiet = [] {
        av_log_set_callback(&KeepErrors);
        if (!lcEngine().isInfoEnabled())
            av_log_set_level(AV_LOG_QUIET);
        return true;
    }();
    (void)quiet;
}

AudioDecoder::~AudioDecoder() = default;

bool AudioDecoder::Open(const QString& location, QString& error, const std::atomic<bool>* cancel,
                        int timeoutMs) {
    State& d = *d_;
    d.location = location;
    d.cancel = cancel;
    d.timeoutMs = timeoutMs;
    const QByteArray url = FfmpegUrl(location);
    // The container the name promises first; should the file be another, it is probed.
    const AVInputFormat* container = ContainerOf(location);
    lastFfmpegError.clear();
    int status = d.OpenInput(url, container);
    if (status < 0 && container && status != AVERROR(ENOENT) && status != AVERROR(EACCES) &&
        !d.timedOut)
        status = d.OpenInput(url, nullptr);
    if (status < 0) {
        if (d.timedOut)
            error = d.NoAnswer();
        else if (IsRemote(location) && status == AVERROR(EIO))
            // A redirect loop or a broken reply says no more than this; TLS says why.
            error = lastFfmpegError.isEmpty()
                        ? QStringLiteral("its server gave no answer that could be followed "
                                         "(a redirect loop, or a broken reply)")
                        : QString::fromUtf8(lastFfmpegError);
        else if (status == AVERROR(ENOENT) || status == AVERROR(EACCES) ||
                 status == AVERROR(EISDIR) || IsRemote(location))
            error = FfmpegErrorText(status);
        else
            error = kNotAudio;
        return false;
    }
    d.Arm();
    if (avformat_find_stream_info(d.format, nullptr) < 0)
        return error = d.timedOut ? d.NoAnswer() : kNotAudio, false;
    const AVCodec* codec = nullptr;
    d.stream = av_find_best_stream(d.format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (d.stream < 0 || !codec)
        return error = d.stream == AVERROR_DECODER_NOT_FOUND
                           ? QStringLiteral("its audio is in a format that cannot be decoded")
                           : kNotAudio,
               false;
    // Only the audio is read: pictures and other streams are not even demuxed.
    for (unsigned i = 0; i < d.format->nb_streams; ++i)
        if (static_cast<int>(i) != d.stream)
            d.format->streams[i]->discard = AVDISCARD_ALL;
    const AVStream* stream = d.format->streams[d.stream];
    d.timeBase = stream->time_base;
    d.decoder = avcodec_alloc_context3(codec);
    d.packet = av_packet_alloc();
    d.frame = av_frame_alloc();
    if (!d.decoder || !d.packet || !d.frame ||
        avcodec_parameters_to_context(d.decoder, stream->codecpar) < 0)
        return error = kNotAudio, false;
    d.decoder->thread_count = 1;
    // A FLAC frame whose bytes were overwritten may still parse: its checksum tells.
    if (codec->id == AV_CODEC_ID_FLAC)
        d.decoder->err_recognition |= AV_EF_CRCCHECK;
    d.decoder->pkt_timebase = stream->time_base;
    if (status = avcodec_open2(d.decoder, codec, nullptr); status < 0)
        return error = FfmpegErrorText(status), false;
    if (d.decoder->sample_rate <= 0 || d.decoder->ch_layout.nb_channels <= 0)
        return error = kNotAudio, false;
    d.endInLength = std::string_view(d.format->iformat->name) != "ogg";
    if (std::string_view(d.format->iformat->name).starts_with("mov") && stream->duration > 0) {
        const int64_t declared = av_rescale_q(stream->duration, stream->time_base,
                                              AVRational{1, d.decoder->sample_rate});
        // iTunSMPB: " 00000000 delay padding samples ...", all in hexadecimal.
        const QStringList smpb = Tag("iTunSMPB").split(u' ', Qt::SkipEmptyParts);
        d.mp4Length = declared;
        d.mp4LengthExact = codec->id == AV_CODEC_ID_ALAC ||
                           (smpb.size() > 3 && smpb[3].toLongLong(nullptr, 16) == declared);
        // A lossy codec's last frame runs past the edit list into padding: trimmed when
        // the frames hold the declared length and at most the delay and one frame more.
        // Anything longer is audio the header does not count, and is kept.
        const int64_t frames = int64_t{stream->nb_frames} * stream->codecpar->frame_size;
        if (codec->id != AV_CODEC_ID_ALAC && frames >= declared &&
            frames - declared < 3 * int64_t{stream->codecpar->frame_size})
            d.editEnd = declared;
    }
    // FFmpeg trims the end of an Ogg Vorbis file short by up to 128 samples: the
    // reference library decodes local ones.
    if (codec->id == AV_CODEC_ID_VORBIS && !IsRemote(location) &&
        std::string_view(d.format->iformat->name) == "ogg") {
        auto vorbis = std::make_unique<OggVorbis_File>();
        const QByteArray path = SystemName(LocalPath(location));
        if (ov_fopen(path.constData(), vorbis.get()) == 0) {
            const vorbis_info* info = ov_info(vorbis.get(), -1);
            const VorbisChannels channels = VorbisLayout(info ? info->channels : 0);
            if (info && info->rate == d.decoder->sample_rate && !channels.order.empty()) {
                d.vorbis = std::move(vorbis);
                d.vorbisOrder = channels.order;
                av_channel_layout_from_mask(&d.vorbisLayout, channels.mask);
            } else {
                ov_clear(vorbis.get());
            }
        }
    }
    return true;
}

int AudioDecoder::SourceRate() const {
    return d_->decoder ? d_->decoder->sample_rate : 0;
}

int AudioDecoder::SourceBits() const {
    const AVCodecContext* decoder = d_->decoder;
    if (!decoder)
        return 0;
    switch (av_get_packed_sample_fmt(decoder->sample_fmt)) {
    case AV_SAMPLE_FMT_U8:
    case AV_SAMPLE_FMT_S16:
        return decoder->bits_per_raw_sample > 0 ? decoder->bits_per_raw_sample : 16;
    case AV_SAMPLE_FMT_S32:
    case AV_SAMPLE_FMT_S64:
        return decoder->bits_per_raw_sample > 0 ? decoder->bits_per_raw_sample : 32;
    default:
        return 0;
    }
}

int AudioDecoder::SourceChannels() const {
    return d_->decoder ? d_->decoder->ch_layout.nb_channels : 0;
}

std::optional<int64_t> AudioDecoder::DeclaredSamples() const {
    const State& d = *d_;
    if (!d.decoder)
        return std::nullopt;
    if (d.vorbis) {
        const ogg_int64_t total = ov_pcm_total(d.vorbis.get(), -1);
        if (total >= 0)
            return total;
    }
    const AVStream* stream = d.format->streams[d.stream];
    const AVRational rate{1, d.decoder->sample_rate};
    if (stream->duration > 0)
        return av_rescale_q(stream->duration, stream->time_base, rate);
    if (d.format->duration > 0)
        return av_rescale_q(d.format->duration, AV_TIME_BASE_Q, rate);
    return std::nullopt;
}

QString AudioDecoder::Tag(const char* name) const {
    const State& d = *d_;
    if (!d.format)
        return {};
    const AVDictionaryEntry* entry = av_dict_get(d.format->metadata, name, nullptr, 0);
    if (!entry && d.stream >= 0)
        entry = av_dict_get(d.format->streams[d.stream]->metadata, name, nullptr, 0);
    return entry ? QString::fromUtf8(entry->value) : QString();
}

QByteArray AudioDecoder::StreamOption(const char* name) const {
    uint8_t* value = nullptr;
    if (!d_->format || av_opt_get(d_->format, name, AV_OPT_SEARCH_CHILDREN, &value) < 0 || !value)
        return {};
    QByteArray bytes(reinterpret_cast<const char*>(value));
    av_free(value);
    return bytes;
}

std::optional<std::pair<QByteArray, double>> AudioDecoder::TakeIcyPacket() {
    State& d = *d_;
    if (!d.format || !d.format->pb || !IsRemote(d.location))
        return std::nullopt;
    // A packet comes only with new bytes from the protocol: looked for once a read.
    if (d.format->pb->pos == d.icyLookedAt)
        return std::nullopt;
    const int64_t before = std::exchange(d.icyLookedAt, d.format->pb->pos);
    const QByteArray packet = StreamOption("icy_metadata_packet");
    if (packet.isEmpty() || packet == d.icyPacket)
        return std::nullopt;
    d.icyPacket = packet;
    // The protocol reads up to the packet, takes it, and goes on: the packet came where
    // its bytes stood at the last look, ahead of the audio packet last read.
    const int64_t rate = d.format->bit_rate > 0 ? d.format->bit_rate
                         : d.decoder            ? d.decoder->bit_rate
                                                : 0;
    const double ahead =
        rate > 0 ? static_cast<double>(std::max<int64_t>(0, before - d.packetAt)) * 8.0 / rate
                 : 0.0;
    return std::pair(packet, ahead);
}

QString AudioDecoder::SourceKind() const {
    const State& d = *d_;
    if (!d.format)
        return {};
    const QString container = QString::fromLatin1(d.format->iformat->name).section(u',', 0, 0);
    const QString codec = d.vorbis    ? QStringLiteral("vorbis")
                          : d.decoder ? QString::fromLatin1(avcodec_get_name(d.decoder->codec_id))
                                      : QString();
    return container + u'/' + codec;
}

bool AudioDecoder::SetOutput(SampleLayout layout, int rate, int maxChannels, QString& error,
                             bool dither) {
    State& d = *d_;
    d.layout = layout;
    d.dither = dither;
    d.wantedRate = rate;
    d.maxChannels = maxChannels;
    const int sourceChannels = d.decoder->ch_layout.nb_channels;
    const int channels = maxChannels > 0 ? std::min(sourceChannels, maxChannels) : sourceChannels;
    d.outFormat = SampleFormatOf(layout);
    d.outRate = rate > 0 ? rate : d.decoder->sample_rate;
    AVChannelLayout in{};
    if (d.vorbis)
        av_channel_layout_copy(&in, &d.vorbisLayout);
    else if (d.decoder->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&in, sourceChannels);
    else
        av_channel_layout_copy(&in, &d.decoder->ch_layout);
    av_channel_layout_uninit(&d.outLayout);
    // The source's own places where it names them, so that nothing is remixed on the way.
    if (channels == sourceChannels && in.order == AV_CHANNEL_ORDER_NATIVE)
        av_channel_layout_copy(&d.outLayout, &in);
    else
        av_channel_layout_default(&d.outLayout, channels);
    swr_free(&d.resampler);
    int status = swr_alloc_set_opts2(&d.resampler, &d.outLayout, d.outFormat, d.outRate, &in,
                                     d.vorbis ? AV_SAMPLE_FMT_FLTP : d.decoder->sample_fmt,
                                     d.decoder->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&in);
    if (status >= 0 && dither)
        status = av_opt_set_int(d.resampler, "dither_method", SWR_DITHER_TRIANGULAR, 0);
    if (status >= 0)
        status = swr_init(d.resampler);
    if (status < 0)
        return error = FfmpegErrorText(status), false;
    return true;
}

int AudioDecoder::OutputRate() const {
    return d_->outRate;
}

int AudioDecoder::OutputChannels() const {
    return d_->outLayout.nb_channels;
}

SpeakerLayout AudioDecoder::OutputSpeakers() const {
    static const std::pair<AVChannel, Speaker> kPlaces[] = {
        {AV_CHAN_FRONT_LEFT, Speaker::FrontLeft},
        {AV_CHAN_FRONT_RIGHT, Speaker::FrontRight},
        {AV_CHAN_FRONT_CENTER, Speaker::FrontCenter},
        {AV_CHAN_LOW_FREQUENCY, Speaker::LowFrequency},
        {AV_CHAN_BACK_LEFT, Speaker::BackLeft},
        {AV_CHAN_BACK_RIGHT, Speaker::BackRight},
        {AV_CHAN_FRONT_LEFT_OF_CENTER, Speaker::FrontLeftOfCenter},
        {AV_CHAN_FRONT_RIGHT_OF_CENTER, Speaker::FrontRightOfCenter},
        {AV_CHAN_BACK_CENTER, Speaker::BackCenter},
        {AV_CHAN_SIDE_LEFT, Speaker::SideLeft},
        {AV_CHAN_SIDE_RIGHT, Speaker::SideRight},
        {AV_CHAN_TOP_CENTER, Speaker::TopCenter},
        {AV_CHAN_TOP_FRONT_LEFT, Speaker::TopFrontLeft},
        {AV_CHAN_TOP_FRONT_CENTER, Speaker::TopFrontCenter},
        {AV_CHAN_TOP_FRONT_RIGHT, Speaker::TopFrontRight},
        {AV_CHAN_TOP_BACK_LEFT, Speaker::TopBackLeft},
        {AV_CHAN_TOP_BACK_CENTER, Speaker::TopBackCenter},
        {AV_CHAN_TOP_BACK_RIGHT, Speaker::TopBackRight},
    };
    SpeakerLayout speakers;
    const AVChannelLayout& layout = d_->outLayout;
    for (int i = 0; i < layout.nb_channels; ++i) {
        const AVChannel channel = av_channel_layout_channel_from_index(&layout, i);
        Speaker speaker = Speaker::Unknown;
        for (const auto& [place, named] : kPlaces)
            if (place == channel)
                speaker = named;
        speakers.push_back(speaker);
    }
    return speakers;
}

bool FetchAddress(const QString& address, qint64 maxBytes, const std::atomic<bool>* cancel,
                  int timeoutMs, QByteArray& bytes, QString& error) {
    AudioDecoder::State waits; // only its interrupt callback and deadline
    waits.cancel = cancel;
    waits.timeoutMs = timeoutMs;
    AVIOInterruptCB callback{&AudioDecoder::State::Interrupted, &waits};
    AVDictionary* options = nullptr;
    av_dict_set_int(&options, "rw_timeout", static_cast<int64_t>(timeoutMs) * 1000, 0);
    av_dict_set(&options, "tls_verify", "1", 0);
    AVIOContext* io = nullptr;
    waits.Arm();
    int status =
        avio_open2(&io, AddressUrl(address).constData(), AVIO_FLAG_READ, &callback, &options);
    av_dict_free(&options);
    bytes.clear();
    // One deadline for the whole of it: a server that trickles is given up too.
    while (status >= 0 && bytes.size() <= maxBytes) {
        char chunk[16 * 1024];
        status = avio_read(io, reinterpret_cast<unsigned char*>(chunk), sizeof chunk);
        if (status > 0)
            bytes.append(chunk, status);
    }
    avio_closep(&io);
    // A server that names no length ends its reply by closing: FFmpeg calls that an I/O error.
    if ((status == AVERROR_EOF || (status == AVERROR(EIO) && !bytes.isEmpty())) &&
        bytes.size() <= maxBytes && !waits.Stopped())
        return true;
    error = waits.timedOut            ? waits.NoAnswer()
            : bytes.size() > maxBytes ? QStringLiteral("it is too large for a playlist")
                                      : FfmpegErrorText(status);
    return false;
}

} // namespace velune
