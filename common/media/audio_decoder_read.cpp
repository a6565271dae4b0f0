#include "audio_decoder.h"
#include "audio_decoder_state.h"

#include "engine_log.h"
#include "ffmpeg_text.h"

#include <algorithm>
#include <cerrno>

namespace velune {

std::optional<int64_t> AudioDecoder::State::FrameStart(const AVFrame* f) {
    const int64_t pts = f->pts != AV_NOPTS_VALUE ? f->pts : f->best_effort_timestamp;
    if (pts == AV_NOPTS_VALUE)
        return std::nullopt;
    if (origin == AV_NOPTS_VALUE)
        origin = pts;
    return av_rescale_q(pts - origin, timeBase, AVRational{1, decoder->sample_rate});
}

bool AudioDecoder::State::NextFrame() {
    for (;;) {
        if (!decoderDone) {
            const int status = avcodec_receive_frame(decoder, frame);
            if (status == 0)
                return true;
            if (status == AVERROR_EOF) {
                decoderDone = true;
                continue;
            }
            // EAGAIN: more input; anything else is a frame that could not be decoded.
            if (status != AVERROR(EAGAIN))
                NoteUndecoded(status);
        } else {
            return false;
        }
        if (demuxDone) {
            decoderDone = true; // the flush was sent; nothing more will come
            continue;
        }
        Arm();
        const int status = av_read_frame(format, packet);
        if (status < 0) {
            if (Stopped()) {
                error = timedOut ? QStringLiteral("the source stopped answering")
                                 : QStringLiteral("stopped");
                failed = true;
                return false;
            }
            // What was read is decoded to its end; a read error is told at the end.
            const int ioError =
                status != AVERROR_EOF ? status
                : format->pb && format->pb->error < 0 && format->pb->error != AVERROR_EOF
                    ? format->pb->error
                    : 0;
            if (ioError < 0 && readFailure.isEmpty()) {
                qCInfo(lcEngine) << "reading stopped early:" << FfmpegErrorText(ioError);
                readFailure = FfmpegErrorText(ioError);
            }
            demuxDone = true;
            avcodec_send_packet(decoder, nullptr);
            continue;
        }
        if (packet->stream_index == stream) {
            if (packet->pos >= 0)
                packetAt = packet->pos;
            NoteTrimming(packet);
            const int sent = avcodec_send_packet(decoder, packet);
            if (sent < 0 && sent != AVERROR(EAGAIN) && sent != AVERROR_EOF)
                NoteUndecoded(sent);
        }
        av_packet_unref(packet);
    }
}

int AudioDecoder::State::Convert(const AVFrame* f, int skip, int count) {
    const uint8_t* planes[kMaxPlanes] = {};
    const auto fmt = static_cast<AVSampleFormat>(f->format);
    const int bytes = av_get_bytes_per_sample(fmt);
    const bool planar = av_sample_fmt_is_planar(fmt);
    const int planesIn = planar ? f->ch_layout.nb_channels : 1;
    const int step = planar ? bytes : bytes * f->ch_layout.nb_channels;
    for (int p = 0; p < planesIn && p < kMaxPlanes; ++p)
        planes[p] = f->extended_data[p] + static_cast<ptrdiff_t>(skip) * step;
    return Convert(planes, count);
}

int AudioDecoder::State::Convert(const uint8_t** in, int count) {
    const int room = swr_get_out_samples(resampler, count);
    if (room <= 0)
        return 0;
    if (room > bufferSamples) {
        if (buffer)
            av_freep(&buffer[0]);
        av_freep(&buffer);
        int lineSize = 0;
        if (av_samples_alloc_array_and_samples(&buffer, &lineSize, outLayout.nb_channels, room,
                                               outFormat, 0) < 0) {
            error = FfmpegErrorText(AVERROR(ENOMEM));
            failed = true;
            return -1;
        }
        bufferSamples = room;
    }
    const int converted = swr_convert(resampler, buffer, room, in, count);
    if (converted < 0) {
        error = FfmpegErrorText(converted);
        failed = true;
        return -1;
    }
    return converted;
}

int AudioDecoder::Read(const uint8_t* const** data) {
    State& d = *d_;
    if (!d.resampler || d.failed)
        return -1;
    while (d.vorbis) {
        float** pcm = nullptr;
        int section = 0;
        const long count = ov_read_float(d.vorbis.get(), &pcm, 4096, &section);
        if (count == OV_HOLE) {
            // A damaged page is skipped; what it held is counted at the end.
            d.NoteDamage(d.position, 0, QStringLiteral("a hole in the Ogg Vorbis stream"));
            continue;
        }
        if (count < 0) {
            d.error = QStringLiteral("the Ogg Vorbis stream is damaged");
            d.NoteDamage(d.position, 0, d.error);
            d.damage.readError = count == OV_EREAD;
            d.failed = true;
            return -1;
        }
        if (count == 0)
            break;
        const uint8_t* planes[State::kMaxPlanes] = {};
        for (std::size_t c = 0; c < d.vorbisOrder.size(); ++c)
            planes[c] = reinterpret_cast<const uint8_t*>(pcm[d.vorbisOrder[c]]);
        d.position += count;
        const int converted = d.Convert(planes, static_cast<int>(count));
        if (converted < 0)
            return -1;
        if (converted > 0) {
            *data = d.buffer;
            return converted;
        }
    }
    while (!d.vorbis && d.NextFrame()) {
        const int count = d.frame->nb_samples;
        int skip = 0;
        const auto start = d.FrameStart(d.frame);
        d.NoteFrame(start, count);
        if (d.dropUntil >= 0 && start) {
            if (*start + count <= d.dropUntil) {
                av_frame_unref(d.frame);
                continue;
            }
            skip = static_cast<int>(std::max<int64_t>(0, d.dropUntil - *start));
        }
        d.dropUntil = -1;
        // Past an MP4's edit list lies the encoder's padding.
        const int64_t left =
            d.editEnd >= 0 ? std::max<int64_t>(0, d.editEnd - d.position) : int64_t{count - skip};
        const int take = static_cast<int>(std::min<int64_t>(count - skip, left));
        d.position += take;
        const int converted = d.Convert(d.frame, skip, take);
        av_frame_unref(d.frame);
        if (converted < 0)
            return -1;
        if (converted > 0) {
            *data = d.buffer;
            return converted;
        }
    }
    if (d.failed)
        return -1;
    d.NoteEnd();
    if (d.resamplerDrained)
        return 0;
    d.resamplerDrained = true;
    const int converted = d.Convert(nullptr, 0);
    if (converted > 0)
        *data = d.buffer;
    return converted;
}

} // namespace velune
