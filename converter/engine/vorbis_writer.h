#pragma once

#include <QString>
#include <memory>

namespace velune {

// Writes Ogg Vorbis with libvorbis and libogg, as oggenc does: quality (variable
// bit rate) mode, and a last granule position that tells decoders the exact
// number of samples. Every write error fails with the system's reason.
class VorbisWriter {
public:
    VorbisWriter();
    ~VorbisWriter();
    VorbisWriter(const VorbisWriter&) = delete;
    VorbisWriter& operator=(const VorbisWriter&) = delete;

    // Creates (or truncates) the file; `quality` from -0.1 to 1.
    bool Open(const QString& path, int channels, int rate, float quality, QString& error);
    // Planar samples, channels in FFmpeg's order for their count.
    bool Write(const float* const* planes, int samples, QString& error);
    // Ends the stream and closes the file.
    bool Finish(QString& error);

private:
    struct State;
    bool Drain(QString& error);
    bool Flush(bool all, QString& error);
    std::unique_ptr<State> s_;
};

} // namespace velune
