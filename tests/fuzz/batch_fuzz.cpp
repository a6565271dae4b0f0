// The batch mode's arguments: each list is taken (options), or asks for help or the
// version, or is refused with a reason; never two of these, never none.
#include "batch.h"
#include "fuzz_input.h"
#include "system_names.h"

using namespace velune;
using namespace velune::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    Input input(data, size);
    QStringList arguments;
    while (!input.empty() && arguments.size() < 64)
        arguments << PathFromSystem(input.Piece());
    const BatchArguments parsed = ParseBatchArguments(arguments);
    const int outcomes = int(parsed.options.has_value()) + int(parsed.help) + int(parsed.version) +
                         int(!parsed.error.isEmpty());
    Require(outcomes == 1, "one outcome", arguments.join(u' '));
    if (parsed.options)
        Require(!parsed.options->files.isEmpty(), "something to convert");
    return 0;
}
