#pragma once

#include <QStringList>

class QMimeData;

namespace velune {

// The local files of a drag and drop, as full paths, in their order; other data is left out.
QStringList DroppedFiles(const QMimeData* data);

} // namespace velune
