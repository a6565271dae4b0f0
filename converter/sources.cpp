#include "sources.h"
#include "system_names.h"

#include <QLoggingCategory>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

Q_DECLARE_LOGGING_CATEGORY(lcConverter)

namespace velune {

namespace {
// A converted file may be shorter or longer than its source by this much (ms).
constexpr qint64 kLengthSlack = 500;
constexpr int kDeleteAttempts = 3;

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

bool SafeToDelete(ConverterEngine& engine, const QueuedSource& item) {
    if (item.outcome != ConverterEngine::ItemState::Converted)
        return false;
    if (!item.identity || IdentityOf(item.source) != item.identity || ReadOnly(item.source))
        return false;
    return ConvertedWhole(LengthsOf(engine), item.source, item.output);
}
} // namespace

bool ConvertedWhole(const LengthOf& lengthOf, const QString& source, const QString& output) {
    if (!IsFile(output))
        return false;
    const auto converted = lengthOf(output);
    const auto original = lengthOf(source);
    return converted && original && std::llabs(*converted - *original) <= kLengthSlack;
}

bool DeleteConvertedSource(ConverterEngine& engine, const QueuedSource& item) {
    if (!SafeToDelete(engine, item))
        return false;
    bool gone = false;
    for (int attempt = 0; attempt < kDeleteAttempts && !gone; ++attempt)
        gone = RemoveFile(item.source);
    if (!gone) {
        qCWarning(lcConverter) << "cannot delete" << item.source;
        return false;
    }
    return true;
}

} // namespace velune
