#include "system_names.h"

#include <QDir>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace velune {

namespace fs = std::filesystem;

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

// The length of the valid UTF-8 sequence at `at`, 0 when none starts there.
int Utf8SequenceAt(const QByteArray& bytes, qsizetype at, char32_t& code) {
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    int length = 0;
    char32_t lowest = 0;
    if (lead < 0x80) {
        code = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1F, lowest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0F, lowest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07, lowest = 0x10000;
    } else {
        return 0;
    }
    if (at + length > bytes.size())
        return 0;
    for (int i = 1; i < length; ++i) {
        const unsigned char next = byte(at + i);
        if ((next & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (next & 0x3F);
    }
    // Overlong forms, UTF-16 surrogates and code points beyond Unicode are not UTF-8.
    if (code < lowest || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
        return 0;
    return length;
}

void AppendUtf8(QByteArray& out, char32_t code) {
    if (code < 0x80) {
        out.append(static_cast<char>(code));
    } else if (code < 0x800) {
        out.append(static_cast<char>(0xC0 | (code >> 6)));
        out.append(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.append(static_cast<char>(0xE0 | (code >> 12)));
        out.append(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.append(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.append(static_cast<char>(0xF0 | (code >> 18)));
        out.append(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.append(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.append(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

bool IsEscapedByte(char16_t unit) {
    return unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF;
}

} // namespace

QString PathFromSystem(const QByteArray& bytes) {
    QString path;
    path.reserve(bytes.size());
    for (qsizetype at = 0; at < bytes.size();) {
        char32_t code = 0;
        if (const int length = Utf8SequenceAt(bytes, at, code); length > 0) {
            // Each character as it is: fromUcs4() would take a U+FEFF for a byte order
            // mark and drop it, and the name would lose three bytes.
            if (code < 0x10000) {
                path.append(QChar(static_cast<char16_t>(code)));
            } else {
                path.append(QChar(QChar::highSurrogate(code)));
                path.append(QChar(QChar::lowSurrogate(code)));
            }
            at += length;
        } else {
            path.append(
                QChar(static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(bytes[at]))));
            ++at;
        }
    }
    return path;
}

QString PathFromSystem(const fs::path& path) {
    return PathFromSystem(QByteArray::fromStdString(path.native()));
}

QByteArray SystemName(const QString& path) {
    QByteArray bytes;
    bytes.reserve(path.size());
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t unit = path[i].unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < path.size() &&
            QChar::isLowSurrogate(path[i + 1].unicode())) {
            AppendUtf8(bytes, QChar::surrogateToUcs4(unit, path[i + 1].unicode()));
            ++i;
        } else if (IsEscapedByte(unit)) {
            bytes.append(static_cast<char>(unit - kEscapeBase));
        } else if (QChar::isSurrogate(unit)) {
            AppendUtf8(bytes, QChar::ReplacementCharacter);
        } else {
            AppendUtf8(bytes, unit);
        }
    }
    return bytes;
}

fs::path SystemPath(const QString& path) {
    return fs::path(SystemName(path).toStdString());
}

QString Readable(const QString& path) {
    QString text = path;
    for (qsizetype i = 0; i < text.size(); ++i) {
        // A character beyond the first plane is a pair, whatever its second half.
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (IsEscapedByte(text[i].unicode()))
            text[i] = QChar(QChar::ReplacementCharacter);
    }
    return text;
}

QString AbsolutePath(const QString& path) {
    if (path.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(path);
    // The working folder itself may have any bytes in its name.
    std::error_code error;
    const fs::path here = fs::current_path(error);
    return QDir::cleanPath(PathFromSystem(here) + QLatin1Char('/') + path);
}

QString ResolvedPath(const QString& path) {
    if (path.isEmpty())
        return path;
    std::error_code error;
    fs::path system = SystemPath(path);
    if (system.is_relative())
        system = fs::current_path(error) / system;
    // A name ending in "/", "." or "..": a folder, resolved whole.
    const fs::path name = system.filename();
    if (name.empty() || name == "." || name == "..") {
        const fs::path whole = fs::weakly_canonical(system, error);
        return error ? path : PathFromSystem(whole);
    }
    const fs::path folder = fs::weakly_canonical(system.parent_path(), error);
    return error ? path : PathFromSystem(folder / name);
}

QString ReadProblem(const QString& path) {
    const int fd = ::open(SystemName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    ::close(fd);
    return {};
}

QString FolderOf(const QString& path) {
    const QString absolute = AbsolutePath(path);
    const qsizetype slash = absolute.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : absolute.left(slash);
}

bool IsStreamAddress(const QString& location) {
    // An address holds no blanks or control characters: a name that does is no address.
    return (location.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
            location.startsWith(QLatin1String("https://"), Qt::CaseInsensitive)) &&
           std::ranges::none_of(location,
                                [](QChar c) { return c.unicode() <= 0x20 || c == u'\x7f'; });
}

bool IsFile(const QString& path) {
    std::error_code error;
    return fs::is_regular_file(SystemPath(path), error);
}

bool IsFolder(const QString& path) {
    std::error_code error;
    return fs::is_directory(SystemPath(path), error);
}

bool IsReadableFile(const QString& path) {
    if (!IsFile(path))
        return false;
    const int fd = ::open(SystemName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

bool NameTaken(const QString& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(SystemPath(path), error));
}

qint64 FileSize(const QString& path) {
    std::error_code error;
    const auto size = fs::file_size(SystemPath(path), error);
    return error ? -1 : static_cast<qint64>(size);
}

bool RemoveFile(const QString& path) {
    std::error_code error;
    fs::remove(SystemPath(path), error);
    return !NameTaken(path);
}

std::vector<fs::path> FolderEntries(const fs::path& folder) {
    std::vector<fs::path> entries;
    std::error_code error;
    for (fs::directory_iterator it(folder, error); !error && it != fs::directory_iterator();
         it.increment(error))
        entries.push_back(it->path());
    return entries;
}

bool MakeFolders(const QString& path) {
    // Made one by one from the first missing one down, each synced into its parent:
    // a file published below them must not lose its folders to a power cut.
    const fs::path target = SystemPath(path);
    std::vector<fs::path> missing;
    std::error_code error;
    for (fs::path at = target; !at.empty() && !fs::exists(at, error); at = at.parent_path()) {
        missing.push_back(at);
        if (at == at.parent_path())
            break;
    }
    std::reverse(missing.begin(), missing.end()); // from the outermost one in
    for (const fs::path& folder : missing) {
        if (!fs::create_directory(folder, error) && !fs::is_directory(folder, error))
            return false;
        const int fd = ::open(folder.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
    }
    return IsFolder(path);
}

} // namespace velune
