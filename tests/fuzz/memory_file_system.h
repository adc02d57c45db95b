// A file system held in memory, for the fuzzer: fast, and it knows every path anything was
// written to.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "file_system.h"

namespace skyswap::test {

class MemoryFileSystem final : public FileSystem {
  public:
    void AddFolder(const std::string& path) { folders.insert(path); }

    std::optional<std::string> CurrentFolder() override { return std::string("C:"); }
    bool CanOpenForReading(const std::string& path) override { return files.count(path) != 0; }
    FsStatus ListFolder(const std::string& folder, std::vector<FolderEntry>& entries) override {
        entries.clear();
        if (folders.count(folder) == 0) {
            return Missing();
        }
        for (const std::string& path : folders) {
            if (ParentOf(path) == folder) {
                entries.push_back({path.substr(folder.size() + 1), true});
            }
        }
        for (const auto& [path, bytes] : files) {
            if (ParentOf(path) == folder) {
                entries.push_back({path.substr(folder.size() + 1), false});
            }
        }
        return {};
    }
    bool IsFolder(const std::string& path) override { return folders.count(path) != 0; }
    bool IsFile(const std::string& path) override { return files.count(path) != 0; }
    FsStatus CreateFolder(const std::string& path) override {
        written.push_back(path);
        if (folders.count(ParentOf(path)) == 0) {
            return Missing();
        }
        if (folders.count(path) != 0 || files.count(path) != 0) {
            return {FsError::Other, "exists"};
        }
        folders.insert(path);
        return {};
    }
    FsStatus RemoveFile(const std::string& path) override {
        return files.erase(path) != 0 ? FsStatus{} : Missing();
    }
    FsStatus CopyToStaged(const std::string& source, const std::string& staged) override {
        const auto found = files.find(source);
        return found == files.end() ? Missing() : WriteFlushed(staged, found->second);
    }
    FsStatus MoveStagedOver(const std::string& staged, const std::string& target) override {
        const auto found = files.find(staged);
        if (found == files.end()) {
            return Missing();
        }
        written.push_back(target);
        files[target] = found->second;
        files.erase(staged);
        return {};
    }
    FsStatus ReadPrefix(const std::string& path, std::size_t maxBytes,
                        std::string& bytes) override {
        return ReadAt(path, 0, maxBytes, bytes);
    }
    FsStatus FileSize(const std::string& path, std::uint64_t& size) override {
        const auto found = files.find(path);
        if (found == files.end()) {
            return Missing();
        }
        size = found->second.size();
        return {};
    }
    FsStatus ReadAt(const std::string& path, std::uint64_t offset, std::size_t maxBytes,
                    std::string& bytes) override {
        bytes.clear();
        const auto found = files.find(path);
        if (found == files.end()) {
            return Missing();
        }
        if (offset < found->second.size()) {
            bytes = found->second.substr(static_cast<std::size_t>(offset), maxBytes);
        }
        return {};
    }
    FsStatus WriteFlushed(const std::string& path, const std::string& bytes) override {
        written.push_back(path);
        if (folders.count(ParentOf(path)) == 0 || folders.count(path) != 0) {
            return Missing();
        }
        files[path] = bytes;
        return {};
    }
    FsStatus RenameFolder(const std::string& from, const std::string& to) override {
        written.push_back(to);
        if (folders.count(from) == 0 || folders.count(to) != 0 || files.count(to) != 0) {
            return {FsError::Other, "cannot rename"};
        }
        std::map<std::string, std::string> moved;
        for (auto it = files.begin(); it != files.end();) {
            if (it->first.rfind(from + "\\", 0) == 0) {
                moved[to + it->first.substr(from.size())] = it->second;
                it = files.erase(it);
            } else {
                ++it;
            }
        }
        files.insert(moved.begin(), moved.end());
        folders.erase(from);
        folders.insert(to);
        return {};
    }
    FsStatus RemoveFolder(const std::string& path) override {
        for (const auto& [file, bytes] : files) {
            if (ParentOf(file) == path) {
                return {FsError::Other, "not empty"};
            }
        }
        return folders.erase(path) != 0 ? FsStatus{} : Missing();
    }
    void Pause(int) override {}

    static std::string ParentOf(const std::string& path) {
        const std::size_t separator = path.rfind('\\');
        return separator == std::string::npos ? std::string() : path.substr(0, separator);
    }

    std::set<std::string> folders;
    std::map<std::string, std::string> files;
    std::vector<std::string> written;  // every path a write, a folder or a rename aimed at

  private:
    static FsStatus Missing() { return {FsError::NotFound, "not found"}; }
};

}  // namespace skyswap::test
