#pragma once

// What the converter's faces and their hosts say to each other. A face sends the
// commands (exact names) with one argument text ("undefined" for none); the host
// writes the variables, a data variable before its trigger.

namespace velune {

// The main window (VeluneC.qml).
namespace converter_face {
inline constexpr char kClose[] = "IDC_FS_Close";
inline constexpr char kMinimize[] = "IDC_FS_Minimize";
inline constexpr char kAdd[] = "IDC_FS_Add";
inline constexpr char kAddFolder[] = "IDC_FS_AddFolder"; // every audio file below a folder
inline constexpr char kRemove[] = "IDC_FS_Remove";       // args: the row it removed, or "undefined"
inline constexpr char kRemoveAll[] = "IDC_FS_RemoveAll";
inline constexpr char kDrag[] = "IDC_FS_Drag";
inline constexpr char kBrowse[] = "IDC_FS_Browse";
inline constexpr char kConvertTo[] = "IDC_FS_ConvertTo";   // args: a format of kFillCombo
inline constexpr char kQuality[] = "IDC_FS_Quality";       // args: a quality of kFillQuality
inline constexpr char kReplayGain[] = "IDC_FS_ReplayGain"; // args: "on" or "off"
// args: a naming pattern such as "{artist}/{album}/{track:02} {title}"; "" for names
// after the sources
inline constexpr char kPattern[] = "IDC_FS_Pattern";
inline constexpr char kSkipExisting[] = "IDC_FS_SkipExisting"; // args: "on" or "off"
// The output's shape and how it is made; the host answers with the variables below.
inline constexpr char kRate[] = "IDC_FS_Rate";                   // args: "source", "44100", "48000"
inline constexpr char kChannels[] = "IDC_FS_Channels";           // args: "source", "stereo", "mono"
inline constexpr char kBits[] = "IDC_FS_Bits";                   // args: "auto", "16", "24"
inline constexpr char kCopySame[] = "IDC_FS_CopySame";           // args: "on" or "off"
inline constexpr char kKeepTimes[] = "IDC_FS_KeepTimes";         // args: "on" or "off"
inline constexpr char kAcceptDamaged[] = "IDC_FS_AcceptDamaged"; // args: "on" or "off"
inline constexpr char kId3v23[] = "IDC_FS_Id3v23";               // args: "on" or "off"
inline constexpr char kTruePeak[] = "IDC_FS_TruePeak";           // args: "on" or "off"
inline constexpr char kPreventClipping[] = "IDC_FS_PreventClipping"; // args: "on" or "off"
inline constexpr char kConvert[] = "IDC_FS_Convert";
inline constexpr char kHelp[] = "IDC_FS_Help";
inline constexpr char kSameDirectory[] = "IDC_FS_SameDirectory";
inline constexpr char kSelected[] = "IDC_FS_Selected";     // delete the sources
inline constexpr char kUnSelected[] = "IDC_FS_UnSelected"; // keep them
inline constexpr char kAbout[] = "IDC_FS_About";
inline constexpr char kPlayer[] = "IDC_FS_Player";

inline constexpr char kFillCombo[] =
    "_root.FillCombo"; // "wav|mp3|ogg|flac|opus|m4a|alac"; trigger kSetCombo
inline constexpr char kSetCombo[] = "_root.SetCombo";
inline constexpr char kFormat[] = "_root.Format"; // the format chosen, when the host restores it
// The qualities the chosen format takes ("" for none) and the one chosen; trigger kSetQuality.
inline constexpr char kFillQuality[] = "_root.FillQuality"; // "128|192|256|320|v0|v2|v4"
inline constexpr char kQualityValue[] = "_root.QualityValue";
inline constexpr char kSetQuality[] = "_root.SetQuality";
inline constexpr char kReplayGainOn[] = "_root.ReplayGain"; // "1"/"0": ReplayGain tags written
// The naming patterns offered, "|" between them, the first "" (names after the
// sources); trigger kSetPatterns.
inline constexpr char kFillPatterns[] = "_root.FillPatterns";
inline constexpr char kSetPatterns[] = "_root.SetPatterns";
inline constexpr char kPatternText[] = "_root.Pattern";         // the pattern in force, "" for none
inline constexpr char kSkipExistingOn[] = "_root.SkipExisting"; // "1"/"0"
inline constexpr char kRateValue[] = "_root.Rate";              // as kRate takes it
inline constexpr char kChannelsValue[] = "_root.Channels";      // as kChannels takes it
inline constexpr char kBitsValue[] = "_root.Bits";              // as kBits takes it
inline constexpr char kCopySameOn[] = "_root.CopySame";         // "1"/"0"
inline constexpr char kKeepTimesOn[] = "_root.KeepTimes";       // "1"/"0"
inline constexpr char kAcceptDamagedOn[] = "_root.AcceptDamaged";     // "1"/"0"
inline constexpr char kId3v23On[] = "_root.Id3v23";                   // "1"/"0"
inline constexpr char kTruePeakOn[] = "_root.TruePeak";               // "1"/"0"
inline constexpr char kPreventClippingOn[] = "_root.PreventClipping"; // "1"/"0"
inline constexpr char kVersionNo[] = "_root.VersionNo";
inline constexpr char kBrowsePath[] = "_root.BrowsePath"; // trigger kSetBrowsePath
inline constexpr char kSetBrowsePath[] = "_root.SetBrowsePath";
inline constexpr char kClearList[] = "_root.RemoveAll"; // "1": the face empties its list
// What the last add passed over, shown on the list's header line: "3 skipped: not audio",
// "" for nothing.
inline constexpr char kListStatus[] = "_root.ListStatus";
// Rows added: "_root.AddedFiles" with its trigger "_root.SetAddedFiles" (SendRows).
} // namespace converter_face

// The conversion window (VeluneC1.qml): every command but kDrag closes it.
namespace conversion_face {
inline constexpr char kDrag[] = "IDC_FS_Drag";
inline constexpr char kOK[] = "IDC_FS_OK";
inline constexpr char kCancel[] = "IDC_FS_Cancel";
inline constexpr char kClose[] = "IDC_FS_Close";
inline constexpr char kMinimize[] = "IDC_FS_Minimize";

inline constexpr char kFileTxt[] = "_root.FileTxt"; // the source's path; trigger kSetFileTxt
inline constexpr char kSetFileTxt[] = "_root.SetFileTxt";
inline constexpr char kProgressValue[] =
    "_root.ProgressValue"; // "0" to "100"; trigger kSetProgress
inline constexpr char kSetProgress[] = "_root.SetProgress";
inline constexpr char kArrowPlay[] = "_root.ArrowPlay"; // "1" while converting
inline constexpr char kShowOkbtn[] = "_root.ShowOkbtn"; // "1" at completion
} // namespace conversion_face

} // namespace velune
