// Reading a download: a folder on disk or a ZIP archive, listed file by file, with each file's
// bytes read on demand and checked against the limits of add_sets.h.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive.h"
#include "file_system.h"
#include "paths.h"

namespace skyswap {

// The lower-case extension with its dot: ".zip"; empty when there is none.
std::string ExtensionOf(const std::string& name);
std::string StemOf(const std::string& name);
// How many folders deep a folder relative to the download's top is: 0 for the top itself.
int DepthOf(const std::string& folder);

enum class FileKind { Sky, Picture, Text, Other };

// One file of a download, folder or archive alike.
struct DownloadFile {
    std::string folder;  // relative to the download's top, "" for the top itself
    std::string name;
    std::uint64_t size = 0;
    FileKind kind = FileKind::Other;
    int sky = -1;           // index in SkyFileNames for a sky file
    std::size_t entry = 0;  // the archive entry it comes from

    std::string Relative() const { return JoinPath(folder, name); }
};

// A download that cannot be added at all, or a set of it that cannot: a sentence for the user.
struct Refusal {
    std::string reason;
    bool libraryProtected = false;
};

class Download {
  public:
    virtual ~Download() = default;
    // The whole file; a refusal naming it when it cannot be read.
    virtual std::optional<Refusal> Read(const DownloadFile& file, std::string& bytes) = 0;
    // The same, for a file that is read once: a sky file, which belongs to one set folder only.
    // The caller may hand the same `bytes` from file to file, so that one buffer serves them all.
    virtual std::optional<Refusal> Take(const DownloadFile& file, std::string& bytes) {
        return Read(file, bytes);
    }
    // The first `count` bytes of the file, all of a shorter one, for a comparison that mostly
    // ends there; a refusal naming it when they cannot be read. The default reads it whole.
    virtual std::optional<Refusal> ReadStart(const DownloadFile& file, std::size_t count,
                                             std::string& bytes) {
        std::optional<Refusal> refusal = Read(file, bytes);
        if (bytes.size() > count) {
            bytes.resize(count);
        }
        return refusal;
    }

    std::string name;  // the folder's name, or the archive's without its extension
    std::vector<DownloadFile> files;
};

// Lists a folder on disk down to the deepest folder a set may be in; `download` holds what was
// listed even when a refusal is returned.
std::optional<Refusal> ListFolderDownload(FileSystem& fs, const std::string& path,
                                          std::unique_ptr<Download>& download);

// What the first reading of an archive does with an entry.
enum class EntryUse {
    Check,  // reads and checks it, and drops its bytes: it is unpacked again when it is read
    Keep,   // reads, checks and keeps it
    Later,  // leaves it to be checked when it is read, by a caller that can still undo its work
};
// The use of each entry of a listed archive, by entry index; Check for an entry left out.
using EntryUses = std::function<std::vector<EntryUse>(const Download&)>;

// Lists a ZIP archive (refusing unsafe names, encrypted entries and sizes beyond the limits before
// any byte is unpacked), then reads every entry once as `uses` says, so that a damaged one refuses
// the archive before anything is written.
std::optional<Refusal> ReadArchiveDownload(std::unique_ptr<Archive> archive, std::string name,
                                           const EntryUses& uses,
                                           std::unique_ptr<Download>& download);

}  // namespace skyswap
