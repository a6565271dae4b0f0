#include "playback_state.h"

namespace velune {

using S = PlaybackState;
using E = PlaybackEvent;

PlaybackState Transition(PlaybackState state, PlaybackEvent event) {
    switch (event) {
    case E::Load:
    case E::Clear:
    case E::Stop:
        return S::Idle;
    case E::Play:
        if (state == S::Paused)
            return S::Opening; // resumes: the stream runs again at once
        return state == S::Idle || state == S::Ended || state == S::Failed ? S::Opening : state;
    case E::Resume:
        return state == S::Paused ? S::Opening : state;
    case E::Pause:
        return IsRunning(state) ? S::Paused : state;
    case E::StreamReady:
        return state == S::Opening ? S::Playing : state;
    case E::ItemFailed:
        // A loaded item that nobody asked to play stays loaded; the window hears why.
        return state == S::Idle ? S::Idle : S::Ended;
    case E::SoundFailed:
        return state == S::Idle ? S::Idle : S::Failed;
    case E::FormatChange:
        return state == S::Playing || state == S::Draining ? S::Switching : state;
    case E::AllWritten:
        // Switching to an item that could not be opened after all: the stream just plays out.
        return state == S::Playing || state == S::Switching ? S::Draining : state;
    case E::NextNamed:
        return state == S::Draining ? S::Playing : state;
    case E::Seek:
        return IsRunning(state) ? S::Opening : state;
    case E::Drained:
        if (state == S::Switching)
            return S::Opening;
        return state == S::Draining ? S::Ended : state;
    }
    return state;
}

bool IsRunning(PlaybackState state) {
    return state == S::Opening || state == S::Playing || state == S::Switching ||
           state == S::Draining;
}

bool HasInput(PlaybackState state) {
    return IsRunning(state) || state == S::Paused;
}

const char* StateName(PlaybackState state) {
    static const char* const kNames[] = {"idle",      "opening",  "playing", "paused",
                                         "switching", "draining", "ended",   "failed"};
    return kNames[static_cast<int>(state)];
}

const char* EventName(PlaybackEvent event) {
    static const char* const kNames[] = {
        "load",        "clear",        "play",        "pause",        "resume",
        "stop",        "stream ready", "item failed", "sound failed", "format change",
        "all written", "next named",   "drained",     "seek"};
    return kNames[static_cast<int>(event)];
}

} // namespace velune
