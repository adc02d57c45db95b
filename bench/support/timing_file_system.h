// A file system that passes every call to the real one and adds up the time each kind of call
// takes, so that a benchmark can say where a transfer spends its time.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "file_system.h"

namespace skyswap::bench {

class TimingFileSystem final : public FileSystem {
    // Defined first: the overrides below deduce their return types from it.
    template <typename Call>
    auto Timed(const char* kind, Call call) {
        const auto start = std::chrono::steady_clock::now();
        auto result = call();
        seconds_[kind] +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return result;
    }

  public:
    explicit TimingFileSystem(FileSystem& real) : real_(real) {}

    // Seconds spent per operation ("copy", "move", "remove", "probe", ...) since the last Reset.
    const std::map<std::string, double>& Seconds() const { return seconds_; }
    void Reset() { seconds_.clear(); }

    std::optional<std::string> CurrentFolder() override {
        return Timed("probe", [&] { return real_.CurrentFolder(); });
    }
    bool CanOpenForReading(const std::string& path) override {
        return Timed("probe", [&] { return real_.CanOpenForReading(path); });
    }
    FsStatus ListFolder(const std::string& folder, std::vector<FolderEntry>& entries) override {
        return Timed("list", [&] { return real_.ListFolder(folder, entries); });
    }
    bool IsFolder(const std::string& path) override {
        return Timed("probe", [&] { return real_.IsFolder(path); });
    }
    bool IsFile(const std::string& path) override {
        return Timed("probe", [&] { return real_.IsFile(path); });
    }
    FsStatus CreateFolder(const std::string& path) override {
        return Timed("create", [&] { return real_.CreateFolder(path); });
    }
    FsStatus RemoveFile(const std::string& path) override {
        return Timed("remove", [&] { return real_.RemoveFile(path); });
    }
    FsStatus CopyToStaged(const std::string& source, const std::string& staged) override {
        return Timed("copy", [&] { return real_.CopyToStaged(source, staged); });
    }
    FsStatus MoveStagedOver(const std::string& staged, const std::string& target) override {
        return Timed("move", [&] { return real_.MoveStagedOver(staged, target); });
    }
    FsStatus ReadPrefix(const std::string& path, std::size_t maxBytes,
                        std::string& bytes) override {
        return Timed("read", [&] { return real_.ReadPrefix(path, maxBytes, bytes); });
    }
    FsStatus FileSize(const std::string& path, std::uint64_t& size) override {
        return Timed("probe", [&] { return real_.FileSize(path, size); });
    }
    FsStatus ReadAt(const std::string& path, std::uint64_t offset, std::size_t maxBytes,
                    std::string& bytes) override {
        return Timed("read", [&] { return real_.ReadAt(path, offset, maxBytes, bytes); });
    }
    // The real file kept open, its reads timed as reads.
    std::unique_ptr<OpenFile> OpenToRead(const std::string& path) override {
        return std::make_unique<TimedOpenFile>(*this, real_.OpenToRead(path));
    }
    FsStatus WriteFlushed(const std::string& path, const std::string& bytes) override {
        return Timed("write", [&] { return real_.WriteFlushed(path, bytes); });
    }
    FsStatus RenameFolder(const std::string& from, const std::string& to) override {
        return Timed("move", [&] { return real_.RenameFolder(from, to); });
    }
    FsStatus RemoveFolder(const std::string& path) override {
        return Timed("remove", [&] { return real_.RemoveFolder(path); });
    }
    void Pause(int milliseconds) override {
        Timed("pause", [&] {
            real_.Pause(milliseconds);
            return 0;
        });
    }

  private:
    class TimedOpenFile final : public OpenFile {
      public:
        TimedOpenFile(TimingFileSystem& timing, std::unique_ptr<OpenFile> real)
            : timing_(timing), real_(std::move(real)) {}
        FsStatus ReadAt(std::uint64_t offset, std::size_t maxBytes, std::string& bytes) override {
            return timing_.Timed("read", [&] { return real_->ReadAt(offset, maxBytes, bytes); });
        }

      private:
        TimingFileSystem& timing_;
        std::unique_ptr<OpenFile> real_;
    };

    FileSystem& real_;
    std::map<std::string, double> seconds_;
};

}  // namespace skyswap::bench
