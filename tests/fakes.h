#pragma once

// Scripted and recording stand-ins for the parts around a window's host logic.

#include "background.h"
#include "converter_engine.h"
#include "face.h"
#include "folder_chooser.h"
#include "form.h"
#include "instance_lock.h"
#include "messages.h"
#include "picker.h"
#include "player_engine.h"
#include "qt_print.h"
#include "shell.h"

#include <QHash>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <utility>
#include <vector>

namespace velune::test {

template <typename T> bool Set(T& field, T value) {
    field = std::move(value);
    return true;
}
// The first of a script, taken off it.
template <typename T> std::optional<T> Take(std::deque<T>& from) {
    if (from.empty())
        return std::nullopt;
    T item = std::move(from.front());
    from.pop_front();
    return item;
}

// Every host write in order, as "name=value", and the last value of each.
class RecordingFace : public Face {
public:
    bool LoadFace(const QString& path) override {
        loaded.push_back(path);
        return loads;
    }
    void SetVariable(const QString& name, const QString& value) override {
        writes << name + u'=' + value;
        store.insert(name, value);
    }
    QString GetVariable(const QString& name) const override { return store.value(name); }

    bool loads = true;
    std::vector<QString> loaded;
    QStringList writes;
    QHash<QString, QString> store;
};

// Every call in order, as a word.
class RecordingForm : public Form {
public:
    // As "x,y WxH face WxH", the place left out when there is none.
    void SetGeometry(std::optional<QPoint> topLeft, QSize window, QSize face) override {
        calls << u"geometry"_s;
        geometry = (topLeft ? u"%1,%2 "_s.arg(topLeft->x()).arg(topLeft->y()) : QString()) +
                   u"%1x%2 face %3x%4"_s.arg(window.width())
                       .arg(window.height())
                       .arg(face.width())
                       .arg(face.height());
    }
    void Minimize() override { calls << u"minimize"_s; }
    void DragWindow() override { calls << u"drag"_s; }
    void EndProgram() override { calls << u"end"_s; }
    void InstallFilter() override { calls << u"filter"_s; }
    void RemoveFilter() override { calls << u"unfilter"_s; }
    void Hide() override { calls << u"hide"_s; }

    QStringList calls;
    QString geometry;
};

// Records every message; answers questions from a script (No when it runs out).
class ScriptedMessages : public MessageBoxes {
public:
    void Show(const QString& text) override { shown << text; }
    void Inform(const QString& text) override { shown << text; }
    bool AskYesNo(const QString& text) override {
        asked << text;
        return Take(answers).value_or(false);
    }

    QStringList shown, asked;
    std::deque<bool> answers;
};

// Hands out scripted dialog results and errors, one per call (nothing once they run out).
class ScriptedDialog : public OpenFileDialog {
public:
    QStringList Choose(const QString&, const QString&, const QString&, QString& error) override {
        const auto [paths, failure] = Take(results).value_or(std::pair<QStringList, QString>());
        error = failure;
        return paths;
    }
    // Chooses these full paths at the next call.
    void Choose(const QStringList& paths) { results.emplace_back(paths, QString()); }
    QString ChooseSave(const QString&, const QString&, const QString&) override { return saveAs; }
    QString saveAs; // the name given to a save dialog
    std::deque<std::pair<QStringList, QString>> results;
};

class ScriptedFolders : public FolderChooser {
public:
    QString Choose(const QString&, const QString& startPath) override {
        startPaths << startPath;
        return answer;
    }
    QString answer;
    QStringList startPaths;
};

class RecordingShell : public Shell {
public:
    void Open(const QString& file) override { opened << file; }
    void Start(const QString& program) override { started << program; }
    QStringList opened, started;
};

class RecordingTicker : public Ticker {
public:
    void SetEnabled(bool on) override { enabled = on; }
    bool Enabled() const override { return enabled; }
    bool enabled = false;
};

class ScriptedLock : public InstanceLock {
public:
    bool TryLock() override { return free; }
    bool free = true;
};

// Holds the loaded item and the one queued after it; the test moves it on and says what it reports.
class ScriptedPlayer : public PlayerEngine {
public:
    PlaybackState state() const override {
        if (forced)
            return *forced;
        if (ended)
            return soundFailure.isEmpty() ? PlaybackState::Ended : PlaybackState::Failed;
        if (playing)
            return PlaybackState::Playing;
        return paused ? PlaybackState::Paused : PlaybackState::Idle;
    }
    bool hasItem() const override { return !loaded.isEmpty(); }
    bool setVolume(int v) override { return Set(volume, v); }
    bool setMute(bool m) override { return Set(muted, m); }
    std::optional<std::pair<int, bool>> TakeMixerChange() override {
        return std::exchange(mixer, std::nullopt);
    }
    void setReplayGain(ReplayGainMode mode) override { gain = mode; }
    void setNext(const QString& uri) override { next = uri; }
    std::optional<QString> TakeAdvance() override {
        const std::optional<QString> uri = Take(advances);
        loaded = uri.value_or(loaded);
        return uri;
    }
    std::optional<SkippedItem> TakeSkipped() override { return Take(skipped); }
    // The queued item is heard.
    void Advance() {
        if (!next.isEmpty())
            advances.push_back(std::exchange(next, QString()));
    }
    // The queued item cannot be opened.
    void Skip(bool missing = true) {
        if (!next.isEmpty())
            skipped.push_back({std::exchange(next, QString()), {u"broken"_s, missing}});
    }
    bool playlistAdd(const QString& uri) override {
        playing = paused = ended = false;
        next.clear();
        return Set(loaded, uri);
    }
    bool play() override {
        paused = false;
        // As the engine finds it, when the test asks: the file is gone.
        gone = checksFiles && !loaded.isEmpty() && !QFile::exists(loaded);
        ended = gone;
        return playing = !gone && !loaded.isEmpty();
    }
    bool pause() override { return std::exchange(playing, false) && Set(paused, true); }
    bool resume() override { return std::exchange(paused, false) && Set(playing, true); }
    bool stop() override { return Set(ended, false) && Set(paused, false) && !Set(playing, false); }
    bool itemsClear() override { return playlistAdd(QString()); }
    std::optional<double> inputLength() const override { return Input(length); }
    std::optional<double> inputTime() const override { return Input(time); }
    std::optional<double> inputPosition() const override { return Input(position); }
    bool setInputPosition(double p) override {
        seeks << p;
        return true;
    }
    QString SoundFailure() const override { return ended ? soundFailure : QString(); }
    ItemFailure ItemFailed() const override {
        if (ended && gone)
            return ItemFailure{QString(), true};
        return ended && !itemFailure.isEmpty() ? ItemFailure{itemFailure, false} : ItemFailure{};
    }
    TrackInfo Info() const override { return {}; }
    std::optional<double> Input(std::optional<double> value) const {
        return playing || paused ? value : std::nullopt;
    }

    QString loaded;
    std::optional<PlaybackState> forced; // a state the test puts the engine in
    bool playing = false, paused = false, ended = false, muted = false;
    bool checksFiles = false, gone = false;
    int volume = -1;
    QString soundFailure, itemFailure, next; // itemFailure: the fuzz target's
    std::deque<QString> advances;
    std::deque<SkippedItem> skipped;
    std::optional<std::pair<int, bool>> mixer;
    ReplayGainMode gain = ReplayGainMode::Off;
    std::optional<double> length, time, position;
    QList<double> seeks;
};

// A converter engine that records the jobs and answers what the test set.
class ScriptedEngine : public ConverterEngine {
public:
    void clear() override { calls << u"clear"_s; }
    bool add(const ConversionJob& job) override {
        jobs << job.source + u" > "_s + job.output +
                    (job.format == TargetFormat::Mp3 ? " mp3" : "") +
                    (job.startFrame > 0 || job.endFrame >= 0
                         ? u" [%1-%2]"_s.arg(job.startFrame).arg(job.endFrame)
                         : QString());
        options = job.options;
        return Call(u"add"_s);
    }
    bool start() override { return Call(u"start"_s); }
    void cancel() override { calls << u"cancel"_s; }
    int LowestUnfinished() const override { return index; }
    std::optional<float> Position() const override { return position; }
    std::optional<int> Time() const override { return time; }
    QString lastError() const override { return u"engine broke"_s; }
    bool Finished() const override { return finished; }
    ItemState State(int item) const override { return states.value(item, ItemState::Queued); }
    QString FailureReason(int) const override { return {}; }
    bool HoldsWhole(const QString&, TargetFormat, const QString&, qint64, qint64) override {
        return true;
    }
    // Converted items read back whole unless listed.
    bool Verified(int item) const override {
        return State(item) == ItemState::Converted && !unverified.contains(item);
    }
    bool Call(const QString& name) {
        calls << name;
        return name != failing;
    }

    QStringList calls;
    QStringList jobs;      // "source > output", " mp3" when so
    OutputOptions options; // the last job's
    QString failing;
    int index = -1;
    std::optional<float> position;
    std::optional<int> time;
    bool finished = false;
    QList<ItemState> states;
    QSet<int> unverified;
};

// Runs the work at once, on the caller's thread.
struct ImmediateBackground : Background {
    void Run(std::function<Then()> work) override { work()(); }
};

// Everything around a window's host logic but its engine.
struct Around {
    RecordingFace face;
    RecordingForm form;
    RecordingTicker timer;
    ScriptedMessages messages;
    ScriptedDialog dialog;
    ScriptedFolders folders;
    RecordingShell shell;
    ImmediateBackground background;
    ScriptedLock lock;
    QTemporaryDir cache; // the player's tag cache and covers
};

} // namespace velune::test
