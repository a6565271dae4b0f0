#pragma once

#include <QString>
#include <optional>

namespace velune {

// The converter's media engine `VL`: a queue of sources, each with the stream
// output chain that names the file it must write. Items are converted one after
// another, as fast as the machine allows, without sound. Operations return false
// on failure and leave the reason in lastError().
class ConverterEngine {
public:
    enum class ItemState { Queued, Converting, Converted, Failed };

    virtual ~ConverterEngine() = default;

    [[nodiscard]] virtual bool playlistClear() = 0;
    // uri: the source path, trimmed, no scheme; options: the output chain.
    [[nodiscard]] virtual bool addTarget(const QString& uri, const QString& options, int mode,
                                         int position) = 0;
    // Starts (or resumes) processing; with nothing current, the next playlistNext starts the
    // first queued item.
    [[nodiscard]] virtual bool play() = 0;
    [[nodiscard]] virtual bool pause() = 0;
    // Halts processing; an item that was being converted is abandoned and leaves no output.
    [[nodiscard]] virtual bool stop() = 0;
    [[nodiscard]] virtual bool playlistNext() = 0;

    // Zero-based index of the item being converted; negative while none.
    virtual int PlaylistIndex() const = 0;
    // Progress (0 to 1) and elapsed time (ms) of the current item; none while no item is current.
    virtual std::optional<float> Position() const = 0;
    virtual std::optional<int> Time() const = 0;

    virtual QString lastError() const = 0;
    // True when every queued item has been converted or has failed (and with none queued).
    virtual bool Finished() const = 0;
    virtual ItemState State(int item) const = 0;
    // Why the item failed, in words for the user.
    virtual QString FailureReason(int item) const = 0;
    // The duration of a media file as the engine reads it, in ms.
    virtual std::optional<qint64> Duration(const QString& path) = 0;
};

// Puts a backslash before each backslash, apostrophe and double quote, so that the
// text can stand between quotes in an output chain.
QString EscapeChainText(const QString& text);

// The quoted destination of an output chain ("dst='...'"), unescaped, and where
// its quoted text starts and ends in the chain (the quotes excluded).
struct ChainDestination {
    QString path;
    qsizetype begin = -1;
    qsizetype end = -1;
};
std::optional<ChainDestination> FindChainDestination(const QString& chain);

} // namespace velune
