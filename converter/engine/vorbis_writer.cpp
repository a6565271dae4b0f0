#include "vorbis_writer.h"
#include "system_names.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <unistd.h>
#include <vorbis/vorbisenc.h>

namespace velune {

namespace {
// Where each Vorbis channel comes from, in FFmpeg's default layout for the count.
constexpr int kFromFfmpeg[8][8] = {
    {0},
    {0, 1},
    {0, 2, 1},
    {0, 1, 2, 3},
    {0, 2, 1, 3, 4},
    {0, 2, 1, 4, 5, 3},
    {0, 2, 1, 5, 6, 4, 3},
    {0, 2, 1, 6, 7, 4, 5, 3},
};

QString SystemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}
} // namespace

struct VorbisWriter::State {
    vorbis_info info{};
    vorbis_comment comment{};
    vorbis_dsp_state dsp{};
    vorbis_block block{};
    ogg_stream_state stream{};
    int channels = 0;
    int fd = -1;
    bool analysing = false;
    bool streaming = false;

    ~State() {
        if (streaming)
            ogg_stream_clear(&stream);
        if (analysing) {
            vorbis_block_clear(&block);
            vorbis_dsp_clear(&dsp);
        }
        vorbis_comment_clear(&comment);
        vorbis_info_clear(&info);
        if (fd >= 0)
            ::close(fd);
    }

    bool WriteAll(const unsigned char* data, long size, QString& error) {
        while (size > 0) {
            const ssize_t written = ::write(fd, data, static_cast<size_t>(size));
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                error = SystemReason(errno);
                return false;
            }
            data += written;
            size -= written;
        }
        return true;
    }
};

VorbisWriter::VorbisWriter() : s_(std::make_unique<State>()) {
    vorbis_info_init(&s_->info);
    vorbis_comment_init(&s_->comment);
}

VorbisWriter::~VorbisWriter() = default;

bool VorbisWriter::Open(const QString& path, int channels, int rate, float quality,
                        QString& error) {
    if (channels < 1 || channels > 8 ||
        vorbis_encode_init_vbr(&s_->info, channels, rate, quality) != 0) {
        error =
            QStringLiteral("Ogg Vorbis cannot hold %1 channels at %2 Hz").arg(channels).arg(rate);
        return false;
    }
    s_->channels = channels;
    if (vorbis_analysis_init(&s_->dsp, &s_->info) != 0 ||
        vorbis_block_init(&s_->dsp, &s_->block) != 0) {
        error = SystemReason(ENOMEM);
        return false;
    }
    s_->analysing = true;
    std::random_device random;
    ogg_stream_init(&s_->stream, static_cast<int>(random()));
    s_->streaming = true;

    s_->fd = ::open(SystemName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (s_->fd < 0) {
        error = SystemReason(errno);
        return false;
    }
    ogg_packet identification, comments, codebooks;
    vorbis_analysis_headerout(&s_->dsp, &s_->comment, &identification, &comments, &codebooks);
    ogg_stream_packetin(&s_->stream, &identification);
    ogg_stream_packetin(&s_->stream, &comments);
    ogg_stream_packetin(&s_->stream, &codebooks);
    // The headers end a page of their own, so audio starts on a fresh one.
    return Flush(true, error);
}

bool VorbisWriter::Write(const float* const* planes, int samples, QString& error) {
    if (samples <= 0)
        return true;
    float** buffer = vorbis_analysis_buffer(&s_->dsp, samples);
    for (int c = 0; c < s_->channels; ++c)
        std::memcpy(buffer[c], planes[kFromFfmpeg[s_->channels - 1][c]],
                    sizeof(float) * static_cast<size_t>(samples));
    vorbis_analysis_wrote(&s_->dsp, samples);
    return Drain(error);
}

bool VorbisWriter::Drain(QString& error) {
    ogg_packet packet;
    while (vorbis_analysis_blockout(&s_->dsp, &s_->block) == 1) {
        vorbis_analysis(&s_->block, nullptr);
        vorbis_bitrate_addblock(&s_->block);
        while (vorbis_bitrate_flushpacket(&s_->dsp, &packet) == 1) {
            ogg_stream_packetin(&s_->stream, &packet);
            if (!Flush(false, error))
                return false;
        }
    }
    return true;
}

bool VorbisWriter::Flush(bool all, QString& error) {
    ogg_page page;
    while (all ? ogg_stream_flush(&s_->stream, &page) : ogg_stream_pageout(&s_->stream, &page)) {
        if (!s_->WriteAll(page.header, page.header_len, error) ||
            !s_->WriteAll(page.body, page.body_len, error))
            return false;
    }
    return true;
}

bool VorbisWriter::Finish(QString& error) {
    vorbis_analysis_wrote(&s_->dsp, 0);
    if (!Drain(error) || !Flush(true, error))
        return false;
    const int fd = s_->fd;
    s_->fd = -1;
    if (::close(fd) != 0) {
        error = SystemReason(errno);
        return false;
    }
    return true;
}

} // namespace velune
