#pragma once

#include <QString>
#include <QStringList>

namespace velune {

class Face;

// The text after the last occurrence of Ch: Fil itself when Ch does not occur,
// "" when Fil ends with it. FileName(path, '/') is a file name, FileName(name, '.')
// an extension.
QString FileName(const QString& Fil, QChar Ch);

// Appends paths to the face's list: joined by "|", each "|" and "\\" inside a path
// escaped with a backslash so that any path arrives whole. Nothing is written for
// no paths.
void SendRows(Face& face, const QStringList& paths);
// The text SendRows writes for these paths.
QString JoinFaceList(const QStringList& paths);

// True when the path is in the list with the same letter case.
bool IsListed(const QStringList& list, const QString& FilName);

} // namespace velune
