// The file system on Windows, on the W functions with absolute wide-character paths. It holds no
// state, so one object may serve the window's thread and a worker thread at once.
#pragma once

#include "file_system.h"

namespace skyswap {

class WindowsFileSystem final : public FileSystem {
  public:
    std::optional<std::string> CurrentFolder() override;
    bool CanOpenForReading(const std::string& path) override;
    FsStatus ListFolder(const std::string& folder, std::vector<FolderEntry>& entries) override;
    bool IsFolder(const std::string& path) override;
    bool IsFile(const std::string& path) override;
    FsStatus CreateFolder(const std::string& path) override;
    FsStatus RemoveFile(const std::string& path) override;
    FsStatus CopyToStaged(const std::string& source, const std::string& staged) override;
    FsStatus MoveStagedOver(const std::string& staged, const std::string& target) override;
    FsStatus ReadPrefix(const std::string& path, std::size_t maxBytes, std::string& bytes) override;
    FsStatus FileSize(const std::string& path, std::uint64_t& size) override;
    FsStatus ReadAt(const std::string& path, std::uint64_t offset, std::size_t maxBytes,
                    std::string& bytes) override;
    std::unique_ptr<OpenFile> OpenToRead(const std::string& path) override;
    FsStatus WriteFlushed(const std::string& path, const std::string& bytes) override;
    FsStatus RenameFolder(const std::string& from, const std::string& to) override;
    FsStatus RemoveFolder(const std::string& path) override;
    void Pause(int milliseconds) override;
};

// Deletes the shadow copy `path` below the VirtualStore folder `root` through a handle opened
// without following a link, so the file checked is the file deleted: refused (FsError::Other,
// saying why) when a junction or symbolic link lies on the way (ReachedWithoutLinks).
FsStatus RemoveShadowCopyWithoutLinks(const std::string& root, const std::string& path);

}  // namespace skyswap
