#pragma once

#include <QString>
#include <memory>

namespace velune {

// How an MP3 is encoded: a constant bit rate in kbit/s, or a VBR level (0 best, 9
// smallest), as the lame program's -b and -V.
struct Mp3Setting {
    bool vbr = false;
    int value = 192;
};

// Writes MP3 with libmp3lame as the lame program does: the first frame is the LAME
// header that libmp3lame itself fills in at the end (encoder "LAME3.100", the
// encoder delay and padding, the frame count and seek table, their CRCs), so that
// every decoder gives exactly the samples that went in. Room for an ID3v2 tag
// can be left in front of the audio. Every write error fails with the system's reason.
class Mp3Writer {
public:
    Mp3Writer();
    ~Mp3Writer();
    Mp3Writer(const Mp3Writer&) = delete;
    Mp3Writer& operator=(const Mp3Writer&) = delete;

    // Creates (or truncates) the file; `rate` must be one MP3 takes, `channels` 1 or 2.
    bool Open(const QString& path, int channels, int rate, Mp3Setting setting,
              qint64 reserveTagBytes, QString& error);
    // Planar samples from -1 to 1.
    bool Write(const float* const* planes, int samples, QString& error);
    // Ends the stream, writes the LAME header and closes the file.
    bool Finish(QString& error);

private:
    struct State;
    bool Put(const unsigned char* bytes, int size, QString& error);
    std::unique_ptr<State> s_;
};

} // namespace velune
