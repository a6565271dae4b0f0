// File names as bytes: any byte string comes back from its text exactly, the text
// for the user holds no lone surrogate, and a file: URI of it names it again.
#include "dropped.h"
#include "fuzz_input.h"
#include "system_names.h"

using namespace velune;
using namespace velune::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    Input input(data, size);
    const QByteArray bytes = input.Rest();
    const QString path = PathFromSystem(bytes);
    Require(SystemName(path) == bytes, "bytes -> text -> bytes is the identity");
    // What the user reads is text: every surrogate in a pair.
    const QString readable = Readable(path);
    for (qsizetype i = 0; i < readable.size(); ++i) {
        const QChar c = readable[i];
        if (c.isHighSurrogate()) {
            Require(i + 1 < readable.size() && readable[i + 1].isLowSurrogate(), "readable", path);
            ++i;
        } else {
            Require(!c.isLowSurrogate(), "readable", path);
        }
    }
    if (bytes.startsWith('/') && !bytes.contains('\0'))
        Require(PathOfFileUri(FileUriOf(path).toLatin1()) == path, "a file: URI names it again",
                path);
    return 0;
}
