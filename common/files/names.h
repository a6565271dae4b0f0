#pragma once

#include <QString>
#include <QStringList>

namespace velune {

class Face;

// The text after the last occurrence of Ch: Fil itself when Ch does not occur,
// "" when Fil ends with it. FileNam(path, '/') is a file name, FileNam(name, '.')
// an extension.
QString FileNam(const QString& Fil, QChar Ch);

// Appends "|"-joined paths to the face's list; nothing is written for "".
void updateFlashList(Face& face, const QString& tmp);

// True when the path is in the list with the same letter case.
bool Existfile(const QStringList& list, const QString& FilName);

} // namespace velune
