#include "dropped.h"

#include "system_names.h"

#include <QMimeData>
#include <QSysInfo>

namespace velune {

QString PathOfFileUri(const QByteArray& uri) {
    QByteArray rest = uri;
    if (!rest.startsWith("file:"))
        return {};
    rest.remove(0, 5);
    if (rest.startsWith("//")) {
        // An authority: empty or this machine's name, then the path.
        const qsizetype slash = rest.indexOf('/', 2);
        if (slash < 0)
            return {};
        const QByteArray host = rest.mid(2, slash - 2);
        if (!host.isEmpty() && host != "localhost" &&
            QString::fromLatin1(host) != QSysInfo::machineHostName())
            return {};
        rest.remove(0, slash);
    }
    // Only a whole path names a file; and a NUL ends a name where the system reads it.
    const QByteArray path = QByteArray::fromPercentEncoding(rest);
    return path.startsWith('/') && !path.contains('\0') ? PathFromSystem(path) : QString();
}

QString FileUriOf(const QString& path) {
    return QStringLiteral("file://") + QString::fromLatin1(SystemName(path).toPercentEncoding("/"));
}

QStringList DroppedFiles(const QMimeData* data, bool streams) {
    QStringList files;
    if (!data || !data->hasUrls())
        return files;
    // The URI list's own bytes (what hasUrls() looks for), one URI a line, "#" for comments.
    for (const QByteArray& line : data->data(QStringLiteral("text/uri-list")).split('\n')) {
        const QByteArray uri = line.trimmed();
        if (uri.isEmpty() || uri.startsWith('#'))
            continue;
        if (const QString path = PathOfFileUri(uri); !path.isEmpty())
            files << path;
        else if (streams && IsStreamAddress(QString::fromUtf8(uri)))
            files << QString::fromUtf8(uri);
    }
    return files;
}

} // namespace velune
