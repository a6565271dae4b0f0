#pragma once

namespace velune {

// Where playback stands, down to what the stream on the server does. One value, moved
// only by Transition(); the stream is held while paused and told to play out what it
// holds while switching or ending, as the state says (see IsPaused, PlaysOut).
enum class PlaybackState {
    Idle,            // nothing plays; an item may be loaded, ready to start
    Opening,         // asked to play: the item opens and the stream starts
    Playing,         // the stream runs and takes samples
    Paused,          // the stream holds where it is; it runs again from Opening
    Switching,       // the stream plays out before it opens anew for another format
    Draining,        // the last item is all written: the stream plays out what it holds,
                     // and an item named now still joins it
    Ending,          // the stream was told to play out its last samples: nothing joins it
    Ended,           // the item was played to its end, or could not be played at all
    Failed,          // the sound server refused the stream or went away
    PausedSwitching, // held while switching: it switches on when resumed
    PausedDraining,  // held while draining: it drains on when resumed
    PausedEnding,    // held while ending: it ends when resumed
    Buffering,       // a stream runs, but its source has given nothing for a second
    Reconnecting,    // a stream runs, and its source's lost connection is opened again
};

// What moves it: the window's commands, and what the decoder and the server report.
enum class PlaybackEvent {
    Load,         // command: an item is loaded, not played
    Clear,        // command: nothing is loaded
    Play,         // command: start the loaded item afresh (a paused one resumes)
    Pause,        // command
    Resume,       // command
    Stop,         // command
    StreamReady,  // the item is open and its stream runs
    ItemFailed,   // the item could not be opened or read
    SoundFailed,  // the sound server refused the stream or went away
    FormatChange, // what follows needs a stream of another format
    AllWritten,   // the last item is all written and nothing is named to follow
    NextNamed,    // something to follow was named while the last item plays out
    Drained,      // the stream has played out all it held
    Seek,         // command: the item goes on from another place
    PlayOut,      // the stream holds little enough of the last item to be told to play out
    Stalled,      // the source has given nothing for a second (the network holds it up)
    Reconnect,    // the source's connection was lost: it is opened again
    Flowing,      // the source gives samples again
};

PlaybackState Transition(PlaybackState state, PlaybackEvent event);

// Whether the state is on its way to sound or making it (not idle, paused or ended).
bool IsRunning(PlaybackState state);
// Whether the stream holds where it is until resumed.
bool IsPaused(PlaybackState state);
// Whether the stream was told to play out what it holds: it takes no more samples.
bool PlaysOut(PlaybackState state);
// Whether the engine has a current input whose time and length can be read.
bool HasInput(PlaybackState state);

const char* StateName(PlaybackState state);
const char* EventName(PlaybackEvent event);

} // namespace velune
