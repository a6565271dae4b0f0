#include "sources.h"
#include "system_names.h"

#include <QLoggingCategory>
#include <algorithm>
#include <filesystem>
#include <unistd.h>

Q_DECLARE_LOGGING_CATEGORY(lcConverter)

namespace velune {

namespace {

// The user may not change the file: no write permission for anybody, or none for us.
bool ReadOnly(const QString& path) {
    std::error_code error;
    const auto permissions = std::filesystem::status(SystemPath(path), error).permissions();
    if (error)
        return true;
    using std::filesystem::perms;
    const perms write = perms::owner_write | perms::group_write | perms::others_write;
    return (permissions & write) == perms::none ||
           ::access(SystemName(path).constData(), W_OK) != 0;
}

// A cue sheet lies beside the file: it may be the image the sheet stands for, even
// when the sheet names it wrongly or cannot be read.
bool SheetBeside(const QString& path) {
    return std::ranges::any_of(FolderEntries(SystemPath(FolderOf(path))), [](const auto& entry) {
        return PathFromSystem(entry.filename())
            .endsWith(QLatin1String(".cue"), Qt::CaseInsensitive);
    });
}

} // namespace

bool DeleteConvertedSource(const QueuedSource& source) {
    if (source.outcome != ConverterEngine::ItemState::Converted || !source.verified)
        return false;
    if (SheetBeside(source.source)) {
        qCWarning(lcConverter) << "kept" << source.source << "a cue sheet lies beside it";
        return false;
    }
    if (!source.identity || IdentityOf(source.source) != source.identity ||
        ReadOnly(source.source) || !IsFile(source.output))
        return false;
    QString error;
    if (!RemoveDurably(source.source, error) && IsFile(source.source)) {
        qCWarning(lcConverter) << "cannot delete" << source.source << error;
        return false;
    }
    return true;
}

} // namespace velune
