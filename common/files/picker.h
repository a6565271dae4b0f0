#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

class QWidget;

namespace velune {

class MessageBoxes;

// Dialog filters: description and pattern pairs, every item separated by "|".
extern const QString kConverterFilter;
extern const QString kPlayerFilter;
// The dialog's result text may not be longer than this.
inline constexpr int kMaxFileSize = 20000;

// The open-file dialog with multiple selection.
class OpenFileDialog {
public:
    virtual ~OpenFileDialog() = default;
    // Returns the result text: "" when nothing was chosen; one full path; or the
    // folder, then each file name, separated by NUL characters. On failure the
    // result is "" and `error` describes what went wrong.
    virtual QString ShowOpen(const QString& title, const QString& filter, QString& error) = 0;
};

class QtOpenFileDialog : public OpenFileDialog {
public:
    explicit QtOpenFileDialog(QWidget* owner = nullptr) : owner_(owner) {}
    QString ShowOpen(const QString& title, const QString& filter, QString& error) override;
    void SetOwner(QWidget* owner) { owner_ = owner; }

private:
    QWidget* owner_;
};

// The filter in Qt's form: "description (pattern pattern);;...". Patterns are
// offered in lower and upper case, since file names on Linux keep their case.
QString QtFilter(const QString& filter);
// The dialog's result text for a set of chosen full paths.
QString ResultText(const QStringList& paths);

// Shows the dialog and returns the chosen full paths (see GetArrayOfFilenames).
// A failure is shown in a message box and gives no paths.
QStringList ShowDialog(OpenFileDialog& dialog, MessageBoxes& messages, const QString& Title,
                       const QString& filter);
// One path gives two entries, "" and the path; several give folder + "/" + name each.
QStringList GetArrayOfFilenames(const QString& sFilenames);
// The highest index of the list, 0 when it has no entries.
std::int16_t GetArrayDim(const QStringList& pTab);

} // namespace velune
