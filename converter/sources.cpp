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
constexpr qint64 kDurationSlack = 500;
constexpr int kDeleteAttempts = 3;

// The user may not change the file: no write permission for anybody, or none for us.
bool ReadOnly(const QString& path) {
    const QByteArray native = SystemName(path);
    std::error_code error;
    const auto permissions = std::filesystem::status(native.toStdString(), error).permissions();
    if (error)
        return true;
    using std::filesystem::perms;
    const perms write = perms::owner_write | perms::group_write | perms::others_write;
    return (permissions & write) == perms::none || ::access(native.constData(), W_OK) != 0;
}

bool SafeToDelete(ConverterEngine& engine, const QueuedSource& item) {
    if (item.outcome != ConverterEngine::ItemState::Converted || !IsFile(item.output))
        return false;
    if (!item.identity || IdentityOf(item.source) != item.identity || ReadOnly(item.source))
        return false;
    const auto sourceLength = engine.Duration(item.source);
    const auto outputLength = engine.Duration(item.output);
    return sourceLength && outputLength &&
           std::llabs(*sourceLength - *outputLength) <= kDurationSlack;
}
} // namespace

bool DeleteConvertedSource(ConverterEngine& engine, const QueuedSource& item) {
    if (!SafeToDelete(engine, item))
        return false;
    for (int attempt = 0; attempt < kDeleteAttempts && NameTaken(item.source); ++attempt)
        RemoveFile(item.source);
    if (NameTaken(item.source)) {
        qCWarning(lcConverter) << "cannot delete" << item.source;
        return false;
    }
    return true;
}

} // namespace velune
