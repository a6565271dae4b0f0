#pragma once

#include "cue_sheet.h"
#include "sources.h"

#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace velune {

// How a run names its outputs.
struct OutputRules {
    QString outputFolder; // "" = beside each source
    QString extension;    // the target format's name ("alac" is written as "m4a")
    QString pattern;      // names from tags, e.g. "{artist}/{album}/{track:02} {title}"; "" none
    bool skipExisting = false;
};

// A source of the run and its folder below the folder it was added with ("" none).
struct PlannedSource {
    QString path;
    QString subfolder;
    std::optional<SheetTrack> track = std::nullopt; // a track of a CD image, `path` its audio
};

// What becomes of one source.
struct PlannedOutput {
    enum class Kind {
        Convert, // into `output`
        Skip,    // its output is there already, complete
        Missing, // the source is no file (any more)
        Failed,  // `reason` says why
    };
    Kind kind = Kind::Convert;
    QString output;
    QString reason;
    // What the user is told beside it: an earlier output that is incomplete.
    QString note = QString();
};

// Decides, in the sources' order, each one's output: below the output folder in its
// subfolder, or named by the pattern from its tags; never an existing name nor one
// given to an earlier source; folders made as needed. With skipExisting, a source
// that an earlier run converted whole, under its name or a numbered one, is
// skipped; an incomplete earlier output is kept and named in the note. Reads tags
// and files: call it away from the window.
std::vector<PlannedOutput> PlanOutputs(const std::vector<PlannedSource>& sources,
                                       const OutputRules& rules, const EarlierOutputCheck& whole);

} // namespace velune
