#pragma once

#include <QStringList>

class QMimeData;

namespace velune {

// The path that a "file:" URI names, by the bytes it percent-encodes (Qt's own URL
// class decodes them as UTF-8 and loses a name in another encoding); "" for any
// other URI, or a file on another machine.
QString PathOfFileUri(const QByteArray& uri);
// A "file://" URI for a path, every byte of its name kept.
QString FileUriOf(const QString& path);

// The local files of a drag and drop, as full paths, in their order (with `streams`,
// http(s) addresses too, as they are); other data is left out.
QStringList DroppedFiles(const QMimeData* data, bool streams = false);

} // namespace velune
