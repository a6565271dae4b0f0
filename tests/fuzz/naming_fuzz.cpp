// Naming patterns and tags as users type and files carry them: an accepted pattern gives a relative
// path below the output folder, with no "..", no empty part, no NUL, every part within a name's
// limit.
#include "fuzz_input.h"
#include "output_names.h"
#include "system_names.h"

using namespace velune;
using namespace velune::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    Input input(data, size);
    const QString pattern = QString::fromUtf8(input.Piece());
    NamingTags tags;
    for (QString* tag : {&tags.artist, &tags.albumArtist, &tags.album, &tags.title, &tags.track,
                         &tags.disc, &tags.year, &tags.genre})
        *tag = PathFromSystem(input.Piece());
    const QString source = u"/music/"_s + PathFromSystem(input.Piece()) + u".flac"_s;
    if (!PatternProblem(pattern).isEmpty())
        return 0;
    const QString relative = PatternPath(pattern, tags, source, PathFromSystem(input.Piece()));
    Require(!relative.isEmpty() && !relative.startsWith(u'/'), "relative", relative);
    for (const QString& part : relative.split(u'/')) {
        Require(!part.isEmpty(), "no empty part", relative);
        Require(part != u".."_s && part != u"."_s, "no dot part", relative);
        Require(!part.contains(QChar(0)), "no NUL", relative);
        Require(SystemName(part).size() <= 255, "each part within a name's limit", part);
    }
    const QString output = PlainPatternOutputPath(u"/out"_s, relative, u"mp3"_s);
    Require(output.startsWith(u"/out/"_s), "below the output folder", output);
    Require(SystemName(output.section(u'/', -1)).size() <= 255,
            "the file's name, with its extension, within a name's limit", output);
    return 0;
}
