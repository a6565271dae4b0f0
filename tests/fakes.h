#pragma once

// Scripted and recording stand-ins for the parts around a window's host logic.

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
#include <QList>
#include <QStringList>
#include <deque>
#include <utility>
#include <vector>

namespace velune::test {

// Every host write in order, as "name=value"; the face's own writes are kept apart.
class RecordingFace : public Face {
public:
    bool LoadMovie(int layer, const QString& path) override {
        loaded.push_back(QString::number(layer) + QLatin1Char(':') + path);
        return loads;
    }
    void SetVariable(const QString& name, const QString& value) override {
        writes << name + QLatin1Char('=') + value;
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
    void SetGeometry(std::optional<QPoint> topLeft, QSize window, QSize face) override {
        calls << u"geometry"_s;
        position = topLeft;
        windowSize = window;
        faceSize = face;
    }
    void Minimize() override { calls << u"minimize"_s; }
    void DragWindow() override { calls << u"drag"_s; }
    void EndProgram() override { calls << u"end"_s; }
    void HookFlash() override { calls << u"hook"_s; }
    void UnhookFlash() override { calls << u"unhook"_s; }
    void Hide() override { calls << u"hide"_s; }

    QStringList calls;
    std::optional<QPoint> position;
    QSize windowSize;
    QSize faceSize;
};

// Records every message; answers questions from a script (No when it runs out).
class ScriptedMessages : public MessageBoxes {
public:
    void Show(const QString& text) override { shown << text; }
    bool AskYesNo(const QString& text) override {
        asked << text;
        if (answers.empty())
            return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }

    QStringList shown;
    QStringList asked;
    std::deque<bool> answers;
};

// Hands out scripted dialog results, one per call ("" once the script runs out).
class ScriptedDialog : public OpenFileDialog {
public:
    QString ShowOpen(const QString& title, const QString& filter, QString& error) override {
        titles << title;
        filters << filter;
        if (results.empty())
            return {};
        auto [text, failure] = results.front();
        results.pop_front();
        error = failure;
        return text;
    }
    // Chooses these full paths (all in one folder) at the next call.
    void Choose(const QStringList& paths) { results.emplace_back(ResultText(paths), QString()); }

    std::deque<std::pair<QString, QString>> results;
    QStringList titles;
    QStringList filters;
};

class ScriptedFolders : public FolderChooser {
public:
    QString Choose(const QString& title, const QString& startPath) override {
        titles << title;
        starts << startPath;
        return answer;
    }
    QString answer;
    QStringList titles;
    QStringList starts;
};

class RecordingShell : public Shell {
public:
    void Open(const QString& file) override { opened << file; }
    void Start(const QString& program) override { started << program; }
    QStringList opened;
    QStringList started;
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

// Holds one item as libVLC does; the test says when it ends.
class ScriptedPlayer : public PlayerEngine {
public:
    bool setVolume(int v) override {
        volume = v;
        return true;
    }
    bool setMute(bool m) override {
        muted = m;
        return true;
    }
    bool playlistAdd(const QString& uri) override {
        loaded = uri;
        playing = paused = ended = false;
        return true;
    }
    bool play() override {
        playing = !loaded.isEmpty();
        paused = ended = false;
        ++plays;
        return playing;
    }
    bool stop() override {
        playing = paused = false;
        return true;
    }
    bool togglePause() override {
        if (!playing && !paused)
            return false;
        paused = !paused;
        playing = !paused;
        return true;
    }
    bool isPlaying() const override { return playing && !ended; }
    bool itemsClear() override {
        loaded.clear();
        playing = paused = ended = false;
        return true;
    }
    std::optional<double> inputLength() const override { return Input(length); }
    std::optional<double> inputTime() const override { return Input(time); }
    std::optional<double> inputPosition() const override { return Input(position); }
    bool setInputPosition(double p) override {
        seeks << p;
        return true;
    }
    bool Ended() const override { return ended; }
    QString SoundFailure() const override { return ended ? soundFailure : QString(); }
    TrackInfo Info() const override { return {}; }

    std::optional<double> Input(std::optional<double> value) const {
        return playing || paused ? value : std::nullopt;
    }

    QString loaded;
    bool playing = false;
    bool paused = false;
    bool ended = false;
    int plays = 0;
    int volume = -1;
    bool muted = false;
    QString soundFailure;
    std::optional<double> length, time, position;
    QList<double> seeks;
};

} // namespace velune::test
