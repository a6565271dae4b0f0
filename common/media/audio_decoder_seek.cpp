#include "audio_decoder.h"
#include "audio_decoder_state.h"

#include <algorithm>

namespace velune {

bool AudioDecoder::Seek(int64_t sample) {
    State& d = *d_;
    if (!d.resampler || d.failed)
        return false;
    sample = std::max<int64_t>(0, sample);
    if (d.vorbis) {
        if (ov_pcm_seek(d.vorbis.get(), sample) != 0)
            return false;
        swr_close(d.resampler);
        swr_init(d.resampler);
        d.resamplerDrained = false;
        d.position = sample;
        return true;
    }
    // Where samples are counted from is known once the first frame is seen.
    if (d.origin == AV_NOPTS_VALUE) {
        if (!d.NextFrame())
            return !d.failed && sample == 0;
        d.FrameStart(d.frame);
        av_frame_unref(d.frame);
    }
    const int rate = d.decoder->sample_rate;
    // Some codecs need a few frames before the sought one to decode it right.
    const int64_t preroll = rate / 5;
    // Near the start, the file is read again from its start, as on the first play.
    if (sample < preroll) {
        std::unique_ptr<State> old = std::move(d_);
        d_ = std::make_unique<State>();
        QString error;
        if (!Open(old->location, error, old->cancel, old->timeoutMs) ||
            !SetOutput(old->layout, old->wantedRate, old->maxChannels, error, old->dither)) {
            d_ = std::move(old);
            return false;
        }
        d_->dropUntil = sample;
        d_->position = sample;
        d_->damage = old->damage; // what was found stays found
        return true;
    }
    // Before the first sample too: a codec that primes itself (AAC) needs its priming frames.
    const int64_t at = d.origin + av_rescale_q(sample - preroll, AVRational{1, rate}, d.timeBase);
    d.Arm();
    bool sought = avformat_seek_file(d.format, d.stream, INT64_MIN, at, at, 0) >= 0;
    if (!sought && at < d.origin) // some containers take nothing before their start
        sought = avformat_seek_file(d.format, d.stream, INT64_MIN, d.origin, d.origin, 0) >= 0;
    if (!sought && av_seek_frame(d.format, d.stream, at, AVSEEK_FLAG_BACKWARD) < 0)
        return false;
    avcodec_flush_buffers(d.decoder);
    // Whatever the resampler held belongs to the old place.
    swr_close(d.resampler);
    swr_init(d.resampler);
    d.demuxDone = d.decoderDone = d.resamplerDrained = false;
    d.frameEnd = -1; // the frames after a seek follow no frame before them
    d.dropUntil = sample;
    d.position = sample;
    return true;
}

int64_t AudioDecoder::Position() const {
    return d_->position;
}

QString AudioDecoder::Error() const {
    return d_->error;
}

} // namespace velune
