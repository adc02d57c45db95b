// A file system that passes every call to another one, for file systems that change one or two
// calls. FileSize and ReadAt keep the interface's own versions, built on ReadPrefix, unless the
// one built on it overrides them.
#pragma once

#include "file_system.h"

namespace skyswap {

class ForwardingFileSystem : public FileSystem {
  public:
    explicit ForwardingFileSystem(FileSystem& real) : real_(real) {}

    std::optional<std::string> CurrentFolder() override { return real_.CurrentFolder(); }
    bool CanOpenForReading(const std::string& p) override { return real_.CanOpenForReading(p); }
    FsStatus ListFolder(const std::string& f, std::vector<FolderEntry>& e) override {
        return real_.ListFolder(f, e);
    }
    bool IsFolder(const std::string& p) override { return real_.IsFolder(p); }
    bool IsFile(const std::string& p) override { return real_.IsFile(p); }
    FsStatus CreateFolder(const std::string& p) override { return real_.CreateFolder(p); }
    FsStatus RemoveFile(const std::string& p) override { return real_.RemoveFile(p); }
    FsStatus CopyToStaged(const std::string& s, const std::string& t) override {
        return real_.CopyToStaged(s, t);
    }
    FsStatus MoveStagedOver(const std::string& s, const std::string& t) override {
        return real_.MoveStagedOver(s, t);
    }
    FsStatus ReadPrefix(const std::string& p, std::size_t n, std::string& b) override {
        return real_.ReadPrefix(p, n, b);
    }
    FsStatus WriteFlushed(const std::string& p, const std::string& b) override {
        return real_.WriteFlushed(p, b);
    }
    FsStatus RenameFolder(const std::string& f, const std::string& t) override {
        return real_.RenameFolder(f, t);
    }
    FsStatus RemoveFolder(const std::string& p) override { return real_.RemoveFolder(p); }
    void Pause(int ms) override { real_.Pause(ms); }

  protected:
    FileSystem& real_;
};

}  // namespace skyswap
