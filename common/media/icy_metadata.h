#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <utility>

namespace velune {

// What an internet radio server says beside its audio: its name and genre in the
// reply's headers, and the song it plays now in the metadata it puts into the
// stream ("StreamTitle='Artist - Title';").

// Text as a server sends it: UTF-8 where it is valid UTF-8, else Latin-1 (as
// servers send it for MP3 streams).
QString IcyText(const QByteArray& bytes);

// A header's value in the reply's headers ("icy-name: Radio\r\n..."); "" when absent.
QString IcyHeader(const QByteArray& headers, const char* name);

// The StreamTitle of a metadata packet, trimmed; none when the packet names none.
std::optional<QString> StreamTitleOf(const QByteArray& packet);

// "Artist - Title" as its artist and title; an artist "" when it does not read so.
std::pair<QString, QString> ArtistAndTitle(const QString& streamTitle);

} // namespace velune
