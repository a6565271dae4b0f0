#pragma once

// What an AudioDecoder holds, shared by the files that make it up: opening,
// reading, seeking and the damage it finds.

#include "audio_decoder.h"
#include "system_names.h"

#include <QUrl>
#include <chrono>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}
#include <vorbis/vorbisfile.h>

namespace velune {

// A location on the network (http:, https:, rtsp:, …), not a local file.
// The local path a location names: a path as it is, a file: address as its path.
inline QString LocalPath(const QString& location) {
    return location.startsWith(QLatin1String("file:")) ? QUrl(location).toLocalFile() : location;
}

struct AudioDecoder::State {
    using Clock = std::chrono::steady_clock;

    ~State() {
        av_channel_layout_uninit(&vorbisLayout);
        Release();
        avformat_close_input(&format);
        if (vorbis) {
            ov_clear(vorbis.get());
            vorbis.reset();
        }
    }
    void Release() {
        if (buffer)
            av_freep(&buffer[0]);
        av_freep(&buffer);
        bufferSamples = 0;
        swr_free(&resampler);
        avcodec_free_context(&decoder);
        av_frame_free(&frame);
        av_packet_free(&packet);
        av_channel_layout_uninit(&outLayout);
    }

    // Opens the location as `container` (none: whatever probing finds), each blocking
    // call given `timeoutMs`; FFmpeg's status.
    int OpenInput(const QByteArray& url, const AVInputFormat* container);
    QString NoAnswer() const {
        return QStringLiteral("no answer within %1 s").arg(timeoutMs / 1000);
    }

    // Gives a blocking call of FFmpeg's `timeoutMs` from now.
    void Arm() { deadline = Clock::now() + std::chrono::milliseconds(timeoutMs); }
    static int Interrupted(void* opaque);
    bool Stopped() const { return timedOut || (cancel && cancel->load()); }

    // The first sample of a decoded frame, counted from the first sample of the source.
    std::optional<int64_t> FrameStart(const AVFrame* f);
    // The next decoded frame into `frame`; false at the end or on failure.
    bool NextFrame();
    // Converts `count` samples of the frame from `skip` on into the buffer.
    int Convert(const AVFrame* f, int skip, int count);
    // Converts `count` samples of the planes (none: what the resampler still holds)
    // into the buffer; the number of samples out.
    int Convert(const uint8_t** in, int count);

    // Damage found at `sample` (source samples from the start), `lost` samples of
    // it known to be gone; the first place is kept, the losses add up.
    void NoteDamage(int64_t sample, int64_t lost, const QString& reason);
    // A packet or frame that FFmpeg could not decode, after the last frame decoded.
    void NoteUndecoded(int status);
    // A decoded frame from `start` on: samples the demuxer skipped before it are lost.
    void NoteFrame(std::optional<int64_t> start, int count);
    // Samples the packet says are to be trimmed (encoder delay and padding): what the
    // container declares holds them, what is decoded does not.
    void NoteTrimming(const AVPacket* p);
    // The stream ended after `position`: what the container declares and did not come,
    // and an Ogg file whose last page is cut.
    void NoteEnd();
    // The length the container declares when it is exact (not guessed from the bit rate).
    std::optional<int64_t> ExactLength() const;

    static constexpr int kMaxPlanes = 64;

    AVFormatContext* format = nullptr;
    int stream = -1;
    // Ogg Vorbis files are decoded by libvorbisfile, which knows their exact end.
    std::unique_ptr<OggVorbis_File> vorbis;
    std::vector<int> vorbisOrder;
    AVChannelLayout vorbisLayout{};
    AVRational timeBase{1, 1};
    AVCodecContext* decoder = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    SwrContext* resampler = nullptr;
    AVChannelLayout outLayout{};
    AVSampleFormat outFormat = AV_SAMPLE_FMT_NONE;
    int outRate = 0;
    uint8_t** buffer = nullptr;
    int bufferSamples = 0;

    // How it was opened and what it gives, to open it again.
    QString location;
    SampleLayout layout = SampleLayout::Float;
    int wantedRate = 0;
    int maxChannels = 0;
    bool dither = false;
    const std::atomic<bool>* cancel = nullptr;
    int timeoutMs = 10000;
    Clock::time_point deadline;
    bool timedOut = false;
    bool failed = false;
    QString error;
    // A stream's ICY metadata: the last packet, where the protocol's bytes stood when
    // it was last looked at, and where the last audio packet began.
    QByteArray icyPacket;
    int64_t icyLookedAt = 0;
    int64_t packetAt = 0;

    int64_t origin = AV_NOPTS_VALUE; // the first frame's timestamp
    int64_t dropUntil = -1;          // after a seek: samples before this one are dropped
    int64_t position = 0;
    bool demuxDone = false;
    bool decoderDone = false;
    bool resamplerDrained = false;

    DecodeDamage damage;
    int64_t frameEnd = -1; // where the last decoded frame ended (-1: not known)
    int64_t trimmed = 0;   // samples the packets so far said are trimmed
    // Whether the declared length holds the padding at the end: an MP3's frame count
    // does, an Ogg stream's last granule position already leaves it out.
    bool endInLength = true;
    // An MP4's length in samples as its header declares it (FFmpeg trims the encoder
    // delay before it), -1 for other files; exact when an iTunSMPB field says so, or
    // a lossless codec counts every sample.
    int64_t mp4Length = -1;
    bool mp4LengthExact = false;
    // Where the padding after a lossy MP4's last sample starts: trimmed there. -1: none.
    int64_t editEnd = -1;
    QString readFailure;   // why reading stopped before the end; told once the rest is decoded
    bool cutShort = false; // the file ends inside its last page
    bool ended = false;    // the end was reached and looked at
};

} // namespace velune
