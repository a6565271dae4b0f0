#include "names.h"

#include "system_names.h"

#include "face.h"

namespace velune {

QString FileName(const QString& Fil, QChar Ch) {
    const qsizetype last = Fil.lastIndexOf(Ch);
    return last < 0 ? Fil : Fil.mid(last + 1);
}

QString JoinFaceList(const QStringList& paths) {
    QStringList escaped;
    for (QString path : paths)
        escaped << path.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
                       .replace(QLatin1Char('|'), QLatin1String("\\|"));
    return escaped.join(QLatin1Char('|'));
}

void SendRows(Face& face, const QStringList& paths) {
    if (paths.isEmpty())
        return;
    // The face shows the rows: a name that is not UTF-8 is shown readable.
    QStringList shown;
    for (const QString& path : paths)
        shown << Readable(path);
    SetWithTrigger(face, QStringLiteral("_root.AddedFiles"), JoinFaceList(shown),
                   QStringLiteral("_root.SetAddedFiles"));
}

bool IsListed(const QStringList& list, const QString& FilName) {
    return list.contains(FilName, Qt::CaseSensitive);
}

} // namespace velune
