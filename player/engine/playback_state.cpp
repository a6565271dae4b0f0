#include "playback_state.h"

namespace velune {

using S = PlaybackState;
using E = PlaybackEvent;

namespace {
// A pause keeps what it paused, and a resume gives it back: a stream held while it
// switched or played out goes on switching or playing out.
PlaybackState Paused(PlaybackState state) {
    switch (state) {
    case S::Opening:
    case S::Playing:
    case S::Buffering:
    case S::Reconnecting:
        return S::Paused;
    case S::Switching:
        return S::PausedSwitching;
    case S::Draining:
        return S::PausedDraining;
    case S::Ending:
        return S::PausedEnding;
    default:
        return state;
    }
}

PlaybackState Resumed(PlaybackState state) {
    switch (state) {
    case S::Paused:
        return S::Opening; // the stream runs again at once, or opens anew after a seek
    case S::PausedSwitching:
        return S::Switching;
    case S::PausedDraining:
        return S::Draining;
    case S::PausedEnding:
        return S::Ending;
    default:
        return state;
    }
}
} // namespace

PlaybackState Transition(PlaybackState state, PlaybackEvent event) {
    switch (event) {
    case E::Load:
    case E::Clear:
    case E::Stop:
        return S::Idle;
    case E::Play:
        if (IsPaused(state))
            return Resumed(state);
        return state == S::Idle || state == S::Ended || state == S::Failed ? S::Opening : state;
    case E::Resume:
        return Resumed(state);
    case E::Pause:
        return Paused(state);
    case E::StreamReady:
        return state == S::Opening ? S::Playing : state;
    case E::Stalled:
        return state == S::Playing ? S::Buffering : state;
    case E::Reconnect:
        return state == S::Playing || state == S::Buffering ? S::Reconnecting : state;
    case E::Flowing:
        return state == S::Buffering || state == S::Reconnecting ? S::Playing : state;
    case E::ItemFailed:
        // A loaded item that nobody asked to play stays loaded; the window hears why.
        return state == S::Idle ? S::Idle : S::Ended;
    case E::SoundFailed:
        return state == S::Idle ? S::Idle : S::Failed;
    case E::FormatChange:
        return state == S::Playing ? S::Switching : state;
    case E::AllWritten:
        if (state == S::Playing || state == S::Buffering || state == S::Reconnecting)
            return S::Draining;
        // Switching to an item that could not be opened after all: the stream just ends.
        return state == S::Switching ? S::Ending : state;
    case E::NextNamed:
        // Joined while the stream still takes samples; once it plays out, switched to.
        switch (state) {
        case S::Draining:
            return S::Playing;
        case S::PausedDraining:
            return S::Paused;
        case S::Ending:
            return S::Switching;
        case S::PausedEnding:
            return S::PausedSwitching;
        default:
            return state;
        }
    case E::PlayOut:
        return state == S::Draining ? S::Ending : state;
    case E::Seek:
        // The stream starts again from there; a paused one when resumed.
        if (IsPaused(state))
            return S::Paused;
        return IsRunning(state) ? S::Opening : state;
    case E::Drained:
        if (state == S::Switching)
            return S::Opening;
        return state == S::Ending ? S::Ended : state;
    }
    return state;
}

bool IsRunning(PlaybackState state) {
    return state == S::Opening || state == S::Playing || state == S::Switching ||
           state == S::Draining || state == S::Ending || state == S::Buffering ||
           state == S::Reconnecting;
}

bool IsPaused(PlaybackState state) {
    return state == S::Paused || state == S::PausedSwitching || state == S::PausedDraining ||
           state == S::PausedEnding;
}

bool PlaysOut(PlaybackState state) {
    return state == S::Switching || state == S::Ending || state == S::PausedSwitching ||
           state == S::PausedEnding;
}

bool HasInput(PlaybackState state) {
    return IsRunning(state) || IsPaused(state);
}

const char* StateName(PlaybackState state) {
    static const char* const kNames[] = {
        "idle",      "opening",          "playing",         "paused",
        "switching", "draining",         "ending",          "ended",
        "failed",    "paused switching", "paused draining", "paused ending",
        "buffering", "reconnecting"};
    return kNames[static_cast<int>(state)];
}

const char* EventName(PlaybackEvent event) {
    static const char* const kNames[] = {
        "load",         "clear",       "play",         "pause",         "resume",      "stop",
        "stream ready", "item failed", "sound failed", "format change", "all written", "next named",
        "drained",      "seek",        "play out",     "stalled",       "reconnect",   "flowing"};
    return kNames[static_cast<int>(event)];
}

} // namespace velune
