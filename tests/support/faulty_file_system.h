// A file system that passes every call to the real one, except the failures a test plants:
// the faults that Wine does not reproduce (read-only, access denied, sharing violations, a full
// disk) and a crash in the middle of a transfer.
#pragma once

#include <algorithm>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "file_system.h"

namespace skyswap::test {

enum class FsOperation {
    CopyToStaged,
    MoveStagedOver,
    RemoveFile,
    CreateFolder,
    IsFolder,
    ReadAt,
    WriteFlushed,
    RenameFolder,
    FileSize,    // also leaves the file's size out of its folder's listing
    ListFolder,  // on the folder's path
};

struct SimulatedCrash : std::runtime_error {
    SimulatedCrash() : std::runtime_error("simulated crash") {}
};

class FaultyFileSystem final : public FileSystem {
  public:
    explicit FaultyFileSystem(FileSystem& real) : real_(real) {}

    // The next `times` calls of `operation` on a path ending in `pathEnd` fail with `error`
    // (times < 0: every call).
    void Fail(FsOperation operation, const std::string& pathEnd, FsError error, int times = -1) {
        faults_.push_back({operation, pathEnd, error, times, false});
    }
    // The next call of `operation` on a path ending in `pathEnd` throws SimulatedCrash.
    void Crash(FsOperation operation, const std::string& pathEnd) {
        faults_.push_back({operation, pathEnd, FsError::None, 1, true});
    }

    // Every read of a file whose path ends in `pathEnd` stops after its first `length` bytes,
    // without an error.
    void CutReads(const std::string& pathEnd, std::uint64_t length) {
        shortReads_.push_back({pathEnd, length});
    }

    int pausedMs() const { return pausedMs_; }
    int listings() const { return listings_; }
    int sizeQueries() const { return sizeQueries_; }
    const std::vector<std::string>& log() const { return log_; }

    std::optional<std::string> CurrentFolder() override { return real_.CurrentFolder(); }
    // A source made unreadable for copying cannot be opened for reading either.
    bool CanOpenForReading(const std::string& path) override {
        return !Planned(FsOperation::CopyToStaged, path, FsError::AccessDenied) &&
               real_.CanOpenForReading(path);
    }
    FsStatus ListFolder(const std::string& folder, std::vector<FolderEntry>& entries) override {
        ++listings_;
        const FsStatus status =
            Run(FsOperation::ListFolder, folder, [&] { return real_.ListFolder(folder, entries); });
        for (FolderEntry& entry : entries) {
            if (Planned(FsOperation::FileSize, folder + "\\" + entry.name)) {
                entry.size.reset();
            }
        }
        return status;
    }
    bool IsFolder(const std::string& path) override {
        return Planted(FsOperation::IsFolder, path).ok() && real_.IsFolder(path);
    }
    bool IsFile(const std::string& path) override { return real_.IsFile(path); }
    FsStatus CreateFolder(const std::string& path) override {
        return Run(FsOperation::CreateFolder, path, [&] { return real_.CreateFolder(path); });
    }
    FsStatus RemoveFile(const std::string& path) override {
        return Run(FsOperation::RemoveFile, path, [&] { return real_.RemoveFile(path); });
    }
    FsStatus CopyToStaged(const std::string& source, const std::string& staged) override {
        // A fault planted on the source's name (an unreadable source) or on the staged name.
        FsStatus status = Planted(FsOperation::CopyToStaged, source);
        if (status.ok()) {
            return Run(FsOperation::CopyToStaged, staged,
                       [&] { return real_.CopyToStaged(source, staged); });
        }
        return status;
    }
    FsStatus MoveStagedOver(const std::string& staged, const std::string& target) override {
        return Run(FsOperation::MoveStagedOver, target,
                   [&] { return real_.MoveStagedOver(staged, target); });
    }
    FsStatus ReadPrefix(const std::string& path, std::size_t maxBytes,
                        std::string& bytes) override {
        return real_.ReadPrefix(path, maxBytes, bytes);
    }
    FsStatus FileSize(const std::string& path, std::uint64_t& size) override {
        ++sizeQueries_;
        return Run(FsOperation::FileSize, path, [&] { return real_.FileSize(path, size); });
    }
    FsStatus ReadAt(const std::string& path, std::uint64_t offset, std::size_t maxBytes,
                    std::string& bytes) override {
        const FsStatus status = Run(FsOperation::ReadAt, path,
                                    [&] { return real_.ReadAt(path, offset, maxBytes, bytes); });
        // A read that says it succeeded but ends early, as a file cut short while it is read.
        for (const ShortRead& cut : shortReads_) {
            if (status.ok() && EndsWith(path, cut.pathEnd) && offset + bytes.size() > cut.length) {
                bytes.resize(offset >= cut.length ? 0 : cut.length - offset);
            }
        }
        return status;
    }
    FsStatus WriteFlushed(const std::string& path, const std::string& bytes) override {
        return Run(FsOperation::WriteFlushed, path,
                   [&] { return real_.WriteFlushed(path, bytes); });
    }
    FsStatus RenameFolder(const std::string& from, const std::string& to) override {
        return Run(FsOperation::RenameFolder, to, [&] { return real_.RenameFolder(from, to); });
    }
    FsStatus RemoveFolder(const std::string& path) override { return real_.RemoveFolder(path); }
    void Pause(int milliseconds) override { pausedMs_ += milliseconds; }

  private:
    struct Fault {
        FsOperation operation;
        std::string pathEnd;
        FsError error;
        int times;
        bool crash;
    };

    static bool EndsWith(const std::string& text, const std::string& end) {
        return text.size() >= end.size() &&
               text.compare(text.size() - end.size(), end.size(), end) == 0;
    }

    bool Planned(FsOperation operation, const std::string& path,
                 std::optional<FsError> error = std::nullopt) const {
        return std::any_of(faults_.begin(), faults_.end(), [&](const Fault& fault) {
            return fault.operation == operation && (!error || fault.error == *error) &&
                   fault.times != 0 && EndsWith(path, fault.pathEnd);
        });
    }

    FsStatus Planted(FsOperation operation, const std::string& path) {
        for (Fault& fault : faults_) {
            if (fault.operation != operation || fault.times == 0 ||
                !EndsWith(path, fault.pathEnd)) {
                continue;
            }
            if (fault.times > 0) {
                --fault.times;
            }
            if (fault.crash) {
                throw SimulatedCrash();
            }
            log_.push_back("fail " + path);
            return {fault.error, "planted fault"};
        }
        return FsStatus::Ok();
    }

    FsStatus Run(FsOperation operation, const std::string& path,
                 const std::function<FsStatus()>& call) {
        FsStatus status = Planted(operation, path);
        return status.ok() ? call() : status;
    }

    struct ShortRead {
        std::string pathEnd;
        std::uint64_t length;
    };

    FileSystem& real_;
    std::vector<Fault> faults_;
    std::vector<ShortRead> shortReads_;
    int listings_ = 0;
    int sizeQueries_ = 0;
    std::vector<std::string> log_;
    int pausedMs_ = 0;
};

}  // namespace skyswap::test
