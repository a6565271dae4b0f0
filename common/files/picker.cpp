#include "picker.h"

#include "messages.h"

namespace velune {

// Anything FFmpeg decodes as audio converts; these are the usual kinds.
const QString kConverterFilter = QStringLiteral(
    "All Supported files "
    "(*.wav;*.ogg;*.mp3;*.flac;*.m4a;*.aac;*.opus;*.wma;*.aiff;*.aif;*.ape;*.wv;*.cue;)|"
    "*.wav;*.ogg;*.mp3;*.flac;*.m4a;*.aac;*.opus;*.wma;*.aiff;*.aif;*.ape;*.wv;*.cue;"
    "| WAV files (*.wav)|*.wav|"
    "OGG Vorbis files (*.ogg)|*.ogg|"
    "Mp3 files(*.mp3)|*.mp3|"
    "FLAC files (*.flac)|*.flac|"
    "AAC files (*.m4a;*.aac)|*.m4a;*.aac|"
    "Opus files (*.opus)|*.opus|"
    "WMA files (*.wma)|*.wma|"
    "AIFF files (*.aiff;*.aif)|*.aiff;*.aif|"
    "Monkey's Audio files (*.ape)|*.ape|"
    "WavPack files (*.wv)|*.wv|"
    "CUE sheets (*.cue)|*.cue");

const QString kPlayerFilter =
    QStringLiteral("All Supported files (*.wav;*.ogg;*.wma;*.mp3;*.ram;*.rm;*.flac;*.m4a;*.aac;"
                   "*.opus;*.aiff;*.aif;*.ape;*.wv;*.m3u;*.m3u8;*.pls;*.xspf)|"
                   "*.wav;*.ogg;*.wma;*.mp3;*.ram;*.rm;*.flac;*.m4a;*.aac;*.opus;*.aiff;*.aif;"
                   "*.ape;*.wv;*.m3u;*.m3u8;*.pls;*.xspf"
                   "| WAV files (*.wav)|*.wav|"
                   "OGG Vorbis files (*.ogg)|*.ogg|"
                   "WMA  files (*.wma)|*.wma|"
                   "RAM  files (*.ram;*.rm)|*.ram;*.rm|"
                   "Mp3 files(*.mp3)|*.mp3|"
                   "FLAC files (*.flac)|*.flac|"
                   "AAC files (*.m4a;*.aac)|*.m4a;*.aac|"
                   "Opus files (*.opus)|*.opus|"
                   "AIFF files (*.aiff;*.aif)|*.aiff;*.aif|"
                   "Monkey's Audio files (*.ape)|*.ape|"
                   "WavPack files (*.wv)|*.wv|"
                   "Playlists (*.m3u;*.m3u8;*.pls;*.xspf)|*.m3u;*.m3u8;*.pls;*.xspf");

const QString kPlaylistSaveFilter =
    QStringLiteral("M3U8 playlist (*.m3u8)|*.m3u8|PLS playlist (*.pls)|*.pls|"
                   "XSPF playlist (*.xspf)|*.xspf");

QString QtFilter(const QString& filter) {
    const QStringList items = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < items.size(); i += 2) {
        QString description = items[i].trimmed();
        const qsizetype open = description.lastIndexOf(QLatin1Char('('));
        if (open > 0)
            description = description.left(open).trimmed();
        QStringList patterns;
        for (const QString& pattern : items[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            patterns << pattern.toLower();
            if (pattern.toUpper() != pattern.toLower())
                patterns << pattern.toUpper();
        }
        entries << description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                       QLatin1Char(')');
    }
    return entries.join(QStringLiteral(";;"));
}

QStringList PickFiles(OpenFileDialog& dialog, MessageBoxes& messages, const QString& title,
                      const QString& filter, const QString& startFolder) {
    QString error;
    QStringList paths = dialog.Choose(title, filter, startFolder, error);
    if (!error.isEmpty()) {
        messages.Show(error);
        return {};
    }
    return paths;
}

} // namespace velune
