// CUE sheets in any encoding: never a crash, tracks or a reason (never both, never neither), and
// the tracks start in order within each file, each in a file the sheet names.
#include "cue_sheet.h"
#include "fuzz_input.h"

using namespace velune;
using namespace velune::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const CueSheet sheet = ParseCueSheet(Input(data, size).Rest());
    Require(sheet.tracks.empty() != sheet.error.isEmpty(), "tracks or a reason", sheet.error);
    for (std::size_t i = 0; i < sheet.tracks.size(); ++i) {
        const CueTrack& track = sheet.tracks[i];
        Require(track.index01 >= 0 && !track.file.isEmpty(), "a track starts in a file");
        if (i > 0 && sheet.tracks[i - 1].file == track.file)
            Require(track.index01 > sheet.tracks[i - 1].index01, "tracks in order");
    }
    return 0;
}
