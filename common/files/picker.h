#pragma once

#include <QString>
#include <QStringList>

namespace velune {

class MessageBoxes;

// Dialog filters: description and pattern pairs, every item separated by "|".
extern const QString kConverterFilter;
extern const QString kPlayerFilter;
extern const QString kPlaylistSaveFilter;
// The open-file dialog with multiple selection.
class OpenFileDialog {
public:
    virtual ~OpenFileDialog() = default;
    // The chosen files as full paths; none when the user cancelled. On failure
    // there are none and `error` describes what went wrong. The dialog opens in
    // `startFolder` ("" for the toolkit's choice).
    virtual QStringList Choose(const QString& title, const QString& filter,
                               const QString& startFolder, QString& error) = 0;
    // A name to save a file under, `suggested` offered; "" when the user cancelled.
    // The dialog asks before a file of that name is replaced.
    virtual QString ChooseSave(const QString& title, const QString& filter,
                               const QString& suggested) = 0;
    // The extension of the type chosen in the last save dialog ("pls"); "" for none.
    virtual QString SaveType() const { return {}; }
};

// The filter in Qt's form: "description (pattern pattern);;...". Patterns are
// offered in lower and upper case, since file names on Linux keep their case.
QString QtFilter(const QString& filter);

// Shows the dialog and returns the chosen full paths. A failure is shown in a
// message box and gives no paths.
QStringList PickFiles(OpenFileDialog& dialog, MessageBoxes& messages, const QString& title,
                      const QString& filter, const QString& startFolder = QString());

} // namespace velune
