#include "mp3_writer.h"
#include "system_names.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <lame/lame.h>
#include <unistd.h>
#include <vector>

namespace velune {

namespace {
QString SystemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// An empty ID3v2.4 tag of `size` bytes in all: the header, then padding.
std::vector<unsigned char> EmptyId3(qint64 size) {
    std::vector<unsigned char> tag(static_cast<std::size_t>(size), 0);
    const qint64 body = size - 10;
    const unsigned char header[10] = {'I',
                                      'D',
                                      '3',
                                      4,
                                      0,
                                      0,
                                      static_cast<unsigned char>((body >> 21) & 0x7f),
                                      static_cast<unsigned char>((body >> 14) & 0x7f),
                                      static_cast<unsigned char>((body >> 7) & 0x7f),
                                      static_cast<unsigned char>(body & 0x7f)};
    std::memcpy(tag.data(), header, sizeof header);
    return tag;
}
} // namespace

struct Mp3Writer::State {
    ~State() {
        if (lame)
            lame_close(lame);
        if (fd >= 0)
            ::close(fd);
    }
    lame_global_flags* lame = nullptr;
    int fd = -1;
    int channels = 0;
    off_t audioStart = 0; // where the first frame, the LAME header, begins
    std::vector<unsigned char> buffer;
};

Mp3Writer::Mp3Writer() = default;

Mp3Writer::~Mp3Writer() = default;

bool Mp3Writer::Open(const QString& path, int channels, int rate, Mp3Setting setting,
                     qint64 reserveTagBytes, QString& error) {
    s_ = std::make_unique<State>();
    State& s = *s_;
    s.channels = channels;
    s.lame = lame_init();
    if (!s.lame) {
        error = SystemError(ENOMEM);
        return false;
    }
    lame_set_num_channels(s.lame, channels);
    lame_set_in_samplerate(s.lame, rate);
    lame_set_out_samplerate(s.lame, rate);
    lame_set_mode(s.lame, channels == 1 ? MONO : JOINT_STEREO);
    lame_set_quality(s.lame, 3); // the lame program's default
    if (setting.vbr) {
        lame_set_VBR(s.lame, vbr_default);
        lame_set_VBR_q(s.lame, setting.value);
    } else {
        lame_set_VBR(s.lame, vbr_off);
        lame_set_brate(s.lame, setting.value);
    }
    lame_set_bWriteVbrTag(s.lame, 1);
    if (lame_init_params(s.lame) < 0) {
        error =
            QStringLiteral("the MP3 encoder takes no %1 channels at %2 Hz").arg(channels).arg(rate);
        return false;
    }
    s.fd = ::open(SystemName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (s.fd < 0) {
        error = SystemError(errno);
        return false;
    }
    if (reserveTagBytes > 0) {
        const std::vector<unsigned char> tag = EmptyId3(reserveTagBytes + 1024);
        if (!Put(tag.data(), static_cast<int>(tag.size()), error))
            return false;
        s.audioStart = static_cast<off_t>(tag.size());
    }
    return true;
}

bool Mp3Writer::Put(const unsigned char* bytes, int size, QString& error) {
    while (size > 0) {
        const ssize_t written = ::write(s_->fd, bytes, static_cast<std::size_t>(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            error = SystemError(errno);
            return false;
        }
        bytes += written;
        size -= static_cast<int>(written);
    }
    return true;
}

bool Mp3Writer::Write(const float* const* planes, int samples, QString& error) {
    State& s = *s_;
    // The worst case libmp3lame names: 1.25 times the samples, plus 7200 bytes.
    s.buffer.resize(static_cast<std::size_t>(samples) * 5 / 4 + 7200);
    const int bytes =
        lame_encode_buffer_ieee_float(s.lame, planes[0], s.channels > 1 ? planes[1] : planes[0],
                                      samples, s.buffer.data(), static_cast<int>(s.buffer.size()));
    if (bytes < 0) {
        error = QStringLiteral("the MP3 encoder failed (%1)").arg(bytes);
        return false;
    }
    return Put(s.buffer.data(), bytes, error);
}

bool Mp3Writer::Finish(QString& error) {
    State& s = *s_;
    s.buffer.resize(7200);
    const int bytes = lame_encode_flush(s.lame, s.buffer.data(), static_cast<int>(s.buffer.size()));
    if (bytes < 0) {
        error = QStringLiteral("the MP3 encoder failed (%1)").arg(bytes);
        return false;
    }
    if (!Put(s.buffer.data(), bytes, error))
        return false;
    // The LAME header takes the place of the first frame, which was kept for it.
    unsigned char frame[2880];
    const std::size_t size = lame_get_lametag_frame(s.lame, frame, sizeof frame);
    if (size > 0 && size <= sizeof frame) {
        const ssize_t written = ::pwrite(s.fd, frame, size, s.audioStart);
        if (written != static_cast<ssize_t>(size)) {
            error = SystemError(written < 0 ? errno : ENOSPC);
            return false;
        }
    }
    const int fd = s.fd;
    s.fd = -1;
    if (::close(fd) < 0) {
        error = SystemError(errno);
        return false;
    }
    return true;
}

} // namespace velune
