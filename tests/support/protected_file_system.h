// A file system that refuses every change inside one folder for lack of rights, as Windows does
// for a game folder under Program Files, and passes everything else to the real one. Reading is
// allowed there, as it is for a protected folder.
#pragma once

#include <string>

#include "file_system.h"

namespace skyswap::test {

class ProtectedFolderFileSystem final : public FileSystem {
  public:
    ProtectedFolderFileSystem(FileSystem& real, std::string folder)
        : real_(real), folder_(std::move(folder) + "\\") {}

    int pausedMs() const { return pausedMs_; }
    int refusals() const { return refusals_; }

    std::optional<std::string> CurrentFolder() override { return real_.CurrentFolder(); }
    bool CanOpenForReading(const std::string& path) override {
        return real_.CanOpenForReading(path);
    }
    FsStatus ListFolder(const std::string& folder, std::vector<FolderEntry>& entries) override {
        return real_.ListFolder(folder, entries);
    }
    bool IsFolder(const std::string& path) override { return real_.IsFolder(path); }
    bool IsFile(const std::string& path) override { return real_.IsFile(path); }
    FsStatus CreateFolder(const std::string& path) override {
        return Inside(path) ? Refuse() : real_.CreateFolder(path);
    }
    FsStatus RemoveFile(const std::string& path) override {
        return Inside(path) ? Refuse() : real_.RemoveFile(path);
    }
    FsStatus CopyToStaged(const std::string& source, const std::string& staged) override {
        return Inside(staged) ? Refuse() : real_.CopyToStaged(source, staged);
    }
    FsStatus MoveStagedOver(const std::string& staged, const std::string& target) override {
        return Inside(target) ? Refuse() : real_.MoveStagedOver(staged, target);
    }
    FsStatus ReadPrefix(const std::string& path, std::size_t maxBytes,
                        std::string& bytes) override {
        return real_.ReadPrefix(path, maxBytes, bytes);
    }
    FsStatus FileSize(const std::string& path, std::uint64_t& size) override {
        return real_.FileSize(path, size);
    }
    FsStatus ReadAt(const std::string& path, std::uint64_t offset, std::size_t maxBytes,
                    std::string& bytes) override {
        return real_.ReadAt(path, offset, maxBytes, bytes);
    }
    FsStatus WriteFlushed(const std::string& path, const std::string& bytes) override {
        return Inside(path) ? Refuse() : real_.WriteFlushed(path, bytes);
    }
    FsStatus RenameFolder(const std::string& from, const std::string& to) override {
        return Inside(to) ? Refuse() : real_.RenameFolder(from, to);
    }
    FsStatus RemoveFolder(const std::string& path) override {
        return Inside(path) ? Refuse() : real_.RemoveFolder(path);
    }
    void Pause(int milliseconds) override { pausedMs_ += milliseconds; }

  private:
    // Directly in the folder, not in a sub-folder: the library below the game folder is the
    // user's to change only when it lies elsewhere, which the tests choose.
    bool Inside(const std::string& path) const {
        return path.size() > folder_.size() && path.compare(0, folder_.size(), folder_) == 0 &&
               path.find('\\', folder_.size()) == std::string::npos;
    }
    FsStatus Refuse() {
        ++refusals_;
        return {FsError::AccessDenied, "Access is denied."};
    }

    FileSystem& real_;
    std::string folder_;
    int pausedMs_ = 0;
    int refusals_ = 0;
};

}  // namespace skyswap::test
