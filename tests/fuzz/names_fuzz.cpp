// File names as bytes: any byte string comes back from its text exactly, the text
// for the user holds no lone surrogate, and a file: URI of it names it again.
#include "dropped.h"
#include "fuzz_input.h"
#include "system_names.h"

using namespace velune;
using namespace velune::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const QByteArray bytes = Input(data, size).Rest();
    const QString path = PathFromSystem(bytes);
    Require(SystemName(path) == bytes, "bytes -> text -> bytes is the identity");
    Require(Readable(path).isValidUtf16(), "what the user reads has every surrogate paired", path);
    if (bytes.startsWith('/') && !bytes.contains('\0'))
        Require(PathOfFileUri(FileUriOf(path).toLatin1()) == path, "a file: URI names it again",
                path);
    return 0;
}
