#pragma once

#include "converter_engine.h"
#include "vlc_instance.h"

#include <QObject>
#include <atomic>
#include <memory>
#include <vector>

struct libvlc_media_player_t;
struct libvlc_event_t;

namespace velune {

// The converter engine over libVLC. Each item writes to a hidden temporary file
// beside its output and is renamed to the output's name only once it has been
// converted completely, so no truncated file ever carries an output's name.
// Call it from the UI thread only: libVLC's own threads only post to it.
// libVLC starts on first use, not when the program starts.
class VlcConverter : public QObject, public ConverterEngine {
    Q_OBJECT
public:
    VlcConverter() = default;
    ~VlcConverter() override;

    [[nodiscard]] bool playlistClear() override;
    [[nodiscard]] bool addTarget(const QString& uri, const QString& options, int mode,
                                 int position) override;
    [[nodiscard]] bool play() override;
    [[nodiscard]] bool pause() override;
    [[nodiscard]] bool stop() override;
    [[nodiscard]] bool playlistNext() override;
    int PlaylistIndex() const override { return current_; }
    std::optional<float> Position() const override;
    std::optional<int> Time() const override;
    QString lastError() const override { return error_; }
    bool Finished() const override;
    ItemState State(int item) const override;
    QString FailureReason(int item) const override;
    std::optional<qint64> Duration(const QString& path) override;

private:
    struct Item {
        QString uri;
        QString options;
        ChainDestination destination; // where the output's path stands in the options
        QString temp;
        ItemState state = ItemState::Queued;
        QString failure;
    };

    static void OnPlayerEvent(const libvlc_event_t* event, void* data);
    void Ended(quint64 serial, bool failed);
    bool Fail(const QString& error);
    // Starts libVLC if it is not running yet; false (with the reason) when it cannot.
    bool Start();
    bool StartItem(int item);
    void Finish(int item, bool decoded);
    void Advance();

    std::unique_ptr<VlcInstance> vlc_;
    libvlc_media_player_t* player_ = nullptr;
    std::vector<Item> items_;
    int current_ = -1;
    int cursor_ = -1; // the last item started
    bool running_ = false;
    QString error_;
    quint64 serial_ = 0;
    std::atomic<quint64> activeSerial_{0};
};

} // namespace velune
