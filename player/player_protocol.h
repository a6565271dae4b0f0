#pragma once

// What the player's face and its host say to each other. The face sends the
// commands (exact names) with one argument text; the host writes the variables,
// a data variable before its trigger.

namespace velune::player_face {

// Commands of the face, in the order of the window's table.
inline constexpr const char* kCommands[] = {
    "IDC_FS_Close",  "IDC_FS_Minimize",      "IDC_FS_Drag",     "IDC_FS_Play",
    "IDC_FS_Pause",  "IDC_FS_Stop",          "IDC_FS_Previous", "IDC_FS_Next",
    "IDC_FS_Repeat", "IDC_FS_SoundOff",      "IDC_FS_SoundOn",  "IDC_FS_ShowList",
    "IDC_FS_Volume", "IDC_FS_KnobReleased",  "IDC_FS_OpenFile", "IDC_FS_HideList",
    "IDC_FS_Add",    "IDC_FS_SelectedIndex", "IDC_FS_Remove",   "IDC_FS_RemoveAll",
};

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
inline constexpr char kRemoveAll[] = "_root.RemoveAll";           // "1": the face empties its list
// The transport buttons' states ("1" enabled, "3" pressed, "4" disabled), by button.
inline constexpr const char* kButtons[] = {"_root.Play", "_root.Pause",    "_root.Stop",
                                           "_root.Next", "_root.Previous", "_root.Repeat"};
// Rows added: "_root.AddedFiles" with trigger "_root.SetAddedFiles" (updateFlashList).

} // namespace velune::player_face
