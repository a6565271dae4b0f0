#include "folder_walk.h"

#include "publish.h"
#include "system_names.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <set>
#include <sys/stat.h>
#include <system_error>
#include <utility>

namespace velune {

namespace fs = std::filesystem;

bool NaturallyBefore(const std::string& a, const std::string& b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[j]);
        if (std::isdigit(ca) && std::isdigit(cb)) {
            // Whole numbers: fewer significant digits come first, then the digits.
            std::size_t ea = i, eb = j;
            while (ea < a.size() && std::isdigit(static_cast<unsigned char>(a[ea])))
                ++ea;
            while (eb < b.size() && std::isdigit(static_cast<unsigned char>(b[eb])))
                ++eb;
            std::size_t za = i, zb = j;
            while (za + 1 < ea && a[za] == '0')
                ++za;
            while (zb + 1 < eb && b[zb] == '0')
                ++zb;
            if (ea - za != eb - zb)
                return ea - za < eb - zb;
            if (const int order = a.compare(za, ea - za, b, zb, eb - zb); order != 0)
                return order < 0;
            i = ea;
            j = eb;
            continue;
        }
        const int la = std::tolower(ca), lb = std::tolower(cb);
        if (la != lb)
            return la < lb;
        ++i;
        ++j;
    }
    if (a.size() - i != b.size() - j)
        return a.size() - i < b.size() - j;
    return a < b; // the same but for case: a fixed order all the same
}

namespace {

struct Walker {
    FolderWalk result;
    std::set<std::pair<dev_t, ino_t>> seen;
    const std::atomic<bool>* stop = nullptr;

    bool Stopped() const { return stop != nullptr && stop->load(); }

    void Walk(const fs::path& folder, const fs::path& relative) {
        if (Stopped())
            return;
        struct stat info {};
        if (::stat(folder.c_str(), &info) != 0) {
            Skip(folder, QString::fromLocal8Bit(std::strerror(errno)), true);
            return;
        }
        if (!seen.emplace(info.st_dev, info.st_ino).second) {
            Skip(folder, QStringLiteral("a link back to a folder already added"));
            return;
        }
        std::error_code error;
        fs::directory_iterator entries(folder, error);
        if (error) {
            Skip(folder, QString::fromLocal8Bit(error.message().c_str()), true);
            return;
        }
        std::vector<fs::path> files, folders;
        for (auto entry = fs::begin(entries); entry != fs::end(entries); entry.increment(error)) {
            if (error) {
                Skip(folder, QString::fromLocal8Bit(error.message().c_str()), true);
                break;
            }
            if (Stopped())
                return;
            std::error_code kind;
            const fs::file_status status = entry->status(kind);
            if (kind && kind != std::errc::no_such_file_or_directory)
                Skip(entry->path(), QString::fromLocal8Bit(kind.message().c_str()), true);
            else if (fs::is_directory(status))
                folders.push_back(entry->path());
            else if (fs::is_regular_file(status) &&
                     !IsOurTemporary(PathFromSystem(entry->path().filename())))
                files.push_back(entry->path());
        }
        const auto natural = [](const fs::path& a, const fs::path& b) {
            return NaturallyBefore(a.filename().native(), b.filename().native());
        };
        std::sort(files.begin(), files.end(), natural);
        std::sort(folders.begin(), folders.end(), natural);
        for (fs::path& file : files)
            result.files.push_back({std::move(file), relative});
        for (const fs::path& sub : folders)
            Walk(sub, relative / sub.filename());
    }

    void Skip(const fs::path& path, const QString& reason, bool unreadable = false) {
        QString text = Readable(PathFromSystem(path)) + QStringLiteral(": ") + reason;
        if (unreadable)
            result.unreadable.push_back(text);
        result.skipped.push_back(std::move(text));
    }
};

} // namespace

FolderWalk WalkFolder(const fs::path& root, const std::atomic<bool>* stop) {
    Walker walker;
    walker.stop = stop;
    walker.Walk(root, fs::path());
    return std::move(walker.result);
}

} // namespace velune
