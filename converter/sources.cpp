#include "sources.h"
#include "system_names.h"

#include <QLoggingCategory>
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

} // namespace

bool DeleteConvertedSource(const QueuedSource& source) {
    if (source.outcome != ConverterEngine::ItemState::Converted || !source.verified)
        return false;
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
