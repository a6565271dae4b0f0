#include "names.h"

#include "face.h"

namespace velune {

QString FileNam(const QString& Fil, QChar Ch) {
    const qsizetype last = Fil.lastIndexOf(Ch);
    return last < 0 ? Fil : Fil.mid(last + 1);
}

void updateFlashList(Face& face, const QString& tmp) {
    if (tmp.isEmpty())
        return;
    SetWithTrigger(face, QStringLiteral("_root.AddedFiles"), tmp,
                   QStringLiteral("_root.SetAddedFiles"));
}

bool Existfile(const QStringList& list, const QString& FilName) {
    return list.contains(FilName, Qt::CaseSensitive);
}

} // namespace velune
