#pragma once

#include <QString>
#include <atomic>
#include <filesystem>
#include <vector>

namespace velune {

// A file found below a folder that was added: its path as the system's bytes, and
// the folder it lies in relative to the added folder ("" directly in it).
struct FoundFile {
    std::filesystem::path path;
    std::filesystem::path relativeFolder;
};

struct FolderWalk {
    std::vector<FoundFile> files;
    // What was passed over, each as "folder: reason", in words for the user.
    std::vector<QString> skipped;
    // Those of them that could not be read (not a link back), and entries whose kind
    // could not be told, each as "path: the system's reason".
    std::vector<QString> unreadable;
};

// Every regular file below `root`, recursively: in each folder its files in natural
// order ("2" before "10"), then its subfolders in that order. A link back to a
// folder already walked is not followed again; a folder that cannot be read is
// skipped with the system's reason. Our own hidden temporary files (a run that was
// killed) are passed over. Names are kept as bytes, whatever their encoding. Once
// `stop` is set the walk ends at its next entry, with what it found so far.
FolderWalk WalkFolder(const std::filesystem::path& root, const std::atomic<bool>* stop = nullptr);

// Natural order of two names: runs of digits compare as numbers.
bool NaturallyBefore(const std::string& a, const std::string& b);

} // namespace velune
