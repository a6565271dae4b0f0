#pragma once

// What the player's face and its host say to each other. The face sends the
// commands (exact names) with one argument text ("undefined" for none); the host
// writes the variables, a data variable before its trigger.

namespace velune::player_face {

// Commands of the face.
inline constexpr char kClose[] = "IDC_FS_Close";
inline constexpr char kMinimize[] = "IDC_FS_Minimize";
inline constexpr char kDrag[] = "IDC_FS_Drag";
inline constexpr char kPlay[] = "IDC_FS_Play";
inline constexpr char kPause[] = "IDC_FS_Pause";
inline constexpr char kStop[] = "IDC_FS_Stop";
inline constexpr char kPrevious[] = "IDC_FS_Previous";
inline constexpr char kNext[] = "IDC_FS_Next";
inline constexpr char kRepeat[] = "IDC_FS_Repeat";
inline constexpr char kSoundOff[] = "IDC_FS_SoundOff";
inline constexpr char kSoundOn[] = "IDC_FS_SoundOn";
inline constexpr char kShowList[] = "IDC_FS_ShowList";
inline constexpr char kVolume[] = "IDC_FS_Volume";             // reads kVolumePosition
inline constexpr char kKnobReleased[] = "IDC_FS_KnobReleased"; // reads kKnobPosition
inline constexpr char kOpenFile[] = "IDC_FS_OpenFile";
inline constexpr char kHideList[] = "IDC_FS_HideList";
inline constexpr char kAdd[] = "IDC_FS_Add";
inline constexpr char kSelectedIndex[] = "IDC_FS_SelectedIndex"; // args: the row
inline constexpr char kRemove[] = "IDC_FS_Remove";               // args: the row it removed
inline constexpr char kRemoveAll[] = "IDC_FS_RemoveAll";
inline constexpr char kSeekBy[] = "IDC_FS_SeekBy";         // args: milliseconds, "-5000" or "5000"
inline constexpr char kReplayGain[] = "IDC_FS_ReplayGain"; // the next loudness mode

// The list as a library. Rows named by the face are rows as it shows them (after
// finding): the host maps them to its list.
inline constexpr char kAddFolder[] = "IDC_FS_AddFolder";
inline constexpr char kFind[] = "IDC_FS_Find";           // args: the text typed ("" clears)
inline constexpr char kPlayFound[] = "IDC_FS_PlayFound"; // plays the first row shown
inline constexpr char kSort[] = "IDC_FS_Sort"; // args: "artist", "album", "title", "length",
                                               // "file" or "added"
inline constexpr char kShuffle[] =
    "IDC_FS_Shuffle"; // args: "off", "tracks", "albums"; else the next
inline constexpr char kPlayNext[] = "IDC_FS_PlayNext"; // args: the row, joins the play queue
inline constexpr char kSaveList[] = "IDC_FS_SaveList";
inline constexpr char kOpenUrl[] = "IDC_FS_OpenUrl"; // args: an http(s) address; it plays

// Variables the host writes.
inline constexpr char kFileTxt[] = "_root.FileTxt"; // title; trigger kSetFileTxt
inline constexpr char kSetFileTxt[] = "_root.SetFileTxt";
inline constexpr char kPlaying[] = "_root.Playing";           // "1" while playing
inline constexpr char kTotalTimeTxt[] = "_root.TotalTimeTxt"; // "mm:ss"; trigger kSetTimeTxt
inline constexpr char kTimePlayedTxt[] = "_root.TimePlayedTxt";
inline constexpr char kSetTimeTxt[] = "_root.SetTimeTxt";
inline constexpr char kKnobPosition[] = "_root.KnobPosition";     // " 0" to " 100"; the face's too
inline constexpr char kKnobDisabled[] = "_root.KnobDisabled";     // "1" for a stream
inline constexpr char kVolumePosition[] = "_root.VolumePosition"; // "0" to "10"; the face's too
inline constexpr char kClearList[] = "_root.RemoveAll";           // "1": the face empties its list
inline constexpr char kMuted[] = "_root.Muted";                   // "1"/"0": restored mute state
inline constexpr char kListShown[] = "_root.ListShown";           // "1"/"0": restored list panel
inline constexpr char kShown[] = "_root.Shown";                   // "0" while minimised or hidden
inline constexpr char kReplayGainMode[] = "_root.ReplayGainMode"; // "off", "track" or "album"
// The transport buttons' states ("1" enabled, "3" pressed, "4" disabled), by button.
inline constexpr const char* kButtons[] = {"_root.Play", "_root.Pause",    "_root.Stop",
                                           "_root.Next", "_root.Previous", "_root.Repeat"};
// Rows added: "_root.AddedFiles" with its trigger "_root.SetAddedFiles" (SendRows).

// The list as a library. The rows shown (every row, or those found) replace the
// face's list: kRowFields fields a row, escaped and joined as "_root.AddedFiles" is.
inline constexpr char kListRows[] = "_root.ListRows";
inline constexpr char kSetListRows[] = "_root.SetListRows";
// Rows whose fields changed (tags read, queue places): the row as shown, then its fields.
inline constexpr char kListChanges[] = "_root.ListChanges";
inline constexpr char kSetListChanges[] = "_root.SetListChanges";
// A row's fields: path, title (the file name while untagged), artist, album, track
// number, length "mm:ss", place in the play queue ("" when not queued), why it cannot
// be played ("missing"; "" for a row that plays), which dims it.
inline constexpr int kRowFields = 8;
inline constexpr char kListTotal[] = "_root.ListTotal";   // "12 files · 48:05", and what the
                                                          // last add passed over: " · 1 skipped:
                                                          // not audio"
inline constexpr char kPlayingRow[] = "_root.PlayingRow"; // the current row as shown, "-1" for none
inline constexpr char kShuffleMode[] = "_root.Shuffle";   // "off", "tracks" or "albums"
inline constexpr char kSortOrder[] = "_root.SortOrder"; // the order last chosen, as kSort takes it
inline constexpr char kCover[] = "_root.CoverUrl";      // a file: URL of the cover, "" for none

} // namespace velune::player_face
