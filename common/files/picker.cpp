#include "picker.h"

#include "messages.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <limits>

namespace velune {

// Anything FFmpeg decodes as audio converts; these are the usual kinds.
const QString kConverterFilter =
    QStringLiteral("All Supported files "
                   "(*.wav;*.ogg;*.mp3;*.flac;*.m4a;*.aac;*.opus;*.wma;*.aiff;*.aif;*.ape;*.wv;)|"
                   "*.wav;*.ogg;*.mp3;*.flac;*.m4a;*.aac;*.opus;*.wma;*.aiff;*.aif;*.ape;*.wv;"
                   "| WAV files (*.wav)|*.wav|"
                   "OGG Vorbis files (*.ogg)|*.ogg|"
                   "Mp3 files(*.mp3)|*.mp3|"
                   "FLAC files (*.flac)|*.flac|"
                   "AAC files (*.m4a;*.aac)|*.m4a;*.aac|"
                   "Opus files (*.opus)|*.opus|"
                   "WMA files (*.wma)|*.wma|"
                   "AIFF files (*.aiff;*.aif)|*.aiff;*.aif|"
                   "Monkey's Audio files (*.ape)|*.ape|"
                   "WavPack files (*.wv)|*.wv");

const QString kPlayerFilter =
    QStringLiteral("All Supported files (*.wav;*.ogg;*.wma;*.mp3;*.ram;*.rm;*.m3u;*.m3u8;*.pls)|"
                   "*.wav;*.ogg;*.wma;*.mp3;*.ram;*.rm;*.m3u;*.m3u8;*.pls"
                   "| WAV files (*.wav)|*.wav|"
                   "OGG Vorbis files (*.ogg)|*.ogg|"
                   "WMA  files (*.wma)|*.wma|"
                   "RAM  files (*.ram;*.rm)|*.ram;*.rm|"
                   "Mp3 files(*.mp3)|*.mp3|"
                   "Playlists (*.m3u;*.m3u8;*.pls)|*.m3u;*.m3u8;*.pls");

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

QString ResultText(const QStringList& paths) {
    if (paths.isEmpty())
        return {};
    if (paths.size() == 1)
        return paths.front();
    const QString folder = QFileInfo(paths.front()).absolutePath();
    QString text = folder;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        // The result text holds one folder; the dialog never mixes folders.
        if (info.absolutePath() != folder)
            return {};
        text += QChar(u'\0') + info.fileName();
    }
    return text;
}

QString QtOpenFileDialog::ShowOpen(const QString& title, const QString& filter, QString& error) {
    const QStringList paths =
        QFileDialog::getOpenFileNames(owner_, title, QString(), QtFilter(filter));
    QString text = ResultText(paths);
    if (!paths.isEmpty() && text.isEmpty()) {
        error = QStringLiteral("The chosen files are not in one folder.");
        return {};
    }
    if (text.size() > kMaxFileSize) {
        error = QStringLiteral("Too many files were chosen at once: their names do not fit "
                               "into %1 characters. Choose fewer files.")
                    .arg(kMaxFileSize);
        return {};
    }
    return text;
}

QStringList ShowDialog(OpenFileDialog& dialog, MessageBoxes& messages, const QString& Title,
                       const QString& filter) {
    QString error;
    const QString fileName = dialog.ShowOpen(Title, filter, error);
    if (!error.isEmpty()) {
        messages.Show(error);
        return {};
    }
    if (fileName.isEmpty())
        return {};
    return GetArrayOfFilenames(fileName);
}

QStringList GetArrayOfFilenames(const QString& sFilenames) {
    const QStringList parts = sFilenames.split(QChar(u'\0'));
    if (parts.size() == 1)
        return {QString(), parts.front()};
    const QString& folder = parts.front();
    const QString joint = folder.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/");
    QStringList paths;
    for (qsizetype i = 1; i < parts.size(); ++i)
        paths << folder + joint + parts[i];
    return paths;
}

std::int16_t GetArrayDim(const QStringList& pTab) {
    const qsizetype highest = pTab.size() - 1;
    if (highest < 0 || highest > std::numeric_limits<std::int16_t>::max())
        return 0;
    return static_cast<std::int16_t>(highest);
}

} // namespace velune
