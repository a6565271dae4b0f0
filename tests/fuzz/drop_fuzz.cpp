// The text/uri-list of a drop: only local files come out, each an absolute path
// without a NUL, at most one for each line.
#include "dropped.h"
#include "fuzz_input.h"

#include <QMimeData>

using namespace velune;
using namespace velune::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const QByteArray list = Input(data, size).Rest();
    QMimeData mime;
    mime.setData(QStringLiteral("text/uri-list"), list);
    const QStringList files = DroppedFiles(&mime);
    for (const QString& file : files)
        Require(PlainAbsolute(file), "a dropped file is an absolute path", file);
    Require(files.size() <= list.count('\n') + 1, "at most one file a line");
    return 0;
}
